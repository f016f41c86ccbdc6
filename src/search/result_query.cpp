#include "search/result_query.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include "platform/settings.h"
#include "scrape/result_entry.h"

namespace lanqi {
namespace {

bool isLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Bytes of the character at `i`: a lead byte takes the next byte with it.
size_t charLength(std::string_view text, size_t i) {
    return isLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// The half-width character the character at `i` (of `length` bytes) folds to, or 0 for a double-byte
// character that stays as it is.
char foldedAscii(std::string_view text, size_t i, size_t length) {
    const auto first = static_cast<unsigned char>(text[i]);
    if (length == 1) return first >= 'A' && first <= 'Z' ? static_cast<char>(first - 'A' + 'a') : text[i];
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (first == 0xA1 && second == 0xA1) return ' ';
    if (first == 0xA3 && second >= 0xA1 && second <= 0xFE) {
        const auto c = static_cast<unsigned char>(second - 0x80);
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    }
    return 0;
}

// Appends the folded form of `text` to `out`: never longer than `text`.
void appendFolded(std::string_view text, Text& out) {
    const size_t from = out.size();
    out.resize(from + text.size());
    char* to = out.data() + from;
    const auto* b = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = b[i];
        if (!isLead(c) || i + 1 == n) {
            *to++ = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
            ++i;
            continue;
        }
        const unsigned char second = b[i + 1];
        if (c == 0xA1 && second == 0xA1) {
            *to++ = ' ';
        } else if (c == 0xA3 && second >= 0xA1 && second <= 0xFE) {
            const auto half = static_cast<unsigned char>(second - 0x80);
            *to++ = half >= 'A' && half <= 'Z' ? static_cast<char>(half - 'A' + 'a') : static_cast<char>(half);
        } else {
            *to++ = static_cast<char>(c);
            *to++ = static_cast<char>(second);
        }
        i += 2;
    }
    out.resize(static_cast<size_t>(to - out.data()));
}

void foldInto(std::string_view text, Text& out) {
    out.clear();
    appendFolded(text, out);
}

// `needle` in `haystack` starting where a character starts, both folded: a match never begins on the second
// byte of a double-byte character, and since both texts are read character by character it ends on a whole one.
bool containsWhole(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return true;
    for (size_t i = 0; i + needle.size() <= haystack.size(); i += charLength(haystack, i))
        if (haystack[i] == needle[0] && std::memcmp(haystack.data() + i, needle.data(), needle.size()) == 0)
            return true;
    return false;
}

bool isBlank(char folded) { return folded == ' ' || folded == '\t'; }

// '"' (and its full-width form), or the Chinese quotes “ ”.
bool isQuote(std::string_view text, size_t i, size_t length) {
    if (length == 2 && static_cast<unsigned char>(text[i]) == 0xA1) {
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (second == 0xB0 || second == 0xB1) return true;
    }
    return foldedAscii(text, i, length) == '"';
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<unsigned long long> wholeNumber(std::string_view digits) {
    if (!allDigits(digits) || digits.size() > 18) return std::nullopt;
    unsigned long long n = 0;
    for (char c : digits) n = n * 10 + static_cast<unsigned>(c - '0');
    return n;
}

// "700m", "1.5g", "4gb", "512", "2kib": bytes, 1 K = 1024.
std::optional<unsigned long long> sizeValue(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    const std::string_view whole = text.substr(0, i);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        const size_t from = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        fraction = text.substr(from, i - from);
        if (fraction.empty()) return std::nullopt;
    }
    std::string_view unit = text.substr(i);
    unsigned shift = 0;
    if (!unit.empty()) {
        const char* const units = "kmgt";
        if (const char* u = std::strchr(units, unit[0]); u != nullptr && *u != '\0') {
            shift = 10 * static_cast<unsigned>(u - units + 1);
            unit.remove_prefix(1);
            if (unit == "ib") unit = "b";
        }
        if (!unit.empty() && unit != "b") return std::nullopt;
    }
    const auto wholeValue = wholeNumber(whole);
    if (!wholeValue || fraction.size() > 18 || *wholeValue > (~0ull >> shift)) return std::nullopt;
    // 0.d1d2...dk times the unit, rounded down, from the last digit to the first: each step divides by ten
    // what the digits after it gave, and rounding down at every step rounds the whole down once.
    unsigned long long fractionBytes = 0;
    for (size_t k = fraction.size(); k-- > 0;)
        fractionBytes = ((static_cast<unsigned long long>(fraction[k] - '0') << shift) + fractionBytes) / 10;
    const unsigned long long bytes = *wholeValue << shift;
    if (bytes > ~0ull - fractionBytes) return std::nullopt;
    return bytes + fractionBytes;
}

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// "2024", "2024-06", "2024-06-01" (or "/" or "." between): the first day of that year, month or day.
std::optional<ResultDate> periodStart(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t from = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '-' || text[i] == '/' || text[i] == '.') {
            fields.push_back(text.substr(from, i - from));
            from = i + 1;
        }
    }
    if (fields.size() > 3 || fields[0].size() != 4) return std::nullopt;
    for (std::string_view field : fields)
        if (!allDigits(field) || field.size() > 4) return std::nullopt;
    ResultDate d{static_cast<int>(*wholeNumber(fields[0])), 1, 1};
    if (fields.size() > 1) {
        if (fields[1].size() > 2) return std::nullopt;
        d.month = static_cast<int>(*wholeNumber(fields[1]));
        if (d.month < 1 || d.month > 12) return std::nullopt;
    }
    if (fields.size() > 2) {
        if (fields[2].size() > 2) return std::nullopt;
        static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const int last = days[d.month - 1] + (d.month == 2 && leapYear(d.year) ? 1 : 0);
        d.day = static_cast<int>(*wholeNumber(fields[2]));
        if (d.day < 1 || d.day > last) return std::nullopt;
    }
    return d;
}

