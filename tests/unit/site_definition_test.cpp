#include "scrape/site_definition.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "scrape/result_entry.h"
#include "scrape/scrape.h"
#include "support/scrape_harness.h"
#include "support/scratch_folder.h"

namespace lanqi {
namespace {

using test::scrapeAlone;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

long lineOf(const std::string& text, const std::string& marker) {
    const size_t at = text.find(marker);
    return at == std::string::npos ? -1 : 1 + static_cast<long>(std::count(text.begin(), text.begin() + at, '\n'));
}

TEST(SiteDefinitions, TheInstalledFilesAreTheCompiledInTextsAndReadWithoutProblems) {
    for (int n = 1; n <= 6; ++n) {
        const std::string name = "site" + std::to_string(n) + ".toml";
        std::ifstream in(std::string(LANQI_SOURCE_DIR) + "/sites/" + name, std::ios::binary);
        const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(builtInSiteDefinitionText(n), file) << name;
        std::vector<SettingsProblem> problems;
        ASSERT_NE(parseSiteDefinition(file, name, name, problems), nullptr) << name;
        EXPECT_TRUE(problems.empty()) << name;
        ASSERT_NE(builtInSiteDefinition(n), nullptr);
    }
}

// Each broken definition is refused with the line of the fault and what is wrong there.
TEST(SiteDefinitions, ABrokenDefinitionIsRefusedWithItsLine) {
    const std::string site3(builtInSiteDefinitionText(3));
    struct Case {
        std::string text;
        std::string lineMarker;  // the line the problem must name ("" for the file as a whole)
        std::string says;
    };
    const Case cases[] = {
        {replaced(site3, "format = 1", "format = = 1"), "format = = 1", "not a TOML file"},
        {replaced(site3, "format = 1", "format = 2"), "format = 2", "format must be a whole number from 1 to 1"},
        {replaced(site3, "name = ", "nmae = "), "nmae = ", "unknown key nmae"},
        {replaced(site3, "encoding = \"UTF-8\"", "encoding = \"NO-SUCH-CHARSET\""), "encoding =", "not a charset"},
        {replaced(site3, "item_anchor = \"Hash：\"", "item_anchor = \"\""), "item_anchor", "must not be empty"},
        {replaced(site3, "[page]", "[pages]"), "[pages]", "unknown key pages"},
        {replaced(site3, "path = \"/s/\"", "path = \"/s /\""), "path =", "must not hold blanks"},
        {replaced(site3, "drop_commas = true", "drop_commas = 1"), "drop_commas", "must be true or false"},
        {replaced(site3, "use = \"list_item\"", "use = \"list_itme\""), "use = \"list_itme\"", "use must be one of"},
        {replaced(site3, "end = { bytes = 10 }", "end = { bytes = -1 }"), "bytes = -1", "from 0 to 1048576"},
        {replaced(site3, "end = { bytes = 10 }", "end = { bytes = 10, at = \"x\" }"), "bytes = 10, at",
         "exactly one of at, bytes"},
        {replaced(site3, "start = { after = \"Size:\" }", "start = { last_before_anchor = \"Size:\", then = \">\" }"),
         "last_before_anchor = \"Size:\"", "then goes with after only"},
        {replaced(site3, "strip = [\"<em>\", \"</em>\"]", "strip = [\"<em>\", \"</em>\", \"<i>\"]"),
         "strip =", "at most two texts"},
        {replaced(site3, "label = \"\\r\\n\\r\\n文件大小：\"", "label = \"\\r\\n\\r\\n文件大小 ☃\""), "文件大小 ☃",
         "GBK lacks"},
        {replaced(site3, "cursor_to = \"Size:\"", "cursor_to = \"Size:\"\nreduce = \"shrink\""), "reduce = \"shrink\"",
         "must be \"none\", \"trim_size\" or \"unwrap\""},
        {replaced(site3, "cursor_to = \"Size:\"", "cursor_to = \"Size:\"\nheader = \"x\""), "header = \"x\"",
         "a line step takes no key header"},
        // Steps in an order the item loop cannot run: the magnet link before the details text it ends.
        {replaced(replaced(site3, "use = \"detail_start\"", "use = \"magnet\""), "use = \"magnet\"\n\n# The date",
                  "use = \"detail_start\"\n\n# The date"),
         "use = \"magnet\"", "step 4: magnet needs one hash step and detail_start before it"},
        {site3.substr(0, site3.find("[[steps]]")), "", "no [[steps]]"},
        // The typed field a line fills: a known name, on a line step, once per definition, and a description
        // address, which the details text does not show, without a label.
        {replaced(site3, "field = \"date\"", "field = \"dates\""), "field = \"dates\"",
         "must be \"size\", \"file_count\", \"date\" or \"description_url\""},
        {replaced(site3, "use = \"list_item\"", "use = \"list_item\"\nfield = \"size\""), "field = \"size\"\n",
         "a list_item step takes no key field"},
        {replaced(site3, "field = \"size\"", "field = \"date\""), "use = \"line\"\nlabel = \"\\r\\n\\r\\n文件大小",
         "step 7: a second line for the same field"},
        {replaced(site3, "field = \"date\"", "field = \"description_url\""), "label = \"\\r\\n\\r\\n上传日期",
         "a description_url line is not shown and takes no label"},
    };
    for (const Case& c : cases) {
        std::vector<SettingsProblem> problems;
        EXPECT_EQ(parseSiteDefinition(c.text, "site3", "mine.toml", problems), nullptr) << c.says;
        ASSERT_FALSE(problems.empty()) << c.says;
        const SettingsProblem& first = problems.front();
        EXPECT_EQ(first.kind, SettingsProblem::BadDefinition);
        EXPECT_EQ(first.file, "mine.toml");
        EXPECT_EQ(first.line, c.lineMarker.empty() ? 0 : lineOf(c.text, c.lineMarker)) << c.says;
        EXPECT_NE(first.subject.find(c.says), std::string::npos) << first.subject;
    }
}

// A site whose pages are GBK: the markers are found in the GBK page and the fields come out as from UTF-8.
// A definition nested deeper than kMaxTomlDepth is refused with its line before toml++ recurses into it; one
// just within the bound is read as any other text.
TEST(SiteDefinitions, NestingTooDeepIsRefusedWithItsLine) {
    const std::string site1(builtInSiteDefinitionText(1));
    std::string deepKey = "x";
    for (int k = 0; k < 40000; ++k) deepKey += ".a";
    const struct {
        std::string text;
        std::string deepPart;  // where the problem is; "" when the depth is no problem
    } cases[] = {
        {site1 + "\n[" + deepKey + "]\n", "x.a.a"},
        {"[" + deepKey + "]\n" + site1, "x.a.a"},
        {site1 + "\n# x\n" + deepKey + " = 1\n", "x.a.a"},
        {"x = " + std::string(40000, '[') + "\n" + site1, "[[[["},
        {site1 + "\n" + deepKey.substr(0, 2 * 62 + 1) + " = 1\n", ""},  // 63 parts
    };
    for (const auto& c : cases) {
        std::vector<SettingsProblem> problems;
        const SiteDefinitionPtr read = parseSiteDefinition(c.text, "deep", "deep.toml", problems);
        EXPECT_EQ(read, nullptr);  // even within the bound "x" is no key of a definition
        ASSERT_FALSE(problems.empty());
        const bool tooDeep = problems[0].subject.find("nested deeper than 64 levels") != std::string::npos;
        EXPECT_EQ(tooDeep, !c.deepPart.empty()) << problems[0].subject.substr(0, 100);
        if (tooDeep) EXPECT_EQ(problems[0].line, lineOf(c.text, c.deepPart));
        EXPECT_EQ(problems[0].file, "deep.toml");
    }
}

TEST(SiteDefinitions, PagesInAnotherCharsetAreReadThroughIt) {
    const std::string utf8Page = test::readFixture("scrape/site4.html");
    const Bytes gbkPage = convertText(utf8Page, "UTF-8", "GBK");
    ASSERT_FALSE(gbkPage.empty());
    std::vector<SettingsProblem> problems;
    const SiteDefinitionPtr gbkSite = parseSiteDefinition(
        replaced(std::string(builtInSiteDefinitionText(4)), "encoding = \"UTF-8\"", "encoding = \"GBK\""), "gbk4",
        "gbk4.toml", problems);
    ASSERT_NE(gbkSite, nullptr) << (problems.empty() ? "" : problems.front().subject);
    const SitePageScrape fromUtf8 = scrapeAlone(builtInSiteDefinition(4), 4, utf8Page);
    ASSERT_EQ(fromUtf8.items.size(), 2u);
    EXPECT_TRUE(test::sameScrape(scrapeAlone(gbkSite, 4, gbkPage), fromUtf8));
    // The UTF-8 definition does not recognise the GBK page, nor the GBK one the UTF-8 page.
    EXPECT_EQ(scrapeAlone(builtInSiteDefinition(4), 4, gbkPage).outcome, SiteOutcome::NoPage);
    EXPECT_EQ(scrapeAlone(gbkSite, 4, utf8Page).outcome, SiteOutcome::NoPage);
}

class SiteDefinitionFolders : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        test::ScratchFolderTest::SetUp();
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) m_oldConfig = old;
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        std::filesystem::create_directories(dir + "/lanqi-search/sites");
    }
    void TearDown() override {
        if (m_oldConfig.empty())
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", m_oldConfig.c_str(), 1);
        test::ScratchFolderTest::TearDown();
    }
    std::string write(const std::string& name, const std::string& text) {
        const std::string file = dir + "/lanqi-search/sites/" + name + ".toml";
        std::ofstream(file) << text;
        return file;
    }
    std::string m_oldConfig;
};

