#pragma once

#include <climits>
#include <string_view>
#include <vector>

#include "scrape/byte_search.h"

namespace lanqi::scrape {

// findFrom over one page that remembers, per marker, its last answer. A search from a position between
// the last search's start and the occurrence it found (or anywhere behind it when it found nothing)
// has the same answer, so the scan never reads those bytes again. The item loop's searches move
// forward through the page, which makes a whole page cost about one pass per marker even when a marker
// is missing from every item.
class MarkerSearch {
  public:
    MarkerSearch(std::string_view page, const std::vector<std::string_view>& markers)
        : m_page(page), m_markers(markers), m_memo(markers.size()) {}

    // findFrom(page, marker number `slot`, from).
    int find(int slot, int from) {
        if (from < 1) from = 1;
        Memo& memo = m_memo[static_cast<size_t>(slot)];
        if (memo.from <= from && (memo.found < 0 || from <= memo.found)) return memo.found;
        memo.from = from;
        memo.found = findFrom(m_page, m_markers[static_cast<size_t>(slot)], from);
        return memo.found;
    }

  private:
    struct Memo {
        int from = INT_MAX;
        int found = -1;
    };
    std::string_view m_page;
    const std::vector<std::string_view>& m_markers;
    std::vector<Memo> m_memo;
};

}  // namespace lanqi::scrape
