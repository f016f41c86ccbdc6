// The typed result record: what the built-in definitions fill from each site's page, how a line's value
// parses into its field, and the details text formatted from the record.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "scrape/result_entry.h"
#include "scrape/scrape.h"
#include "scrape/site_definition.h"
#include "support/scrape_harness.h"

namespace lanqi {
namespace {

using test::g;
using test::scrapeAlone;

std::string fixture(int site) { return test::readFixture("scrape/site" + std::to_string(site) + ".html"); }

struct Expected {
    int site;
    size_t row;
    std::string size;
    std::optional<unsigned long long> bytes;
    std::string date;
    std::optional<ResultDate> parsedDate;
    std::optional<long long> fileCount;
    std::vector<std::pair<std::string, std::string>> files;  // name, printed size
    std::string hashKey;
};

void expectRecord(const ResultItem& item, const Expected& e) {
    EXPECT_GBK(item.sizeText, e.size);
    EXPECT_EQ(item.sizeBytes, e.bytes);
    EXPECT_GBK(item.dateText, e.date);
    EXPECT_EQ(item.date, e.parsedDate);
    EXPECT_EQ(item.fileCount, e.fileCount);
    EXPECT_EQ(item.hashKey, e.hashKey);
    ASSERT_EQ(item.files.size(), e.files.size());
    for (size_t i = 0; i < item.files.size(); ++i) {
        EXPECT_GBK(item.files[i].name, e.files[i].first);
        EXPECT_GBK(item.files[i].sizeText, e.files[i].second);
    }
}

// Each built-in definition names the lines its site has: size, date and file count come out of the page
// with the details text as it always was.
TEST(ResultRecord, EachBuiltInSitesFixtureGivesItsTypedFields) {
    const Expected cases[] = {
        {1,
         0,
         "1.2GB",
         1288490189ull,
         "2015-05-01",
         ResultDate{2015, 5, 1},
         3,
         {{"超能陆战队.MKV", "1.2GB"}, {"Sample/sample.txt", "12.4KB"}, {"KB", ""}},
         "5c0a2e6b8d9f1a3b4c5d6e7f8091a2b3c4d5e6f7"},
        {1, 2, "0.0 B", 0ull, "2017-01-09", ResultDate{2017, 1, 9}, 0, {}, "0000000000000000000000000000000000000001"},
        {2,
         0,
         "1.25 GB",
         1342177280ull,
         "2015-05-01",
         ResultDate{2015, 5, 1},
         std::nullopt,
         {{"Big Hero 6.mkv", "1.25 GB"}, {"字幕/简体中文.ass", "45.10 KB"}},
         "8f1e2d3c4b5a69788796a5b4c3d2e1f001234567"},
        {3,
         1,
         "3.50 GB",
         3758096384ull,
         "2016-12-31",
         ResultDate{2016, 12, 31},
         std::nullopt,
         {},
         "aaaabbbbccccddddeeeeffff0000111122223333"},
        {4,
         0,
         "1.25 GB",
         1342177280ull,
         "2015-05-01",
         ResultDate{2015, 5, 1},
         3,
         {},
         "3f786850e387550fdab836ed7e6dc881de23001b"},
        {5,
         0,
         "1.25 GB",
         1342177280ull,
         "2015-05-01",
         ResultDate{2015, 5, 1},
         std::nullopt,
         {{"超能陆战队.1080p.WMV", "1.25 GB"}, {"readme.txt", "1.02 KB"}, {"", ""}},  // an entry without a tag
         "a94a8fe5ccb19ba61c4c0873d391e987982fbbd3"},
        {6,
         1,
         "2.00 GB",
         2147483648ull,
         "2020-10-10",
         ResultDate{2020, 10, 10},
         1,
         {},
         "aaaabbbbccccddddeeeeffff0000111122223333"},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE("site " + std::to_string(c.site) + " row " + std::to_string(c.row));
        const std::string page = fixture(c.site);
        const SitePageScrape scrape = scrapeAlone(builtInSiteDefinition(c.site), c.site, page);
        ASSERT_GT(scrape.items.size(), c.row);
        const ResultItem& item = scrape.items[c.row];
        expectRecord(item, c);
        EXPECT_EQ(item.magnetLink, "magnet:?xt=urn:btih:" + item.infoHash);
        // The typed lines are the details' lines: each stands in the details text with its label.
        for (const DetailLine& line : item.lines)
            EXPECT_NE(item.detailText.find(line.label + line.value), Text::npos) << utf8(line.label);
    }
}

// A definition with labels of its own fills the same fields: the labels are the details text's only.
TEST(ResultRecord, EnglishLabelsWithFieldsGiveTheSameTypedFieldsAndTheirOwnDetails) {
    std::string english(builtInSiteDefinitionText(4));
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"文件大小：", "Size: "},
                                   {"文件数量：", "Files: "},
                                   {"创建时间：", "Created: "}}) {
        const size_t at = english.find(from);
        ASSERT_NE(at, std::string::npos);
        english.replace(at, from.size(), to);
    }
    std::vector<SettingsProblem> problems;
    const SiteDefinitionPtr mine = parseSiteDefinition(english, "english4", "english4.toml", problems);
    ASSERT_NE(mine, nullptr) << (problems.empty() ? "" : problems.front().english());
    // The same copy without its field keys: the lines are shown, no field is filled.
    std::string unnamed = english;
    for (size_t at; (at = unnamed.find("field = ")) != std::string::npos;)
        unnamed.erase(at, unnamed.find('\n', at) + 1 - at);
    const SiteDefinitionPtr plain = parseSiteDefinition(unnamed, "plain4", "plain4.toml", problems);
    ASSERT_NE(plain, nullptr);

    const std::string page = fixture(4);
    const SitePageScrape builtIn = scrapeAlone(builtInSiteDefinition(4), 4, page);
    const SitePageScrape labelled = scrapeAlone(mine, 4, page);
    const SitePageScrape bare = scrapeAlone(plain, 4, page);
    ASSERT_EQ(labelled.items.size(), builtIn.items.size());
    ASSERT_EQ(bare.items.size(), builtIn.items.size());
    ASSERT_FALSE(builtIn.items.empty());
    for (size_t r = 0; r < builtIn.items.size(); ++r) {
        const ResultItem& a = builtIn.items[r];
        const ResultItem& b = labelled.items[r];
        EXPECT_FALSE(a.sizeText.empty());
        EXPECT_EQ(b.sizeText, a.sizeText);
        EXPECT_EQ(b.sizeBytes, a.sizeBytes);
        EXPECT_EQ(b.fileCount, a.fileCount);
        EXPECT_EQ(b.dateText, a.dateText);
        EXPECT_EQ(b.date, a.date);
        EXPECT_NE(b.detailText.find("\r\n\r\nSize: " + a.sizeText), Text::npos) << utf8(b.detailText);
        EXPECT_NE(b.detailText.find("\r\n\r\nCreated: " + a.dateText), Text::npos);
        EXPECT_EQ(b.detailText.find(g("文件大小")), Text::npos);
        EXPECT_EQ(bare.items[r].detailText, b.detailText);
        EXPECT_TRUE(bare.items[r].sizeText.empty());
        EXPECT_EQ(bare.items[r].fileCount, std::nullopt);
        EXPECT_TRUE(bare.items[r].dateText.empty());
    }
}

