#include "search/search_flow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/product.h"
#include "search/site_catalogue.h"
#include "support/fake_search_view.h"
#include "support/site_pages.h"

namespace lanqi {
namespace {

using test::FakeSearchView;
using test::items;

// Pages by address; an address it does not know fails like a dead server.
class FakeFetcher : public PageFetcher {
  public:
    std::map<Text, Bytes> pages;
    std::map<Text, int> delayMs;
    std::vector<Text> requested;
    std::mutex mutex;

    Bytes fetch(const Text& address) override {
        int delay = 0;
        Bytes page;
        {
            std::lock_guard lock(mutex);
            requested.push_back(address);
            if (auto d = delayMs.find(address); d != delayMs.end()) delay = d->second;
            if (auto p = pages.find(address); p != pages.end()) page = p->second;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        return page;
    }
};

class CountingEvents : public EventPump {
  public:
    int calls = 0;
    std::function<void()> onCall;
    void processPendingEvents() override {
        ++calls;
        if (onCall) onCall();
    }
};

Text statusText(const char8_t* text) { return titlePrefix() + gbk(text); }

class SearchFlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int n = 1; n <= 6; ++n)
            setenv(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str(), ("http://s" + std::to_string(n)).c_str(), 1);
    }
    void TearDown() override {
        for (int n = 1; n <= 6; ++n) unsetenv(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str());
    }

    // Puts one page per site for `keyword` and `page` into the fake network.
    void serve(const Text& keyword, const Text& page, const std::array<Bytes, 6>& sitePages) {
        const auto urls = buildSearchUrls(encodeKeyword(keyword), page);
        for (size_t i = 0; i < 6; ++i) fetcher.pages[urls[i]] = sitePages[i];
    }
    void serveTotals(const Text& page, long long t1, long long t3, long long t5, long long t6, int perSite = 2) {
        const std::string p = "p" + page + "s";
        serve("abc", page,
              {test::site1Page(items(perSite, p + "1_"), t1), test::site2Page(items(perSite, p + "2_")),
               test::site3Page(items(perSite, p + "3_"), t3), test::site4Page(items(perSite, p + "4_")),
               test::site5Page(items(perSite, p + "5_"), t5), test::site6Page(items(perSite, p + "6_"), t6)});
    }

    FakeSearchView view;
    FakeFetcher fetcher;
    CountingEvents events;
    SearchFlow flow{view, fetcher, events};
};

TEST_F(SearchFlowTest, CompletedRunShowsPagesResultsAndTheSelector) {
    serveTotals("1", 40, 30, 35, 25);
    flow.startSearch();

    EXPECT_EQ(view.title, statusText(u8" --- 搜索完成，共3页，190个结果 - 第1页 "));
    EXPECT_EQ(view.titles.front(), statusText(u8" --- 正在搜索，请稍等......"));
    EXPECT_EQ(view.pageItems, (std::vector<Text>{"1", "2", "3"}));
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(view.caption, gbk(u8"下一页"));
    EXPECT_TRUE(view.nextVisible);
    EXPECT_TRUE(view.selectorVisible);
    EXPECT_FALSE(view.prevVisible);
    EXPECT_FALSE(view.bannerVisible);
    EXPECT_EQ(view.layout, SearchLayout::Results);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(flow.state().pageCount, 3);
    EXPECT_EQ(flow.state().resultCount, 190);
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Completed);

    // Rows arrive in catalogue order, each with its magnet link and details at the same position.
    ASSERT_EQ(view.rows.size(), 12u);
    EXPECT_EQ(view.rows[0].first, "p1s1_0.mkv");
    EXPECT_EQ(view.rows[0].second, 3);
    EXPECT_EQ(view.rows[11].first, "p1s6_1.mkv");
    ASSERT_EQ(flow.state().records.magnetLinks.size(), 12u);
    EXPECT_EQ(flow.state().records.magnetLinks[2], "magnet:?xt=urn:btih:p1s2_0hash");
    EXPECT_EQ(flow.state().records.detailTexts.size(), 12u);
    // A progress title was written for the last row.
    EXPECT_NE(std::find(view.titles.begin(), view.titles.end(), statusText(u8" --- 正在搜索，请稍等......12%")),
              view.titles.end());
}

