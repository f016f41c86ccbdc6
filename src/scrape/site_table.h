#pragma once

#include <span>
#include <string_view>

#include "platform/text.h"
#include "scrape/result_item.h"

namespace lanqi::scrape {

// The steps by which one result item is cut out of a site's page. Each site definition (site_definition.h)
// holds one table of steps, run in order by the item loop (item_loop.h) once per item anchor. Markers,
// labels and tags are UTF-8 here; labels and tags are converted to GBK once, the markers are searched in the
// UTF-8 page as they are.
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
    Line,         // a detail line: label + field, and the typed field `field` names
    Files,        // the contained-file list: header + entries, each also a listed file
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
    ResultField field = ResultField::Other;  // Line: the typed field it fills (DescriptionUrl: not shown)
    bool itemTest = false;                   // a missing start marker skips the whole item (no row)
    bool keepCursor = false;                 // the field's end does not become the end cursor
    std::string_view cursorTo;               // the end cursor moves to this marker, searched from the field start
    std::string_view listEnd;                // Files: no entry starts at or behind this marker
    std::string_view entryEnd;               // Files: the marker that ends one entry
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
    std::string_view pageMarker;  // proves the buffer holds a result page of this site
    std::string_view itemAnchor;  // one per result item
    TotalRule total;
    std::span<const Step> steps;
};

// Why the item loop cannot run `steps`, in English, with the index of the step at fault in `at`; nullptr
// when it can: one title and one hash, each part of the item made once and in an order that has what it
// needs, every item test before the first emission, every search marker non-empty, and each typed field
// filled by one line at most.
const char* stepsProblem(std::span<const Step> steps, size_t& at);

}  // namespace lanqi::scrape
