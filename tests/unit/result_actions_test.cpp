#include "actions/result_actions.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/addresses.h"
#include "support/fake_desktop_services.h"

namespace lanqi {
namespace {

using test::FakeDesktopServices;
using Call = FakeDesktopServices::MessageBoxCall;

const Text kTorrentKey = "Software\\Classes\\.torrent\\";
const Text kPlayerKey =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION\\XMP.exe";

class ResultActionsTest : public ::testing::Test {
  protected:
    // Three results; only the second is a video.
    void SetUp() override {
        for (int i = 1; i <= 3; ++i) {
            ResultItem item;
            item.title = "title" + std::to_string(i);
            item.magnetLink = "magnet:?xt=urn:btih:hash" + std::to_string(i);
            item.detailText = gbk(u8"文件名：\r\n第") + std::to_string(i) + gbk(u8"个\r\n\r\n文件分类：1");
            item.site = i;
            items.push_back(item);
        }
        items[1].detailText = gbk(u8"文件名：\r\nx\r\n\r\n文件类型：Movie\r\n\r\n文件分类：5");
    }

    static Call question(const char8_t* text, const char8_t* caption) {
        return {gbk(text), kMessageYesNo | kMessageIconQuestion, gbk(caption), "none"};
    }
    std::vector<std::string> opened() const {
        std::vector<std::string> out;
        for (const auto& c : desktop.calls)
            if (c.rfind("openAddress ", 0) == 0 || c.rfind("handOverAddress ", 0) == 0 ||
                c.rfind("runWindowsProgram ", 0) == 0)
                out.push_back(c);
        return out;
    }

    FakeDesktopServices desktop;
    std::vector<ResultItem> items;
    ResultActions actions{desktop};
};

const Call kNoDownloader{gbk(u8"检测到您还未安装迅雷，是否下载迅雷？"), 36, gbk(u8"未安装迅雷"), "none"};
const Call kForceDownload{gbk(u8"确定不安装迅雷强制下载？此操作系统可能不会响应。"), 36, gbk(u8"强制下载"), "none"};
const Call kNoPlayer{gbk(u8"检测到您还未安装迅雷影音播放器，是否下载迅雷影音？"), 36, gbk(u8"未安装播放器"), "none"};
const Call kForcePlay{gbk(u8"确定不安装播放器强制在线播放？此操作系统可能不会响应。"), 36, gbk(u8"强制播放"), "none"};
const Call kNotVideo{gbk(u8"不能直接播放：不是视屏文件，是否调用迅雷下载？"), 36, gbk(u8"播放失败"), "none"};

TEST_F(ResultActionsTest, DetailsShowTheDetailTextOfTheGivenResultExactly) {
    actions.showResultDetails(items[2]);
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0], (Call{items[2].detailText, 0, gbk(u8"文件详情"), "none"}));
}

TEST_F(ResultActionsTest, CopyPutsExactlyTheLinkOnTheClipboardAndReportsIt) {
    actions.copyMagnetLink(items[1]);
    EXPECT_EQ(desktop.clipboard, "magnet:?xt=urn:btih:hash2");
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0],
              (Call{gbk(u8"复制下载地址成功，请粘贴到迅雷下载。"), kMessageIconInformation, gbk(u8"已复制"), "none"}));

    desktop.clipboardWorks = false;
    actions.copyMagnetLink(items[1]);
    EXPECT_EQ(desktop.messageBoxes.back(), (Call{gbk(u8"复制下载地址失败：请手动复制下载链接并粘贴到迅雷下载。"),
                                                 kMessageIconInformation, gbk(u8"复制失败"), "none"}));
}

TEST_F(ResultActionsTest, DownloaderMarkerOpensTheLinkWithoutAQuestion) {
    desktop.registry[{kRegistryCurrentUser, kTorrentKey}] = {"Xunlei.Torrent.7"};
    actions.sendMagnetToXunlei(items[1]);
    EXPECT_TRUE(desktop.messageBoxes.empty());
    EXPECT_EQ(opened(), (std::vector<std::string>{"handOverAddress magnet:?xt=urn:btih:hash2"}));
}

