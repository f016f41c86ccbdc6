#include "search/search_flow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/product.h"
#include "platform/settings.h"
#include "search/site_catalogue.h"
#include "support/fake_fetcher.h"
#include "support/numbered_sites.h"
#include "support/site_pages.h"

namespace lanqi {
namespace {

using test::FakeFetcher;
using test::items;
using namespace std::chrono_literals;

Text statusText(const char8_t* text) { return titlePrefix() + gbk(text); }

class SearchFlowTest : public ::testing::Test {
  protected:
    struct Message {
        ScreenMessage message;
        bool bannerVisibleWhileShown;
    };

    void SetUp() override {
        flow.setScreenListener([this](unsigned changes) {
            if (changes & kTitleChanged) titles.push_back(screen().title);
            if ((changes & kMessageChanged) && screen().message)
                messages.push_back({*screen().message, screen().bannerVisible});
        });
    }
    // Runs the posted pages until the run has ended, closing a message as the user would.
    void settle() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (flow.running() && std::chrono::steady_clock::now() < deadline) {
            if (screen().message) {
                flow.acknowledgeMessage();
            } else {
                queue.runPending(20ms);
            }
        }
        ASSERT_FALSE(flow.running());
    }
    void search(const Text& keyword = "abc") {
        flow.startSearch(keyword);
        settle();
    }

    // Puts one page per site for `keyword` and `page` into the fake network.
    void serve(const Text& keyword, const Text& page, const std::array<Bytes, 6>& sitePages) {
        const auto urls = buildSearchUrls(flow.sites(), encodeKeyword(keyword), page);
        for (size_t i = 0; i < 6; ++i) fetcher.pages[urls[i]] = sitePages[i];
    }
    void serveTotals(const Text& page, long long t1, long long t3, long long t5, long long t6, int perSite = 2) {
        const std::string p = "p" + page + "s";
        serve("abc", page,
              {test::site1Page(items(perSite, p + "1_"), t1), test::site2Page(items(perSite, p + "2_")),
               test::site3Page(items(perSite, p + "3_"), t3), test::site4Page(items(perSite, p + "4_")),
               test::site5Page(items(perSite, p + "5_"), t5), test::site6Page(items(perSite, p + "6_"), t6)});
    }
    const SearchScreen& screen() const { return flow.screen(); }

    FakeFetcher fetcher;
    TaskQueue queue;
    SearchFlow flow{fetcher, queue, test::numberedSites()};
    std::vector<Text> titles;
    std::vector<Message> messages;
};

TEST_F(SearchFlowTest, CompletedRunShowsPagesResultsAndTheSelector) {
    serveTotals("1", 40, 30, 35, 25);
    search();

    EXPECT_EQ(screen().title, statusText(u8" --- 搜索完成，共3页，190个结果 - 第1页 "));
    EXPECT_EQ(titles.front(), statusText(u8" --- 正在搜索，请稍等......"));
    EXPECT_EQ(screen().pageItems, (std::vector<Text>{"1", "2", "3"}));
    EXPECT_EQ(screen().selectedPageItem, 0);
    EXPECT_EQ(screen().nextCaption, gbk(u8"下一页"));
    EXPECT_TRUE(screen().nextVisible);
    EXPECT_TRUE(screen().pageSelectorVisible);
    EXPECT_FALSE(screen().previousVisible);
    EXPECT_FALSE(screen().bannerVisible);
    EXPECT_EQ(screen().layout, SearchLayout::Results);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(flow.state().pageCount, 3);
    EXPECT_EQ(flow.state().resultCount, 190);
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Completed);

    // One result list in catalogue order, each item with its own magnet link and details.
    const auto& results = screen().results;
    ASSERT_EQ(results.size(), 12u);
    EXPECT_EQ(results[0].title, "p1s1_0.mkv");
    EXPECT_EQ(results[0].fileKind, 3);
    EXPECT_EQ(results[11].title, "p1s6_1.mkv");
    EXPECT_EQ(results[2].magnetLink, "magnet:?xt=urn:btih:" + test::hashOf("p1s2_0"));
    EXPECT_EQ(results[2].site, 2);
    EXPECT_NE(results[2].detailText.find(results[2].magnetLink), Text::npos);
    // The progress title counted the rows of the run.
    EXPECT_NE(std::find(titles.begin(), titles.end(), statusText(u8" --- 正在搜索，请稍等......12%")), titles.end());
    EXPECT_EQ(progressTitle(12345), statusText(u8" --- 正在搜索，请稍等......12345%"));
}