// Which definition each slot runs: a user's file by name, a user's file in place of a built-in one, and
// the built-in one whenever the named file is broken or missing.
TEST_F(SiteDefinitionFolders, SlotsRunTheNamedFilesAndFallBackToTheirOwn) {
    const std::string mine = write("mine", replaced(std::string(builtInSiteDefinitionText(2)), "/list/", "/find/"));
    const std::string site5 = write("site5", replaced(std::string(builtInSiteDefinitionText(5)), "-1.html", ".htm"));
    const std::string brokenText = replaced(std::string(builtInSiteDefinitionText(6)), "use = \"magnet\"", "use = 3");
    const std::string broken = write("broken", brokenText);
    Settings settings = builtInSettings();
    settings.sites[0].definition = "mine";
    settings.sites[2].definition = "broken";
    settings.sites[3].definition = "nowhere";
    settings.sites[3].definitionLine = 7;

    std::vector<SettingsProblem> problems;
    const SiteSlots slots = loadSiteDefinitions(settings, problems);
    EXPECT_EQ(slots[0]->source, mine);
    EXPECT_EQ(slots[0]->address.path, "/find/");
    EXPECT_EQ(slots[1]->source, "built-in site2.toml");
    EXPECT_EQ(slots[2]->source, "built-in site3.toml");
    EXPECT_EQ(slots[3]->source, "built-in site4.toml");
    EXPECT_EQ(slots[4]->source, site5);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].where(""), broken + ":" + std::to_string(lineOf(brokenText, "use = 3")));
    EXPECT_EQ(problems[1].kind, SettingsProblem::UnknownDefinition);
    EXPECT_EQ(problems[1].where("config.toml"), "config.toml:7");
    const std::vector<std::string> names = siteDefinitionNames();
    EXPECT_EQ(std::vector<std::string>(names.begin() + 6, names.end()), (std::vector<std::string>{"broken", "mine"}));

    // A page of the moved site, read in slot 1 with its file: the rows are the slot's.
    const SitePageScrape scrape = scrapeAlone(slots[0], 1, test::readFixture("scrape/site2.html"));
    ASSERT_FALSE(scrape.items.empty());
    EXPECT_EQ(scrape.items.front().site, 1);
}

