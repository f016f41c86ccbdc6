#pragma once

#include <span>
#include <string_view>

#include "platform/text.h"

namespace lanqi::scrape {

// The steps by which one result item is cut out of a site's page. Each site is one table of steps, run
// in order by the item loop (item_loop.h) once per item anchor. Markers and labels are UTF-8 here; the
// labels are converted to GBK once, the markers are searched in the UTF-8 page as they are.
//
// Every search goes forward from the end cursor unless a rule says otherwise, and a field's end is
// searched from the field's start. Where a marker is missing the field is empty and the end cursor
// stays where it was, so that the scan still moves forward past a damaged item.

enum class Start : unsigned char {
    After,                  // after `marker` (searched from the end cursor) + skip
    AfterNext,              // search `marker`, then after the next `next` behind it
    AfterLastBeforeAnchor,  // after the last `marker` before the item anchor, within this item, + skip
    AfterLastBeforeEnd,     // after the last `marker` before the field's end, behind the end cursor
};

enum class End : unsigned char {
    At,        // at `marker` (searched from the field start) + skip
    AtBehind,  // at `marker` searched from after `behind` + behindSkip (`behind` searched from the cursor)
    Length,    // `length` bytes from the start
};

enum class Use : unsigned char {
    Title,        // the result's title: tags removed, completed, classified
    Hash,         // the info-hash, from which the magnet link is made
    Line,         // a detail line: label + field
    Files,        // the contained-file list: header + entries
    ListItem,     // the item's title and file kind are final
    DetailStart,  // begin the details text with the title
    Magnet,       // the item's magnet link, and the download block in the details
};

enum class Reduce : unsigned char {
    None,
    TrimSize,  // trimSizeText on the raw bytes
    Unwrap,    // unwrapFileItem on the raw bytes
};

struct StartRule {
    Start kind = Start::After;
    std::string_view marker;
    std::string_view next;
    int skip = 0;
};

struct EndRule {
    End kind = End::At;
    std::string_view marker;
    int skip = 0;
    std::string_view behind;
    int behindSkip = 0;
    int length = 0;
};

struct Step {
    Use use = Use::Line;
    StartRule start;
    EndRule end;
    std::string_view label;    // Line: the line's label; Files: the header before the first entry
    std::string_view tags[2];  // Title: tags removed in this order after conversion
    Reduce reduce = Reduce::None;
    bool itemTest = false;      // a missing start marker skips the whole item (no row)
    bool keepCursor = false;    // the field's end does not become the end cursor
    std::string_view cursorTo;  // the end cursor moves to this marker, searched from the field start
    std::string_view listEnd;   // Files: no entry starts at or behind this marker
    std::string_view entryEnd;  // Files: the marker that ends one entry
};

// How the page's total result count is read: from the page start, never from the end cursor.
struct TotalRule {
    bool printed = false;           // false: the site prints no total
    std::string_view start;         // the count begins after the first occurrence
    std::string_view end;           // the count ends at the first occurrence behind `start`...
    bool endFromPageStart = false;  // ... or at its first occurrence in the page
    bool dropCommas = false;        // "1,234" is read as 1234
};

struct SiteTable {
    int number;
    std::string_view pageMarker;  // proves the buffer holds a result page of this site
    std::string_view itemAnchor;  // one per result item
    TotalRule total;
    std::span<const Step> steps;
};

// ---- Building blocks the tables are written in ----

constexpr StartRule after(std::string_view marker, int skip = 0) { return {Start::After, marker, {}, skip}; }
constexpr StartRule afterNext(std::string_view marker, std::string_view next) {
    return {Start::AfterNext, marker, next, 0};
}
constexpr StartRule afterLastBeforeAnchor(std::string_view marker, int skip = 0) {
    return {Start::AfterLastBeforeAnchor, marker, {}, skip};
}
constexpr StartRule afterLastBeforeEnd(std::string_view marker) { return {Start::AfterLastBeforeEnd, marker, {}, 0}; }

constexpr EndRule at(std::string_view marker, int skip = 0) { return {End::At, marker, skip, {}, 0, 0}; }
constexpr EndRule atBehind(std::string_view marker, std::string_view behind, int behindSkip) {
    return {End::AtBehind, marker, 0, behind, behindSkip, 0};
}
constexpr EndRule bytes(int length) { return {End::Length, {}, 0, {}, 0, length}; }

constexpr Step step(Use use, StartRule start = {}, EndRule end = {}) {
    Step s;
    s.use = use;
    s.start = start;
    s.end = end;
    return s;
}
constexpr Step title(StartRule start, EndRule end, std::string_view tag1 = {}, std::string_view tag2 = {}) {
    Step s = step(Use::Title, start, end);
    s.tags[0] = tag1;
    s.tags[1] = tag2;
    return s;
}
constexpr Step hash(StartRule start, EndRule end) { return step(Use::Hash, start, end); }
constexpr Step line(std::string_view label, StartRule start, EndRule end, Reduce reduce = Reduce::None) {
    Step s = step(Use::Line, start, end);
    s.label = label;
    s.reduce = reduce;
    return s;
}
constexpr Step files(std::string_view header, std::string_view listEnd, std::string_view entryEnd, Reduce reduce) {
    Step s = step(Use::Files);
    s.label = header;
    s.reduce = reduce;
    s.listEnd = listEnd;
    s.entryEnd = entryEnd;
    return s;
}
constexpr Step listItem() { return step(Use::ListItem); }
constexpr Step detailStart() { return step(Use::DetailStart); }
constexpr Step magnet() { return step(Use::Magnet); }

// Modifiers.
constexpr Step itemTest(Step s) {
    s.itemTest = true;
    return s;
}
constexpr Step keepCursor(Step s) {
    s.keepCursor = true;
    return s;
}
constexpr Step cursorTo(Step s, std::string_view marker) {
    s.cursorTo = marker;
    return s;
}

// A table the item loop can run: one title and one hash, each part of the item made once and in an order
// that has what it needs, every item test before the first emission, and every search marker
// non-empty. Checked at compile time for each site.
constexpr bool wellFormed(std::span<const Step> steps) {
    int titles = 0, hashes = 0, items = 0, details = 0, magnets = 0;
    bool emitted = false;
    for (const Step& s : steps) {
        const bool emits = s.use == Use::ListItem || s.use == Use::DetailStart || s.use == Use::Magnet;
        if (s.itemTest && emitted) return false;
        if (s.use == Use::Title) ++titles;
        if (s.use == Use::Hash) ++hashes;
        if (s.use == Use::ListItem && (titles != 1 || ++items != 1)) return false;
        if (s.use == Use::DetailStart && (titles != 1 || ++details != 1)) return false;
        if (s.use == Use::Magnet && (hashes != 1 || details != 1 || ++magnets != 1)) return false;
        if ((s.use == Use::Line || s.use == Use::Files) && details != 1) return false;
        if (s.use == Use::Title || s.use == Use::Hash || s.use == Use::Line) {
            if (s.start.marker.empty() || (s.start.kind == Start::AfterNext && s.start.next.empty())) return false;
            if (s.end.kind != End::Length && s.end.marker.empty()) return false;
            if (s.end.kind == End::AtBehind && s.end.behind.empty()) return false;
            if (s.start.kind == Start::AfterLastBeforeEnd && s.end.kind != End::AtBehind) return false;
        }
        if (s.use == Use::Files && (s.listEnd.empty() || s.entryEnd.empty())) return false;
        emitted = emitted || emits;
    }
    return titles == 1 && hashes == 1 && items == 1 && details == 1 && magnets == 1;
}

// Site n's table, n = 1..6.
const SiteTable& siteTable(int number);

}  // namespace lanqi::scrape
