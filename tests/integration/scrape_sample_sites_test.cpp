// The six sample sites fetched over real HTTP with the client's own request addresses, then scraped.
#include "scrape/scrape.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/net.h"
#include "search/site_catalogue.h"
#include "support/sample_server.h"
#include "support/scrape_harness.h"

namespace lanqi {
namespace {

using test::g;
using test::ScrapeHarness;

FetchLimits quickLimits() {
    FetchLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(2000);
    limits.stallLimit = std::chrono::milliseconds(2000);
    limits.totalLimit = std::chrono::milliseconds(20000);
    return limits;
}

class SampleSites : public ::testing::Test {
  protected:
    void SetUp() override {
        base = test::sampleServerBase();
        if (base.empty()) GTEST_SKIP() << "no sample-sites server (run through ctest)";
    }

    // Points site n at /site<n><mode> of the sample server.
    void pointSitesAt(const std::array<std::string, 6>& modes) {
        for (int n = 1; n <= 6; ++n) {
            const std::string variable = "LANQI_SITE" + std::to_string(n) + "_BASE";
            const std::string value = base + "/site" + std::to_string(n) + modes[static_cast<size_t>(n - 1)];
            setenv(variable.c_str(), value.c_str(), 1);
        }
    }
    void pointSitesAt(const std::string& mode) { pointSitesAt({mode, mode, mode, mode, mode, mode}); }

    // A whole run as the search flow makes it: fetch site n, then scrape it, for n = 1..6. Remembers how
    // many items each site gave.
    void run(const Text& keyword, const Text& page) {
        urls = buildSearchUrls(encodeKeyword(keyword), page);
        for (int n = 1; n <= 6; ++n) {
            h.records.sitePages[static_cast<size_t>(n - 1)] = fetchUrl(urls[static_cast<size_t>(n - 1)], quickLimits());
            const size_t before = h.items.size();
            h.scrape(n);
            firstRow[static_cast<size_t>(n - 1)] = before;
            rowsOf[static_cast<size_t>(n - 1)] = h.items.size() - before;
        }
    }

    // What the server says the page at site n's address holds.
    std::map<std::string, std::string> expectation(int n) {
        const std::string& url = urls[static_cast<size_t>(n - 1)];
        std::istringstream in(fetchUrl(base + "/_expect" + url.substr(base.size()), quickLimits()));
        std::map<std::string, std::string> fields;
        for (std::string line; std::getline(in, line);) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return fields;
    }

    void expectEveryItemOfEverySite() {
        for (int n = 1; n <= 6; ++n) {
            SCOPED_TRACE("site " + std::to_string(n));
            auto expected = expectation(n);
            const size_t items = std::stoul(expected.at("items"));
            ASSERT_GT(rowsOf[static_cast<size_t>(n - 1)], 0u);
            ASSERT_EQ(rowsOf[static_cast<size_t>(n - 1)], items);
            if (n != 2 && n != 4) {  // Site2 and Site4 print no total
                EXPECT_TRUE(h.records.sites[static_cast<size_t>(n - 1)].printsTotal);
                EXPECT_EQ(h.records.siteTotal(n), std::stoi(expected.at("total")));
            }
            for (size_t i = 1; i <= items; ++i) {
                const size_t row = firstRow[static_cast<size_t>(n - 1)] + i - 1;
                const ResultItem& item = h.item(row);
                EXPECT_EQ(item.magnetLink, "magnet:?xt=urn:btih:" + expected.at("hash" + std::to_string(i)));
                EXPECT_GBK(item.title, expected.at("title" + std::to_string(i)));
                EXPECT_EQ(item.detailText.back(), static_cast<char>('0' + n));
                EXPECT_EQ(item.site, n);
            }
        }
        EXPECT_EQ(h.records.skippedSites, "");
        EXPECT_EQ(h.records.unreachableSites, "");
        EXPECT_EQ(h.records.emptySites, "");
    }

    std::string base;
    std::array<Text, 6> urls;
    ScrapeHarness h;
    std::array<size_t, 6> firstRow{};
    std::array<size_t, 6> rowsOf{};
};

TEST_F(SampleSites, ChineseKeywordOnPageTwoYieldsEveryItemOfEverySite) {
    pointSitesAt("");
    run(g("超能陆战队"), "2");
    expectEveryItemOfEverySite();
}

TEST_F(SampleSites, LatinKeywordYieldsEveryItemOfEverySite) {
    pointSitesAt("");
    run("Big Hero", "1");
    expectEveryItemOfEverySite();
}

TEST_F(SampleSites, SixtyItemPages) {
    pointSitesAt("-items60");
    run(g("超能"), "3");
    for (size_t n = 0; n < 6; ++n) EXPECT_EQ(rowsOf[n], 60u) << "site " << n + 1;
    EXPECT_EQ(h.items.size(), 360u);
}

TEST_F(SampleSites, AllSitesDownIsUnreachableOnEveryCall) {
    pointSitesAt("-down");
    run("abc", "1");
    EXPECT_EQ(h.records.unreachableSites, "123456");
    EXPECT_TRUE(h.items.empty());
}

TEST_F(SampleSites, AllSitesAnsweringErrorPagesIsUnreachableOnEveryCall) {
    pointSitesAt("-error");
    run("abc", "1");
    EXPECT_EQ(h.records.unreachableSites, "123456");
    EXPECT_EQ(h.records.emptySites, "");
}

TEST_F(SampleSites, AllSitesWithoutItemsIsEmptyOnEveryCall) {
    pointSitesAt("-empty");
    run("abc", "1");
    EXPECT_EQ(h.records.emptySites, "123456");
    EXPECT_EQ(h.records.unreachableSites, "");
    EXPECT_TRUE(h.items.empty());
}

TEST_F(SampleSites, OneSiteWithoutItemsAmongOthersIsSkippedOnce) {
    pointSitesAt({"", "-empty", "", "-error", "-slow50", ""});
    run("abc", "1");
    EXPECT_EQ(h.records.skippedSites, "24");
    EXPECT_EQ(rowsOf[1], 0u);
    EXPECT_EQ(rowsOf[3], 0u);
    EXPECT_GT(rowsOf[4], 0u);
    EXPECT_EQ(h.records.unreachableSites, "");
}

}  // namespace
}  // namespace lanqi
