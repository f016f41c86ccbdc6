#include "app/core/shell_commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/menus.h"
#include "app/core/update_check.h"
#include "app/core/vendor.h"
#include "support/fake_desktop_services.h"

namespace lanqi {
namespace {

using test::FakeDesktopServices;
using Call = FakeDesktopServices::MessageBoxCall;

int id(MenuCommand command) { return static_cast<int>(command); }

class ShellCommandsTest : public ::testing::Test {
  protected:
    // Three video results, the third one selected.
    void SetUp() override {
        commands.useServiceAddresses("http://vendor.test", "http://play.test");
        for (int i = 1; i <= 3; ++i) {
            ResultItem item;
            item.title = "title" + std::to_string(i);
            item.magnetLink = "magnet:?xt=urn:btih:HASH" + std::to_string(i);
            item.detailText =
                gbk(u8"文件名：\r\n第") + std::to_string(i) + gbk(u8"行\r\n\r\n文件类型：Movie\r\n\r\n文件分类：2");
            items.push_back(item);
        }
        selected = &items[2];
        commands.playOnline = [this](int channel, const ResultItem& item, const Text& playService) {
            played.emplace_back(channel, playService + " " + item.magnetLink);
        };
        commands.showAbout = [this] { ++aboutShown; };
        commands.setVersionFile(gbk(u8"岚栖种子搜索神器v1.9"));  // start-up fetched an up-to-date version file
    }