// A definition may ask for as much of a page as it likes: 56 lines of a MiB each, all read from the same
// anchor, over a page of a thousand anchors. Each line keeps kMaxFieldBytes of it, cut before a UTF-8
// character, each details text kMaxDetailBytes, cut at a GBK character, and the rows of the page together
// kMaxPageRowBytes: the loop stops before the row that would pass it.
TEST(SiteDefinitions, ADefinitionAskingForHugeFieldsGetsRowsWithinTheCaps) {
    std::string text =
        "[page]\nmarker = \"BOMB\"\nitem_anchor = \"/a/\"\n"
        "[[steps]]\nuse = \"hash\"\nitem_test = true\nstart = { after = \"/a/\" }\nend = { bytes = 40 }\n"
        "[[steps]]\nuse = \"title\"\nstart = { after = \"/a/\" }\nend = { bytes = 13 }\nkeep_cursor = true\n"
        "[[steps]]\nuse = \"list_item\"\n[[steps]]\nuse = \"detail_start\"\n[[steps]]\nuse = \"magnet\"\n";
    for (int line = 0; line < 56; ++line)
        text +=
            "[[steps]]\nuse = \"line\"\nlabel = \"\\r\\n\\r\\n行：\"\nstart = { after = \"/a/\" }\n"
            "end = { bytes = 1048576 }\nkeep_cursor = true\n";
    std::vector<SettingsProblem> problems;
    const SiteDefinitionPtr definition = parseSiteDefinition(text, "bomb", "bomb.toml", problems);
    ASSERT_NE(definition, nullptr) << (problems.empty() ? "" : problems.front().english());

    std::string page = "BOMB";
    for (int anchor = 0; anchor < 1000; ++anchor) {
        page += "/a/x";  // one byte ahead: the details' characters do not all begin at even offsets
        for (int c = 0; c < 1500; ++c) page += "超";
    }
    const SitePageScrape scrape = scrapeAlone(definition, 2, page);

    Text tail;  // what follows the lines: the site line
    appendSiteLine(tail, 2);
    std::string wholeField = "x";  // the characters of the first kMaxFieldBytes bytes of a field
    for (int c = 0; c < (kMaxFieldBytes - 1) / 3; ++c) wholeField += "超";
    const Text firstLine = gbk("\r\n\r\n行：" + wholeField + "\r\n\r\n");
    size_t rows = 0;
    for (const ResultItem& item : scrape.items) {
        ASSERT_LE(item.detailText.size(), static_cast<size_t>(kMaxDetailBytes) + tail.size());
        ASSERT_EQ(item.detailText.compare(item.detailText.size() - tail.size(), tail.size(), tail), 0);
        // Whole characters only: a line holds every character the field's cap allows, and the details text
        // converts back, the line cut short by its cap included.
        ASSERT_NE(item.detailText.find(firstLine), Text::npos);
        ASSERT_FALSE(utf8(item.detailText).empty());
        EXPECT_EQ(item.title, gbk("x超超超超"));  // 13 bytes, an odd number: the details' characters sit at odd offsets
        EXPECT_EQ(item.magnetLink, "magnet:?xt=urn:btih:");
        rows += item.title.size() + item.magnetLink.size() + item.detailText.size();
    }
    EXPECT_LE(rows, kMaxPageRowBytes);
    EXPECT_GT(scrape.items.size(), 0u);
    EXPECT_LT(scrape.items.size(), 1000u);  // the page's cap ended the loop
    EXPECT_EQ(scrape.skippedItems, 0);
}