TEST_F(SearchFlowTest, PagingForwardAndBackRebuildsTheSelectorOnPageOne) {
    serveTotals("1", 40, 30, 35, 25);
    serveTotals("2", 40, 30, 35, 25);
    serveTotals("3", 40, 30, 35, 25);
    search();
    flow.goToNextPage("abc");
    settle();
    EXPECT_EQ(flow.state().currentPage, "2");
    EXPECT_EQ(screen().title, statusText(u8" --- 搜索完成，共3页，190个结果 - 第2页 "));
    EXPECT_EQ(screen().selectedPageItem, 1);
    EXPECT_TRUE(screen().previousVisible);
    EXPECT_EQ(screen().results[0].title, "p2s1_0.mkv");

    flow.goToNextPage("abc");
    settle();
    EXPECT_EQ(screen().nextCaption, gbk(u8"强力搜"));
    EXPECT_EQ(screen().pageItems, (std::vector<Text>{"1", "2", "3"}));  // "下一页" adds no item
    EXPECT_EQ(screen().selectedPageItem, 2);

    flow.goToPreviousPage("abc");
    settle();
    EXPECT_EQ(screen().selectedPageItem, 1);
    flow.goToPreviousPage("abc");
    settle();
    EXPECT_EQ(flow.state().currentPage, "1");
    EXPECT_EQ(screen().pageItems, (std::vector<Text>{"1", "2", "3"}));  // rebuilt, not grown
    EXPECT_EQ(screen().selectedPageItem, 0);
    EXPECT_FALSE(screen().previousVisible);
}

TEST_F(SearchFlowTest, NoTotalsGiveZeroPagesAndForceSearchAddsThePageItReaches) {
    serveTotals("1", -1, -1, -1, -1);
    serveTotals("2", -1, -1, -1, -1);
    search();
    EXPECT_EQ(screen().title, statusText(u8" --- 搜索完成，共0页，0个结果 - 第1页 "));
    EXPECT_TRUE(screen().pageItems.empty());
    EXPECT_EQ(screen().selectedPageItem, -1);
    EXPECT_EQ(screen().nextCaption, gbk(u8"强力搜"));
    EXPECT_TRUE(screen().nextVisible);

    fetcher.requested.clear();
    flow.goToNextPage("abc");
    settle();
    EXPECT_EQ(fetcher.requested.size(), 6u);
    // The fetches run at once, so they reach the network in any order.
    EXPECT_NE(std::find(fetcher.requested.begin(), fetcher.requested.end(),
                        "http://s1/search/%61%62%63/?c=&s=create_time&p=2"),
              fetcher.requested.end());
    EXPECT_EQ(screen().pageItems, (std::vector<Text>{"2"}));
    EXPECT_EQ(screen().selectedPageItem, 0);  // index 1 is past the last item
    EXPECT_EQ(screen().results[0].title, "p2s1_0.mkv");
}

TEST_F(SearchFlowTest, AllSitesUnreachableShowsTheConnectionMessage) {
    search();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message.text,
              gbk(u8"连接服务器失败：请检查网络连接。如果您的网络正常，则有可能我们的服务器正在维护中，请稍后重试。"));
    EXPECT_EQ(messages[0].message.caption, gbk(u8"网络错误"));
    EXPECT_EQ(messages[0].message.icon, MessageIcon::Error);
    EXPECT_FALSE(messages[0].bannerVisibleWhileShown);
    EXPECT_TRUE(screen().bannerVisible);  // back once the message was closed
    EXPECT_FALSE(screen().message);
    EXPECT_EQ(screen().title, statusText(u8" --- 连接服务器失败"));
    EXPECT_EQ(flow.state().currentPage, "0");
    EXPECT_EQ(flow.state().records.unreachableSites, "123456");
    EXPECT_EQ(screen().layout, SearchLayout::Home);
    EXPECT_FALSE(screen().nextVisible || screen().previousVisible || screen().pageSelectorVisible);
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Unreachable);

    // The next search starts again from page 1.
    serveTotals("1", 60, 0, 0, 0);
    search();
    EXPECT_EQ(screen().title, statusText(u8" --- 搜索完成，共1页，80个结果 - 第1页 "));
}