    FakeDesktopServices desktop;
    std::vector<ResultItem> items;
    const ResultItem* selected = nullptr;  // what the selection function answers
    ResultActions actions{desktop};
    ShellCommands commands{desktop, actions, [this] { return selected; }};
    std::vector<std::pair<int, Text>> played;  // channel, then play service and magnet link, of each online play
    int aboutShown = 0;
};

const MenuCommand kRowEntries[] = {MenuCommand::PlayChannel1,       MenuCommand::PlayChannel2,
                                   MenuCommand::PlayInXunleiPlayer, MenuCommand::SendToXunlei,
                                   MenuCommand::CopyMagnetLink,     MenuCommand::ShowDetails};

const Text kLatest = gbk(u8"\"岚栖种子搜索神器v1.9\" 已是最新版本，不需要升级。");

// What each entry leaves behind, with the third of three results selected, no 迅雷 programs installed and
// every question answered No, then Yes: each row entry acts on exactly the selected result.
TEST_F(ShellCommandsTest, EveryEntryOfBothMenusReachesItsAction) {
    const Text link3 = "magnet:?xt=urn:btih:HASH3";
    const Text played3 = "http://play.test " + link3;  // online play goes to the play service in use
    const struct {
        MenuCommand command;
        std::vector<std::string> calls;
        std::vector<std::pair<int, Text>> played;
        int aboutShown;
    } cases[] = {
        {MenuCommand::PlayChannel1, {}, {{1, played3}}, 0},
        {MenuCommand::PlayChannel2, {}, {{2, played3}}, 0},
        {MenuCommand::PlayInXunleiPlayer,
         {"registryValueExists 3 Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
          "FEATURE_BROWSER_EMULATION\\XMP.exe",
          "showMessageBox " + gbk(u8"检测到您还未安装迅雷影音播放器，是否下载迅雷影音？"),
          "showMessageBox " + gbk(u8"确定不安装播放器强制在线播放？此操作系统可能不会响应。"),
          "readRegistryText 4 Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\XMP.exe\\",
          "runWindowsProgram XMP.exe " + link3},
         {},
         0},
        {MenuCommand::SendToXunlei,
         {"readRegistryText 3 Software\\Classes\\.torrent\\", "magnetLinkHandler",
          "showMessageBox " + gbk(u8"检测到您还未安装迅雷，是否下载迅雷？"),
          "showMessageBox " + gbk(u8"确定不安装迅雷强制下载？此操作系统可能不会响应。"), "handOverAddress " + link3},
         {},
         0},
        {MenuCommand::CopyMagnetLink,
         {"setClipboardText " + link3, "showMessageBox " + gbk(u8"复制下载地址成功，请粘贴到迅雷下载。")},
         {},
         0},
        {MenuCommand::ShowDetails,
         {"showMessageBox " + gbk(u8"文件名：\r\n第3行\r\n\r\n文件类型：Movie\r\n\r\n文件分类：2")},
         {},
         0},
        {MenuCommand::OpenPlayerDownloadPage, {"openAddress http://video.xunlei.com/"}, {}, 0},
        {MenuCommand::OpenDownloaderDownloadPage, {"openAddress http://dl.xunlei.com/"}, {}, 0},
        {MenuCommand::OpenVendorSite, {"openAddress http://vendor.test"}, {}, 0},
        {MenuCommand::CheckForUpdate, {"showMessageBox " + kLatest}, {}, 0},
        {MenuCommand::ShowAbout, {}, {}, 1},
        {MenuCommand::MainOpenPlayerDownloadPage, {"openAddress http://video.xunlei.com/"}, {}, 0},
        {MenuCommand::MainOpenDownloaderDownloadPage, {"openAddress http://dl.xunlei.com/"}, {}, 0},
        {MenuCommand::MainOpenVendorSite, {"openAddress http://vendor.test"}, {}, 0},
        {MenuCommand::MainCheckForUpdate, {"showMessageBox " + kLatest}, {}, 0},
        {MenuCommand::MainShowAbout, {}, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(id(c.command));
        desktop.calls.clear();
        desktop.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
        played.clear();
        aboutShown = 0;
        commands.run(id(c.command));
        EXPECT_EQ(desktop.calls, c.calls);
        EXPECT_EQ(played, c.played);
        EXPECT_EQ(aboutShown, c.aboutShown);
    }
}

TEST_F(ShellCommandsTest, TheSiteSettingsEntryOpensTheSettingsWindowWithOrWithoutARow) {
    int shown = 0;
    commands.showSettings = [&shown] { ++shown; };
    commands.run(id(MenuCommand::MainSiteSettings));
    commands.run(id(MenuCommand::SiteSettings));  // the row menu's entry
    selected = nullptr;
    commands.run(id(MenuCommand::MainSiteSettings));
    EXPECT_EQ(shown, 3);
    EXPECT_TRUE(desktop.calls.empty());
}

TEST_F(ShellCommandsTest, WithNoRowSelectedNoRowEntryDoesAnything) {
    selected = nullptr;
    for (MenuCommand command : kRowEntries) commands.run(id(command));
    ShellCommands noSelection{desktop, actions, nullptr};
    noSelection.playOnline = commands.playOnline;
    for (MenuCommand command : kRowEntries) noSelection.run(id(command));
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_TRUE(played.empty());
}

// The selection is asked for when an entry runs: here the first row is selected after construction.
TEST_F(ShellCommandsTest, MenusPopUpWithTheirEntriesAndRunTheChoice) {
    selected = &items[0];
    test::FakeWindow window("mainWindow");
    desktop.menuChoices = {id(MenuCommand::ShowDetails), id(MenuCommand::MainOpenVendorSite)};
    commands.popUpActionMenu(&window);
    commands.popUpMainMenu(&window);
    ASSERT_EQ(desktop.menus.size(), 2u);
    EXPECT_EQ(desktop.menus[0], actionMenu());
    EXPECT_EQ(desktop.menus[1], mainPopupMenu());
    EXPECT_EQ(desktop.calls,
              (std::vector<std::string>{"popupMenuAtPointer mainWindow", "showMessageBox " + items[0].detailText,
                                        "popupMenuAtPointer mainWindow", "openAddress http://vendor.test"}));
    EXPECT_EQ(desktop.messageBoxes[0], (Call{items[0].detailText, kMessageOk, gbk(u8"文件详情"), "none"}));
}

// "打开网页" is offered only for a result whose definition cuts its own page, and opens that page.
TEST_F(ShellCommandsTest, TheResultPageEntryIsOfferedOnlyWhereTheResultHasAPage) {
    test::FakeWindow window("mainWindow");
    commands.popUpActionMenu(&window);  // the built-in definitions cut no page: the menu as it always was
    commands.resultPageOf = [](const ResultItem& item) {
        return item.title == "title3" ? Text("http://site.test/info/3") : Text();
    };
    desktop.menuChoices = {id(MenuCommand::OpenResultPage)};
    commands.popUpActionMenu(&window);
    selected = &items[0];
    commands.popUpActionMenu(&window);
    ASSERT_EQ(desktop.menus.size(), 3u);
    EXPECT_EQ(desktop.menus[0], actionMenu());
    EXPECT_EQ(desktop.menus[1], actionMenu(true));
    EXPECT_EQ(desktop.menus[2], actionMenu());
    EXPECT_EQ(desktop.calls,
              (std::vector<std::string>{"popupMenuAtPointer mainWindow", "popupMenuAtPointer mainWindow",
                                        "openAddress http://site.test/info/3", "popupMenuAtPointer mainWindow"}));
    std::vector<Text> shown;
    for (const MenuEntry& entry : actionMenu(true).entries)
        if (entry.visible && !entry.separator) shown.push_back(entry.caption);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), gbk(u8"打开网页")), 1);
}

