#pragma once

#include <array>
#include <vector>

#include "platform/text.h"

namespace lanqi {

// What the scraper reads and writes during a search run. The search run resets everything but
// `sitePages` before its first fetch; a page buffer keeps its previous content until its site is fetched
// again, so while site k is scraped the buffers of sites k+1..6 still hold the previous run's pages.
struct RunRecords {
    std::array<Bytes, 6> sitePages;  // index n-1: raw UTF-8 page of site n as received
    int currentSite = 0;             // 0..6: the site being scraped

    Text unreachableSites;  // one digit appended per call whose page check failed
    Text emptySites;        // one digit appended per call whose item check failed
    Text skippedSites;      // one digit appended per skipped item

    int siteTotal1 = 0;  // total result counts printed by Site1, Site3, Site5, Site6
    int siteTotal3 = 0;
    int siteTotal5 = 0;
    int siteTotal6 = 0;
    int rowsAdded = 0;

    // Row r of the results list (counted from 0) belongs to element r of both stores, which is element
    // r + 1 when counted from 1 as selectedEntryNumber does.
    std::vector<Text> magnetLinks;
    std::vector<Text> detailTexts;
};

// siteTotal1 + siteTotal3 + siteTotal5 + siteTotal6, held at the int range instead of overflowing.
int addTotalsSaturating(const RunRecords& records);

}  // namespace lanqi
