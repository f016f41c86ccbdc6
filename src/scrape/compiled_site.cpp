#include "scrape/compiled_site.h"

#include <algorithm>

namespace lanqi::scrape {
namespace {

int slot(CompiledSite& site, std::string_view marker) {
    if (marker.empty()) return -1;
    const auto it = std::find(site.markers.begin(), site.markers.end(), marker);
    if (it != site.markers.end()) return static_cast<int>(it - site.markers.begin());
    site.markers.push_back(marker);
    return static_cast<int>(site.markers.size()) - 1;
}

}  // namespace

CompiledSite compileSite(const SiteTable& table) {
    CompiledSite site;
    site.anchor = slot(site, table.itemAnchor);
    site.entryTag = slot(site, kEntryTag);
    for (const Step& s : table.steps) {
        CompiledStep c;
        c.step = &s;
        c.label = gbk(s.label);
        for (size_t i = 0; i < 2; ++i) c.tags[i] = gbk(s.tags[i]);
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

}  // namespace lanqi::scrape
