#include "scrape/compiled_site.h"

namespace lanqi::scrape {
namespace {

// A marker number of its own for every place a marker is searched from, even where two places search the
// same text. The searches of one place move forward from item to item, so its remembered answer serves
// every later item until that occurrence is passed, and the page costs one pass per place. Shared, the
// places would overwrite each other's answers: a title whose end marker lies at the far end of the page,
// and a line that finds the same marker close by in every item, would read the page to its end once per
// item.
int slot(CompiledSite& site, std::string_view marker) {
    if (marker.empty()) return -1;
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
