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

void scrapeSitePage(ScrapeContext& context) {
    const auto& buffers = context.records.sitePages;
    const std::array<std::string_view, 6> pages{buffers[0], buffers[1], buffers[2], buffers[3], buffers[4], buffers[5]};
    scrapeSitePage(context, pages);
}

void scrapeSitePage(ScrapeContext& context, const std::array<std::string_view, 6>& pages) {
    RunRecords& records = context.records;
    const int site = records.currentSite;
    if (site < 1 || site > 6) return;
    const Text digit = decimalText(site);

    // Both checks look at all six buffers, whichever site is being scraped.
    if (!anyBufferCarries(pages, &SiteTable::pageMarker)) {
        records.unreachableSites += digit;
        return;
    }
    if (!anyBufferCarries(pages, &SiteTable::itemAnchor)) {
        records.emptySites += digit;
        return;
    }

    const SiteTable& table = scrape::siteTable(site);
    const std::string_view page = pages[static_cast<size_t>(site - 1)];
    if (table.total.store != nullptr) records.*table.total.store = readTotal(page, table.total);
    scrape::runItemLoop(table, page, context);
}

}  // namespace lanqi
