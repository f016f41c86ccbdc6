#pragma once

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "scrape/run_records.h"
#include "scrape/scrape.h"
#include "scrape/site_definition.h"

namespace lanqi::test {

// Run records and the items of every scrape so far, kept as a search run keeps them.
struct ScrapeHarness {
    RunRecords records;
    std::vector<ResultItem> items;  // every scrape's items, in the order of the scrapes

    // Scrapes site `site` over the six buffers as they are now, and records what it found.
    SitePageScrape scrape(int site) {
        SitePageScrape result = scrapeSitePage(site, records.pages());
        records.currentSite = site;
        recordSitePage(records, result);
        items.insert(items.end(), result.items.begin(), result.items.end());
        return result;
    }
    const ResultItem& item(size_t r) const { return items.at(r); }
};

// Two scrapes found the same: outcome, total, items and skipped items.
inline bool sameScrape(const SitePageScrape& a, const SitePageScrape& b) {
    return a.site == b.site && a.outcome == b.outcome && a.printsTotal == b.printsTotal && a.total == b.total &&
           a.items == b.items && a.skippedItems == b.skippedItems;
}

// Bytes of tests/fixtures/<name>.
// Scrapes `page` as slot `slot`'s page with `definition`, the other five of the six slots empty.
inline SitePageScrape scrapeAlone(const SiteDefinitionPtr& definition, int slot, std::string_view page) {
    SiteSlots slots(6);
    slots[static_cast<size_t>(slot - 1)] = definition;
    std::array<std::string_view, 6> pages{};
    pages[static_cast<size_t>(slot - 1)] = page;
    return scrapeSitePage(slots, slot, pages);
}

inline std::string readFixture(const std::string& name) {
    std::ifstream in(std::string(LANQI_FIXTURE_DIR) + "/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// GBK of a UTF-8 literal, for comparing with what the scraper produced.
inline Text g(std::string_view utf8Text) { return gbk(utf8Text); }

// The download block of a details text for an info-hash, as the user reads it.
inline std::string downloadBlockUtf8(const std::string& hash) {
    return "\r\n\r\n下载链接：magnet:?xt=urn:btih:" + hash +
           "\r\n用鼠标左键双击文件即可直接在线播放，或单击鼠标右键用迅雷影音播放。如不能播放，请使用迅雷下载。";
}

}  // namespace lanqi::test

// Compares GBK bytes with the GBK form of a UTF-8 literal and shows both readably when they differ.
#define EXPECT_GBK(actual, expectedUtf8)                \
    EXPECT_EQ((actual), ::lanqi::test::g(expectedUtf8)) \
        << "actual as UTF-8: " << ::lanqi::utf8(actual) << "\nexpected: " << (expectedUtf8)
