#include "app/core/update_check.h"

#include <gtest/gtest.h>

#include "app/core/menus.h"
#include "support/fake_desktop_services.h"

namespace lanqi {
namespace {

using test::FakeDesktopServices;

const Text kOfferCaption = gbk(u8"检测到新版本：");

class UpdateCheck : public ::testing::Test {
  protected:
    std::vector<std::string> opened() const {
        std::vector<std::string> out;
        for (const auto& c : desktop.calls)
            if (c.rfind("openAddress ", 0) == 0) out.push_back(c.substr(12));
        return out;
    }
    FakeDesktopServices desktop;
};

TEST_F(UpdateCheck, NewerVersionShowsTheWholeFileAndYesOpensDownloadThenVendor) {
    const Text file = gbk(u8"最新版：岚栖种子搜索神器v2.0 发布\r\n下载：") + "http://dl.test/new.exe";
    desktop.messageAnswers = {MessageAnswer::Yes};
    checkForUpdate(desktop, file, false, "http://vendor.test");
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].text, file + gbk(u8"\r\n\r\n是否更新？"));
    EXPECT_EQ(desktop.messageBoxes[0].style, 68);
    EXPECT_EQ(desktop.messageBoxes[0].caption, kOfferCaption);
    EXPECT_EQ(opened(), (std::vector<std::string>{"http://dl.test/new.exe", "http://vendor.test"}));
}

TEST_F(UpdateCheck, NoOpensNothing) {
    desktop.messageAnswers = {MessageAnswer::No};
    checkForUpdate(desktop, gbk(u8"岚栖种子搜索神器v2.0 http://dl.test/x"), true, "http://vendor.test");
    EXPECT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_TRUE(opened().empty());
}

TEST_F(UpdateCheck, SameVersionIsReportedOnlyWhenAskedFor) {
    const Text file = gbk(u8"岚栖种子搜索神器v1.9 http://dl.test/x");
    checkForUpdate(desktop, file, false, "http://vendor.test");
    EXPECT_TRUE(desktop.calls.empty());
    checkForUpdate(desktop, file, true, "http://vendor.test");
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].text, gbk(u8"\"岚栖种子搜索神器v1.9\" 已是最新版本，不需要升级。"));
    EXPECT_EQ(desktop.messageBoxes[0].style, 64);
    EXPECT_EQ(desktop.messageBoxes[0].caption, gbk(u8"软件更新："));
}

TEST_F(UpdateCheck, AHugeFileShowsItsFirst2000BytesButItsAddressIsTakenFromTheWhole) {
    // 1 + 1999 single bytes would end inside a two-byte character: the box stops before it.
    const Text file = gbk(u8"岚栖种子搜索神器v2.0") + Text(1999 - 20, 'x') + gbk(u8"新") + Text(3u << 20, 'y') +
                      "http://dl.test/new.exe \r\n\r\n";
    desktop.messageAnswers = {MessageAnswer::Yes};
    checkForUpdate(desktop, file, false, "http://vendor.test");
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    const Text shown = desktop.messageBoxes[0].text;
    EXPECT_EQ(shown, file.substr(0, 1999) + gbk(u8"\r\n\r\n是否更新？"));
    EXPECT_EQ(opened(), (std::vector<std::string>{"http://dl.test/new.exe", "http://vendor.test"}));
    EXPECT_EQ(offerText(file.substr(0, 2001)).size(), 1999u);
    EXPECT_EQ(offerText("short"), "short");
}

TEST_F(UpdateCheck, AManualCheckWithoutAVersionFileSaysTheServerWasNotReached) {
    reportUpdateServerUnreachable(desktop);
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_NE(desktop.messageBoxes[0].text.find(gbk(u8"无法连接升级服务器")), Text::npos);
    EXPECT_EQ(desktop.messageBoxes[0].style, kMessageOk | kMessageIconError);
    EXPECT_EQ(desktop.messageBoxes[0].caption, gbk(u8"软件更新："));
}

TEST_F(UpdateCheck, EmptyVersionTextOffersNothing) {
    checkForUpdate(desktop, "", false, "http://vendor.test");
    EXPECT_TRUE(desktop.calls.empty());
    checkForUpdate(desktop, "", true, "http://vendor.test");
    EXPECT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].caption, gbk(u8"软件更新："));
}

TEST(OfferedVersion, ReadsThreeBytesAfterTheMarker) {
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器v2.0")), 2.0f);
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"xx岚栖种子搜索神器V2.5.1")), 2.5f);  // "V" matches "v"
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器v1.95")), 1.9f);     // only three bytes
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器v10.0")), 10.0f);
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器vabc")), 0.0f);
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器v2")), 2.0f);  // the text ends sooner
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器v")), 0.0f);
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器vinf")), 0.0f);
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器v0x9")), 0.0f);
}

