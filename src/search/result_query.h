#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "scrape/result_item.h"
#include "search/site_catalogue.h"

namespace lanqi {

// What the results list shows of a run's rows: a filter typed as one line of text, a sort order, and one row
// per torrent. The windows and lanqi-cli share it; every function here is pure and takes the rows as they are.

// Element n - 1 is the name of the definition slot n runs ("site2", or a user's definition), "" for a slot
// without one. A `site:NAME` term means the slots whose name this table gives.
using SiteNames = std::vector<Text>;
SiteNames siteNamesOf(const SearchSites& sites);

// One term of a filter expression. Every term must hold for a row to be shown.
struct FilterTerm {
    enum Kind : unsigned char {
        Word,        // `text` appears in the title
        NotWord,     // `text` does not appear in the title
        SizeAbove,   // size in bytes > number
        SizeBelow,   // size in bytes < number
        FilesAbove,  // file count > number
        FilesBelow,  // file count < number
        KindIs,      // fileKind is one of `values`
        SiteIs,      // the slot is one of `values`, or runs a definition named in `names`
        DateFrom,    // date >= `date`
        DateBefore,  // date < `date`
    };
    Kind kind = Word;
    Text text;  // Word, NotWord: the word or phrase, folded (foldText)
    unsigned long long number = 0;
    std::vector<int> values;  // KindIs: FileKind values; SiteIs: slot numbers
    std::vector<Text> names;  // SiteIs: definition names, lower case
    ResultDate date;          // DateFrom, DateBefore: the first day of the year, month or day written

    bool operator==(const FilterTerm&) const = default;
};

struct ResultFilter {
    std::vector<FilterTerm> terms;  // none: every row is shown

    bool operator==(const ResultFilter&) const = default;
};

// A term of the expression that could not be read: the term as written and why.
struct FilterProblem {
    enum Kind : unsigned char {
        UnknownField,       // "name:value" with a name no term has
        MissingValue,       // "kind:", "size>"
        NeedsComparison,    // "size:1G", "files=3": size and files take > or <
        BadSize,            // not a number with an optional K, M, G or T (and B), or too large
        BadCount,           // not a whole number, or too large
        BadKind,            // not video, archive or other
        BadSite,            // neither a slot number nor a definition name
        UnknownSite,        // a slot or a definition name no slot of the table has
        BadDate,            // not YYYY, YYYY-MM or YYYY-MM-DD (or with "/" or "."), or no such day
        OnlyWordsExclude,   // "-size>1G": only words and phrases can be excluded
        NothingToExclude,   // "-" on its own
        UnterminatedQuote,  // a phrase without its closing quote
        EmptyPhrase,        // ""
    } kind;
    Text term;  // GBK, as written

    Text reason() const;          // a short reason in Chinese, GBK, for the windows
    std::string english() const;  // the same in English, for lanqi-cli's messages

    bool operator==(const FilterProblem&) const = default;
};

struct FilterParse {
    ResultFilter filter;  // the terms that could be read
    std::vector<FilterProblem> problems;
};

// Reads a filter expression (GBK). Terms are separated by blanks (half-width or full-width); full-width
// letters, digits and signs read as their half-width forms and Latin letters in any case:
//   word  "a phrase"     the title contains it (as shown: character references decoded)
//   -word  -"a phrase"   the title does not contain it
//   size>700M  size<4G   bytes; K M G T are 1024-based, a B after them or after a plain number is allowed,
//                        decimals too (1.5G)
//   files>1  files<50    the file count: the one the page prints, else the number of files it lists
//   kind:video|archive|other    any of (fileKind 3, 0, 1)
//   site:3  site:NAME  site:2|site7    the slot, or a slot running definition NAME (checked against `names`)
//   after:2024-06  before:2025    after:X is on or after the first day of X, before:X before the first day of X;
//                                 X is a year, a month or a day
// A row that lacks the field a term reads (no size, no date, no count) fails that term. Only words and
// phrases can be negated. A term that cannot be read is left out of the filter and reported.
FilterParse parseFilter(std::string_view expression, const SiteNames& names);

// Lower-case Latin letters, full-width ASCII (A3A1..A3FE) as its half-width form and the full-width blank
// (A1A1) as a blank; every other character as it is. A lead byte 0x81..0xFE and the byte after it are one
// character.
Text foldText(std::string_view gbkText);

// Health: what the swarm check found (see viewRows' `health`).
enum class SortKey : unsigned char { Run, Title, Size, Files, Date, Site, Kind, Health };

// The direction lists usually want for a key: largest, newest and fullest first; everything else ascending.
bool descendingByDefault(SortKey key);
// "title", "size", "files", "date", "site", "kind", "health"; nothing for another word.
std::optional<SortKey> sortKeyNamed(std::string_view name);

// Ties keep run order in both directions, and rows without the key (no size, date or file count) come after
// every row that has it, in both directions. Title compares folded GBK bytes; kind compares archive, other,
// video.
struct SortOrder {
    SortKey key = SortKey::Run;
    bool descending = false;

    bool operator==(const SortOrder&) const = default;
};

// One line of the list: a row, or with one row per torrent every row of its hash.
struct ViewEntry {
    size_t row = 0;       // the index in the run of the row shown (the first of its hash)
    size_t filesRow = 0;  // of its rows, the one with the longest file list (the first on ties)
    // Where its rows and their slots are in the view's lists (ResultView::rowsOf and sitesOf).
    size_t firstRow = 0;
    size_t rowCount = 1;
    size_t firstSite = 0;
    size_t siteCount = 1;

    bool operator==(const ViewEntry&) const = default;
};

struct ResultView {
    std::vector<ViewEntry> entries;  // what is shown, in order
    size_t total = 0;                // entries before the filter: rows, or hashes when one row per torrent
    std::vector<size_t> rows;        // every entry's rows, one entry after the other
    std::vector<int> sites;          // every entry's slots, one entry after the other

    size_t shown() const { return entries.size(); }
    // Every row an entry stands for, in run order (the first is entry.row), and their slots, each once, in order
    // of first appearance.
    std::span<const size_t> rowsOf(const ViewEntry& entry) const {
        return std::span<const size_t>(rows).subspan(entry.firstRow, entry.rowCount);
    }
    std::span<const int> sitesOf(const ViewEntry& entry) const {
        return std::span<const int>(sites).subspan(entry.firstSite, entry.siteCount);
    }
};

// The rows of a run as the list shows them. With `unique`, rows of the same hashKey become one entry where
// the first of them stood (a row with an empty hashKey stays on its own). Then the filter: an entry is read as
// its first row, but for `site:` any of its sites counts and for `files` its longest list's row. Then the sort, which
// reads an entry the same way. `health` holds, by run row, how well shared a row's torrent is as the swarm
// check found it (larger: better; none, or past its end: not checked); only SortKey::Health reads it.
ResultView viewRows(std::span<const ResultItem> rows, const ResultFilter& filter, SortOrder order, bool unique,
                    const SiteNames& names, std::span<const std::optional<long long>> health = {});

}  // namespace lanqi
