#include "scrape/run_records.h"

#include <algorithm>
#include <climits>

namespace lanqi {

void RunRecords::reset(std::size_t slots) {
    sitePages.assign(slots, Bytes());
    sites.assign(slots, SiteRecord{});
    currentSite = 0;
    unreachableSites.clear();
    emptySites.clear();
    skippedSites.clear();
    rowsAdded = 0;
}

std::vector<std::string_view> RunRecords::pages() const { return {sitePages.begin(), sitePages.end()}; }

int RunRecords::siteTotal(int slot) const {
    if (slot < 1 || static_cast<size_t>(slot) > sites.size()) return 0;
    const SiteRecord& site = sites[static_cast<size_t>(slot - 1)];
    return site.printsTotal ? site.total : 0;
}

void recordSitePage(RunRecords& records, const SitePageScrape& scrape) {
    if (scrape.site < 1 || static_cast<size_t>(scrape.site) > records.sites.size()) return;  // not a slot of the run
    const size_t i = static_cast<size_t>(scrape.site - 1);
    SiteRecord& site = records.sites[i];
    site.scraped = true;
    site.outcome = scrape.outcome;
    site.rows = static_cast<int>(std::min<size_t>(scrape.items.size(), INT_MAX));
    site.skipped = std::max(0, scrape.outcome == SiteOutcome::Scraped ? scrape.skippedItems : 0);
    site.printsTotal = scrape.outcome == SiteOutcome::Scraped && scrape.printsTotal;
    site.total = site.printsTotal ? scrape.total : 0;
    site.reason = scrape.outcome == SiteOutcome::NoPage    ? "no page carries its page marker"
                  : scrape.outcome == SiteOutcome::NoItems ? "no page carries its item anchor"
                  : site.rows == 0                         ? "its page gave no rows"
                                                           : "";

    if (scrape.site > 9) return;  // one digit per slot: the digit texts stop at slot 9
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
    records.skippedSites.append(static_cast<size_t>(site.skipped), digit);
}

bool everySiteEndedIn(const RunRecords& records, SiteOutcome outcome) {
    return !records.sites.empty() && std::all_of(records.sites.begin(), records.sites.end(), [&](const SiteRecord& s) {
        return s.scraped && s.outcome == outcome;
    });
}

long long addTotals(const RunRecords& records) {
    long long sum = 0;
    for (const SiteRecord& site : records.sites)
        if (site.printsTotal) sum += site.total;
    return sum;
}

int addTotalsSaturating(const RunRecords& records) {
    return static_cast<int>(std::clamp<long long>(addTotals(records), INT_MIN, INT_MAX));
}

}  // namespace lanqi