TEST_F(ResultActionsTest, AnythingButXunleiAsksWhetherToInstall) {
    const std::vector<std::optional<FakeDesktopServices::RegistryValue>> markers = {
        FakeDesktopServices::RegistryValue{"xunlei.Torrent"}, FakeDesktopServices::RegistryValue{"Xunle"},
        FakeDesktopServices::RegistryValue{""}, FakeDesktopServices::RegistryValue{"Xunlei", false}, std::nullopt};
    for (const auto& marker : markers) {
        FakeDesktopServices d;
        if (marker) d.registry[{kRegistryCurrentUser, kTorrentKey}] = *marker;
        ResultActions a{d};
        a.sendMagnetToXunlei(items[1]);
        ASSERT_EQ(d.messageBoxes.size(), 2u);  // both questions, answered No
        EXPECT_EQ(d.messageBoxes[0], kNoDownloader);
        EXPECT_EQ(d.messageBoxes[1], kForceDownload);
        EXPECT_EQ(d.calls.back(), "showMessageBox " + kForceDownload.text);
    }
}

TEST_F(ResultActionsTest, DownloaderQuestionPaths) {
    desktop.messageAnswers = {MessageAnswer::Yes};
    actions.sendMagnetToXunlei(items[1]);
    EXPECT_EQ(opened(), (std::vector<std::string>{"openAddress " + downloaderPageAddress()}));

    FakeDesktopServices noThenYes;
    noThenYes.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    ResultActions(noThenYes).sendMagnetToXunlei(items[1]);
    EXPECT_EQ(noThenYes.messageBoxes, (std::vector<Call>{kNoDownloader, kForceDownload}));
    EXPECT_EQ(noThenYes.calls.back(), "handOverAddress magnet:?xt=urn:btih:hash2");

    FakeDesktopServices noThenNo;
    noThenNo.messageAnswers = {MessageAnswer::No, MessageAnswer::No};
    ResultActions(noThenNo).sendMagnetToXunlei(items[1]);
    EXPECT_EQ(noThenNo.calls.back(), "showMessageBox " + kForceDownload.text);
}

TEST_F(ResultActionsTest, PlayerMarkerStartsThePlayerWithTheLinkAsOneParameter) {
    desktop.registry[{kRegistryCurrentUser, kPlayerKey}] = {"", false};  // any type will do
    actions.playInXunleiPlayer(items[1]);
    EXPECT_TRUE(desktop.messageBoxes.empty());
    EXPECT_EQ(opened(), (std::vector<std::string>{"runWindowsProgram XMP.exe magnet:?xt=urn:btih:hash2"}));
}

TEST_F(ResultActionsTest, PlayerQuestionPaths) {
    desktop.messageAnswers = {MessageAnswer::Yes};
    actions.playInXunleiPlayer(items[1]);
    EXPECT_EQ(desktop.messageBoxes, (std::vector<Call>{kNoPlayer}));
    EXPECT_EQ(opened(), (std::vector<std::string>{"openAddress " + playerPageAddress()}));

    FakeDesktopServices noThenYes;
    noThenYes.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    ResultActions(noThenYes).playInXunleiPlayer(items[1]);
    EXPECT_EQ(noThenYes.messageBoxes, (std::vector<Call>{kNoPlayer, kForcePlay}));
    EXPECT_EQ(noThenYes.calls.back(), "runWindowsProgram XMP.exe magnet:?xt=urn:btih:hash2");

    FakeDesktopServices noThenNo;
    noThenNo.messageAnswers = {MessageAnswer::No, MessageAnswer::No};
    ResultActions(noThenNo).playInXunleiPlayer(items[1]);
    EXPECT_EQ(noThenNo.calls.back(), "showMessageBox " + kForcePlay.text);
}

TEST_F(ResultActionsTest, ANonVideoRowIsOfferedToTheDownloader) {
    desktop.messageAnswers = {MessageAnswer::Yes};
    desktop.registry[{kRegistryCurrentUser, kTorrentKey}] = {"Xunlei"};
    actions.playInXunleiPlayer(items[0]);
    EXPECT_EQ(desktop.messageBoxes, (std::vector<Call>{kNotVideo}));
    EXPECT_EQ(opened(), (std::vector<std::string>{"handOverAddress magnet:?xt=urn:btih:hash1"}));

    FakeDesktopServices no;
    no.messageAnswers = {MessageAnswer::No};
    ResultActions(no).playInXunleiPlayer(items[0]);
    EXPECT_EQ(no.calls.back(), "showMessageBox " + kNotVideo.text);
}

