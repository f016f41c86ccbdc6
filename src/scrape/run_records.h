#pragma once

#include <array>

#include "platform/text.h"
#include "scrape/scrape.h"

namespace lanqi {

// What a search run keeps of its six scrapes. The run empties everything, the six page buffers included,
// before its first fetch; while site k is scraped the buffers of sites k+1..6 are still empty.
struct RunRecords {
    std::array<Bytes, 6> sitePages;  // index n-1: raw UTF-8 page of site n as received
    int currentSite = 0;             // 0..6: the site scraped last

    Text unreachableSites;  // one digit appended per scrape whose page check failed
    Text emptySites;        // one digit appended per scrape whose item check failed
    Text skippedSites;      // one digit appended per skipped item

    int siteTotal1 = 0;  // total result counts printed by Site1, Site3, Site5, Site6
    int siteTotal3 = 0;
    int siteTotal5 = 0;
    int siteTotal6 = 0;
    int rowsAdded = 0;

    // The six buffers as scrapeSitePage reads them.
    std::array<std::string_view, 6> pages() const;
};

// Writes what one scrape found into the records: its digit into unreachableSites or emptySites, one
// digit per skipped item into skippedSites, and the printed total into its siteTotal. The items are the
// caller's; rowsAdded is counted as they are shown.
void recordSitePage(RunRecords& records, const SitePageScrape& scrape);

// siteTotal1 + siteTotal3 + siteTotal5 + siteTotal6, held at the int range instead of overflowing.
int addTotalsSaturating(const RunRecords& records);

}  // namespace lanqi