// Random edits of the built-in texts, biased to the format's own words: the reader refuses or accepts each
// without a fault, and whatever it accepts scrapes every fixture page within the page's bound.
TEST(SiteDefinitions, MutatedDefinitionsAreReadOrRefusedAndScrapeSafely) {
    const std::vector<std::string> words = {"[[steps]]",
                                            "use = \"title\"",
                                            "use = \"hash\"",
                                            "use = \"magnet\"",
                                            "skip = -4096",
                                            "bytes = 1048576",
                                            "{ after = \"<\" }",
                                            "\"",
                                            "=",
                                            "\n",
                                            "[",
                                            "]",
                                            "{",
                                            "}",
                                            ",",
                                            "then = \">\"",
                                            "\\u0000"};
    std::vector<std::string> pages;
    for (int n = 1; n <= 6; ++n) pages.push_back(test::readFixture("scrape/site" + std::to_string(n) + ".html"));
    std::mt19937 random(20261208);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        const int site = 1 + round % 6;
        std::string text(builtInSiteDefinitionText(site));
        for (int e = 1 + static_cast<int>(random() % 4); e > 0; --e) {
            const size_t at = random() % (text.size() + 1);
            switch (random() % 3) {
                case 0:
                    text.erase(at, random() % 24);
                    break;
                case 1:
                    text.insert(at, words[random() % words.size()]);
                    break;
                default:
                    if (at < text.size()) text[at] = static_cast<char>(random());
            }
        }
        std::vector<SettingsProblem> problems;
        const SiteDefinitionPtr definition = parseSiteDefinition(text, "m", "m.toml", problems);
        ASSERT_EQ(definition == nullptr, !problems.empty()) << text;
        if (definition == nullptr) continue;
        ++accepted;
        const SitePageScrape scrape = scrapeAlone(definition, site, pages[static_cast<size_t>(site - 1)]);
        ASSERT_LE(scrape.items.size(), static_cast<size_t>(kMaxItemsPerPage));
    }
    EXPECT_GT(accepted, 100);  // edits inside markers and comments leave readable definitions
}

}  // namespace
}  // namespace lanqi
