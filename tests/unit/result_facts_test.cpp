#include "app/core/result_facts.h"

#include <gtest/gtest.h>

namespace lanqi {
namespace {

const std::string kDownload =
    "\r\n\r\n下载链接：magnet:?xt=urn:btih:AB\r\n用鼠标左键双击文件即可直接在线播放，或单击鼠标右键用迅雷影音播放。";

struct Expected {
    std::optional<std::string> size;
    std::optional<unsigned long long> bytes;
    std::optional<std::string> date;
    std::optional<long long> fileCount;
    std::vector<std::pair<std::string, std::string>> files;  // name, printed size
};

TEST(ResultFacts, EachSitesDetailsGiveSizeDateCountAndFiles) {
    const struct {
        int site;
        std::string details;
        Expected expected;
    } cases[] = {
        {1,
         "文件名：\r\nA.7Z\r\n\r\n更新时间：2021-11-08\r\n\r\n包含文件：\r\n\r\n超能陆战队.part1.rar 7.6GB\r\n\r\n"
         "文件数目：1\r\n\r\n文件大小：3.9GB\r\n\r\n请求数：546" +
             kDownload + "\r\n\r\n文件分类：1",
         {"3.9GB", 4187593114ull, "2021-11-08", 1, {{"超能陆战队.part1.rar", "7.6GB"}}}},
        {2,
         "文件名：\r\nB.mp4" + kDownload +
             "\r\n\r\n文件内容：\r\n\r\n超能陆战队.part1.rar 6.15 GB\r\n\r\nSample/sample.mp4 6.19 GB\r\n\r\n"
             "No size here\r\n\r\n文件格式：视频\r\n\r\n上传日期：2015-01-21\r\n\r\n文件大小：5.37 GB\r\n\r\n"
             "下载热度：5103\r\n\r\n最近下载：2024-04-05\r\n\r\n文件分类：2",
         {"5.37 GB",
          5765993595ull,
          "2015-01-21",
          std::nullopt,
          {{"超能陆战队.part1.rar", "6.15 GB"}, {"Sample/sample.mp4", "6.19 GB"}, {"No size here", ""}}}},
        {3,
         "文件名：\r\nC.zip" + kDownload + "\r\n\r\n上传日期：2012-12-08\r\n\r\n文件大小：8.21 GB\r\n\r\n文件分类：3",
         {"8.21 GB", 8815420375ull, "2012-12-08", std::nullopt, {}}},
        {4,
         "文件名：\r\nD.mkv" + kDownload +
             "\r\n\r\n文件大小：2.48 GB\r\n\r\n文件数量：3\r\n\r\n创建时间：2017-09-15\r\n\r\n文件分类：4",
         {"2.48 GB", 2662879724ull, "2017-09-15", 3, {}}},
        {5,
         "文件名：\r\nE.tar" + kDownload +
             "\r\n\r\n包含文件：\r\n\r\n第2集.mkv 2.44 GB\r\n\r\n文件类型：压缩文件\r\n\r\n上传时间：2017-07-14\r\n\r\n"
             "文件大小：135.67 MB\r\n\r\n文件分类：5",
         {"135.67 MB", 142260306ull, "2017-07-14", std::nullopt, {{"第2集.mkv", "2.44 GB"}}}},
        {6,
         "文件名：\r\nF.iso" + kDownload +
             "\r\n\r\n收录时间：2012-06-09\r\n\r\n文件大小：8.53 GB\r\n\r\n文件数量：5\r\n\r\n文件分类：6",
         {"8.53 GB", 9159017759ull, "2012-06-09", 5, {}}},
        // Fields whose markers were missing on the page are empty lines: nothing is read from them.
        {1,
         "文件名：\r\nG\r\n\r\n更新时间：\r\n\r\n文件数目：many\r\n\r\n文件大小：" + kDownload + "\r\n\r\n文件分类：1",
         {std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.details);
        const ResultFacts facts = readResultFacts(c.details);
        ASSERT_EQ(facts.size.has_value(), c.expected.size.has_value());
        if (facts.size) {
            EXPECT_EQ(facts.size->text, *c.expected.size);
            EXPECT_EQ(facts.size->bytes, c.expected.bytes);
        }
        EXPECT_EQ(facts.date, c.expected.date);
        EXPECT_EQ(facts.fileCount, c.expected.fileCount);
        ASSERT_EQ(facts.files.size(), c.expected.files.size());
        for (size_t i = 0; i < facts.files.size(); ++i) {
            EXPECT_EQ(facts.files[i].name, c.expected.files[i].first);
            EXPECT_EQ(facts.files[i].size.text, c.expected.files[i].second);
        }
    }
}

TEST(ResultFacts, TheToolTipIsTheWholeTitleAndTheSizeAndDateLinesInTheirOrder) {
    const std::string details =
        "文件名：\r\nB\r\n\r\n文件格式：视频\r\n\r\n上传日期：2015-01-21\r\n\r\n"
        "文件大小：5.37 GB\r\n\r\n下载热度：5103\r\n\r\n文件分类：2";
    EXPECT_EQ(resultToolTip("A very long title & more", readResultFacts(details)),
              "A very long title & more\n上传日期：2015-01-21\n文件大小：5.37 GB");
    // Lines whose field was missing on the page add nothing.
    EXPECT_EQ(resultToolTip("T", readResultFacts("文件名：\r\nT\r\n\r\n更新时间：\r\n\r\n文件大小：")), "T");
}

TEST(ResultFacts, SizesCountKilobytesAs1024Bytes) {
    EXPECT_EQ(sizeInBytes("512 bytes"), 512u);
    EXPECT_EQ(sizeInBytes("1KB"), 1024u);
    EXPECT_EQ(sizeInBytes("1.5 mb"), 1572864u);
    EXPECT_EQ(sizeInBytes("2 GiB"), 2147483648u);
    EXPECT_EQ(sizeInBytes("1 TB"), 1099511627776u);
    for (const char* notASize : {"", "GB", "1.2.3 GB", "12", "3 apples", "-1 GB", "1e99 TB"})
        EXPECT_EQ(sizeInBytes(notASize), std::nullopt) << notASize;
}

}  // namespace
}  // namespace lanqi