TEST_F(SearchFlowTest, TheRunStaysInProgressUntilItsMessageIsClosed) {
    flow.startSearch("abc");
    while (!screen().message) queue.runPending(20ms);
    EXPECT_TRUE(flow.running());
    flow.startSearch("abc");  // ignored: the box is still up
    EXPECT_EQ(fetcher.requested.size(), 6u);
    flow.acknowledgeMessage();
    EXPECT_FALSE(flow.running());
    EXPECT_TRUE(screen().bannerVisible);
}

TEST_F(SearchFlowTest, NoItemsAnywhereShowsTheNoResultMessage) {
    serve("abc", "1",
          {test::site1Page({}, 0), test::site2Page({}), test::site3Page({}, 0), test::site4Page({}),
           test::site5Page({}, 0), test::site6Page({}, 0)});
    search();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message.text, gbk(u8"未搜索到结果：请换个关键词重试。"));
    EXPECT_EQ(messages[0].message.caption, gbk(u8"搜索失败"));
    EXPECT_EQ(messages[0].message.icon, MessageIcon::Information);
    EXPECT_EQ(screen().title, statusText(u8" --- 未搜索到结果"));
    EXPECT_EQ(flow.state().currentPage, "0");
    EXPECT_TRUE(screen().bannerVisible);
    EXPECT_TRUE(screen().results.empty());
}

TEST_F(SearchFlowTest, SomeSitesDownAndTheRestEmptyStillCompletes) {
    serve("abc", "1", {"", "", test::site3Page({}, 0), test::site4Page({}), "", test::site6Page({}, 0)});
    search();
    // Sites 1 and 2 find no page carrying a marker before site 3's page arrives in its buffer.
    EXPECT_EQ(flow.state().records.unreachableSites, "12");
    EXPECT_EQ(flow.state().records.emptySites, "3456");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(screen().title, statusText(u8" --- 搜索完成，共0页，0个结果 - 第1页 "));
}

TEST_F(SearchFlowTest, EveryRunIsJudgedOnItsOwnPages) {
    serveTotals("1", 0, 0, 0, 0);
    search();
    fetcher.pages.clear();  // the network goes down: the previous run's pages must not count
    search();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message.caption, gbk(u8"网络错误"));
    EXPECT_EQ(flow.state().records.unreachableSites, "123456");
    EXPECT_EQ(screen().title, statusText(u8" --- 连接服务器失败"));
    EXPECT_TRUE(screen().results.empty());
}

TEST_F(SearchFlowTest, AnEditedKeywordIsSearchedOnTheNextPage) {
    serveTotals("1", 200, 0, 0, 0);
    search();
    fetcher.requested.clear();
    flow.goToNextPage("xyz");
    settle();
    ASSERT_EQ(fetcher.requested.size(), 6u);
    EXPECT_NE(std::find(fetcher.requested.begin(), fetcher.requested.end(), "http://s6/search?keyword=%78%79%7A&p=2"),
              fetcher.requested.end());
    EXPECT_EQ(flow.state().encodedKeyword, "%78%79%7A");
}

TEST_F(SearchFlowTest, ChoosingAPageUsesThePositionNotTheItemText) {
    serveTotals("1", 200, 0, 0, 0);
    serveTotals("4", 200, 0, 0, 0);
    search();
    flow.goToSelectedPage(3, "abc");
    settle();
    EXPECT_EQ(flow.state().currentPage, "4");
    EXPECT_EQ(screen().results[0].title, "p4s1_0.mkv");
    EXPECT_EQ(screen().selectedPageItem, 3);  // the user's choice stays shown
}

