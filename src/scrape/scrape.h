#pragma once

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

}  // namespace lanqi