// What a line's value gives its field: blanks around it dropped, and the parsed form only where it parses.
TEST(ResultRecord, ALinesValueFillsItsFieldAsItParses) {
    const struct {
        ResultField field;
        std::string value;
        std::string text;  // sizeText, dateText or descriptionUrl
        std::optional<unsigned long long> bytes;
        std::optional<long long> count;
        std::optional<ResultDate> date;
    } cases[] = {
        {ResultField::Size, " 3.9GB\t", "3.9GB", 4187593114ull, std::nullopt, std::nullopt},
        {ResultField::Size, "135.67 MB", "135.67 MB", 142260306ull, std::nullopt, std::nullopt},
        {ResultField::Size, "huge", "huge", std::nullopt, std::nullopt, std::nullopt},
        {ResultField::Size, "", "", std::nullopt, std::nullopt, std::nullopt},
        {ResultField::FileCount, " 12 ", "", std::nullopt, 12, std::nullopt},
        {ResultField::FileCount, "many", "", std::nullopt, std::nullopt, std::nullopt},
        {ResultField::FileCount, "3 files", "", std::nullopt, std::nullopt, std::nullopt},
        {ResultField::FileCount, "-1", "", std::nullopt, std::nullopt, std::nullopt},
        {ResultField::FileCount, "", "", std::nullopt, std::nullopt, std::nullopt},
        {ResultField::Date, "2021-11-08", "2021-11-08", std::nullopt, std::nullopt, ResultDate{2021, 11, 8}},
        {ResultField::Date, " 2012/6/9 10:11 ", "2012/6/9 10:11", std::nullopt, std::nullopt, ResultDate{2012, 6, 9}},
        {ResultField::Date, "2016-02-30", "2016-02-30", std::nullopt, std::nullopt, std::nullopt},
        {ResultField::Date, "yesterday", "yesterday", std::nullopt, std::nullopt, std::nullopt},
        {ResultField::DescriptionUrl, " /hash/ab.html", "/hash/ab.html", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        ResultItem item;
        fillResultField(item, c.field, c.value);
        const Text& text = c.field == ResultField::Size        ? item.sizeText
                           : c.field == ResultField::Date      ? item.dateText
                           : c.field == ResultField::FileCount ? Text()
                                                               : item.descriptionUrl;
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(item.sizeBytes, c.bytes);
        EXPECT_EQ(item.fileCount, c.count);
        EXPECT_EQ(item.date, c.date);
    }
}

TEST(ResultRecord, SizesCountKilobytesAs1024Bytes) {
    EXPECT_EQ(sizeInBytes("512 bytes"), 512u);
    EXPECT_EQ(sizeInBytes("1KB"), 1024u);
    EXPECT_EQ(sizeInBytes("1.5 mb"), 1572864u);
    EXPECT_EQ(sizeInBytes("2 GiB"), 2147483648u);
    EXPECT_EQ(sizeInBytes("1 TB"), 1099511627776u);
    for (const char* notASize : {"", "GB", "1.2.3 GB", "12", "3 apples", "-1 GB", "1e99 TB"})
        EXPECT_EQ(sizeInBytes(notASize), std::nullopt) << notASize;
}

TEST(ResultRecord, DatesAreYearMonthDayWithinTheCalendar) {
    const struct {
        std::string text;
        std::optional<ResultDate> date;
    } cases[] = {
        {"2017-09-15", ResultDate{2017, 9, 15}},
        {"2016-02-29", ResultDate{2016, 2, 29}},
        {"2000.2.29", ResultDate{2000, 2, 29}},
        {"2015-05-01 08:00:00", ResultDate{2015, 5, 1}},
        {"1900-02-29", std::nullopt},
        {"2017-13-01", std::nullopt},
        {"2017-00-10", std::nullopt},
        {"2017-04-31", std::nullopt},
        {"2017-04-010", std::nullopt},
        {"2017-04/01", std::nullopt},
        {"17-04-01", std::nullopt},
        {"2017-04", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(dateOf(c.text), c.date) << c.text;
}

TEST(ResultRecord, HashesCompareAsFortyLowerCaseHexDigits) {
    const struct {
        std::string hash;
        std::string key;
    } cases[] = {
        {"3F786850E387550FDAB836ED7E6DC881DE23001B", "3f786850e387550fdab836ed7e6dc881de23001b"},
        {"H54GQUHDQ5KQ7WVYG3WX43OIQHPCGAA3", "3f786850e387550fdab836ed7e6dc881de23001b"},
        {"h54gquhdq5kq7wvyg3wx43oiqhpcgaa3", "3f786850e387550fdab836ed7e6dc881de23001b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ234567", "00443214c74254b635cf84653a56d7c675be77df"},
        {"MFRGGZDFMZTWQ2LKNNWG23TPOBYXE43U", "6162636465666768696a6b6c6d6e6f7071727374"},
        {"3f786850e387550fdab836ed7e6dc881de23001", ""},
        {"0123456789abcdef0123456789abcdef", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(infoHashKey(c.hash), c.key) << c.hash;
}

TEST(ResultRecord, AFileEntryEndingInASizeIsNameAndSize) {
    const struct {
        std::string entry;
        std::string name;
        std::string size;
        std::optional<unsigned long long> bytes;
    } cases[] = {
        {"超能陆战队.part1.rar 7.6GB", "超能陆战队.part1.rar", "7.6GB", 8160437862ull},
        {"Sample/sample.mp4 6.19 GB", "Sample/sample.mp4", "6.19 GB", 6646461891ull},
        {" 第2集.mkv  2.44 GB ", "第2集.mkv", "2.44 GB", 2619930051ull},
        {"No size here", "No size here", "", std::nullopt},
        {"KB", "KB", "", std::nullopt},
        {"", "", "", std::nullopt},
    };
    for (const auto& c : cases) {
        const ListedFile file = listedFileOf(g(c.entry));
        EXPECT_EQ(file.entry, g(c.entry));
        EXPECT_GBK(file.name, c.name);
        EXPECT_GBK(file.sizeText, c.size);
        EXPECT_EQ(file.sizeBytes, c.bytes) << c.entry;
    }
}

// The details text is written from the record's parts in their order, with the record's own labels.
TEST(ResultRecord, TheDetailsTextIsFormattedFromThePartsInTheirOrder) {
    ResultItem item;
    item.title = "T";
    item.site = 7;
    item.magnetLink = "magnet:?xt=urn:btih:AB";
    item.lines = {{"\r\n\r\nSize: ", "1 GB", ResultField::Size}, {"\r\n\r\nSeeds: ", "", ResultField::Other}};
    item.files = {listedFileOf("a.mkv 1 GB"), listedFileOf("b.txt")};
    Text download;
    appendDownloadBlock(download, item.magnetLink);
    const auto part = [](DetailPart::Kind kind, size_t first, size_t count = 0, Text header = {}) {
        return DetailPart{kind, first, count, std::move(header)};
    };
    const struct {
        std::vector<DetailPart> parts;
        std::string between;  // what stands between the title line and the site line
    } cases[] = {
        {{part(DetailPart::Line, 0), part(DetailPart::Download, 0),
          part(DetailPart::Files, 0, 2, "\r\n\r\nFiles:\r\n\r\n"), part(DetailPart::Line, 1)},
         "\r\n\r\nSize: 1 GB" + download + "\r\n\r\nFiles:\r\n\r\na.mkv 1 GB\r\n\r\nb.txt\r\n\r\nSeeds: "},
        {{part(DetailPart::Download, 0), part(DetailPart::Files, 1, 1, "\r\n\r\nF:"),
          part(DetailPart::Files, 0, 0, "\r\n\r\nnone"), part(DetailPart::Line, 0)},
         download + "\r\n\r\nF:b.txt\r\n\r\nSize: 1 GB"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        item.detailParts = c.parts;
        Text expected;
        startDetailText(expected, item.title);
        expected += c.between;
        appendSiteLine(expected, item.site);
        EXPECT_EQ(formatDetailText(item), expected) << c.between;
    }
}

}  // namespace
}  // namespace lanqi
