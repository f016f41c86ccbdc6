#include "search/result_query.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "scrape/result_entry.h"
#include "support/scrape_harness.h"

namespace lanqi {
namespace {

using test::g;

// Slots 1..6 run their built-in definitions, slot 7 runs site2 again and slot 8 a user's "Mine".
const SiteNames kNames = {"site1", "site2", "site3", "site4", "site5", "site6", "site2", "Mine"};

struct Row {
    std::string title;  // UTF-8
    int site = 1;
    std::optional<unsigned long long> size = {};
    std::optional<long long> count = {};
    int listed = 0;  // files listed
    std::optional<ResultDate> date = {};
    std::string hash = {};  // as the page gives it
};

ResultItem item(const Row& r) {
    ResultItem it;
    it.title = g(r.title);
    it.fileKind = fileKindOf(it.title);
    it.site = r.site;
    it.sizeBytes = r.size;
    it.fileCount = r.count;
    for (int k = 0; k < r.listed; ++k) it.files.push_back(listedFileOf(g("f" + std::to_string(k) + ".mkv 1 MB")));
    it.date = r.date;
    it.infoHash = r.hash;
    it.hashKey = infoHashKey(r.hash);
    return it;
}

std::vector<ResultItem> items(const std::vector<Row>& rows) {
    std::vector<ResultItem> out;
    for (const Row& r : rows) out.push_back(item(r));
    return out;
}

std::vector<size_t> shown(const ResultView& view) {
    std::vector<size_t> out;
    for (const ViewEntry& e : view.entries) out.push_back(e.row);
    return out;
}

// The rows a filter expression (UTF-8) keeps, in order; the expression must read without a problem.
std::vector<size_t> kept(const std::vector<ResultItem>& rows, const std::string& expression) {
    const FilterParse parse = parseFilter(g(expression), kNames);
    EXPECT_TRUE(parse.problems.empty()) << expression << ": " << parse.problems.front().english();
    return shown(viewRows(rows, parse.filter, {}, false, kNames));
}

FilterTerm term(FilterTerm::Kind kind) {
    FilterTerm t;
    t.kind = kind;
    return t;
}
FilterTerm word(const std::string& text, bool excluded = false) {
    FilterTerm t = term(excluded ? FilterTerm::NotWord : FilterTerm::Word);
    t.text = g(text);
    return t;
}
FilterTerm number(FilterTerm::Kind kind, unsigned long long n) {
    FilterTerm t = term(kind);
    t.number = n;
    return t;
}
FilterTerm anyOf(FilterTerm::Kind kind, std::vector<int> values, std::vector<Text> names = {}) {
    FilterTerm t = term(kind);
    t.values = std::move(values);
    t.names = std::move(names);
    return t;
}
FilterTerm date(FilterTerm::Kind kind, int y, int m, int d) {
    FilterTerm t = term(kind);
    t.date = {y, m, d};
    return t;
}

TEST(ParseFilter, TermsReadAsTheyAreWritten) {
    constexpr unsigned long long M = 1ull << 20, G = 1ull << 30;
    const struct {
        std::string expression;
        std::vector<FilterTerm> terms;
    } cases[] = {
        {"", {}},
        {"  \t　 ", {}},
        {"Big HERO", {word("big"), word("hero")}},
        {"ＢＩＧ　ｈｅｒｏ６", {word("big"), word("hero6")}},  // full-width letters, digit and blank
        {"超能 -mkv", {word("超能"), word("mkv", true)}},
        {"－ＭＫＶ", {word("mkv", true)}},
        {"\"Big  Hero\" x", {word("big  hero"), word("x")}},
        {"-\"big hero\"", {word("big hero", true)}},
        {"“大 白”", {word("大 白")}},
        {"\"re:zero\"", {word("re:zero")}},
        {"a-b sizeable size5 ab>3", {word("a-b"), word("sizeable"), word("size5"), word("ab>3")}},
        {"size>700M size<4G", {number(FilterTerm::SizeAbove, 700 * M), number(FilterTerm::SizeBelow, 4 * G)}},
        {"SIZE>1.5g", {number(FilterTerm::SizeAbove, 3 * G / 2)}},
        {"size>512 size>512b size>2KiB size<3mb",
         {number(FilterTerm::SizeAbove, 512), number(FilterTerm::SizeAbove, 512), number(FilterTerm::SizeAbove, 2048),
          number(FilterTerm::SizeBelow, 3 * M)}},
        {"size>0.1k size<1T", {number(FilterTerm::SizeAbove, 102), number(FilterTerm::SizeBelow, 1ull << 40)}},
        {"ｓｉｚｅ＞７００Ｍ", {number(FilterTerm::SizeAbove, 700 * M)}},
        {"files>1 files<50", {number(FilterTerm::FilesAbove, 1), number(FilterTerm::FilesBelow, 50)}},
        {"kind:video|archive kind:other",
         {anyOf(FilterTerm::KindIs, {kVideo, kArchive}), anyOf(FilterTerm::KindIs, {kOther})}},
        {"site:3 site:site2|mine|8",
         {anyOf(FilterTerm::SiteIs, {3}), anyOf(FilterTerm::SiteIs, {8}, {"site2", "mine"})}},
        {"after:2024-06 before:2025",
         {date(FilterTerm::DateFrom, 2024, 6, 1), date(FilterTerm::DateBefore, 2025, 1, 1)}},
        {"after:2024/2/29 before:2024.12.31",
         {date(FilterTerm::DateFrom, 2024, 2, 29), date(FilterTerm::DateBefore, 2024, 12, 31)}},
    };
    for (const auto& c : cases) {
        const FilterParse parse = parseFilter(g(c.expression), kNames);
        EXPECT_TRUE(parse.problems.empty()) << c.expression;
        EXPECT_EQ(parse.filter.terms, c.terms) << c.expression;
    }
}

TEST(ParseFilter, BadTermsAreReportedAsWrittenAndTheOthersKept) {
    using P = FilterProblem;
    const struct {
        std::string expression;
        std::vector<std::pair<P::Kind, std::string>> problems;
    } cases[] = {
        {"re:zero", {{P::UnknownField, "re:zero"}}},
        {"size> kind:", {{P::MissingValue, "size>"}, {P::MissingValue, "kind:"}}},
        {"size:1G files=3", {{P::NeedsComparison, "size:1G"}, {P::NeedsComparison, "files=3"}}},
        {"size>1X size>1.G size>.5G size>99999999T",
         {{P::BadSize, "size>1X"}, {P::BadSize, "size>1.G"}, {P::BadSize, "size>.5G"}, {P::BadSize, "size>99999999T"}}},
        {"size>18446744073709551616", {{P::BadSize, "size>18446744073709551616"}}},
        {"files>1.5 files<-2", {{P::BadCount, "files>1.5"}, {P::BadCount, "files<-2"}}},
        {"kind:movie kind:video|", {{P::BadKind, "kind:movie"}, {P::BadKind, "kind:video|"}}},
        {"site:0 site:9 site:nosuch site:a/b",
         {{P::UnknownSite, "site:0"},
          {P::UnknownSite, "site:9"},
          {P::UnknownSite, "site:nosuch"},
          {P::BadSite, "site:a/b"}}},
        {"after:2023-02-29 before:24 after:2024-13 after:2024-1-1-1",
         {{P::BadDate, "after:2023-02-29"},
          {P::BadDate, "before:24"},
          {P::BadDate, "after:2024-13"},
          {P::BadDate, "after:2024-1-1-1"}}},
        {"-size>1G -kind:video", {{P::OnlyWordsExclude, "-size>1G"}, {P::OnlyWordsExclude, "-kind:video"}}},
        {"a - b", {{P::NothingToExclude, "-"}}},
        {"a \"open phrase", {{P::UnterminatedQuote, "\"open phrase"}}},
        {"\"\" -\"\"", {{P::EmptyPhrase, "\"\""}, {P::EmptyPhrase, "-\"\""}}},
        {"超能 ｋｉｎｄ：ｆｉｌｍ", {{P::BadKind, "ｋｉｎｄ：ｆｉｌｍ"}}},
    };
    for (const auto& c : cases) {
        const FilterParse parse = parseFilter(g(c.expression), kNames);
        std::vector<std::pair<P::Kind, Text>> expected;
        for (const auto& [kind, term] : c.problems) expected.emplace_back(kind, g(term));
        std::vector<std::pair<P::Kind, Text>> reported;
        for (const FilterProblem& p : parse.problems) reported.emplace_back(p.kind, p.term);
        EXPECT_EQ(reported, expected) << c.expression;
    }
    // The good terms around a bad one are kept.
    const FilterParse mixed = parseFilter(g("abc kind:film -def"), kNames);
    EXPECT_EQ(mixed.filter.terms, (std::vector<FilterTerm>{word("abc"), word("def", true)}));
    // Each reason is a text of its own, in GBK for the windows.
    std::set<Text> reasons;
    for (int k = P::UnknownField; k <= P::EmptyPhrase; ++k) {
        const P problem{static_cast<P::Kind>(k), "x"};
        EXPECT_FALSE(utf8(problem.reason()).empty()) << k;
        EXPECT_FALSE(problem.english().empty()) << k;
        reasons.insert(problem.reason());
    }
    EXPECT_EQ(reasons.size(), size_t{P::EmptyPhrase} + 1);
}

TEST(FilterWords, CaseAndFullWidthFoldAndDoubleBytesStayWhole) {
    const struct {
        std::string expression;
        std::string title;
        bool shown;
    } cases[] = {
        {"hero", "Big HERO 6.mkv", true},
        {"HERO", "ｂｉｇ　ｈｅｒｏ", true},
        {"ｈｅｒｏ", "big Hero", true},
        {"big hero", "Hero Big", true},
        {"\"big hero\"", "Hero Big", false},
        {"\"big hero\"", "Big　Hero", true},  // a full-width blank is a blank
        {"hero", "Big Her 6", false},
        {"大白", "超能陆战队 大白 1080P", true},
        {"蟀", "大白", false},  // 大 B4F3 + 白 B0D7: F3 B0 is 蟀
        {"子", "白英", false},  // 白 B0D7 + 英 D3A2: D7 D3 is 子
        {"a", "癮", false},     // 癮 is B0 61: its second byte is no "a"
        {"癮", "癆", false},    // 癆 is B0 41: a second byte is never folded
        {"癆", "x癆", true},
        {"-mkv", "a.mkv", false},
        {"-mkv", "a.mp4", true},
        {"-\"big hero\"", "Big Hero", false},
        {"&", "Tom &amp; Jerry", true},  // as the list shows the title
        {"amp", "Tom &amp; Jerry", false},
    };
    for (const auto& c : cases) {
        const std::vector<ResultItem> rows = items({{c.title}});
        EXPECT_EQ(kept(rows, c.expression).size(), c.shown ? 1u : 0u) << c.expression << " in " << c.title;
    }
}

TEST(FilterFields, RowsWithoutTheFieldFailTheTerm) {
    constexpr unsigned long long M = 1ull << 20;
    const std::vector<ResultItem> rows = items({
        {"a.mkv", 1, 700 * M, 2, 0, ResultDate{2024, 5, 31}},                // 0
        {"b.mkv", 2, 700 * M + 1, std::nullopt, 3, ResultDate{2024, 6, 1}},  // 1: three files listed, no count
        {"c.rar", 3, std::nullopt, std::nullopt, 0, std::nullopt},           // 2: no size, count, files or date
        {"d.txt", 7, 5 * M, 1, 0, ResultDate{2024, 12, 31}},                 // 3
        {"e.iso", 8, 4ull << 30, 50, 0, ResultDate{2025, 1, 1}},             // 4
    });
    const struct {
        std::string expression;
        std::vector<size_t> rows;
    } cases[] = {
        {"", {0, 1, 2, 3, 4}},
        {"size>700M", {1, 4}},
        {"size<700M", {3}},
        {"size<4G", {0, 1, 3}},
        {"files>1", {0, 1, 4}},
        {"files<3", {0, 3}},
        {"files>1 files<50", {0, 1}},
        {"kind:video", {0, 1}},
        {"kind:archive|other", {2, 3, 4}},
        {"site:2", {1}},
        {"site:site2", {1, 3}},  // slot 7 runs site2 too
        {"site:MINE|3", {2, 4}},
        {"after:2024-06", {1, 3, 4}},
        {"before:2025", {0, 1, 3}},
        {"after:2024 before:2024", {}},
        {"kind:video size>700M", {1}},
    };
    for (const auto& c : cases) EXPECT_EQ(kept(rows, c.expression), c.rows) << c.expression;
}

TEST(FilterDates, AfterIsFromTheStartAndBeforeIsUpToTheStartOfWhatIsWritten) {
    const struct {
        std::string term;
        ResultDate date;
        bool shown;
    } cases[] = {
        {"after:2024-06", {2024, 5, 31}, false},   {"after:2024-06", {2024, 6, 1}, true},
        {"after:2024-6-15", {2024, 6, 14}, false}, {"after:2024-6-15", {2024, 6, 15}, true},
        {"after:2024", {2023, 12, 31}, false},     {"after:2024", {2024, 1, 1}, true},
        {"before:2025", {2024, 12, 31}, true},     {"before:2025", {2025, 1, 1}, false},
        {"before:2024-03", {2024, 2, 29}, true},   {"before:2024-03", {2024, 3, 1}, false},
        {"before:2000.1.2", {2000, 1, 1}, true},   {"before:2000.1.2", {2000, 1, 2}, false},
    };
    for (const auto& c : cases) {
        const std::vector<ResultItem> rows = items({{"t", 1, std::nullopt, std::nullopt, 0, c.date}});
        EXPECT_EQ(kept(rows, c.term).size(), c.shown ? 1u : 0u)
            << c.term << " " << c.date.year << "-" << c.date.month << "-" << c.date.day;
    }
}

TEST(SortRows, StableWithRowsLackingTheKeyLastInBothDirections) {
    const std::vector<ResultItem> rows = items({
        {"b", 2, 10, std::nullopt, 0, ResultDate{2020, 1, 2}},  // 0
        {"A", 1, std::nullopt, 3, 0, std::nullopt},             // 1
        {"c", 1, 10, 1, 0, ResultDate{2020, 1, 1}},             // 2
        {"a", 3, 30, std::nullopt, 5, ResultDate{2020, 1, 2}},  // 3: five files listed
        {"ｂ", 2, std::nullopt, 3, 0, std::nullopt},            // 4
    });
    const struct {
        SortOrder order;
        std::vector<size_t> rows;
    } cases[] = {
        {{SortKey::Run, false}, {0, 1, 2, 3, 4}},   {{SortKey::Run, true}, {4, 3, 2, 1, 0}},
        {{SortKey::Size, false}, {0, 2, 3, 1, 4}},  {{SortKey::Size, true}, {3, 0, 2, 1, 4}},
        {{SortKey::Files, false}, {2, 1, 4, 3, 0}}, {{SortKey::Files, true}, {3, 1, 4, 2, 0}},
        {{SortKey::Date, false}, {2, 0, 3, 1, 4}},  {{SortKey::Date, true}, {0, 3, 2, 1, 4}},
        {{SortKey::Title, false}, {1, 3, 0, 4, 2}}, {{SortKey::Title, true}, {2, 0, 4, 1, 3}},
        {{SortKey::Site, false}, {1, 2, 0, 4, 3}},  {{SortKey::Site, true}, {3, 0, 4, 1, 2}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(viewRows(rows, {}, c.order, false, kNames)), c.rows)
            << static_cast<int>(c.order.key) << (c.order.descending ? " desc" : " asc");
}

// Over many rows with few distinct keys: every key is in order, ties in run order, missing keys at the end.
TEST(SortRows, ManyTiesKeepRunOrder) {
    std::mt19937 random(7);
    std::vector<Row> made;
    for (int i = 0; i < 400; ++i) {
        const unsigned r = random();
        Row row{std::string(1, static_cast<char>('a' + r % 3)), 1 + static_cast<int>(r / 3 % 4)};
        if (r / 12 % 4 != 0) row.size = r / 48 % 5;
        if (r / 240 % 3 != 0) row.date = ResultDate{2020 + static_cast<int>(r / 720 % 3), 1, 1};
        made.push_back(row);
    }
    const std::vector<ResultItem> rows = items(made);
    const auto keyOf = [&](SortKey key, size_t k) -> std::optional<long long> {
        if (key == SortKey::Size)
            return rows[k].sizeBytes ? std::optional<long long>(*rows[k].sizeBytes) : std::nullopt;
        return rows[k].date ? std::optional<long long>(rows[k].date->year) : std::nullopt;
    };
    for (const bool descending : {false, true}) {
        for (const SortKey key : {SortKey::Size, SortKey::Date}) {
            const std::vector<size_t> order = shown(viewRows(rows, {}, {key, descending}, false, kNames));
            ASSERT_EQ(order.size(), rows.size());
            for (size_t k = 1; k < order.size(); ++k) {
                const size_t a = order[k - 1], b = order[k];
                const auto ka = keyOf(key, a), kb = keyOf(key, b);
                ASSERT_FALSE(!ka && kb) << k;  // a missing key never comes before a present one
                if (ka && kb) {
                    ASSERT_TRUE(descending ? *ka >= *kb : *ka <= *kb) << k;
                }
                if (ka == kb) {
                    ASSERT_LT(a, b) << k;
                }
            }
        }
    }
}

// Twenty bytes as the 32 base32 characters a magnet link may carry them in.
std::string base32(const std::string& hex) {
    std::string bits;
    for (char c : hex) {
        const int v = std::stoi(std::string(1, c), nullptr, 16);
        for (int b = 3; b >= 0; --b) bits.push_back(((v >> b) & 1) ? '1' : '0');
    }
    std::string out;
    for (size_t i = 0; i < bits.size(); i += 5)
        out.push_back("ABCDEFGHIJKLMNOPQRSTUVWXYZ234567"[std::stoi(bits.substr(i, 5), nullptr, 2)]);
    return out;
}

TEST(GroupRows, OneEntryPerHashWhereItsFirstRowWas) {
    const std::string a = "0123456789abcdef0123456789abcdef01234567";
    const std::string b = "89abcdef0123456789abcdef0123456789abcdef";
    const std::string upperA = "0123456789ABCDEF0123456789ABCDEF01234567";
    ASSERT_EQ(infoHashKey(base32(a)), a);
    const std::vector<ResultItem> rows = items({
        {"a.mkv", 1, 1, std::nullopt, 1, std::nullopt, a},                 // 0
        {"b.rar", 2, 2, std::nullopt, 0, std::nullopt, b},                 // 1
        {"a again", 3, 3, std::nullopt, 4, std::nullopt, base32(a)},       // 2
        {"no hash", 4},                                                    // 3
        {"no hash", 4},                                                    // 4
        {"a thrice", 1, 4, std::nullopt, 4, std::nullopt, upperA},         // 5: as long a list as row 2
        {"b again", 5, 5, std::nullopt, 2, std::nullopt, b},               // 6
        {"not a hash", 6, 6, std::nullopt, 0, std::nullopt, a.substr(1)},  // 7
    });
    const ResultView view = viewRows(rows, {}, {}, true, kNames);
    struct Entry {
        size_t row;
        std::vector<size_t> rows;
        std::vector<int> sites;
        size_t filesRow;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> entries;
    for (const ViewEntry& e : view.entries) {
        const auto rowsOf = view.rowsOf(e);
        const auto sitesOf = view.sitesOf(e);
        entries.push_back({e.row, {rowsOf.begin(), rowsOf.end()}, {sitesOf.begin(), sitesOf.end()}, e.filesRow});
    }
    const std::vector<Entry> expected = {
        {0, {0, 2, 5}, {1, 3}, 2}, {1, {1, 6}, {2, 5}, 6}, {3, {3}, {4}, 3}, {4, {4}, {4}, 4}, {7, {7}, {6}, 7},
    };
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(view.total, 5u);
    EXPECT_EQ(viewRows(rows, {}, {}, false, kNames).total, rows.size());

    // Filtered after grouping: any of its sites counts, its first row gives the rest, its longest list the count.
    const struct {
        std::string expression;
        std::vector<size_t> rows;
    } cases[] = {
        {"site:3", {0}},  {"site:5", {1}},     {"mkv", {0}},       {"again", {}},
        {"files>3", {0}}, {"files>1", {0, 1}}, {"size>1", {1, 7}}, {"kind:video", {0}},
    };
    for (const auto& c : cases) {
        const FilterParse parse = parseFilter(g(c.expression), kNames);
        ASSERT_TRUE(parse.problems.empty()) << c.expression;
        const ResultView filtered = viewRows(rows, parse.filter, {}, true, kNames);
        EXPECT_EQ(shown(filtered), c.rows) << c.expression;
        EXPECT_EQ(filtered.total, 5u) << c.expression;
    }
    // Then sorted, by the first row's size.
    EXPECT_EQ(shown(viewRows(rows, {}, {SortKey::Size, true}, true, kNames)), (std::vector<size_t>{7, 1, 0, 3, 4}));
}

TEST(SortKeys, NamesAndDefaultDirections) {
    const struct {
        std::string name;
        std::optional<SortKey> key;
        bool descending;
    } cases[] = {
        {"size", SortKey::Size, true},    {"date", SortKey::Date, true},  {"files", SortKey::Files, true},
        {"title", SortKey::Title, false}, {"site", SortKey::Site, false}, {"kind", SortKey::Kind, false},
        {"Size", std::nullopt, false},    {"", std::nullopt, false},      {"run", std::nullopt, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sortKeyNamed(c.name), c.key) << c.name;
        if (c.key) {
            EXPECT_EQ(descendingByDefault(*c.key), c.descending) << c.name;
        }
    }
}

}  // namespace
}  // namespace lanqi
