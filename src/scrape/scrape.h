#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "scrape/result_item.h"
#include "scrape/site_definition.h"

namespace lanqi {

// How the scrape of one site's page ended.
enum class SiteOutcome {
    NoPage,   // none of the slots' pages carries its slot's page marker
    NoItems,  // a page carries its marker, but none of them carries its slot's item anchor
    Scraped,  // the item loop ran over the site's page
};

// The most anchors one site page is read at: real pages hold a few dozen items, and a hostile page of
// millions of anchors must not cost millions of items (nor skipped digits).
inline constexpr int kMaxItemsPerPage = 1000;

// What one page may make the client hold. A hostile page (or definition) can put its end markers as far
// away as it likes; these keep the rows of one page within a few MiB whatever it does, while the pages of
// real sites stay far below them and give the same rows with or without them.
//
// The page bytes one field keeps (a title, a hash, a detail line's value, one contained-file entry). A
// torrent's name is at most a few hundred bytes and a file entry with its markup not much more; a longer
// field keeps its first kMaxFieldBytes bytes, cut back to the start of a UTF-8 character. The cut bounds
// the text only: the end cursor still moves to the field's end marker.
inline constexpr int kMaxFieldBytes = 4 * 1024;
// The bytes of one item's details text. A details text of a torrent with a hundred listed files is about
// 20 KiB; a line or file entry that would pass the cap is cut at a GBK character boundary, and the lines
// after it are left out. The download block and the site line are always written after it.
inline constexpr int kMaxDetailBytes = 64 * 1024;
// The bytes of all rows of one page together (titles, magnet links and details texts). A real page of 50
// rows holds about 100 KiB, and kMaxItemsPerPage rows whose titles are at their cap (each title is in its
// details text too) about 9 MiB; the item loop stops before the row that would pass the cap, as it stops at
// kMaxItemsPerPage anchors.
inline constexpr size_t kMaxPageRowBytes = 16u << 20;

// What one site's page gives.
struct SitePageScrape {
    int site = 0;  // the slot: 1..6 for the built-in ones
    SiteOutcome outcome = SiteOutcome::NoPage;
    bool printsTotal = false;  // the definition reads a total (the built-in Site1, Site3, Site5 and Site6)
    int total = 0;             // the total result count the page prints (0 when unreadable)
    std::vector<ResultItem> items;
    int skippedItems = 0;  // anchors whose item test failed: no item
};

// Scrapes slot `site`'s page (`pages[site - 1]`) with the slot's definition in `slots` (a null built-in slot:
// its built-in definition; a null slot past the sixth has no markers). `pages` holds every slot's page as the
// run knows it at this moment (a slot not fetched yet is empty): the page and item checks look at all of them,
// each with its own slot's markers, whichever slot is scraped; a page past the end of `slots` is a built-in
// slot's. Pure: no window, no title, no event processing; the same bytes always give the same result. A slot
// number outside 1..pages.size() gives NoPage with no items.
SitePageScrape scrapeSitePage(const SiteSlots& slots, int site, std::span<const std::string_view> pages);

// The same with the six built-in definitions.
SitePageScrape scrapeSitePage(int site, std::span<const std::string_view> pages);

}  // namespace lanqi
