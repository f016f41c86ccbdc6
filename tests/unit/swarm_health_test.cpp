#include "app/core/swarm_health.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "search/result_query.h"

namespace lanqi {
namespace {

SwarmReport reportOf(bool finished, int peers, std::optional<int> seeds = {}, std::optional<int> leechers = {},
                     std::optional<std::string> name = {}) {
    SwarmReport report;
    report.hash = std::string(40, 'a');
    report.finished = finished;
    report.peers = peers;
    report.seeds = seeds;
    report.leechers = leechers;
    report.name = std::move(name);
    return report;
}

SwarmReport running(double seconds, SwarmReport report) {
    report.seconds = seconds;
    return report;
}

TEST(SwarmHealth, TheCellSaysWhatTheCheckFoundSoFar) {
    struct Case {
        SwarmReport report;
        const char* cell;
        std::optional<long long> score;
    };
    SwarmReport failed = reportOf(true, 0);
    failed.problem = "cannot listen";
    const Case cases[] = {
        {reportOf(false, 0), "检查中…", std::nullopt},
        {reportOf(false, 3), "检查中… 3 节点", 3},
        {reportOf(false, 0, 2, 0), "检查中… 2 做种 · 0 下载 · 0 节点", 2'000'000},
        {running(5.7, reportOf(false, 0)), "检查中 5 秒…", std::nullopt},
        {running(12, reportOf(false, 3, 1)), "检查中 12 秒… 1 做种 · 3 节点", 1'000'003},
        {reportOf(true, 41, 12, 3), "12 做种 · 3 下载 · 41 节点", 12'000'041},
        {reportOf(true, 5), "5 节点", 5},
        {reportOf(true, 0), "无人分享", 0},
        {reportOf(true, 0, 0, 0), "无人分享", 0},
        // metadata came from someone, so it was shared, and counts as one peer
        {reportOf(true, 0, {}, {}, "x"), "0 节点", 1},
        {failed, "检查失败", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(healthCell(c.report), c.cell);
        EXPECT_EQ(healthScore(c.report), c.score) << c.cell;
    }
}

TEST(SwarmHealth, TheNoteGivesTheLocalTimeOfAFinishedCheck) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    SwarmReport report = reportOf(true, 1);
    report.checkedAt = 1765375320;  // 2025-12-10 14:02 UTC
    EXPECT_EQ(healthNote(report), "健康度：1 节点，检查于 14:02");
    EXPECT_EQ(healthNote(reportOf(false, 0)), "健康度：检查中…");
    EXPECT_EQ(clockText(0), "00:00");
}

TEST(SwarmHealth, NamesAndSizesDisagreeOnlyBeyondCaseSeparatorsAndFivePercent) {
    struct NameCase {
        const char* site;
        const char* torrent;
        bool same;
    };
    const NameCase names[] = {
        {"Big.Buck.Bunny.2008.1080p", "big buck bunny 2008 1080p", true},
        {"【高清】Big Buck Bunny 1080p", "Big.Buck.Bunny.1080p", true},  // the site adds to the name
        {"大雄兔", "大雄兔.mkv", true},
        {"Big Buck Bunny", "Sintel", false},
        {"大雄兔", "小雄兔", false},
        {"", "", true},
        {"x", "", false},
    };
    for (const NameCase& c : names)
        EXPECT_EQ(sameTorrentName(c.site, c.torrent), c.same) << c.site << " / " << c.torrent;

    struct SizeCase {
        std::optional<unsigned long long> site;
        std::uint64_t torrent;
        bool off;
    };
    const SizeCase sizes[] = {{1000, 1050, false}, {1000, 1051, true},       {1000, 950, false},
                              {1000, 949, true},   {std::nullopt, 5, false}, {0, 5, false}};
    for (const SizeCase& c : sizes) EXPECT_EQ(sizeDisagrees(c.site, c.torrent), c.off) << c.torrent;
}

TEST(SwarmHealth, SizesAndTextOutsideGbk) {
    EXPECT_EQ(byteSizeText(512), "512 B");
    EXPECT_EQ(byteSizeText(1536), "1.50 KB");
    EXPECT_EQ(byteSizeText(700ull << 20), "700.00 MB");
    EXPECT_EQ(byteSizeText(3ull << 40), "3.00 TB");
    EXPECT_EQ(gbkLossy("a中b"), gbk(u8"a中b"));
    EXPECT_EQ(gbkLossy("x한y"), "x?y") << "Hangul has no GBK form";
    EXPECT_EQ(gbkLossy("\xff"
                       "z\xe4\xb8"),
              "?z??")
        << "broken UTF-8 is one ? per byte";
}

TEST(SwarmHealth, TheDetailsListTheTorrentsOwnFilesAndMarkWhereTheyDisagree) {
    ResultItem item;
    item.title = gbk(u8"Sintel 2010");
    item.sizeBytes = 2000;
    SwarmReport report = reportOf(true, 4, 1, 0, "Sintel.2010");
    report.files = {{"Sintel.mkv", 1900}, {"字幕/中文.srt", 50}};
    report.totalSize = 1950;
    EXPECT_EQ(utf8(swarmDetailText(report, item)),
              "\r\n\r\n―― BitTorrent 网络 ――\r\n健康度：1 做种 · 0 下载 · 4 节点，检查于 " + clockText(0) +
                  "\r\n种子名称：Sintel.2010\r\n种子大小：1.90 KB，2 个文件\r\n  Sintel.mkv  (1.86 KB)\r\n"
                  "  字幕/中文.srt  (50 B)");
    EXPECT_TRUE(swarmDetailText(reportOf(false, 0), item).empty()) << "nothing known yet";
    const std::string nobody = utf8(swarmDetailText(reportOf(true, 0), item));
    EXPECT_NE(nobody.find("无人分享"), std::string::npos) << nobody;
    EXPECT_TRUE(nobody.ends_with("种子名称：未取得（没有节点提供种子信息）")) << nobody;
}

// Sorting by health: best shared first by default, unchecked rows last in both directions, ties in run order.
TEST(SwarmHealth, SortingByHealthReadsTheScoresByRunRow) {
    std::vector<ResultItem> rows(5);
    const std::vector<std::optional<long long>> health = {std::nullopt, 3, 2'000'000, 3, std::nullopt};
    ASSERT_TRUE(descendingByDefault(SortKey::Health));
    EXPECT_EQ(sortKeyNamed("health"), SortKey::Health);
    const auto order = [&](bool descending, std::span<const std::optional<long long>> scores) {
        std::vector<size_t> out;
        for (const ViewEntry& e : viewRows(rows, {}, {SortKey::Health, descending}, false, {}, scores).entries)
            out.push_back(e.row);
        return out;
    };
    EXPECT_EQ(order(true, health), (std::vector<size_t>{2, 1, 3, 0, 4}));
    EXPECT_EQ(order(false, health), (std::vector<size_t>{1, 3, 2, 0, 4}));
    EXPECT_EQ(order(true, {}), (std::vector<size_t>{0, 1, 2, 3, 4})) << "nothing checked: run order";
}

}  // namespace
}  // namespace lanqi