TEST_F(ShellCommandsTest, DismissedMenusAndUnknownIdsDoNothing) {
    commands.popUpActionMenu(nullptr);  // no scripted choice: dismissed
    commands.popUpMainMenu(nullptr);
    for (int unknown : {kNoMenuChoice, 0, 13, 19, 26, 1000}) commands.run(unknown);
    EXPECT_EQ(desktop.calls, (std::vector<std::string>{"popupMenuAtPointer none", "popupMenuAtPointer none"}));
    EXPECT_TRUE(played.empty());
    EXPECT_EQ(aboutShown, 0);
}

TEST_F(ShellCommandsTest, HooksThatWereNeverSetDoNothing) {
    ShellCommands bare{desktop, actions, [this] { return selected; }};
    bare.run(id(MenuCommand::PlayChannel1));
    bare.run(id(MenuCommand::ShowAbout));
    bare.playOnline = nullptr;  // cleared by a window that goes away
    bare.showAbout = nullptr;
    bare.run(id(MenuCommand::PlayChannel2));
    bare.run(id(MenuCommand::MainShowAbout));
    EXPECT_TRUE(desktop.calls.empty());
}

TEST_F(ShellCommandsTest, UpdateChecksStaySilentUntilTheUserAsksOnce) {
    commands.setVersionInfoText(gbk(u8"岚栖种子搜索神器v1.9\r\n") + "http://vendor.test/soft/qabrelto/x.zip");
    EXPECT_FALSE(commands.manualUpdateCheck());
    commands.checkForUpdate();  // start-up's silent check
    EXPECT_TRUE(desktop.calls.empty());
    commands.run(id(MenuCommand::CheckForUpdate));
    EXPECT_TRUE(commands.manualUpdateCheck());
    commands.checkForUpdate();  // the flag is never set back
    ASSERT_EQ(desktop.messageBoxes.size(), 2u);
    EXPECT_EQ(desktop.messageBoxes[1],
              (Call{kLatest, kMessageOk | kMessageIconInformation, gbk(u8"软件更新："), "none"}));
}

TEST_F(ShellCommandsTest, AManualCheckTellsWhetherTheVersionFileArrived) {
    const Text latest = gbk(u8"岚栖种子搜索神器v1.9");
    const struct {
        const char* what;
        std::optional<Bytes> fetched;  // none: start-up is still fetching
        const char8_t* says;
    } cases[] = {
        {"still fetching", std::nullopt, u8"正在连接升级服务器"},
        {"fetch failed", Bytes(), u8"无法连接升级服务器"},
        {"fetched", latest, u8"已是最新版本"},
    };
    for (const auto& c : cases) {
        FakeDesktopServices desk;
        ResultActions acts{desk};
        ShellCommands cmds{desk, acts, [] { return nullptr; }};
        if (c.fetched) cmds.setVersionFile(*c.fetched);
        cmds.run(id(MenuCommand::MainCheckForUpdate));
        ASSERT_EQ(desk.messageBoxes.size(), 1u) << c.what;
        EXPECT_NE(desk.messageBoxes[0].text.find(gbk(c.says)), Text::npos) << c.what;
        // Start-up's own check stays silent about an up-to-date version, whatever the user asked meanwhile.
        cmds.setVersionFile(latest);
        cmds.checkForUpdateAtStartUp();
        EXPECT_EQ(desk.messageBoxes.size(), 1u) << c.what;
    }
}

TEST_F(ShellCommandsTest, SilentCheckOffersANewerVersionAndYesOpensItsAddressThenTheVendor) {
    const Text file = gbk(u8"岚栖种子搜索神器v2.0\r\n下载地址：") + "http://vendor.test/soft/qabrelto/new.zip";
    commands.setVersionInfoText(file);
    desktop.messageAnswers = {MessageAnswer::Yes};
    commands.checkForUpdate();
    EXPECT_EQ(desktop.calls, (std::vector<std::string>{"showMessageBox " + file + gbk(u8"\r\n\r\n是否更新？"),
                                                       "openAddress http://vendor.test/soft/qabrelto/new.zip",
                                                       "openAddress http://vendor.test"}));
}

TEST(VersionInfo, IsTheFetchedTextUpToItsFirstZeroByte) {
    EXPECT_EQ(versionInfoFromBytes(""), "");
    EXPECT_EQ(versionInfoFromBytes("abc"), "abc");
    EXPECT_EQ(versionInfoFromBytes(Bytes("v2.0\0http://x", 13)), "v2.0");
    EXPECT_EQ(versionInfoFromBytes(Bytes("\0abc", 4)), "");
}

}  // namespace
}  // namespace lanqi
