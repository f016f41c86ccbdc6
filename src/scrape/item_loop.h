#pragma once

#include <string_view>

#include "scrape/compiled_site.h"
#include "scrape/scrape.h"

namespace lanqi::scrape {

// Runs `site` over `page` once per item anchor, from the start of the page: every item whose item test
// passes becomes one ResultItem appended to `out.items`; every other counts in `out.skippedItems`. The
// first pass runs even when the page has no anchor; at most kMaxItemsPerPage passes run, and the loop
// stops before an item that would take the page's rows past kMaxPageRowBytes. Fields and details texts are
// cut at kMaxFieldBytes and kMaxDetailBytes. Each anchor and each file entry is visited at most once, and
// the time is linear in the page's size, whatever the page holds.
// The items are marked as slot `slot`'s.
void runItemLoop(const CompiledSite& site, int slot, std::string_view page, SitePageScrape& out);

}  // namespace lanqi::scrape
