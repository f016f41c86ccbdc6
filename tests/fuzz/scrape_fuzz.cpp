// The input is scraped as the page of each of the six sites in turn, once with the other buffers empty
// and once with another buffer passing both checks. Anything but a clean scrape with aligned stores and
// each anchor visited at most once aborts.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "scrape/scrape.h"
#include "scrape/site_table.h"

namespace {

class CountRows final : public lanqi::ResultRows {
  public:
    size_t rows = 0;
    void appendResultRow(const lanqi::Text& caption, int picture) override {
        if (caption.empty() || (picture != 0 && picture != 1 && picture != 3)) std::abort();
        ++rows;
    }
    void clearResultRows() override { rows = 0; }
    int selectedRow() const override { return -1; }
};

class IgnoreTitle final : public lanqi::StatusLine {
  public:
    void setWindowTitle(const lanqi::Text&) override {}
};

size_t occurrences(std::string_view page, std::string_view marker) {
    size_t n = 0;
    for (size_t at = page.find(marker); at != std::string_view::npos; at = page.find(marker, at + 1)) ++n;
    return n;
}

void scrapeAs(int site, std::string_view page, bool otherBufferPasses) {
    lanqi::RunRecords records;
    CountRows rows;
    IgnoreTitle status;
    lanqi::NullEventPump events;
    lanqi::ScrapeContext context{records, rows, status, events};
    std::array<std::string_view, 6> pages{};
    const int other = site == 1 ? 2 : 1;
    if (otherBufferPasses) pages[static_cast<size_t>(other - 1)] = other == 1 ? "手撕包菜 ctime" : "爱磁力 /info/";
    pages[static_cast<size_t>(site - 1)] = page;
    records.currentSite = site;
    lanqi::scrapeSitePage(context, pages);

    const size_t added = rows.rows;
    if (records.magnetLinks.size() != added || records.detailTexts.size() != added ||
        static_cast<size_t>(records.rowsAdded) != added)
        std::abort();
    const size_t anchors = occurrences(page, lanqi::scrape::siteTable(site).itemAnchor);
    if (added + records.skippedSites.size() > std::max<size_t>(anchors, 1)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes on the heap, so AddressSanitizer sees any read past its end.
    const std::vector<char> bytes(data, data + size);
    const std::string_view page(bytes.data(), bytes.size());
    for (int site = 1; site <= 6; ++site) {
        scrapeAs(site, page, false);
        scrapeAs(site, page, true);
    }
    return 0;
}
