#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "platform/settings.h"
#include "platform/text.h"
#include "scrape/site_definition.h"

namespace lanqi {

// One site slot as a search runs it: where it is, whether it is fetched, and the definition that builds its
// address and reads its page. Slot n is element n - 1 of a SearchSites list.
struct SearchSite {
    Text base;                     // scheme, host, optional port and path
    bool enabled = true;           // switched on in the settings
    SiteDefinitionPtr definition;  // null: the slot has none (a slot past the sixth whose definition is missing)

    // Fetched by a run: switched on, with a base and a definition.
    bool searched() const { return enabled && !base.empty() && definition != nullptr; }
};
using SearchSites = std::vector<SearchSite>;

// The slots of `settings` with the definitions loadSiteDefinitions gave for them (one per slot).
SearchSites searchSites(const Settings& settings, const SiteSlots& definitions);
// The six built-in slots at their built-in addresses, with their built-in definitions.
SearchSites builtInSearchSites();
// The definitions of `sites`, one per slot, as scrapeSitePage takes them.
SiteSlots definitionsOf(const SearchSites& sites);

// "%" and two upper-case hex digits for every byte of the keyword's UTF-8 form, nothing passed through.
// A keyword that is not valid GBK converts to "" and is encoded as "".
Text encodeKeyword(const Text& keyword);

// The request address of a site at `base`: base, the address's path, encoded keyword, text before the
// page, the page text, text after the page. Nothing else is added.
Text buildSearchUrl(const SiteAddress& address, const Text& base, const Text& encodedKeyword, const Text& page);

// Element n-1 is the request address of slot n; "" for a slot without a definition.
std::vector<Text> buildSearchUrls(const SearchSites& sites, const Text& encodedKeyword, const Text& page);

// The six built-in slots' addresses with their built-in definitions, at the bases the environment's
// LANQI_SITE<n>_BASE give (read on each call, as loadSettings reads it), else the built-in ones. The search
// flow never calls this: it builds its addresses from the slots it is handed.
std::array<Text, 6> buildSearchUrls(const Text& encodedKeyword, const Text& page);

// The web address of a result's own page: `descriptionUrl` as the page writes it, taken against the base of
// the slot that gave it (a path from "/" against its scheme and host, "//host/..." against its scheme, a
// relative path against the base). "" when there is none, or when it would be anything but an http or https
// address without blanks or control bytes (a "javascript:" link on a hostile page opens nothing).
Text resultPageAddress(const Text& descriptionUrl, const Text& siteBase);

// A base no real host answers: its host is a reserved name (".example", ".invalid", ".test" or one of those
// names alone). The built-in bases are such placeholders until the user gives real sites.
bool isPlaceholderBase(const Text& base);
// True when no slot a run would fetch has a real address: every slot switched on (with a definition) still
// holds a placeholder, or none is switched on. A search then has nothing to ask.
bool noSiteSetUp(const SearchSites& sites);

}  // namespace lanqi
