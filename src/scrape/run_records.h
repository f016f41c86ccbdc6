#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/net.h"
#include "platform/text.h"
#include "scrape/scrape.h"

namespace lanqi {

// What one slot gave in a run: its outcome and figures. The window's digit texts are derived from these.
struct SiteRecord {
    SiteOutcome outcome = SiteOutcome::NoPage;
    bool scraped = false;   // the slot's page was placed and scraped in this run
    bool disabled = false;  // switched off in the settings (or without a base or definition): not fetched
    bool stopped = false;   // the user stopped the run before this slot's page was placed
    FetchFailure fetchFailure = FetchFailure::None;  // why no page arrived
    bool pageRecognised = false;                     // its own page carries its own page marker
    std::string reason;                              // why the slot gave no rows, in English; "" when it gave some
    std::chrono::milliseconds fetchTime{0};
    std::size_t bytes = 0;     // the page's bytes as they arrived
    int rows = 0;              // rows it added
    int skipped = 0;           // anchors whose item test failed
    bool printsTotal = false;  // its definition reads a total...
    int total = 0;             // ... and this is the one its page printed
};

// What a search run keeps of its scrapes, one slot after the other. The run empties everything, the page
// buffers included, before its first fetch; while slot k is scraped the buffers of the slots after it are still
// empty.
struct RunRecords {
    std::vector<Bytes> sitePages = std::vector<Bytes>(6);        // index n-1: raw UTF-8 page of slot n as received
    std::vector<SiteRecord> sites = std::vector<SiteRecord>(6);  // index n-1: what slot n gave
    int currentSite = 0;                                         // the slot scraped last; 0 before the first

    // Digits of the slots 1..9, appended as they are scraped (a slot past the ninth has no digit: its
    // record says what it gave).
    Text unreachableSites;  // one digit appended per scrape whose page check failed
    Text emptySites;        // one digit appended per scrape whose item check failed
    Text skippedSites;      // one digit appended per skipped item

    int rowsAdded = 0;

    // Empty records for a run over `slots` slots.
    void reset(std::size_t slots);
    // The buffers as scrapeSitePage reads them.
    std::vector<std::string_view> pages() const;
    // The total slot `slot` printed in this run; 0 when its definition reads none or it has not been scraped.
    int siteTotal(int slot) const;
};

// Writes what one scrape found into the records: the slot's record (outcome, rows, skipped items, total) and
// its digit into unreachableSites or emptySites, or one digit per skipped item into skippedSites. The items
// are the caller's; rowsAdded is counted as they are shown. A slot the records do not hold is left out.
void recordSitePage(RunRecords& records, const SitePageScrape& scrape);

// True when every slot was scraped with `outcome` (all six built-in ones: unreachableSites or emptySites is
// "123456").
bool everySiteEndedIn(const RunRecords& records, SiteOutcome outcome);

// The totals of every slot whose definition reads one, added without overflow.
long long addTotals(const RunRecords& records);

// addTotals held at the int range.
int addTotalsSaturating(const RunRecords& records);

}  // namespace lanqi
