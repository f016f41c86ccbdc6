// The input is read as a site definition. The reader must accept it or refuse it with at least one problem,
// never both and never a fault; an accepted definition then scrapes each fixture-like page it is given,
// built from the definition's own markers, without a fault and within the page's item bound and the caps
// of scrape.h. Run with the built-in definitions as the corpus (tests/fuzz/CMakeLists.txt tells how to reach
// inputs of 1 MiB):
//   build/fuzz/tests/fuzz/definition_fuzz -max_total_time=120 -dict=tests/fuzz/definition.dict <corpus> sites
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "scrape/result_entry.h"
#include "scrape/scrape.h"
#include "scrape/site_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<lanqi::SettingsProblem> problems;
    const lanqi::SiteDefinitionPtr definition = lanqi::parseSiteDefinition(text, "fuzz", "fuzz.toml", problems);
    if ((definition == nullptr) == problems.empty()) std::abort();
    if (definition == nullptr) return 0;

    // A page made of the definition's markers, in order, twice: every step finds something to cut.
    std::string page(definition->pageMarkerInPage);
    for (int round = 0; round < 2; ++round) {
        page += std::string(definition->table.itemAnchor) + "<li>";
        for (const std::string& marker : definition->texts) page += marker + "x</li>";
    }
    // Then the first markers again, each followed by more than a field's cap of three-byte characters: long
    // fields are cut, and cut inside a character unless the cut moves back.
    std::string wide;
    while (wide.size() <= static_cast<size_t>(lanqi::kMaxFieldBytes)) wide += "\xE8\xB6\x85";
    page += std::string(definition->table.itemAnchor);
    size_t longMarkers = 0;
    for (const std::string& marker : definition->texts)
        if (++longMarkers <= 16) page += marker + wide;
    for (int slot = 1; slot <= 6; ++slot) {
        lanqi::SiteSlots slots(6);
        slots[static_cast<size_t>(slot - 1)] = definition;
        std::array<std::string_view, 6> pages{};
        pages[static_cast<size_t>(slot - 1)] = page;
        const lanqi::SitePageScrape scrape = lanqi::scrapeSitePage(slots, slot, pages);
        if (scrape.items.size() > static_cast<size_t>(lanqi::kMaxItemsPerPage)) std::abort();
        size_t bytes = 0;
        for (const lanqi::ResultItem& item : scrape.items) {
            lanqi::Text fixed;
            lanqi::appendDownloadBlock(fixed, item.magnetLink);
            lanqi::appendSiteLine(fixed, item.site);
            if (item.detailText.size() > static_cast<size_t>(lanqi::kMaxDetailBytes) + fixed.size()) std::abort();
            if (item.title.size() > static_cast<size_t>(lanqi::kMaxFieldBytes) &&
                item.title != lanqi::placeholderTitle())
                std::abort();
            bytes += item.title.size() + item.magnetLink.size() + item.detailText.size();
        }
        if (bytes > lanqi::kMaxPageRowBytes) std::abort();
    }
    return 0;
}
