// Each site's parser on a hand-written page in that site's layout.
#include "scrape/scrape.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scrape_harness.h"

namespace lanqi {
namespace {

using test::downloadBlockUtf8;
using test::g;
using test::readFixture;
using test::ScrapeHarness;

// A harness whose buffer `site` holds the fixture page of that site and is scraped.
ScrapeHarness& scrapeFixture(ScrapeHarness& h, int site) {
    h.records.sitePages[static_cast<size_t>(site - 1)] = readFixture("scrape/site" + std::to_string(site) + ".html");
    h.scrape(site);
    return h;
}

// Every anchor of the page gave an item, and each item names the site that gave it.
void expectEveryItem(const ScrapeHarness& h, int site, size_t count) {
    EXPECT_EQ(h.items.size(), count);
    for (const ResultItem& item : h.items) EXPECT_EQ(item.site, site);
    EXPECT_EQ(h.records.skippedSites, "");
    EXPECT_EQ(h.records.unreachableSites, "");
    EXPECT_EQ(h.records.emptySites, "");
}

TEST(Site1, FullItemDetailsListEveryLineInOrder) {
    ScrapeHarness h;
    scrapeFixture(h, 1);
    expectEveryItem(h, 1, 5);
    EXPECT_GBK(h.item(0).detailText,
               "文件名：\r\n超能陆战队 Big Hero 6 1080p.MKV"
               "\r\n\r\n更新时间：2015-05-01"
               "\r\n\r\n包含文件：\r\n\r\n超能陆战队.MKV 1.2GB"
               "\r\n\r\nSample/sample.txt 12.4KB"
               "\r\n\r\nKB"
               "\r\n\r\n文件数目：3"
               "\r\n\r\n文件大小：1.2GB"
               "\r\n\r\n请求数：37" +
                   downloadBlockUtf8("5C0A2E6B8D9F1A3B4C5D6E7F8091A2B3C4D5E6F7") + "\r\n\r\n文件分类：1");
}

TEST(Site1, ItemWithoutFilesHasNoFileBlock) {
    ScrapeHarness h;
    scrapeFixture(h, 1);
    ASSERT_EQ(h.items.size(), 5u);
    EXPECT_GBK(h.item(1).detailText,
               "文件名：\r\nBones S01E01.Mkv\r\n\r\n更新时间：2016-11-23\r\n\r\n文件数目：1\r\n\r\n文件大小：350.0MB"
               "\r\n\r\n请求数：5" +
                   downloadBlockUtf8("abcdef0123456789abcdef0123456789abcdef01") + "\r\n\r\n文件分类：1");
}

TEST(Site1, TitlesKindsAndHashesStoppingAtTheAmpersand) {
    ScrapeHarness h;
    scrapeFixture(h, 1);
    ASSERT_EQ(h.items.size(), 5u);
    EXPECT_GBK(h.item(0).title, "超能陆战队 Big Hero 6 1080p.MKV");
    EXPECT_EQ(h.item(0).fileKind, 3);  // .MKV
    EXPECT_EQ(h.item(1).title, "Bones S01E01.Mkv");
    EXPECT_EQ(h.item(1).fileKind, 1);  // .Mkv: mixed case is no video
    EXPECT_GBK(h.item(2).title, "*获取文件标题失败，但您依然可以点击播放或下载*");
    EXPECT_EQ(h.item(2).fileKind, 1);
    EXPECT_GBK(h.item(3).title, "Linux 工具包 2.0.tar.gz");
    EXPECT_EQ(h.item(3).fileKind, 1);  // extension gz
    EXPECT_EQ(h.item(4).title, "rar");
    EXPECT_EQ(h.item(4).fileKind, 0);  // no dot: the whole title is the extension
    EXPECT_EQ(h.item(0).magnetLink, "magnet:?xt=urn:btih:5C0A2E6B8D9F1A3B4C5D6E7F8091A2B3C4D5E6F7");
    EXPECT_EQ(h.item(4).magnetLink, "magnet:?xt=urn:btih:2222222222222222222222222222222222222222");
}

TEST(Site1, PlaceholderTitleStartsItsDetails) {
    ScrapeHarness h;
    scrapeFixture(h, 1);
    ASSERT_EQ(h.items.size(), 5u);
    EXPECT_GBK(h.item(2).detailText,
               "文件名：\r\n*获取文件标题失败，但您依然可以点击播放或下载*\r\n\r\n更新时间：2017-01-09"
               "\r\n\r\n文件数目：0\r\n\r\n文件大小：0.0 B\r\n\r\n请求数：0" +
                   downloadBlockUtf8("0000000000000000000000000000000000000001") + "\r\n\r\n文件分类：1");
}

TEST(Site1, TotalReadsTheCountBetweenItsMarkers) {
    ScrapeHarness h;
    scrapeFixture(h, 1);
    EXPECT_EQ(h.records.siteTotal(1), 61);
    EXPECT_EQ(h.records.siteTotal(3), 0);
}

TEST(Site2, FullItemDetailsPutTheDownloadBlockAfterTheTitle) {
    ScrapeHarness h;
    scrapeFixture(h, 2);
    expectEveryItem(h, 2, 3);
    EXPECT_GBK(h.item(0).detailText, "文件名：\r\n超能陆战队 Big Hero 6.mkv" +
                                         downloadBlockUtf8("8f1e2d3c4b5a69788796a5b4c3d2e1f001234567") +
                                         "\r\n\r\n文件内容：\r\n\r\nBig Hero 6.mkv 1.25 GB"
                                         "\r\n\r\n字幕/简体中文.ass 45.10 KB"
                                         "\r\n\r\n文件格式：视频"
                                         "\r\n\r\n上传日期：2015-05-01"
                                         "\r\n\r\n文件大小：1.25 GB"
                                         "\r\n\r\n下载热度：1204"
                                         "\r\n\r\n最近下载：2024-03-02"
                                         "\r\n\r\n文件分类：2");
}

TEST(Site2, ItemWhoseNextEntryLiesBehindItsDateHasNoFileBlock) {
    ScrapeHarness h;
    scrapeFixture(h, 2);
    ASSERT_EQ(h.items.size(), 3u);
    EXPECT_GBK(h.item(1).detailText,
               "文件名：\r\n合集 RAR" + downloadBlockUtf8("ffffffffffffffffffffffffffffffffffffffff") +
                   "\r\n\r\n文件格式：压缩文件\r\n\r\n上传日期：2016-02-29\r\n\r\n文件大小：700.00 MB"
                   "\r\n\r\n下载热度：7\r\n\r\n最近下载：2023-01-01\r\n\r\n文件分类：2");
}

TEST(Site2, TitlesLoseEveryBoldTag) {
    ScrapeHarness h;
    scrapeFixture(h, 2);
    ASSERT_EQ(h.items.size(), 3u);
    EXPECT_GBK(h.item(0).title, "超能陆战队 Big Hero 6.mkv");
    EXPECT_EQ(h.item(0).fileKind, 3);
    EXPECT_GBK(h.item(1).title, "合集 RAR");
    EXPECT_EQ(h.item(1).fileKind, 1);
    // Nothing but tags: empty once they are gone.
    EXPECT_GBK(h.item(2).title, "*获取文件标题失败，但您依然可以点击播放或下载*");
    EXPECT_EQ(h.item(2).magnetLink, "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567");
}

TEST(Site3, FullItemDetailsTakeTenBytesOfDate) {
    ScrapeHarness h;
    scrapeFixture(h, 3);
    expectEveryItem(h, 3, 3);
    EXPECT_GBK(h.item(0).detailText, "文件名：\r\nDetails for torrent: 超能陆战队 Big Hero 6.RMVB" +
                                         downloadBlockUtf8("E3B0C44298FC1C149AFBF4C8996FB92427AE41E4") +
                                         "\r\n\r\n上传日期：2015-05-01\r\n\r\n文件大小：1.25 GB\r\n\r\n文件分类：3");
    // The date is ten bytes whatever follows it.
    EXPECT_GBK(h.item(1).detailText, "文件名：\r\n种子详情：超能合集.7Z" +
                                         downloadBlockUtf8("aaaabbbbccccddddeeeeffff0000111122223333") +
                                         "\r\n\r\n上传日期：2016-12-31\r\n\r\n文件大小：3.50 GB\r\n\r\n文件分类：3");
}

TEST(Site3, TitlesKeepTheirPrefixAndLoseEmphasis) {
    ScrapeHarness h;
    scrapeFixture(h, 3);
    ASSERT_EQ(h.items.size(), 3u);
    EXPECT_GBK(h.item(0).title, "Details for torrent: 超能陆战队 Big Hero 6.RMVB");
    EXPECT_EQ(h.item(0).fileKind, 3);
    EXPECT_GBK(h.item(1).title, "种子详情：超能合集.7Z");
    EXPECT_EQ(h.item(1).fileKind, 0);
    EXPECT_GBK(h.item(2).title, "*获取文件标题失败，但您依然可以点击播放或下载*");
    EXPECT_EQ(h.item(2).magnetLink, "magnet:?xt=urn:btih:9999888877776666555544443333222211110000");
}

TEST(Site3, TotalDropsTheThousandsSeparator) {
    ScrapeHarness h;
    scrapeFixture(h, 3);
    EXPECT_EQ(h.records.siteTotal(3), 1234);
}

TEST(Site4, FullItemDetailsAndHighlightRemoval) {
    ScrapeHarness h;
    scrapeFixture(h, 4);
    expectEveryItem(h, 4, 2);
    EXPECT_GBK(h.item(0).title, "超能陆战队 Big Hero 6 1080p.mp4");
    EXPECT_EQ(h.item(0).fileKind, 3);
    EXPECT_GBK(h.item(0).detailText, "文件名：\r\n超能陆战队 Big Hero 6 1080p.mp4" +
                                         downloadBlockUtf8("3f786850e387550fdab836ed7e6dc881de23001b") +
                                         "\r\n\r\n文件大小：1.25 GB\r\n\r\n文件数量：3\r\n\r\n创建时间：2015-05-01"
                                         "\r\n\r\n文件分类：4");
    EXPECT_EQ(h.item(1).title, "Ubuntu 22.04 LTS.ISO");
    EXPECT_EQ(h.item(1).fileKind, 0);
}

TEST(Site5, FullItemDetailsUnwrapEachFileEntry) {
    ScrapeHarness h;
    scrapeFixture(h, 5);
    expectEveryItem(h, 5, 2);
    EXPECT_GBK(h.item(0).detailText,
               "文件名：\r\n超能陆战队.1080p.WMV" + downloadBlockUtf8("a94a8fe5ccb19ba61c4c0873d391e987982fbbd3") +
                   "\r\n\r\n包含文件：\r\n\r\n超能陆战队.1080p.WMV 1.25 GB"
                   "\r\n\r\nreadme.txt 1.02 KB"
                   "\r\n\r\n"  // an entry without a tag is empty
                   "\r\n\r\n文件类型：视频"
                   "\r\n\r\n上传时间：2015-05-01"
                   "\r\n\r\n文件大小：1.25 GB"
                   "\r\n\r\n下载热度：3069"
                   "\r\n\r\n最近下载：2024-03-02"
                   "\r\n\r\n文件分类：5");
}

TEST(Site5, EmptyFileListAndHashStoppingAtHtml) {
    ScrapeHarness h;
    scrapeFixture(h, 5);
    ASSERT_EQ(h.items.size(), 2u);
    EXPECT_EQ(h.item(0).magnetLink, "magnet:?xt=urn:btih:a94a8fe5ccb19ba61c4c0873d391e987982fbbd3");
    EXPECT_GBK(h.item(1).title, "单曲 超能 无损.flac");
    EXPECT_EQ(h.item(1).fileKind, 1);
    EXPECT_GBK(h.item(1).detailText, "文件名：\r\n单曲 超能 无损.flac" +
                                         downloadBlockUtf8("0beec7b5ea3f0fdbc95d0dd47f3c5bc275da8a33") +
                                         "\r\n\r\n文件类型：音频\r\n\r\n上传时间：2018-08-08\r\n\r\n文件大小：32.16 MB"
                                         "\r\n\r\n下载热度：12\r\n\r\n最近下载：2019-09-09\r\n\r\n文件分类：5");
    EXPECT_EQ(h.records.siteTotal(5), 8511);
}

TEST(Site6, TitleIsTheRawDisplayNameAndFieldsFollowTheHash) {
    ScrapeHarness h;
    scrapeFixture(h, 6);
    expectEveryItem(h, 6, 2);
    EXPECT_GBK(h.item(0).title, "超能陆战队.mkv");
    EXPECT_EQ(h.item(0).fileKind, 3);
    EXPECT_GBK(h.item(0).detailText, "文件名：\r\n超能陆战队.mkv" +
                                         downloadBlockUtf8("62cdb7020ff920e5aa642c3d4066950dd1f01f4d") +
                                         "\r\n\r\n收录时间：2019-03-04\r\n\r\n文件大小：1.25 GB\r\n\r\n文件数量：3"
                                         "\r\n\r\n文件分类：6");
    // Plus and percent encodings stay as the page wrote them.
    EXPECT_EQ(h.item(1).title, "Big+Hero%206.MKV");
    EXPECT_EQ(h.item(1).fileKind, 3);
    EXPECT_EQ(h.records.siteTotal(6), 8511);
}

TEST(EverySite, ItemsOfAWholeRunStayInCatalogueOrder) {
    ScrapeHarness h;
    for (int site = 1; site <= 6; ++site) scrapeFixture(h, site);
    ASSERT_EQ(h.items.size(), 5u + 3 + 3 + 2 + 2 + 2);
    // Each details text names its site last, and the item carries the same number.
    const int sites[] = {1, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 5, 5, 6, 6};
    for (size_t r = 0; r < h.items.size(); ++r) {
        SCOPED_TRACE("item " + std::to_string(r));
        EXPECT_EQ(h.item(r).site, sites[r]);
        EXPECT_EQ(h.item(r).detailText.back(), static_cast<char>('0' + sites[r]));
    }
}

}  // namespace
}  // namespace lanqi
