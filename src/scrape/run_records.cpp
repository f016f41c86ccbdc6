#include "scrape/run_records.h"

#include <algorithm>
#include <climits>

namespace lanqi {

std::array<std::string_view, 6> RunRecords::pages() const {
    return {sitePages[0], sitePages[1], sitePages[2], sitePages[3], sitePages[4], sitePages[5]};
}

void recordSitePage(RunRecords& records, const SitePageScrape& scrape) {
    if (scrape.site < 1 || scrape.site > 6) return;
    const char digit = static_cast<char>('0' + scrape.site);
    switch (scrape.outcome) {
        case SiteOutcome::NoPage:
            records.unreachableSites.push_back(digit);
            return;
        case SiteOutcome::NoItems:
            records.emptySites.push_back(digit);
            return;
        case SiteOutcome::Scraped:
            break;
    }
    records.skippedSites.append(static_cast<size_t>(std::max(0, scrape.skippedItems)), digit);
    if (!scrape.printsTotal) return;
    int* const totals[] = {&records.siteTotal1, nullptr, &records.siteTotal3, nullptr, &records.siteTotal5,
                           &records.siteTotal6};
    if (int* total = totals[scrape.site - 1]) *total = scrape.total;
}

int addTotalsSaturating(const RunRecords& records) {
    const long long sum =
        static_cast<long long>(records.siteTotal1) + records.siteTotal3 + records.siteTotal5 + records.siteTotal6;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

}  // namespace lanqi