TEST_F(SearchFlowTest, PagingForwardAndBackRebuildsTheSelectorOnPageOne) {
    serveTotals("1", 40, 30, 35, 25);
    serveTotals("2", 40, 30, 35, 25);
    serveTotals("3", 40, 30, 35, 25);
    flow.startSearch();
    flow.goToNextPage();
    EXPECT_EQ(flow.state().currentPage, "2");
    EXPECT_EQ(view.title, statusText(u8" --- 搜索完成，共3页，190个结果 - 第2页 "));
    EXPECT_EQ(view.selected, 1);
    EXPECT_TRUE(view.prevVisible);
    EXPECT_EQ(view.rows[0].first, "p2s1_0.mkv");

    flow.goToNextPage();
    EXPECT_EQ(view.caption, gbk(u8"强力搜"));
    EXPECT_EQ(view.pageItems, (std::vector<Text>{"1", "2", "3"}));  // "下一页" adds no item
    EXPECT_EQ(view.selected, 2);

    view.pageItems.push_back("stale");  // only a run on page 1 empties the selector
    flow.goToPreviousPage();
    EXPECT_EQ(view.pageItems.size(), 4u);
    flow.goToPreviousPage();
    EXPECT_EQ(flow.state().currentPage, "1");
    EXPECT_EQ(view.pageItems, (std::vector<Text>{"1", "2", "3"}));
    EXPECT_EQ(view.selected, 0);
    EXPECT_FALSE(view.prevVisible);
}

TEST_F(SearchFlowTest, NoTotalsGiveZeroPagesAndForceSearchAddsThePageItReaches) {
    serveTotals("1", -1, -1, -1, -1);
    serveTotals("2", -1, -1, -1, -1);
    flow.startSearch();
    EXPECT_EQ(view.title, statusText(u8" --- 搜索完成，共0页，0个结果 - 第1页 "));
    EXPECT_TRUE(view.pageItems.empty());
    EXPECT_EQ(view.selected, -1);
    EXPECT_EQ(view.caption, gbk(u8"强力搜"));
    EXPECT_TRUE(view.nextVisible);

    fetcher.requested.clear();
    flow.goToNextPage();
    EXPECT_EQ(fetcher.requested.size(), 6u);
    // The fetches run at once, so they reach the network in any order.
    EXPECT_NE(std::find(fetcher.requested.begin(), fetcher.requested.end(),
                        "http://s1/search/%61%62%63/?c=&s=create_time&p=2"),
              fetcher.requested.end());
    EXPECT_EQ(view.pageItems, (std::vector<Text>{"2"}));
    EXPECT_EQ(view.selected, 0);  // index 1 is past the last item
    EXPECT_EQ(view.rows[0].first, "p2s1_0.mkv");
}

TEST_F(SearchFlowTest, AllSitesUnreachableShowsTheConnectionMessage) {
    flow.startSearch();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              gbk(u8"连接服务器失败：请检查网络连接。如果您的网络正常，则有可能我们的服务器正在维护中，请稍后重试。"));
    EXPECT_EQ(view.messages[0].caption, gbk(u8"网络错误"));
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(view.messages[0].bannerVisibleWhileShown);
    EXPECT_TRUE(view.bannerVisible);
    EXPECT_EQ(view.title, statusText(u8" --- 连接服务器失败"));
    EXPECT_EQ(flow.state().currentPage, "0");
    EXPECT_EQ(flow.state().records.unreachableSites, "123456");
    EXPECT_EQ(view.layout, SearchLayout::Home);
    EXPECT_FALSE(view.nextVisible || view.prevVisible || view.selectorVisible);
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Unreachable);

    // The next search starts again from page 1.
    serveTotals("1", 60, 0, 0, 0);
    flow.startSearch();
    EXPECT_EQ(view.title, statusText(u8" --- 搜索完成，共1页，80个结果 - 第1页 "));
}

TEST_F(SearchFlowTest, NoItemsAnywhereShowsTheNoResultMessage) {
    serve("abc", "1",
          {test::site1Page({}, 0), test::site2Page({}), test::site3Page({}, 0), test::site4Page({}),
           test::site5Page({}, 0), test::site6Page({}, 0)});
    flow.startSearch();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, gbk(u8"未搜索到结果：请换个关键词重试。"));
    EXPECT_EQ(view.messages[0].caption, gbk(u8"搜索失败"));
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(view.title, statusText(u8" --- 未搜索到结果"));
    EXPECT_EQ(flow.state().currentPage, "0");
    EXPECT_TRUE(view.bannerVisible);
    EXPECT_TRUE(view.rows.empty());
}

