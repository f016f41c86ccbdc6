#pragma once

#include <string>

#include "platform/settings.h"
#include "search/site_catalogue.h"

namespace lanqi::test {

// The built-in settings with slot n at http://s<n>: addresses a fake network can tell apart.
inline Settings numberedSettings() {
    Settings settings = builtInSettings();
    for (size_t k = 0; k < settings.sites.size(); ++k) settings.sites[k].base = "http://s" + std::to_string(k + 1);
    return settings;
}

// The same as the search flow is handed them, with the built-in definitions.
inline SearchSites numberedSites() { return searchSites(numberedSettings(), builtInSiteSlots()); }

}  // namespace lanqi::test
