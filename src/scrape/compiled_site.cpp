#include "scrape/compiled_site.h"

#include <algorithm>
#include <array>

namespace lanqi::scrape {
namespace {

int slot(CompiledSite& site, std::string_view marker) {
    if (marker.empty()) return -1;
    const auto it = std::find(site.markers.begin(), site.markers.end(), marker);
    if (it != site.markers.end()) return static_cast<int>(it - site.markers.begin());
    site.markers.push_back(marker);
    return static_cast<int>(site.markers.size()) - 1;
}

CompiledSite compile(const SiteTable& table) {
    CompiledSite site;
    site.number = table.number;
    site.digit = decimalText(table.number);
    site.anchor = slot(site, table.itemAnchor);
    site.entryTag = slot(site, kEntryTag);
    for (const Step& s : table.steps) {
        CompiledStep c;
        c.step = &s;
        c.label = gbk(s.label);
        // Backward searches are bounded by the item and need no memory.
        if (s.start.kind == Start::After || s.start.kind == Start::AfterNext) c.start = slot(site, s.start.marker);
        c.next = slot(site, s.start.next);
        c.end = slot(site, s.end.marker);
        c.behind = slot(site, s.end.behind);
        c.cursorTo = slot(site, s.cursorTo);
        c.listEnd = slot(site, s.listEnd);
        c.entryEnd = slot(site, s.entryEnd);
        site.steps.push_back(std::move(c));
    }
    return site;
}

}  // namespace

const CompiledSite& compiledSite(int number) {
    static const std::array<CompiledSite, 6> sites{compile(siteTable(1)), compile(siteTable(2)), compile(siteTable(3)),
                                                   compile(siteTable(4)), compile(siteTable(5)), compile(siteTable(6))};
    return sites[static_cast<size_t>(number >= 1 && number <= 6 ? number - 1 : 0)];
}

}  // namespace lanqi::scrape
