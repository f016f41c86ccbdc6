#pragma once

#include <array>
#include <string_view>

#include "platform/text.h"
#include "scrape/site_definition.h"

namespace lanqi {

inline constexpr int kSiteCount = 6;

// The base address in use for site `number` (1..6): the environment variable LANQI_SITE<n>_BASE when it
// is set and not empty, else the active settings' (the settings file's, else the compiled-in address).
// Read on every call, so tests may change it.
Text siteBaseAddress(int number);

// "%" and two upper-case hex digits for every byte of the keyword's UTF-8 form, nothing passed through.
// A keyword that is not valid GBK converts to "" and is encoded as "".
Text encodeKeyword(const Text& keyword);

// The request address of a site at `base`: base, the address's path, encoded keyword, text before the
// page, the page text, text after the page. Nothing else is added.
Text buildSearchUrl(const SiteAddress& address, const Text& base, const Text& encodedKeyword, const Text& page);

// Element n-1 is the request address of slot n at its base address, with its definition in `slots`.
std::array<Text, 6> buildSearchUrls(const SiteSlots& slots, const Text& encodedKeyword, const Text& page);
// The same with the active definitions.
std::array<Text, 6> buildSearchUrls(const Text& encodedKeyword, const Text& page);

}  // namespace lanqi