std::vector<std::string_view> alternatives(std::string_view value) {
    std::vector<std::string_view> out;
    size_t from = 0;
    for (size_t i = 0; i <= value.size(); ++i) {
        if (i == value.size() || value[i] == '|') {
            out.push_back(value.substr(from, i - from));
            from = i + 1;
        }
    }
    return out;
}

Text lowerAscii(std::string_view text) {
    Text out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A term that is not a word, from its folded text; nothing when it is a word. `problem` is set when the term
// is a field term that cannot be read.
std::optional<FilterTerm> fieldTerm(const Text& f, const SiteNames& names,
                                    std::optional<FilterProblem::Kind>& problem) {
    size_t n = 0;
    while (n < f.size() && f[n] >= 'a' && f[n] <= 'z') ++n;
    if (n == 0 || n == f.size()) return std::nullopt;
    const std::string_view name = std::string_view(f).substr(0, n);
    const char sign = f[n];
    const std::string_view value = std::string_view(f).substr(n + 1);
    FilterTerm term;
    const auto fail = [&](FilterProblem::Kind kind) -> std::optional<FilterTerm> {
        problem = kind;
        return term;
    };
    if (name == "size" || name == "files") {
        if (sign == ':' || sign == '=') return fail(FilterProblem::NeedsComparison);
        if (sign != '>' && sign != '<') return std::nullopt;
        if (value.empty()) return fail(FilterProblem::MissingValue);
        const bool size = name == "size";
        const auto number = size ? sizeValue(value) : wholeNumber(value);
        if (!number) return fail(size ? FilterProblem::BadSize : FilterProblem::BadCount);
        term.kind = size ? (sign == '>' ? FilterTerm::SizeAbove : FilterTerm::SizeBelow)
                         : (sign == '>' ? FilterTerm::FilesAbove : FilterTerm::FilesBelow);
        term.number = *number;
        return term;
    }
    if (sign != ':') return std::nullopt;
    if (name != "kind" && name != "site" && name != "after" && name != "before")
        return fail(FilterProblem::UnknownField);
    if (value.empty()) return fail(FilterProblem::MissingValue);
    if (name == "kind") {
        term.kind = FilterTerm::KindIs;
        for (std::string_view word : alternatives(value)) {
            if (word == "video") {
                term.values.push_back(kVideo);
            } else if (word == "archive") {
                term.values.push_back(kArchive);
            } else if (word == "other") {
                term.values.push_back(kOther);
            } else {
                return fail(FilterProblem::BadKind);
            }
        }
        return term;
    }
    if (name == "site") {
        term.kind = FilterTerm::SiteIs;
        for (std::string_view word : alternatives(value)) {
            if (allDigits(word)) {
                const auto slot = wholeNumber(word);
                if (!slot || *slot < 1 || *slot > names.size()) return fail(FilterProblem::UnknownSite);
                term.values.push_back(static_cast<int>(*slot));
            } else if (isDefinitionName(word)) {
                const bool known = std::any_of(names.begin(), names.end(),
                                               [&](const Text& named) { return lowerAscii(named) == word; });
                if (!known) return fail(FilterProblem::UnknownSite);
                term.names.emplace_back(word);
            } else {
                return fail(FilterProblem::BadSite);
            }
        }
        return term;
    }
    const auto date = periodStart(value);
    if (!date) return fail(FilterProblem::BadDate);
    term.kind = name == "after" ? FilterTerm::DateFrom : FilterTerm::DateBefore;
    term.date = *date;
    return term;
}

// The title as the list shows it, folded, appended to `out`.
void appendFoldedTitle(const ResultItem& item, Text& out) {
    if (item.title.find('&') == Text::npos) {
        appendFolded(item.title, out);
    } else {
        appendFolded(decodeCharacterReferences(item.title), out);
    }
}

size_t listedFiles(const ResultItem& item) {
    return static_cast<size_t>(
        std::count_if(item.files.begin(), item.files.end(), [](const ListedFile& f) { return !f.entry.empty(); }));
}

// The file count: the one the page prints, else the number of files it lists, else none.
std::optional<long long> fileCountOf(const ResultItem& item) {
    if (item.fileCount) return item.fileCount;
    const size_t listed = listedFiles(item);
    if (listed > 0) return static_cast<long long>(listed);
    return std::nullopt;
}

int dateNumber(const ResultDate& d) { return d.year * 10000 + d.month * 100 + d.day; }

// The filter, with each site term's slots worked out once from the names table.
class Matcher {
  public:
    Matcher(const ResultFilter& filter, const SiteNames& names) : m_filter(filter) {
        for (const FilterTerm& term : filter.terms) {
            if (term.kind == FilterTerm::Word || term.kind == FilterTerm::NotWord) m_readsTitle = true;
            if (term.kind != FilterTerm::SiteIs) continue;
            std::vector<char> slots(names.size() + 1, 0);
            for (int slot : term.values) {
                if (slot >= static_cast<int>(slots.size())) slots.resize(static_cast<size_t>(slot) + 1, 0);
                if (slot >= 1) slots[static_cast<size_t>(slot)] = 1;
            }
            for (size_t k = 0; k < names.size(); ++k)
                if (!names[k].empty() &&
                    std::find(term.names.begin(), term.names.end(), lowerAscii(names[k])) != term.names.end())
                    slots[k + 1] = 1;
            m_slots.push_back(std::move(slots));
        }
    }

    bool operator()(std::span<const ResultItem> rows, const ResultView& view, const ViewEntry& entry) {
        const ResultItem& item = rows[entry.row];
        if (m_readsTitle) {
            m_title.clear();
            appendFoldedTitle(item, m_title);
        }
        size_t siteTerm = 0;
        for (const FilterTerm& term : m_filter.terms) {
            if (!holds(term, rows, view.sitesOf(entry), entry, item, siteTerm)) return false;
        }
        return true;
    }

  private:
    bool holds(const FilterTerm& term, std::span<const ResultItem> rows, std::span<const int> sites,
               const ViewEntry& entry, const ResultItem& item, size_t& siteTerm) const {
        switch (term.kind) {
            case FilterTerm::Word:
                return containsWhole(m_title, term.text);
            case FilterTerm::NotWord:
                return !containsWhole(m_title, term.text);
            case FilterTerm::SizeAbove:
                return item.sizeBytes && *item.sizeBytes > term.number;
            case FilterTerm::SizeBelow:
                return item.sizeBytes && *item.sizeBytes < term.number;
            case FilterTerm::FilesAbove:
            case FilterTerm::FilesBelow: {
                const auto count = fileCountOf(rows[entry.filesRow]);
                if (!count || *count < 0) return false;
                const auto n = static_cast<unsigned long long>(*count);
                return term.kind == FilterTerm::FilesAbove ? n > term.number : n < term.number;
            }
            case FilterTerm::KindIs:
                return std::find(term.values.begin(), term.values.end(), item.fileKind) != term.values.end();
            case FilterTerm::SiteIs: {
                const std::vector<char>& slots = m_slots[siteTerm++];
                return std::any_of(sites.begin(), sites.end(), [&](int site) {
                    return site >= 1 && static_cast<size_t>(site) < slots.size() && slots[static_cast<size_t>(site)];
                });
            }
            case FilterTerm::DateFrom:
                return item.date && dateNumber(*item.date) >= dateNumber(term.date);
            case FilterTerm::DateBefore:
                return item.date && dateNumber(*item.date) < dateNumber(term.date);
        }
        return false;
    }

    const ResultFilter& m_filter;
    bool m_readsTitle = false;
    std::vector<std::vector<char>> m_slots;  // per SiteIs term, in order: slot n allowed when [n] is set
    Text m_title;
};

// Every row its own entry; with `unique` one entry per hash key, at its first row.
void fillEntries(std::span<const ResultItem> rows, bool unique, ResultView& view) {
    const size_t n = rows.size();
    view.rows.resize(n);
    view.sites.reserve(n);
    if (!unique) {
        view.entries.resize(n);
        for (size_t i = 0; i < n; ++i) {
            view.rows[i] = i;
            view.sites.push_back(rows[i].site);
            view.entries[i] = ViewEntry{i, i, i, 1, i, 1};
        }
        return;
    }
    // The entry of each row, and how many rows each entry has.
    std::vector<size_t> entryOf(n);
    std::unordered_map<std::string_view, size_t> entryOfHash;
    entryOfHash.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const Text& key = rows[i].hashKey;
        size_t e = view.entries.size();
        if (!key.empty()) e = entryOfHash.try_emplace(key, e).first->second;
        if (e == view.entries.size()) view.entries.push_back(ViewEntry{i, i, 0, 0, 0, 0});
        ++view.entries[e].rowCount;
        entryOf[i] = e;
    }
    size_t next = 0;
    for (ViewEntry& entry : view.entries) {
        entry.firstRow = next;
        next += entry.rowCount;
        entry.rowCount = 0;
    }
    for (size_t i = 0; i < n; ++i) {
        ViewEntry& entry = view.entries[entryOf[i]];
        view.rows[entry.firstRow + entry.rowCount++] = i;
    }
    // Each entry's slots, each once, and its longest file list.
    for (ViewEntry& entry : view.entries) {
        entry.firstSite = view.sites.size();
        size_t longest = 0;
        for (size_t i : view.rowsOf(entry)) {
            const ResultItem& item = rows[i];
            const auto own = std::span<const int>(view.sites).subspan(entry.firstSite);
            if (std::find(own.begin(), own.end(), item.site) == own.end()) view.sites.push_back(item.site);
            const size_t listed = listedFiles(item);
            if (listed > longest) {
                longest = listed;
                entry.filesRow = i;
            }
        }
        entry.siteCount = view.sites.size() - entry.firstSite;
    }
}

