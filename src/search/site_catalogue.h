#pragma once

#include <array>
#include <string_view>

#include "platform/text.h"

namespace lanqi {

// One entry of the compiled-in catalogue of result sites. The order is the order of fetching and
// scraping; `number` is the digit the scrapers append to the run's site lists.
struct SearchSite {
    int number;
    std::string_view defaultBaseAddress;  // scheme and host, plain HTTP
    std::string_view pathBeforeKeyword;
    std::string_view textBeforePage;
    std::string_view textAfterPage;
};

inline constexpr int kSiteCount = 6;

// Site1 .. Site6, index 0 .. 5.
const std::array<SearchSite, kSiteCount>& siteCatalogue();

// The base address in use for site `number` (1..6): the environment variable LANQI_SITE<n>_BASE when it
// is set and not empty, else the active settings' (the settings file's, else the compiled-in address).
// Read on every call, so tests may change it.
Text siteBaseAddress(int number);

// "%" and two upper-case hex digits for every byte of the keyword's UTF-8 form, nothing passed through.
// A keyword that is not valid GBK converts to "" and is encoded as "".
Text encodeKeyword(const Text& keyword);

// The request address of site `site` (1..6) at `base`: base, path, encoded keyword, text before the page,
// the page text, text after the page.
Text buildSearchUrl(int site, const Text& base, const Text& encodedKeyword, const Text& page);

// Element n-1 is the request address of site n: base, path, encoded keyword, text before the page,
// the page text, text after the page. Nothing else is added.
std::array<Text, 6> buildSearchUrls(const Text& encodedKeyword, const Text& page);

}  // namespace lanqi
