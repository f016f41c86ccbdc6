#pragma once

#include <array>
#include <string_view>

#include "platform/events.h"
#include "scrape/result_rows.h"
#include "scrape/run_records.h"

namespace lanqi {

// Everything one scrape call works on.
struct ScrapeContext {
    RunRecords& records;
    ResultRows& rows;
    StatusLine& status;
    EventPump& events;
};

// Scrapes the page of site `records.currentSite` (1..6): the page check and the item check over all six
// buffers, the site's total, then one row per item, appended to the rows, `magnetLinks` and
// `detailTexts` together, with a progress title after each row.
void scrapeSitePage(ScrapeContext& context);

// The same over page bytes held elsewhere: `pages` stands for `records.sitePages`, which is not read.
void scrapeSitePage(ScrapeContext& context, const std::array<std::string_view, 6>& pages);

}  // namespace lanqi