// The hand-overs to the user's own programs: a desktop magnet handler counts as the downloader, the player
// is started from its App Paths entry, and a hand-over that fails is said, never silent.
TEST_F(ResultActionsTest, HandOversToTheUsersProgramsAndTheirFailures) {
    const Text appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\XMP.exe\\";
    const Call downloadFailed{gbk(u8"没有程序接收这个磁力链接：请安装 BT 下载软件，或复制下载地址后粘贴到下载软件中。"),
                              kMessageIconWarning, gbk(u8"下载失败"), "none"};
    const Text playerPath = "C:\\Program Files\\Thunder Network\\Xmp\\Program\\XMP.exe";
    const Call playFailed{gbk(u8"无法启动迅雷影音（") + playerPath + gbk(u8"）：请确认播放器已安装且能够运行。"),
                          kMessageIconWarning, gbk(u8"播放失败"), "none"};
    struct Case {
        const char* what;
        std::function<void(FakeDesktopServices&)> setUp;
        bool play;
        std::vector<std::string> handedOver;
        std::vector<Call> boxes;
    };
    const Case cases[] = {
        {"a desktop handler takes the link at once",
         [](auto& d) { d.magnetHandler = "transmission-gtk.desktop"; },
         false,
         {"handOverAddress magnet:?xt=urn:btih:hash2"},
         {}},
        {"the handler's opener fails",
         [](auto& d) {
             d.magnetHandler = "gone.desktop";
             d.addressesOpen = false;
         },
         false,
         {"handOverAddress magnet:?xt=urn:btih:hash2"},
         {downloadFailed}},
        {"forced download that nothing takes",
         [](auto& d) {
             d.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
             d.addressesOpen = false;
         },
         false,
         {"handOverAddress magnet:?xt=urn:btih:hash2"},
         {kNoDownloader, kForceDownload, downloadFailed}},
        {"the player's path from App Paths",
         [&](auto& d) {
             d.registry[{kRegistryCurrentUser, kPlayerKey}] = {"", false};
             d.registry[{kRegistryLocalMachine, appPaths}] = {playerPath};
         },
         true,
         {"runWindowsProgram " + playerPath + " magnet:?xt=urn:btih:hash2"},
         {}},
        {"a player that does not start",
         [&](auto& d) {
             d.registry[{kRegistryCurrentUser, kPlayerKey}] = {"", false};
             d.registry[{kRegistryLocalMachine, appPaths}] = {playerPath};
             d.programsStart = false;
         },
         true,
         {"runWindowsProgram " + playerPath + " magnet:?xt=urn:btih:hash2"},
         {playFailed}},
    };
    for (const Case& c : cases) {
        FakeDesktopServices d;
        c.setUp(d);
        ResultActions a{d};
        if (c.play) {
            a.playInXunleiPlayer(items[1]);
        } else {
            a.sendMagnetToXunlei(items[1]);
        }
        std::vector<std::string> handedOver;
        for (const auto& call : d.calls)
            if (call.rfind("handOverAddress ", 0) == 0 || call.rfind("runWindowsProgram ", 0) == 0)
                handedOver.push_back(call);
        EXPECT_EQ(handedOver, c.handedOver) << c.what;
        EXPECT_EQ(d.messageBoxes, c.boxes) << c.what;
    }
}

TEST(IsVideoRow, OnlyTheFirstLabelFollowedByMovieCounts) {
    EXPECT_TRUE(isVideoRow(gbk(u8"a\r\n\r\n文件类型：Movie")));
    EXPECT_TRUE(isVideoRow(gbk(u8"大小 1GB 文件类型：Movies here")));
    EXPECT_FALSE(isVideoRow(gbk(u8"文件类型：movie")));
    EXPECT_FALSE(isVideoRow(gbk(u8"文件类型：Mov")));
    EXPECT_FALSE(isVideoRow(gbk(u8"文件类型： Movie")));
    EXPECT_FALSE(isVideoRow(gbk(u8"文件类型：Audio 文件类型：Movie")));
    EXPECT_FALSE(isVideoRow(gbk(u8"文件类型：视频")));
    EXPECT_FALSE(isVideoRow(gbk(u8"文件名：x.mkv")));
    EXPECT_FALSE(isVideoRow(""));
}

TEST(IsVideoRow, AMatchNeverStartsInsideATwoByteCharacter) {
    const Text label = gbk(u8"文件类型：");
    // A lead byte whose trail byte equals the label's first byte: a byte-wise search would find the label
    // one byte in; stepping by characters does not.
    const Text shifted = Text("\x81") + label + "Movie";
    EXPECT_FALSE(isVideoRow(shifted));
    EXPECT_TRUE(isVideoRow(Text("\x81\x40") + label + "Movie"));
}

}  // namespace
}  // namespace lanqi
