#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "scrape/result_item.h"
#include "scrape/site_definition.h"

namespace lanqi {

// How the scrape of one site's page ended.
enum class SiteOutcome {
    NoPage,   // none of the six pages carries its site's page marker
    NoItems,  // a page carries its marker, but none of the six carries its site's item anchor
    Scraped,  // the item loop ran over the site's page
};

// The most anchors one site page is read at: real pages hold a few dozen items, and a hostile page of
// millions of anchors must not cost millions of items (nor skipped digits).
inline constexpr int kMaxItemsPerPage = 1000;

// What one site's page gives.
struct SitePageScrape {
    int site = 0;  // 1..6
    SiteOutcome outcome = SiteOutcome::NoPage;
    bool printsTotal = false;  // the definition reads a total (the built-in Site1, Site3, Site5 and Site6)
    int total = 0;             // the total result count the page prints (0 when unreadable)
    std::vector<ResultItem> items;
    int skippedItems = 0;  // anchors whose item test failed: no item
};

// Scrapes slot `site`'s page (`pages[site - 1]`) with the slot's definition in `slots` (a null slot: its
// built-in definition). `pages` holds the six pages as the run knows them at this moment (a site not fetched
// yet is empty): the page and item checks look at all six, each with its own slot's markers, whichever site
// is scraped. Pure: no window, no title, no event processing; the same bytes always give the same result. A
// site number outside 1..6 gives NoPage with no items.
SitePageScrape scrapeSitePage(const SiteSlots& slots, int site, const std::array<std::string_view, 6>& pages);

// The same with the active definitions (activeSiteDefinitions).
SitePageScrape scrapeSitePage(int site, const std::array<std::string_view, 6>& pages);

}  // namespace lanqi