TEST_F(SearchFlowTest, SomeSitesDownAndTheRestEmptyStillCompletes) {
    serve("abc", "1", {"", "", test::site3Page({}, 0), test::site4Page({}), "", test::site6Page({}, 0)});
    flow.startSearch();
    // Sites 1 and 2 find no page carrying a marker before site 3's page arrives in its buffer.
    EXPECT_EQ(flow.state().records.unreachableSites, "12");
    EXPECT_EQ(flow.state().records.emptySites, "3456");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(flow.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(view.title, statusText(u8" --- 搜索完成，共0页，0个结果 - 第1页 "));
}

TEST_F(SearchFlowTest, StalePagesOfThePreviousRunPassThePageCheck) {
    serveTotals("1", 0, 0, 0, 0);
    flow.startSearch();
    fetcher.pages.clear();  // the network goes down
    flow.startSearch();
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(flow.state().records.unreachableSites, "6");
    EXPECT_EQ(flow.state().records.skippedSites, "12345");
    EXPECT_EQ(view.title, statusText(u8" --- 搜索完成，共0页，0个结果 - 第1页 12345"));
}

TEST_F(SearchFlowTest, AnEditedKeywordIsSearchedOnTheNextPage) {
    serveTotals("1", 200, 0, 0, 0);
    flow.startSearch();
    view.keyword = "xyz";
    fetcher.requested.clear();
    flow.goToNextPage();
    ASSERT_EQ(fetcher.requested.size(), 6u);
    EXPECT_NE(std::find(fetcher.requested.begin(), fetcher.requested.end(), "http://s6/search?keyword=%78%79%7A&p=2"),
              fetcher.requested.end());
    EXPECT_EQ(flow.state().encodedKeyword, "%78%79%7A");
}

TEST_F(SearchFlowTest, ChoosingAPageUsesThePositionNotTheItemText) {
    serveTotals("1", 200, 0, 0, 0);
    serveTotals("4", 200, 0, 0, 0);
    flow.startSearch();
    view.pageItems[3] = "99";
    flow.goToSelectedPage(3);
    EXPECT_EQ(flow.state().currentPage, "4");
    EXPECT_EQ(view.rows[0].first, "p4s1_0.mkv");
    EXPECT_EQ(view.selected, 0);  // a page change does not move the selection itself
}

TEST_F(SearchFlowTest, CommandsDuringARunAreIgnored) {
    serveTotals("1", 200, 0, 0, 0);
    serveTotals("2", 200, 0, 0, 0);
    int nested = 0;
    events.onCall = [&] {
        if (nested++ < 50) {
            flow.startSearch();
            flow.goToNextPage();
            flow.goToPreviousPage();
            flow.goToSelectedPage(1);
        }
    };
    flow.startSearch();
    EXPECT_GT(nested, 0);
    EXPECT_EQ(fetcher.requested.size(), 6u);
    EXPECT_EQ(flow.state().currentPage, "1");
    EXPECT_EQ(view.rows.size(), 12u);
    EXPECT_FALSE(flow.running());
}

TEST_F(SearchFlowTest, HugeTotalsNeitherOverflowNorFloodTheSelector) {
    serveTotals("1", 99999999999LL, 2147483647, 2147483647, 2147483647);
    flow.startSearch();
    const long long total = 4LL * 2147483647;
    EXPECT_EQ(flow.state().pageCount, total / 60 + 1);
    EXPECT_EQ(flow.state().resultCount, total + 20 * (total / 60 + 1));
    EXPECT_EQ(view.pageItems.size(), 10000u);
    EXPECT_EQ(view.title.find(decimalText(flow.state().resultCount)) != Text::npos, true);
}

TEST_F(SearchFlowTest, FetchesRunConcurrentlyButPagesAreScrapedInCatalogueOrder) {
    serveTotals("1", 60, 0, 0, 0);
    const auto urls = buildSearchUrls(encodeKeyword("abc"), "1");
    for (int i = 0; i < 6; ++i) fetcher.delayMs[urls[static_cast<size_t>(i)]] = 300 - 40 * i;  // site 1 slowest
    std::vector<int> issued;
    flow.setObserver({[&](int site, const Text&) { issued.push_back(site); }, {}});

    const auto start = std::chrono::steady_clock::now();
    flow.startSearch();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(issued, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_LT(took, std::chrono::milliseconds(900));  // one after the other would take 1.2 s
    EXPECT_EQ(view.rows.front().first, "p1s1_0.mkv");
    EXPECT_EQ(view.rows.back().first, "p1s6_1.mkv");
    EXPECT_GT(events.calls, 0);  // the window kept processing events while waiting
    EXPECT_EQ(flow.siteFigures()[0].rows, 2);
    EXPECT_GE(flow.siteFigures()[0].fetchTime.count(), 290);

    flow.setFetchMode(FetchMode::Sequential);
    const auto seqStart = std::chrono::steady_clock::now();
    flow.startSearch();
    EXPECT_GE(std::chrono::steady_clock::now() - seqStart, std::chrono::milliseconds(1100));
    EXPECT_EQ(view.rows.size(), 12u);
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