// Entries with a key in key order (ties in the order they are in), then those without one, in their order.
template <class Key>
void sortByKeys(std::vector<ViewEntry>& entries, const std::vector<std::optional<Key>>& keys, bool descending) {
    std::vector<std::pair<Key, size_t>> keyed;
    std::vector<size_t> missing;
    keyed.reserve(entries.size());
    for (size_t k = 0; k < entries.size(); ++k) {
        if (keys[k]) {
            keyed.emplace_back(*keys[k], k);
        } else {
            missing.push_back(k);
        }
    }
    if (descending) {
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return b.first < a.first; });
    } else {
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    std::vector<ViewEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& [key, k] : keyed) sorted.push_back(entries[k]);
    for (size_t k : missing) sorted.push_back(entries[k]);
    entries = std::move(sorted);
}

template <class Key, class Of>
void sortBy(std::vector<ViewEntry>& entries, bool descending, Of of) {
    std::vector<std::optional<Key>> keys;
    keys.reserve(entries.size());
    for (const ViewEntry& entry : entries) keys.push_back(of(entry));
    sortByKeys(entries, keys, descending);
}

void sortEntries(std::span<const ResultItem> rows, std::vector<ViewEntry>& entries, SortOrder order,
                 std::span<const std::optional<long long>> health) {
    switch (order.key) {
        case SortKey::Run:
            if (order.descending) std::reverse(entries.begin(), entries.end());
            return;
        case SortKey::Title: {
            // Every title folded into one buffer, each entry's key a piece of it.
            Text folded;
            std::vector<std::pair<size_t, size_t>> pieces;
            pieces.reserve(entries.size());
            for (const ViewEntry& e : entries) {
                const size_t from = folded.size();
                appendFoldedTitle(rows[e.row], folded);
                pieces.emplace_back(from, folded.size() - from);
            }
            std::vector<std::optional<std::string_view>> keys;
            keys.reserve(pieces.size());
            for (const auto& [from, size] : pieces) keys.emplace_back(std::string_view(folded).substr(from, size));
            sortByKeys(entries, keys, order.descending);
            return;
        }
        case SortKey::Size:
            sortBy<unsigned long long>(entries, order.descending,
                                       [&](const ViewEntry& e) { return rows[e.row].sizeBytes; });
            return;
        case SortKey::Files:
            sortBy<long long>(entries, order.descending,
                              [&](const ViewEntry& e) { return fileCountOf(rows[e.filesRow]); });
            return;
        case SortKey::Date:
            sortBy<int>(entries, order.descending, [&](const ViewEntry& e) {
                const auto& date = rows[e.row].date;
                return date ? std::optional<int>(dateNumber(*date)) : std::nullopt;
            });
            return;
        case SortKey::Site:
            sortBy<int>(entries, order.descending,
                        [&](const ViewEntry& e) { return std::optional<int>(rows[e.row].site); });
            return;
        case SortKey::Kind:
            // archive (0), other (1), video (3): the order of their names too.
            sortBy<int>(entries, order.descending,
                        [&](const ViewEntry& e) { return std::optional<int>(rows[e.row].fileKind); });
            return;
        case SortKey::Health:
            sortBy<long long>(entries, order.descending,
                              [&](const ViewEntry& e) { return e.row < health.size() ? health[e.row] : std::nullopt; });
            return;
    }
}

}  // namespace

