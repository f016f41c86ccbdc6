#include "scrape/scrape.h"

#include "scrape/byte_search.h"
#include "scrape/item_loop.h"
#include "scrape/site_table.h"

namespace lanqi {
namespace {

using scrape::SiteTable;
using scrape::TotalRule;

// True when at least one of the six buffers carries its own site's marker (page marker or item anchor).
bool anyBufferCarries(const std::array<std::string_view, 6>& pages, std::string_view SiteTable::*marker) {
    for (int n = 1; n <= 6; ++n) {
        if (findFrom(pages[static_cast<size_t>(n - 1)], scrape::siteTable(n).*marker) > 0) return true;
    }
    return false;
}

// The count printed on the page, read as a leading decimal number (saturating); 0 when a marker is missing.
int readTotal(std::string_view page, const TotalRule& rule) {
    const int at = findFrom(page, rule.start);
    if (at < 0) return 0;
    const int first = at + static_cast<int>(rule.start.size());
    const int end = findFrom(page, rule.end, rule.endFromPageStart ? 0 : first);
    if (end < 0) return 0;
    const std::string_view count = sliceBytes(page, first, end);
    if (!rule.dropCommas) return leadingInteger(count);
    Bytes digits;
    digits.reserve(count.size());
    for (char c : count)
        if (c != ',') digits.push_back(c);
    return leadingInteger(digits);
}

}  // namespace

SitePageScrape scrapeSitePage(int site, const std::array<std::string_view, 6>& pages) {
    SitePageScrape result;
    result.site = site;
    if (site < 1 || site > 6) return result;

    // Both checks look at all six buffers, whichever site is being scraped.
    if (!anyBufferCarries(pages, &SiteTable::pageMarker)) return result;
    if (!anyBufferCarries(pages, &SiteTable::itemAnchor)) {
        result.outcome = SiteOutcome::NoItems;
        return result;
    }

    result.outcome = SiteOutcome::Scraped;
    const SiteTable& table = scrape::siteTable(site);
    const std::string_view page = pages[static_cast<size_t>(site - 1)];
    if (table.total.printed) {
        result.printsTotal = true;
        result.total = readTotal(page, table.total);
    }
    scrape::runItemLoop(table, page, result);
    return result;
}

}  // namespace lanqi
