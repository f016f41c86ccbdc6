// The input is scraped as the page of each of the six sites in turn, once with the other buffers empty
// and once with another buffer passing both checks. Anything but a clean scrape with whole items, each
// anchor visited at most once, rows within the caps of scrape.h, links of well-formed hashes only and the
// same result when scraped again aborts.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "scrape/result_entry.h"
#include "scrape/scrape.h"
#include "scrape/site_definition.h"

namespace {

// What one row may hold: a title within the field cap (or the placeholder), a link of a well-formed hash or
// of none, and a details text within its cap and the fixed texts written after it.
bool withinCaps(const lanqi::ResultItem& item) {
    static constexpr std::string_view kPrefix = "magnet:?xt=urn:btih:";
    if (item.magnetLink.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    const std::string_view hash = std::string_view(item.magnetLink).substr(kPrefix.size());
    if (!hash.empty() && !lanqi::isInfoHash(hash)) return false;
    lanqi::Text fixed;
    lanqi::appendDownloadBlock(fixed, item.magnetLink);
    lanqi::appendSiteLine(fixed, item.site);
    return (item.title.size() <= static_cast<size_t>(lanqi::kMaxFieldBytes) ||
            item.title == lanqi::placeholderTitle()) &&
           item.detailText.size() <= static_cast<size_t>(lanqi::kMaxDetailBytes) + fixed.size();
}

size_t rowBytes(const lanqi::SitePageScrape& scrape) {
    size_t bytes = 0;
    for (const lanqi::ResultItem& item : scrape.items)
        bytes += item.title.size() + item.magnetLink.size() + item.detailText.size();
    return bytes;
}

size_t occurrences(std::string_view page, std::string_view marker) {
    size_t n = 0;
    for (size_t at = page.find(marker); at != std::string_view::npos; at = page.find(marker, at + 1)) ++n;
    return n;
}

bool sameScrape(const lanqi::SitePageScrape& a, const lanqi::SitePageScrape& b) {
    return a.site == b.site && a.outcome == b.outcome && a.printsTotal == b.printsTotal && a.total == b.total &&
           a.items == b.items && a.skippedItems == b.skippedItems;
}

void scrapeAs(int site, std::string_view page, bool otherBufferPasses) {
    std::array<std::string_view, 6> pages{};
    const int other = site == 1 ? 2 : 1;
    if (otherBufferPasses) pages[static_cast<size_t>(other - 1)] = other == 1 ? "手撕包菜 ctime" : "爱磁力 /info/";
    pages[static_cast<size_t>(site - 1)] = page;
    const lanqi::SitePageScrape result = lanqi::scrapeSitePage(site, pages);

    for (const lanqi::ResultItem& item : result.items) {
        const int kind = item.fileKind;
        if (item.title.empty() || (kind != 0 && kind != 1 && kind != 3) || item.site != site || !withinCaps(item) ||
            item.detailText.empty())
            std::abort();
    }
    if (rowBytes(result) > lanqi::kMaxPageRowBytes) std::abort();
    if (result.skippedItems < 0) std::abort();
    const size_t anchors = occurrences(page, lanqi::builtInSiteDefinition(site)->table.itemAnchor);
    if (result.items.size() + static_cast<size_t>(result.skippedItems) > std::max<size_t>(anchors, 1)) std::abort();
    if (!sameScrape(lanqi::scrapeSitePage(site, pages), result)) std::abort();
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