TEST(OfferedVersion, FullWidthDigitsBecomeHalfWidth) {
    // "２." is three GBK bytes: the full-width 2 and a point.
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器v２.")), 2.0f);
    EXPECT_FLOAT_EQ(offeredVersion(gbk(u8"岚栖种子搜索神器v３")), 3.0f);
}

TEST(OfferedVersion, WithoutTheMarkerPositionSixteenIsRead) {
    // Bytes 16..18 (counted from 1) of the text.
    EXPECT_FLOAT_EQ(offeredVersion("abcdefghijklmno3.5xyz"), 3.5f);
    EXPECT_FLOAT_EQ(offeredVersion("short"), 0.0f);
}

TEST_F(UpdateCheck, DownloadAddressIsFromTheLastHttpToTheEnd) {
    EXPECT_EQ(updateDownloadAddress("a http://one/ b HTTP://two/x"), "HTTP://two/x");
    EXPECT_EQ(updateDownloadAddress("text then http://"), "http://");
    EXPECT_EQ(updateDownloadAddress("no address here"), "no address here");

    desktop.messageAnswers = {MessageAnswer::Yes};
    checkForUpdate(desktop, gbk(u8"岚栖种子搜索神器v2.0 get it at http://"), false, "http://vendor.test");
    EXPECT_EQ(opened(), (std::vector<std::string>{"http://", "http://vendor.test"}));
}

TEST_F(UpdateCheck, AFileWithoutAWebAddressNeverReachesTheShellWhole) {
    desktop.messageAnswers = {MessageAnswer::Yes};
    checkForUpdate(desktop, gbk(u8"岚栖种子搜索神器v9.0 /usr/bin/xterm"), false, "http://vendor.test");
    EXPECT_EQ(opened(), (std::vector<std::string>{"http://vendor.test"}));

    FakeDesktopServices https;
    https.messageAnswers = {MessageAnswer::Yes};
    checkForUpdate(https, gbk(u8"岚栖种子搜索神器v9.0 ") + "https://dl.test/x", false, "http://vendor.test");
    EXPECT_EQ(https.calls.size(), 2u);  // the text starts with the marker, not an address: vendor only
    EXPECT_EQ(https.calls.back(), "openAddress http://vendor.test");
    EXPECT_TRUE(isWebAddress("HTTPS://x"));
    EXPECT_FALSE(isWebAddress("file:///etc"));
}

// The entries a menu shows, in order ("-" for a separator).
std::vector<std::string> shownCaptions(const PopupMenu& menu) {
    std::vector<std::string> captions;
    for (const auto& e : menu.entries)
        if (e.visible) captions.push_back(e.separator ? "-" : utf8(e.caption));
    return captions;
}

TEST(Menus, ActionMenuEntriesInOrder) {
    const std::vector<std::string> shown = {"在线播放通道1",
                                            "在线播放通道2",
                                            "迅雷影音播放",
                                            "迅雷下载",
                                            "复制下载地址",
                                            "-",
                                            "查看文件详情",
                                            "检查健康度",
                                            "自动检查健康度",
                                            "-",
                                            "下载迅雷影音",
                                            "下载迅雷",
                                            "-",
                                            "岚栖科技官方网站",
                                            "-",
                                            "软件升级",
                                            "关于软件",
                                            "-",
                                            "站点设置"};
    EXPECT_EQ(shownCaptions(actionMenu()), shown);
    std::vector<std::string> withPage = shown;
    withPage.insert(withPage.begin() + 7, "打开网页");  // after 查看文件详情
    EXPECT_EQ(shownCaptions(actionMenu(true)), withPage);
    // The switch carries its state; nothing else is ever checked.
    for (const bool on : {false, true}) {
        for (const MenuEntry& entry : actionMenu(false, on).entries)
            EXPECT_EQ(entry.checked, on && entry.id == static_cast<int>(MenuCommand::AutoCheckHealth))
                << utf8(entry.caption);
    }
    std::vector<std::string> captions;
    for (const auto& e : mainPopupMenu().entries) captions.push_back(e.separator ? "-" : utf8(e.caption));
    EXPECT_EQ(captions, (std::vector<std::string>{"下载迅雷影音播放器", "下载 迅雷软件", "-", "岚栖科技官网", "-",
                                                  "检查更新", "关于...", "-", "站点设置"}));
}

}  // namespace
}  // namespace lanqi
