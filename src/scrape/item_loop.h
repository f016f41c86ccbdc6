#pragma once

#include <string_view>

#include "scrape/scrape.h"
#include "scrape/site_table.h"

namespace lanqi::scrape {

// Runs `table` over `page` once per item anchor, from the start of the page: every item whose item test
// passes becomes one row (results list, magnetLinks, detailTexts, rowsAdded, progress title); every
// other adds the site's digit to skippedSites. The first pass runs even when the page has no anchor.
// Each anchor and each file entry is visited at most once, whatever the page holds.
void runItemLoop(const SiteTable& table, std::string_view page, ScrapeContext& context);

}  // namespace lanqi::scrape
