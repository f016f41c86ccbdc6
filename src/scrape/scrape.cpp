#include "scrape/scrape.h"

#include "scrape/byte_search.h"
#include "scrape/item_loop.h"
#include "scrape/site_definition.h"

namespace lanqi {
namespace {

using scrape::TotalRule;

// Slot n's definition in `slots`, or its built-in one where a built-in slot holds none; null for a slot past
// the sixth that has none.
const SiteDefinition* slotDefinition(const SiteSlots& slots, int n) {
    const size_t i = static_cast<size_t>(n - 1);
    if (i < slots.size() && slots[i] != nullptr) return slots[i].get();
    return n <= kBuiltInSiteSlots ? builtInSiteDefinition(n).get() : nullptr;
}

// True when at least one of the buffers carries its own slot's marker (page marker or item anchor).
bool anyBufferCarries(const SiteSlots& slots, std::span<const std::string_view> pages, Bytes SiteDefinition::*marker) {
    for (size_t k = 0; k < pages.size(); ++k) {
        const SiteDefinition* definition = slotDefinition(slots, static_cast<int>(k + 1));
        if (definition != nullptr && findFrom(pages[k], definition->*marker) > 0) return true;
    }
    return false;
}

// The count printed on the page, read as a leading decimal number (saturating); 0 when a marker is missing.
int readTotal(std::string_view page, const TotalRule& rule) {
    const int at = findFrom(page, rule.start);
    if (at < 0) return 0;
    const int first = at + static_cast<int>(rule.start.size());
    const int end = findFrom(page, rule.end, rule.endFromPageStart ? 0 : first);
    if (end < 0) return 0;
    const std::string_view count = sliceBytes(page, first, end);
    if (!rule.dropCommas) return leadingInteger(count);
    Bytes digits;
    digits.reserve(count.size());
    for (char c : count)
        if (c != ',') digits.push_back(c);
    return leadingInteger(digits);
}

}  // namespace

SitePageScrape scrapeSitePage(const SiteSlots& slots, int site, std::span<const std::string_view> pages) {
    SitePageScrape result;
    result.site = site;
    if (site < 1 || static_cast<size_t>(site) > pages.size()) return result;
    const SiteDefinition* own = slotDefinition(slots, site);
    if (own == nullptr) return result;

    // Both checks look at every slot's buffer, whichever slot is being scraped.
    if (!anyBufferCarries(slots, pages, &SiteDefinition::pageMarkerInPage)) return result;
    if (!anyBufferCarries(slots, pages, &SiteDefinition::itemAnchorInPage)) {
        result.outcome = SiteOutcome::NoItems;
        return result;
    }

    result.outcome = SiteOutcome::Scraped;
    const SiteDefinition& definition = *own;
    std::string_view page = pages[static_cast<size_t>(site - 1)];
    Bytes converted;
    if (!definition.utf8Pages) {
        converted = toUtf8Lossy(page, definition.encoding.c_str());
        page = converted;
    }
    if (definition.table.total.printed) {
        result.printsTotal = true;
        result.total = readTotal(page, definition.table.total);
    }
    scrape::runItemLoop(definition.compiled, site, page, result);
    return result;
}

SitePageScrape scrapeSitePage(int site, std::span<const std::string_view> pages) {
    static const SiteSlots builtIn = builtInSiteSlots();
    return scrapeSitePage(builtIn, site, pages);
}

}  // namespace lanqi
