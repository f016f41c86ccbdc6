// The steps every site shares: the checks over all six buffers, totals, the item loop's bounds, and
// what an item holds when the page lacks a marker, and that a scrape depends on the page bytes only.
#include "scrape/scrape.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <climits>
#include <string>

#include "support/scrape_harness.h"
#include "support/site_pages.h"

namespace lanqi {
namespace {

using test::downloadBlockUtf8;
using test::g;
using test::readFixture;
using test::ScrapeHarness;

std::string repeated(const std::string& unit, size_t times) {
    std::string out;
    out.reserve(unit.size() * times);
    for (size_t i = 0; i < times; ++i) out += unit;
    return out;
}

std::string fixture(int site) { return readFixture("scrape/site" + std::to_string(site) + ".html"); }

TEST(PageCheck, AllSixBuffersEmptyRecordsEveryCallAsUnreachable) {
    ScrapeHarness h;
    const char* expected[] = {"1", "12", "123", "1234", "12345", "123456"};
    for (int site = 1; site <= 6; ++site) {
        const SitePageScrape result = h.scrape(site);
        EXPECT_EQ(result.outcome, SiteOutcome::NoPage);
        EXPECT_EQ(h.records.unreachableSites, expected[site - 1]);
    }
    EXPECT_EQ(h.records.emptySites, "");
    EXPECT_EQ(h.records.skippedSites, "");
    EXPECT_TRUE(h.items.empty());
}

TEST(PageCheck, ErrorPagesWithoutTheirOwnMarkersCountAsUnreachable) {
    ScrapeHarness h;
    // Each buffer carries some other site's page, never one with its own marker.
    const int other[] = {2, 3, 4, 5, 3, 1};
    for (int n = 0; n < 6; ++n) h.records.sitePages[static_cast<size_t>(n)] = fixture(other[n]);
    for (int site = 1; site <= 6; ++site) h.scrape(site);
    EXPECT_EQ(h.records.unreachableSites, "123456");
    EXPECT_TRUE(h.items.empty());
}

TEST(PageCheck, StaleBuffersOfThePreviousRunKeepEarlyCallsGoing) {
    ScrapeHarness h;
    for (int site = 1; site <= 6; ++site) {
        h.records.sitePages[static_cast<size_t>(site - 1)] = fixture(site);
        h.scrape(site);
    }
    ASSERT_EQ(h.items.size(), 17u);
    // Second run with the network down: each fetch empties its own buffer only.
    ScrapeHarness next;
    next.records.sitePages = h.records.sitePages;
    h = next;
    for (int site = 1; site <= 6; ++site) {
        h.records.sitePages[static_cast<size_t>(site - 1)].clear();
        h.scrape(site);
    }
    EXPECT_EQ(h.records.unreachableSites, "6");
    EXPECT_EQ(h.records.emptySites, "");
    EXPECT_EQ(h.records.skippedSites, "12345");
    EXPECT_TRUE(h.items.empty());
}

TEST(ItemCheck, PagesWithoutAnyAnchorRecordEveryCallAsEmpty) {
    ScrapeHarness h;
    const char* pages[] = {"<title>手撕包菜</title><span>共找到 0 条关于 x</span>",
                           "<title>爱磁力</title>",
                           "<title>种子搜索站</title>",
                           "<title>BT种子磁力链接搜索引擎</title>",
                           "<title>磁力链</title>",
                           "<title>磁力链接搜索引擎</title>"};
    for (int n = 0; n < 6; ++n) h.records.sitePages[static_cast<size_t>(n)] = pages[n];
    for (int site = 1; site <= 6; ++site) EXPECT_EQ(h.scrape(site).outcome, SiteOutcome::NoItems);
    EXPECT_EQ(h.records.emptySites, "123456");
    EXPECT_EQ(h.records.unreachableSites, "");
    EXPECT_EQ(h.records.skippedSites, "");
    EXPECT_TRUE(h.items.empty());
}

TEST(ItemCheck, SiteWithoutItemsWhileAnotherHasThemIsSkippedOnce) {
    ScrapeHarness h;
    h.records.sitePages[0] = fixture(1);
    h.scrape(1);
    h.records.sitePages[1] = "<html><title>超能 - 爱磁力</title><body>没有找到结果</body></html>";
    const SitePageScrape second = h.scrape(2);
    EXPECT_EQ(second.outcome, SiteOutcome::Scraped);
    EXPECT_EQ(second.skippedItems, 1);
    EXPECT_TRUE(second.items.empty());
    EXPECT_EQ(h.records.skippedSites, "2");
    EXPECT_EQ(h.records.emptySites, "");
    EXPECT_EQ(h.records.unreachableSites, "");
    EXPECT_EQ(h.items.size(), 5u);
}

TEST(ItemCheck, CurrentSitesOwnErrorPageYieldsNoRowsWhenAnotherBufferIsGood) {
    ScrapeHarness h;
    h.records.sitePages[0] = fixture(1);
    h.records.sitePages[3] = "<html><body><h1>404</h1>not here</body></html>";
    h.scrape(4);
    EXPECT_EQ(h.records.skippedSites, "4");
    EXPECT_TRUE(h.items.empty());
}

TEST(ItemCheck, SiteNumberOutsideTheCatalogueDoesNothing) {
    ScrapeHarness h;
    for (int n = 1; n <= 6; ++n) h.records.sitePages[static_cast<size_t>(n - 1)] = fixture(n);
    for (int site : {0, 7}) {
        const SitePageScrape result = h.scrape(site);
        EXPECT_EQ(result.outcome, SiteOutcome::NoPage);
        EXPECT_FALSE(result.printsTotal);
        EXPECT_EQ(result.skippedItems, 0);
    }
    EXPECT_TRUE(h.items.empty());
    EXPECT_EQ(h.records.unreachableSites, "");
    EXPECT_EQ(h.records.emptySites, "");
    EXPECT_EQ(h.records.skippedSites, "");
}

TEST(Totals, SaturateAtTheIntRangeWhenReadAndWhenAdded) {
    ScrapeHarness h;
    h.records.sitePages[5] =
        "<title>磁力链接搜索引擎</title><p>共找到 99999999999999 条结果, 用时</p><a href=\"/t/x y\">";
    h.scrape(6);
    EXPECT_EQ(h.records.siteTotal(6), INT_MAX);
    const auto totals = [&h](int t1, int t3, int t5, int t6) {
        const std::pair<int, int> printed[] = {{1, t1}, {3, t3}, {5, t5}, {6, t6}};
        for (const auto& [slot, total] : printed) {
            h.records.sites[static_cast<size_t>(slot - 1)].printsTotal = true;
            h.records.sites[static_cast<size_t>(slot - 1)].total = total;
        }
        return addTotalsSaturating(h.records);
    };
    EXPECT_EQ(totals(INT_MAX, 5, 0, INT_MAX), INT_MAX);
    EXPECT_EQ(totals(INT_MIN, INT_MIN, 0, -1), INT_MIN);
    EXPECT_EQ(totals(61, 1234, 8511, 8511), 18317);
}

TEST(Totals, MissingOrMisplacedMarkersGiveZero) {
    ScrapeHarness h;
    // Site1's end marker is searched from the page start: here it comes first, so nothing lies between.
    h.records.sitePages[0] = "<title>手撕包菜</title> 条关于 <b>共找到 61 条关于 ctime";
    h.scrape(1);
    EXPECT_EQ(h.records.siteTotal(1), 0);
    h.records.sitePages[2] = "<title>种子搜索站</title>大约有 <b>12,345 Hash：";
    h.scrape(3);
    EXPECT_EQ(h.records.siteTotal(3), 0);
    h.records.sitePages[4] = "<title>磁力链</title><span>大约 77 条结果， /hash/";
    h.scrape(5);
    EXPECT_EQ(h.records.siteTotal(5), 77);
    h.records.sitePages[4] = "<title>磁力链</title><span>大约  -12 条结果， /hash/";
    h.scrape(5);
    EXPECT_EQ(h.records.siteTotal(5), -12);
}

TEST(Purity, TheSameSixPagesScrapedAgainGiveTheSameResults) {
    std::array<std::string, 6> bytes;
    std::array<std::string_view, 6> pages;
    for (int n = 1; n <= 6; ++n) {
        bytes[static_cast<size_t>(n - 1)] = fixture(n);
        pages[static_cast<size_t>(n - 1)] = bytes[static_cast<size_t>(n - 1)];
    }
    std::array<SitePageScrape, 6> first;
    for (int site = 1; site <= 6; ++site) first[static_cast<size_t>(site - 1)] = scrapeSitePage(site, pages);
    // Again, in reverse order: nothing one scrape leaves behind changes another.
    for (int site = 6; site >= 1; --site) {
        SCOPED_TRACE("site " + std::to_string(site));
        const SitePageScrape& before = first[static_cast<size_t>(site - 1)];
        ASSERT_EQ(before.outcome, SiteOutcome::Scraped);
        ASSERT_FALSE(before.items.empty());
        EXPECT_TRUE(test::sameScrape(scrapeSitePage(site, pages), before));
    }
}

// ---- Pages that lack markers: the loop still ends and visits each anchor once ----

TEST(Termination, AnchorsWithoutTitlesAreEachSkippedOnce) {
    ScrapeHarness h;
    h.records.sitePages[0] = "<title>手撕包菜</title> ctime ctime ctime";
    h.scrape(1);
    EXPECT_EQ(h.records.skippedSites, "111");
    EXPECT_TRUE(h.items.empty());
    h.records.sitePages[2] = "<title>种子搜索站</title>Hash：a Hash：b";
    h.scrape(3);
    EXPECT_EQ(h.records.skippedSites, "11133");
}

TEST(Termination, AnchorsWithoutAnyFieldGiveOneRowEach) {
    ScrapeHarness h;
    h.records.sitePages[1] = "<title>爱磁力</title>/info//info//info/";
    h.scrape(2);
    ASSERT_EQ(h.items.size(), 3u);
    EXPECT_EQ(h.item(2).title, g("*获取文件标题失败，但您依然可以点击播放或下载*"));
    EXPECT_EQ(h.item(2).magnetLink, "magnet:?xt=urn:btih:");
    EXPECT_EQ(h.item(2).detailText,
              g("文件名：\r\n*获取文件标题失败，但您依然可以点击播放或下载*" + downloadBlockUtf8("") +
                "\r\n\r\n文件格式：\r\n\r\n上传日期：\r\n\r\n文件大小：\r\n\r\n下载热度：\r\n\r\n最近下载："
                "\r\n\r\n文件分类：2"));
}

// ---- Hostile pages: bounded items, linear time ----

TEST(Bounds, APageIsReadAtMostAThousandAnchorsWhateverItHolds) {
    const struct {
        int site;
        std::string page;
        bool skipped;  // anchors without their items
    } cases[] = {
        {6, test::site6Page(test::items(1500, "x")), false},
        {2, "<title>爱磁力</title>" + repeated("/info/", 200000), false},
        {1, "<title>手撕包菜</title>" + repeated(" ctime", 200000), true},
    };
    for (const auto& c : cases) {
        std::array<std::string_view, 6> pages{};
        pages[static_cast<size_t>(c.site - 1)] = c.page;
        const SitePageScrape scrape = scrapeSitePage(c.site, pages);
        EXPECT_EQ(scrape.items.size() + static_cast<size_t>(scrape.skippedItems), static_cast<size_t>(kMaxItemsPerPage))
            << c.site;
        EXPECT_EQ(scrape.skippedItems > 0, c.skipped) << c.site;
    }
}

TEST(Bounds, Site1sBackwardSearchesReadAFarEndOnce) {
    // Every item's "更新时间" field ends at the one "</span>" at the very end of 16 MiB: searched backwards
    // from there once per item, the page would be read a thousand times.
    const std::string page =
        "<title>手撕包菜</title>" + repeated("<a title=\"x\" class= ctime ", (16u << 20) / 27) + "</span>";
    std::array<std::string_view, 6> pages{};
    pages[0] = page;
    const auto start = std::chrono::steady_clock::now();
    const SitePageScrape scrape = scrapeSitePage(1, pages);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    ASSERT_EQ(scrape.items.size(), static_cast<size_t>(kMaxItemsPerPage));
    EXPECT_EQ(scrape.items[999].title, "x");
}

// Site6's title runs to the next ">" wherever it lies. However far that is, a title keeps the first
// kMaxFieldBytes bytes of the page, cut before a UTF-8 character, and every anchor still gives its row.
TEST(Bounds, AFieldKeepsAtMostItsCapOfThePageCutBeforeACharacter) {
    const std::string hash = "0123456789abcdef0123456789abcdef01234567";
    const std::string wide = repeated("超", 11000);  // 3 bytes a character
    const size_t fits = static_cast<size_t>(kMaxFieldBytes) / 3;
    const struct {
        const char* what;
        std::string title;  // as the page writes it, far longer than the cap
        Text kept;
    } cases[] = {
        {"ASCII", std::string(32000, 'x'), Text(static_cast<size_t>(kMaxFieldBytes), 'x')},
        {"UTF-8 ending one byte into a character", wide, g(repeated("超", fits))},
        {"UTF-8 ending two bytes into a character", "ab" + wide, g("ab" + repeated("超", fits - 1))},
        {"UTF-8 ending at a character", "a" + wide, g("a" + repeated("超", fits))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // One ">" at the very end of the page: each title's end marker.
        const std::string page = "<title>磁力链接搜索引擎</title>" +
                                 repeated("<a href=\"/t/" + hash + "\" &dn=" + c.title + " ", 100) + "x>";
        std::array<std::string_view, 6> pages{};
        pages[5] = page;
        const SitePageScrape scrape = scrapeSitePage(6, pages);
        ASSERT_EQ(scrape.items.size(), 100u);
        for (const ResultItem& item : scrape.items) {
            ASSERT_EQ(item.title, c.kept);
            ASSERT_EQ(item.magnetLink, "magnet:?xt=urn:btih:" + hash);
        }
    }
}

TEST(Bounds, TwoPlacesSearchingOneMarkerReadAFarEndOnce) {
    // Every item's "收录时间：" finds its ">" close by, while every title (all behind the one "&dn=" after
    // the items) ends at the ">" 32 MiB further on. Were the two searches to share what they remember, the
    // title's search would read those 32 MiB once per item.
    const std::string page = "<title>磁力链接搜索引擎</title>" +
                             repeated("<a href=\"/t/0123456789abcdef0123456789abcdef01234567\" 收录时间：>", 1000) +
                             "&dn=" + std::string(32u << 20, 'x') + ">";
    std::array<std::string_view, 6> pages{};
    pages[5] = page;
    const auto start = std::chrono::steady_clock::now();
    const SitePageScrape scrape = scrapeSitePage(6, pages);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    ASSERT_EQ(scrape.items.size(), 1000u);
    EXPECT_EQ(scrape.items[999].title, Text(static_cast<size_t>(kMaxFieldBytes), 'x'));
}

// Only a hash of 40 hexadecimal or 32 base32 characters makes a link; any other hash is a missing one, so
// nothing a page writes after it reaches the programs the link is handed to. The row stays.
TEST(MagnetLinks, OnlyAWellFormedHashMakesALinkAndTheDetailsShowTheSame) {
    const struct {
        int site;
        std::string page;
        std::string hash;  // what the link carries
    } cases[] = {
        {4, "<title>BT种子磁力链接搜索引擎</title><a href=\"/hash/&u=http://evil.example/#\">One</a>", ""},
        {6,
         "<title>磁力链接搜索引擎</title><a href=\"/t/0123456789abcdef0123456789abcdef01234567&tr=http://t.example/\""
         " &dn=One\">",
         ""},
        {2, "<title>爱磁力</title><a href=\"/info/0123456789abcdef0123456789abcdef0123456\">One</a></h3><p>", ""},
        {5, "<title>磁力链</title><a href=\"/hash/0123456789ABCDEF0123456789abcdef01234567.html\">One</a>",
         "0123456789ABCDEF0123456789abcdef01234567"},
        {1,
         "<title>手撕包菜</title><a title=\"One\" class=\"t\"><span class=\"ctime\">2015</span>"
         " urn:btih:ABCDEFGHIJKLMNOPQRSTUVWXYZ234567&dn",
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        ScrapeHarness h;
        h.records.sitePages[static_cast<size_t>(c.site - 1)] = c.page;
        h.scrape(c.site);
        ASSERT_EQ(h.items.size(), 1u);
        EXPECT_EQ(h.item(0).title, "One");
        EXPECT_EQ(h.item(0).magnetLink, "magnet:?xt=urn:btih:" + c.hash);
        EXPECT_NE(h.item(0).detailText.find(g(downloadBlockUtf8(c.hash))), Text::npos);
    }
}

TEST(MissingMarker, TitleOfAnEarlierItemIsNotReused) {
    ScrapeHarness h;
    h.records.sitePages[0] =
        "<title>手撕包菜</title>"
        "<a title=\"One.mkv\" class=\"t\"><span class=\"ctime\">2015-01-01</span> tail "
        "urn:btih:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa&dn"
        "<a href=\"/x\"><span class=\"ctime\">2015-01-02</span> tail "
        "urn:btih:bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb&dn"
        "<a title=\"Three.zip\" class=\"t\"><span class=\"ctime\">2015-01-03</span> tail "
        "urn:btih:cccccccccccccccccccccccccccccccccccccccc&dn";
    h.scrape(1);
    EXPECT_EQ(h.records.skippedSites, "1");
    ASSERT_EQ(h.items.size(), 2u);
    EXPECT_EQ(h.item(0).title, "One.mkv");
    EXPECT_EQ(h.item(1).title, "Three.zip");
    EXPECT_EQ(h.item(1).fileKind, 0);
    EXPECT_EQ(h.item(1).magnetLink, "magnet:?xt=urn:btih:cccccccccccccccccccccccccccccccccccccccc");
}

TEST(MissingMarker, FieldIsEmptyAndLaterFieldsAreStillRead) {
    ScrapeHarness h;
    // The second item lacks its size marker, and no later item carries one.
    h.records.sitePages[3] =
        "<title>BT种子磁力链接搜索引擎</title>"
        "<a href=\"/hash/1111111111111111111111111111111111111111\">One</a> 种子大小:<span> 9.00 MB</span> "
        "文件数量:<span> 1</span>"
        " 创建时间:<span> 2016-01-01 </span>"
        "<a href=\"/hash/2222222222222222222222222222222222222222\">Two</a> 文件数量:<span> 2</span> 创建时间:<span> "
        "2015-01-01 </span>";
    h.scrape(4);
    ASSERT_EQ(h.items.size(), 2u);
    EXPECT_EQ(h.item(0).detailText,
              g("文件名：\r\nOne" + downloadBlockUtf8("1111111111111111111111111111111111111111") +
                "\r\n\r\n文件大小：9.00 MB\r\n\r\n文件数量：1\r\n\r\n创建时间：2016-01-01\r\n\r\n文件分类：4"));
    EXPECT_EQ(h.item(1).detailText,
              g("文件名：\r\nTwo" + downloadBlockUtf8("2222222222222222222222222222222222222222") +
                "\r\n\r\n文件大小：\r\n\r\n文件数量：2\r\n\r\n创建时间：2015-01-01\r\n\r\n文件分类：4"));
}

TEST(MissingMarker, FieldFoundInTheNextItemPassesThatItemsAnchor) {
    ScrapeHarness h;
    // The first item has no size at all: its size search runs into the second item, whose anchor the
    // cursor has then passed, so the second item is not visited.
    h.records.sitePages[3] =
        "<title>BT种子磁力链接搜索引擎</title>"
        "<a href=\"/hash/1111111111111111111111111111111111111111\">One</a>"
        "<a href=\"/hash/2222222222222222222222222222222222222222\">Two</a> 种子大小:<span> 9.00 MB</span>"
        "<a href=\"/hash/3333333333333333333333333333333333333333\">Three</a>";
    h.scrape(4);
    ASSERT_EQ(h.items.size(), 2u);
    EXPECT_EQ(h.item(0).magnetLink, "magnet:?xt=urn:btih:1111111111111111111111111111111111111111");
    EXPECT_EQ(h.item(1).magnetLink, "magnet:?xt=urn:btih:3333333333333333333333333333333333333333");
}

TEST(MissingMarker, FileEntryWithoutClosingMarkerEndsTheListUnwritten) {
    ScrapeHarness h;
    h.records.sitePages[0] =
        "<title>手撕包菜</title><a title=\"A.rar\" class=\"t\"><span class=\"ctime\">2015-01-01</span>"
        "<ul><li>a.txt 1.00 KB</li><li>b.txt 2.00 KB <div class=\"tail\">文件数: 2 大小: 3.00 KB 请求数: 4 更新时间: x"
        " urn:btih:dddddddddddddddddddddddddddddddddddddddd&dn";
    h.scrape(1);
    ASSERT_EQ(h.items.size(), 1u);
    EXPECT_EQ(h.item(0).detailText,
              g("文件名：\r\nA.rar\r\n\r\n更新时间：2015-01-01\r\n\r\n包含文件：\r\n\r\na.txt 1.0KB"
                "\r\n\r\n文件数目：2\r\n\r\n文件大小：3.0KB\r\n\r\n请求数：4" +
                downloadBlockUtf8("dddddddddddddddddddddddddddddddddddddddd") + "\r\n\r\n文件分类：1"));
}

TEST(MissingMarker, LastItemWithNoEntryLeftOnThePageHasNoFileBlock) {
    ScrapeHarness h;
    h.records.sitePages[4] =
        "<ul><li>nav</li></ul><title>磁力链</title>"
        "<a href=\"/hash/5555555555555555555555555555555555555555.html\">Five.avi</a></ul> <span class=\"cpill "
        "fileType1\">视频</span>"
        " 创建时间：<b>2015-01-01</b>";
    h.scrape(5);
    ASSERT_EQ(h.items.size(), 1u);
    EXPECT_EQ(h.item(0).fileKind, 3);
    EXPECT_EQ(
        h.item(0).detailText,
        g("文件名：\r\nFive.avi" + downloadBlockUtf8("5555555555555555555555555555555555555555") +
          "\r\n\r\n文件类型：视频\r\n\r\n上传时间：2015-01-01\r\n\r\n文件大小：\r\n\r\n下载热度：\r\n\r\n最近下载："
          "\r\n\r\n文件分类：5"));
}

TEST(MissingMarker, UnconvertibleTitleGetsThePlaceholderButKeepsItsHash) {
    ScrapeHarness h;
    h.records.sitePages[5] =
        "<title>磁力链接搜索引擎</title><a href=\"/t/6666666666666666666666666666666666666666\" x>t</a> "
        "收录时间：<b>2015</b>"
        " <a href=\"magnet:?xt=urn:btih:6666666666666666666666666666666666666666&dn=bad\xFF\xFEname.mkv\">";
    h.scrape(6);
    ASSERT_EQ(h.items.size(), 1u);
    EXPECT_EQ(h.item(0).title, g("*获取文件标题失败，但您依然可以点击播放或下载*"));
    EXPECT_EQ(h.item(0).fileKind, 1);
    EXPECT_EQ(h.item(0).magnetLink, "magnet:?xt=urn:btih:6666666666666666666666666666666666666666");
}

}  // namespace
}  // namespace lanqi