SiteNames siteNamesOf(const SearchSites& sites) {
    SiteNames names;
    names.reserve(sites.size());
    for (const SearchSite& site : sites) names.push_back(site.definition != nullptr ? site.definition->name : Text());
    return names;
}

Text foldText(std::string_view gbkText) {
    Text out;
    foldInto(gbkText, out);
    return out;
}

Text FilterProblem::reason() const {
    switch (kind) {
        case UnknownField:
            return gbk(u8"不认识的条件（要找含冒号的词请加引号）");
        case MissingValue:
            return gbk(u8"条件缺少值");
        case NeedsComparison:
            return gbk(u8"大小和文件数要用 > 或 < 比较");
        case BadSize:
            return gbk(u8"大小要写成数字加 K、M、G 或 T，如 700M、1.5G");
        case BadCount:
            return gbk(u8"文件数要写成整数");
        case BadKind:
            return gbk(u8"类型只能是 video、archive 或 other");
        case BadSite:
            return gbk(u8"站点要写成编号或站点定义的名字");
        case UnknownSite:
            return gbk(u8"没有这个站点");
        case BadDate:
            return gbk(u8"日期要写成 2024、2024-06 或 2024-06-01");
        case OnlyWordsExclude:
            return gbk(u8"只有词和短语可以用“-”排除");
        case NothingToExclude:
            return gbk(u8"“-”后面缺少要排除的词");
        case UnterminatedQuote:
            return gbk(u8"引号没有配对");
        case EmptyPhrase:
            return gbk(u8"引号里没有内容");
    }
    return {};
}

