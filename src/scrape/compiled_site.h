#pragma once

#include <string_view>
#include <vector>

#include "scrape/site_table.h"

namespace lanqi::scrape {

// A site's table ready to run: labels and tags in GBK, and every place a marker is searched forwards from
// numbered, so that MarkerSearch can remember its last answer per place. Built once, when the site's definition is
// read. Its views and step pointers lead into the table it was made from, which must outlive it.
struct CompiledStep {
    const Step* step = nullptr;
    Text label;
    Text tags[2];
    int start = -1, next = -1, end = -1, behind = -1, cursorTo = -1, listEnd = -1, entryEnd = -1;
};

struct CompiledSite {
    int anchor = -1;    // marker number of the item anchor
    int entryTag = -1;  // marker number of "<li>"
    std::vector<std::string_view> markers;
    std::vector<CompiledStep> steps;
};

inline constexpr std::string_view kEntryTag = "<li>";

CompiledSite compileSite(const SiteTable& table);

}  // namespace lanqi::scrape