TEST_F(SearchFlowTest, PageCommandsDuringARunAreIgnored) {
    serveTotals("1", 200, 0, 0, 0);
    serveTotals("2", 200, 0, 0, 0);
    for (const Text& url : buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")) fetcher.delayMs[url] = 100;
    flow.startSearch("abc");
    for (int i = 0; i < 3; ++i) {
        flow.goToNextPage("abc");
        flow.goToPreviousPage("abc");
        flow.goToSelectedPage(1, "abc");
        queue.runPending(5ms);
    }
    settle();
    EXPECT_EQ(fetcher.requested.size(), 6u);
    EXPECT_EQ(flow.state().currentPage, "1");
    EXPECT_EQ(screen().results.size(), 12u);
}

// Enter with a new keyword during a run: the run is abandoned (its late pages are never shown) and the new
// keyword is searched at once.
TEST_F(SearchFlowTest, ANewSearchDuringARunAbandonsItAndSearchesTheNewKeyword) {
    serveTotals("1", 60, 0, 0, 0);
    serve("xyz", "1",
          {test::site1Page(items(1, "x1_"), 1), test::site2Page(items(1, "x2_")), test::site3Page(items(1, "x3_"), 0),
           test::site4Page(items(1, "x4_")), test::site5Page(items(1, "x5_"), 0), test::site6Page(items(1, "x6_"), 0)});
    for (const Text& url : buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")) fetcher.delayMs[url] = 150;
    flow.startSearch("abc");
    queue.runPending(5ms);
    flow.startSearch("xyz");
    settle();
    queue.runPending(300ms);  // the abandoned run's pages arrive meanwhile and are dropped
    ASSERT_EQ(screen().results.size(), 6u);
    for (const ResultItem& row : screen().results) EXPECT_EQ(row.title[0], 'x') << row.title;
    EXPECT_EQ(fetcher.requested.size(), 12u);
    EXPECT_EQ(screen().title, statusText(u8" --- 搜索完成，共1页，21个结果 - 第1页 "));
}

// 停止 keeps what arrived: slots 1, 2 and 4 answered (4 before 3, so it was not yet placed), 3, 5 and 6 hang.
TEST_F(SearchFlowTest, StopKeepsTheSitesThatAnsweredAndMarksTheOthersStopped) {
    serveTotals("1", 60, 0, 0, 0);
    const auto urls = buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1");
    for (const size_t i : {2u, 4u, 5u}) fetcher.hang.push_back(urls[i]);
    flow.startSearch("abc");
    EXPECT_TRUE(screen().stoppable);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (screen().results.size() < 4 && std::chrono::steady_clock::now() < deadline) queue.runPending(20ms);
    queue.runPending(50ms);  // slot 4's page arrives and waits for slot 3
    flow.stopRun();

    EXPECT_FALSE(flow.running());
    EXPECT_FALSE(screen().stoppable);
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Stopped);
    EXPECT_TRUE(messages.empty());
    std::vector<Text> sources;
    for (const ResultItem& row : screen().results) sources.push_back(row.title.substr(0, 4));
    EXPECT_EQ(sources, (std::vector<Text>{"p1s1", "p1s1", "p1s2", "p1s2", "p1s4", "p1s4"}));
    std::vector<SiteState> states;
    for (const SiteStatus& site : screen().sites) states.push_back(site.state);
    EXPECT_EQ(states, (std::vector<SiteState>{SiteState::Done, SiteState::Done, SiteState::Stopped, SiteState::Done,
                                              SiteState::Stopped, SiteState::Stopped}));
    EXPECT_EQ(screen().title, statusText(u8" --- 搜索已停止，共1页，80个结果 - 第1页 "));
    EXPECT_EQ(screen().layout, SearchLayout::Results);
    flow.stopRun();  // nothing to stop now
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Stopped);
}