std::string FilterProblem::english() const {
    switch (kind) {
        case UnknownField:
            return "unknown field (a word with a colon is searched in quotes)";
        case MissingValue:
            return "the term has no value";
        case NeedsComparison:
            return "size and files are compared with > or <";
        case BadSize:
            return "a size is a number with K, M, G or T (700M, 1.5G)";
        case BadCount:
            return "a file count is a whole number";
        case BadKind:
            return "a kind is video, archive or other";
        case BadSite:
            return "a site is a slot number or a site definition's name";
        case UnknownSite:
            return "no slot is that site";
        case BadDate:
            return "a date is written 2024, 2024-06 or 2024-06-01";
        case OnlyWordsExclude:
            return "only words and phrases can be excluded with -";
        case NothingToExclude:
            return "- has no word after it";
        case UnterminatedQuote:
            return "the quote is not closed";
        case EmptyPhrase:
            return "the quotes hold nothing";
    }
    return {};
}

FilterParse parseFilter(std::string_view expression, const SiteNames& names) {
    FilterParse parse;
    const auto problem = [&](FilterProblem::Kind kind, size_t from, size_t to) {
        parse.problems.push_back({kind, Text(expression.substr(from, to - from))});
    };
    size_t i = 0;
    while (i < expression.size()) {
        const size_t n = charLength(expression, i);
        if (isBlank(foldedAscii(expression, i, n))) {
            i += n;
            continue;
        }
        const size_t start = i;
        // A phrase: a quote, or "-" and a quote; it runs to the next quote.
        const bool minus = foldedAscii(expression, i, n) == '-';
        const size_t open = minus ? i + n : i;
        const size_t openLength = open < expression.size() ? charLength(expression, open) : 0;
        if (openLength > 0 && isQuote(expression, open, openLength)) {
            size_t k = open + openLength;
            size_t close = std::string_view::npos;
            while (k < expression.size()) {
                const size_t m = charLength(expression, k);
                if (isQuote(expression, k, m)) {
                    close = k;
                    k += m;
                    break;
                }
                k += m;
            }
            i = k;
            if (close == std::string_view::npos) {
                problem(FilterProblem::UnterminatedQuote, start, i);
                continue;
            }
            const std::string_view inside = expression.substr(open + openLength, close - open - openLength);
            if (inside.empty()) {
                problem(FilterProblem::EmptyPhrase, start, i);
                continue;
            }
            FilterTerm term;
            term.kind = minus ? FilterTerm::NotWord : FilterTerm::Word;
            term.text = foldText(inside);
            parse.filter.terms.push_back(std::move(term));
            continue;
        }
        // A word or a field term: it runs to the next blank.
        while (i < expression.size()) {
            const size_t m = charLength(expression, i);
            if (isBlank(foldedAscii(expression, i, m))) break;
            i += m;
        }
        const Text folded = foldText(expression.substr(start, i - start));
        const bool excluded = folded[0] == '-';
        if (excluded && folded.size() == 1) {
            problem(FilterProblem::NothingToExclude, start, i);
            continue;
        }
        const Text body = excluded ? folded.substr(1) : folded;
        std::optional<FilterProblem::Kind> bad;
        const auto field = fieldTerm(body, names, bad);
        if (excluded && field) bad = FilterProblem::OnlyWordsExclude;
        if (bad) {
            problem(*bad, start, i);
            continue;
        }
        if (field) {
            parse.filter.terms.push_back(*field);
        } else {
            FilterTerm term;
            term.kind = excluded ? FilterTerm::NotWord : FilterTerm::Word;
            term.text = body;
            parse.filter.terms.push_back(std::move(term));
        }
    }
    return parse;
}

bool descendingByDefault(SortKey key) {
    return key == SortKey::Size || key == SortKey::Date || key == SortKey::Files || key == SortKey::Health;
}

std::optional<SortKey> sortKeyNamed(std::string_view name) {
    static const std::pair<std::string_view, SortKey> keys[] = {
        {"title", SortKey::Title}, {"size", SortKey::Size}, {"files", SortKey::Files},  {"date", SortKey::Date},
        {"site", SortKey::Site},   {"kind", SortKey::Kind}, {"health", SortKey::Health}};
    for (const auto& [named, key] : keys)
        if (named == name) return key;
    return std::nullopt;
}

ResultView viewRows(std::span<const ResultItem> rows, const ResultFilter& filter, SortOrder order, bool unique,
                    const SiteNames& names, std::span<const std::optional<long long>> health) {
    ResultView view;
    fillEntries(rows, unique, view);
    view.total = view.entries.size();
    if (!filter.terms.empty()) {
        Matcher matches(filter, names);
        std::erase_if(view.entries, [&](const ViewEntry& entry) { return !matches(rows, view, entry); });
    }
    sortEntries(rows, view.entries, order, health);
    return view;
}

}  // namespace lanqi