TEST_F(SearchFlowTest, StoppingBeforeAnyPageArrivedBlamesNeitherTheNetworkNorTheKeyword) {
    for (const Text& url : buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")) fetcher.hang.push_back(url);
    flow.startSearch("abc");
    flow.stopRun();
    queue.runPending(50ms);
    EXPECT_FALSE(flow.running());
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(screen().results.empty());
    EXPECT_EQ(screen().title, statusText(u8" --- 搜索已停止，共0页，0个结果 - 第1页 "));
}

// The site strip through a run: every slot waits, then says what it gave or why it gave nothing.
TEST_F(SearchFlowTest, TheSiteStripTellsEachSlotsStateAndWhyASlotFailed) {
    EXPECT_EQ(screen().sites.size(), 6u);
    for (const SiteStatus& site : screen().sites) EXPECT_EQ(site.state, SiteState::Idle);
    Settings settings = test::numberedSettings();
    settings.sites[5].enabled = false;
    flow.useSites(searchSites(settings, builtInSiteSlots()));
    EXPECT_EQ(screen().sites[5].state, SiteState::Off);

    const auto urls = buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1");
    fetcher.pages[urls[0]] = test::site1Page(items(3, "a"), 3);
    fetcher.failures[urls[1]] = FetchFailure::TimedOut;
    fetcher.failures[urls[2]] = FetchFailure::HostNotFound;
    // urls[3]: unknown to the fake network, refused
    fetcher.pages[urls[4]] = "<html>a login page</html>";
    for (const Text& url : urls) fetcher.delayMs[url] = 30;
    flow.startSearch("abc");
    for (int n = 0; n < 5; ++n) EXPECT_EQ(screen().sites[static_cast<size_t>(n)].state, SiteState::Waiting) << n;
    settle();

    const struct {
        SiteState state;
        SiteFailure failure;
        int rows;
    } expected[] = {
        {SiteState::Done, SiteFailure::None, 3},
        {SiteState::Failed, SiteFailure::TimedOut, 0},
        {SiteState::Failed, SiteFailure::HostNotFound, 0},
        {SiteState::Failed, SiteFailure::Refused, 0},
        {SiteState::Failed, SiteFailure::NotResultPage, 0},
        {SiteState::Off, SiteFailure::None, 0},
    };
    ASSERT_EQ(screen().sites.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        const SiteStatus& site = screen().sites[i];
        EXPECT_EQ(site.slot, static_cast<int>(i + 1));
        EXPECT_EQ(site.state, expected[i].state) << i;
        EXPECT_EQ(site.failure, expected[i].failure) << i;
        EXPECT_EQ(site.rows, expected[i].rows) << i;
    }
    EXPECT_GE(screen().sites[0].took, 30ms);
}

TEST_F(SearchFlowTest, TheSelectedResultFollowsTheSelectionAndEndsWithTheRun) {
    serveTotals("1", 60, 0, 0, 0);
    search();
    EXPECT_EQ(flow.selectedResult(), nullptr);
    flow.selectResult(2);
    ASSERT_NE(flow.selectedResult(), nullptr);
    EXPECT_EQ(flow.selectedResult()->magnetLink, screen().results[2].magnetLink);
    flow.selectResult(12);  // past the last row: none
    EXPECT_EQ(flow.selectedResult(), nullptr);
    flow.selectResult(0);
    search();
    EXPECT_EQ(flow.selectedResult(), nullptr);  // a new run empties the list and its selection
}

TEST_F(SearchFlowTest, HugeTotalsNeitherOverflowNorFloodTheSelector) {
    serveTotals("1", 99999999999LL, 2147483647, 2147483647, 2147483647);
    search();
    const long long total = 4LL * 2147483647;
    EXPECT_EQ(flow.state().pageCount, total / 60 + 1);
    EXPECT_EQ(flow.state().resultCount, total + 20 * (total / 60 + 1));
    EXPECT_EQ(screen().pageItems.size(), 10000u);
    EXPECT_NE(screen().title.find(decimalText(flow.state().resultCount)), Text::npos);
}

TEST_F(SearchFlowTest, FetchesRunConcurrentlyButPagesAreScrapedInCatalogueOrder) {
    serveTotals("1", 60, 0, 0, 0);
    const auto urls = buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1");
    for (int i = 0; i < 6; ++i) fetcher.delayMs[urls[static_cast<size_t>(i)]] = 300 - 40 * i;  // site 1 slowest
    std::vector<int> issued;
    flow.setObserver({[&](int site, const Text&) { issued.push_back(site); }, {}});

    const auto start = std::chrono::steady_clock::now();
    search();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(issued, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_LT(took, 900ms);  // one after the other would take 1.2 s
    EXPECT_EQ(screen().results.front().title, "p1s1_0.mkv");
    EXPECT_EQ(screen().results.back().title, "p1s6_1.mkv");
    EXPECT_EQ(flow.siteFigures()[0].rows, 2);
    EXPECT_GE(flow.siteFigures()[0].fetchTime.count(), 290);

    flow.setFetchMode(FetchMode::Sequential);
    const auto seqStart = std::chrono::steady_clock::now();
    search();
    EXPECT_GE(std::chrono::steady_clock::now() - seqStart, 1100ms);
    EXPECT_EQ(screen().results.size(), 12u);
}

TEST_F(SearchFlowTest, RowsAppearWhileALaterSiteIsStillFetching) {
    serveTotals("1", 60, 0, 0, 0);
    fetcher.hang.push_back(buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")[5]);
    flow.startSearch("abc");
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (screen().results.size() < 10 && std::chrono::steady_clock::now() < deadline) queue.runPending(20ms);
    EXPECT_TRUE(flow.running());
    ASSERT_EQ(screen().results.size(), 10u);  // sites 1 to 5, two each
    EXPECT_EQ(screen().title, statusText(u8" --- 正在搜索，请稍等......10%"));

    // Cancelled: the hanging fetch gives up, nothing more of the run is shown, and a new search works.
    const auto cancelled = std::chrono::steady_clock::now();
    flow.cancelRun();
    EXPECT_FALSE(flow.running());
    queue.runPending(50ms);
    EXPECT_EQ(screen().results.size(), 10u);
    EXPECT_TRUE(messages.empty());
    fetcher.hang.clear();
    search();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 2s);
    EXPECT_EQ(screen().results.size(), 12u);
    EXPECT_EQ(screen().title, statusText(u8" --- 搜索完成，共1页，80个结果 - 第1页 "));
}

TEST_F(SearchFlowTest, AShutDownFlowIgnoresCommandsAndEndsWithoutWaitingForAStalledSite) {
    for (const Text& url : buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")) fetcher.hang.push_back(url);
    auto owned = std::make_unique<SearchFlow>(fetcher, queue, test::numberedSites());
    owned->startSearch("abc");
    owned->shutDown();
    owned->startSearch("abc");
    EXPECT_FALSE(owned->running());
    const auto start = std::chrono::steady_clock::now();
    owned.reset();  // waits for its fetches, which give up at once
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(fetcher.requested.size(), 6u);
    queue.runPending(20ms);  // pages posted by the gone flow are dropped unread
}

TEST_F(SearchFlowTest, ASlotSwitchedOffIsNotFetchedAndCountsAsAPageThatDidNotArrive) {
    serveTotals("1", 60, 0, 0, 0);
    Settings settings = test::numberedSettings();
    settings.sites[1].enabled = false;
    flow.useSites(searchSites(settings, builtInSiteSlots()));
    search();
    const Text site2 = buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")[1];
    EXPECT_EQ(fetcher.requested.size(), 5u);
    EXPECT_EQ(std::count(fetcher.requested.begin(), fetcher.requested.end(), site2), 0);
    EXPECT_TRUE(flow.siteFigures()[1].disabled);
    EXPECT_FALSE(flow.siteFigures()[0].disabled);
    EXPECT_EQ(screen().results.size(), 10u);
    EXPECT_EQ(flow.state().records.skippedSites, "2");  // as for a site whose page did not arrive
}

// The built-in slots at http://s1 .. http://s6, then one slot per definition number in `extra` at http://s7 ...
SearchSites withExtraSlots(std::initializer_list<int> extra) {
    SearchSites sites = test::numberedSites();
    for (const int definition : extra)
        sites.push_back({"http://s" + std::to_string(sites.size() + 1), true, builtInSiteDefinition(definition)});
    return sites;
}

TEST_F(SearchFlowTest, ASeventhSlotRunningSite2GivesSite2sRowsAfterSlotSixsReportedAsSite7) {
    serveTotals("1", 60, 0, 0, 0);
    flow.useSites(withExtraSlots({2}));
    const Text seventh = buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")[6];
    EXPECT_EQ(seventh, "http://s7/list/%61%62%63/1");
    fetcher.pages[seventh] = test::site2Page(items(3, "seventh_"));
    search();

    EXPECT_EQ(screen().title, statusText(u8" --- 搜索完成，共1页，80个结果 - 第1页 "));
    ASSERT_EQ(screen().results.size(), 15u);
    EXPECT_EQ(screen().results[11].site, 6);
    for (size_t row = 12; row < 15; ++row) {
        const ResultItem& item = screen().results[row];
        EXPECT_EQ(item.title, "seventh_" + std::to_string(row - 12) + ".mkv");
        EXPECT_EQ(item.site, 7);
        EXPECT_TRUE(item.detailText.ends_with(gbk(u8"文件分类：7"))) << utf8(item.detailText);
    }
    ASSERT_EQ(flow.siteFigures().size(), 7u);
    EXPECT_EQ(flow.siteFigures()[6].rows, 3);
    EXPECT_EQ(flow.siteFigures()[6].outcome, SiteOutcome::Scraped);
    EXPECT_GT(flow.siteFigures()[6].bytes, 0u);
    EXPECT_EQ(std::count(fetcher.requested.begin(), fetcher.requested.end(), seventh), 1);
}

TEST_F(SearchFlowTest, ATotalCountsInWhicheverSlotRunsADefinitionThatReadsOne) {
    const struct {
        const char* what;
        int slot;        // the slot that runs `definition`
        int definition;  // its page is that site's page printing 120 (Site2 and Site4 print none)
        long long pageCount;
    } cases[] = {
        {"slot 7 runs site1", 7, 1, 3}, {"slot 7 runs site6", 7, 6, 3}, {"slot 7 runs site2: no total", 7, 2, 1},
        {"slot 2 runs site1", 2, 1, 3}, {"slot 4 runs site3", 4, 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fetcher.pages.clear();
        serveTotals("1", 60, 0, 0, 0);
        SearchSites sites = c.slot > 6 ? withExtraSlots({c.definition}) : test::numberedSites();
        sites[static_cast<size_t>(c.slot - 1)].definition = builtInSiteDefinition(c.definition);
        flow.useSites(sites);
        const auto page = [](int definition) {
            const auto list = items(1, "t");
            switch (definition) {
                case 1:
                    return test::site1Page(list, 120);
                case 2:
                    return test::site2Page(list);
                case 3:
                    return test::site3Page(list, 120);
                default:
                    return test::site6Page(list, 120);
            }
        };
        fetcher.pages[buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")[static_cast<size_t>(c.slot - 1)]] =
            page(c.definition);
        search();
        EXPECT_EQ(flow.state().pageCount, c.pageCount);
        EXPECT_EQ(flow.siteFigures()[static_cast<size_t>(c.slot - 1)].printsTotal, c.definition != 2);
    }
}

TEST_F(SearchFlowTest, EverySlotDownOrEmptyEndsInItsMessageAndTheDigitsStopAtSlotNine) {
    const struct {
        size_t slots;
        bool empty;  // every page is its site's page without items, else no page arrives
        const char* digits;
        RunOutcome outcome;
    } cases[] = {
        {7, false, "1234567", RunOutcome::Unreachable},
        {10, false, "123456789", RunOutcome::Unreachable},
        {7, true, "1234567", RunOutcome::NoResults},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.slots) + (c.empty ? " empty" : " down"));
        fetcher.pages.clear();
        SearchSites sites = withExtraSlots({});
        while (sites.size() < c.slots)
            sites.push_back({"http://s" + std::to_string(sites.size() + 1), true, builtInSiteDefinition(2)});
        flow.useSites(sites);
        if (c.empty) {
            const auto urls = buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1");
            for (size_t k = 0; k < urls.size(); ++k)
                fetcher.pages[urls[k]] =
                    "<title>手撕包菜 爱磁力 种子搜索站 BT种子磁力链接搜索引擎 磁力链 磁力链接搜索引擎</title>";
        }
        search();
        EXPECT_EQ(flow.lastOutcome(), c.outcome);
        EXPECT_EQ(c.empty ? flow.state().records.emptySites : flow.state().records.unreachableSites, c.digits);
        ASSERT_EQ(flow.siteFigures().size(), c.slots);
        EXPECT_EQ(flow.siteFigures().back().outcome, c.empty ? SiteOutcome::NoItems : SiteOutcome::NoPage);
    }
    // One slot that answers is enough for a completed run, whichever it is.
    flow.useSites(withExtraSlots({2}));
    fetcher.pages.clear();
    fetcher.pages[buildSearchUrls(flow.sites(), encodeKeyword("abc"), "1")[6]] = test::site2Page(items(1, "only"));
    search();
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Completed);
    // Slots 1 to 6 were scraped before slot 7's page was placed: none of the buffers they saw held a page.
    EXPECT_EQ(flow.state().records.unreachableSites, "123456");
    EXPECT_EQ(flow.state().records.skippedSites, "");
    ASSERT_EQ(screen().results.size(), 1u);
    EXPECT_EQ(screen().results[0].site, 7);
}

TEST_F(SearchFlowTest, ARunStartedBeforeASettingsChangeKeepsItsOwnSlots) {
    serveTotals("1", 60, 0, 0, 0);
    const SearchSites first = flow.sites();
    const std::vector<Text> before = buildSearchUrls(first, encodeKeyword("abc"), "1");
    // 站点设置 saves while the run waits for its pages: slot 4 off, slot 2 elsewhere, slot 3 read as Site1,
    // a seventh slot.
    SearchSites changed = withExtraSlots({1});
    changed[3].enabled = false;
    changed[1].base = "http://elsewhere";
    changed[2].definition = builtInSiteDefinition(1);
    for (const FetchMode mode : {FetchMode::Concurrent, FetchMode::Sequential}) {
        SCOPED_TRACE(mode == FetchMode::Concurrent ? "concurrent" : "sequential");
        flow.setFetchMode(mode);
        flow.useSites(first);
        fetcher.requested.clear();
        for (const Text& url : before) fetcher.delayMs[url] = 30;
        flow.startSearch("abc");
        ASSERT_TRUE(flow.running());
        flow.useSites(changed);
        settle();
        if (mode == FetchMode::Sequential) EXPECT_EQ(fetcher.requested, before);  // one after the other
        EXPECT_EQ(fetcher.requested.size(), 6u);
        for (const Text& url : before)
            EXPECT_EQ(std::count(fetcher.requested.begin(), fetcher.requested.end(), url), 1);
        EXPECT_EQ(screen().results.size(), 12u);
        EXPECT_EQ(flow.state().runSites.size(), 6u);
        ASSERT_EQ(flow.siteFigures().size(), 6u);
        EXPECT_FALSE(flow.siteFigures()[3].disabled);
        EXPECT_EQ(flow.siteFigures()[2].rows, 2);
    }

    // The next run is the new settings'.
    fetcher.requested.clear();
    search();
    const std::vector<Text> after = buildSearchUrls(changed, encodeKeyword("abc"), "1");
    EXPECT_EQ(after[1], "http://elsewhere/list/%61%62%63/1");
    EXPECT_EQ(fetcher.requested.size(), 6u);
    EXPECT_EQ(std::count(fetcher.requested.begin(), fetcher.requested.end(), after[3]), 0);
    EXPECT_TRUE(flow.siteFigures()[3].disabled);
    EXPECT_EQ(flow.siteFigures().size(), 7u);
}

TEST(PageCount, RoundsUpToWholePagesOfSixty) {
    EXPECT_EQ(pageCountFor(0), 0);
    EXPECT_EQ(pageCountFor(60), 1);
    EXPECT_EQ(pageCountFor(61), 2);
    EXPECT_EQ(pageCountFor(130), 3);
    EXPECT_EQ(pageCountFor(-61), 0);
    EXPECT_EQ(pageCountFor(-121), -1);
}

}  // namespace
}  // namespace lanqi
