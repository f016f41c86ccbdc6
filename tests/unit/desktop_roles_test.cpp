#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "actions/result_actions.h"
#include "app/core/menus.h"
#include "app/core/shell_commands.h"
#include "app/core/update_check.h"
#include "platform/addresses.h"
#include "support/fake_desktop_services.h"

namespace lanqi {
namespace {

using Log = std::map<std::string, std::vector<std::string>>;

// One fake per role, each with its own log.
struct RoleFakes {
    test::FakeMessageBoxes messages;
    test::FakeHandOffs handOffs;
    test::FakeClipboard clipboard;
    test::FakeProcessControl processes;
    test::FakeRegistryReader registry;
    test::FakeFileStore files;
    test::FakeWindowEffects windows;

    // The logs that are not empty, by role.
    Log logs() const {
        Log out;
        const auto add = [&out](const char* role, const std::vector<std::string>& calls) {
            if (!calls.empty()) out[role] = calls;
        };
        add("messages", messages.calls);
        add("handOffs", handOffs.calls);
        add("clipboard", clipboard.calls);
        add("processes", processes.calls);
        add("registry", registry.calls);
        add("files", files.calls);
        add("windows", windows.calls);
        return out;
    }
};

TEST(DesktopRoles, AreOneObjectsRolesOrOneObjectPerRole) {
    test::FakeDesktopServices desktop;
    const DesktopRoles<MessageBoxes, WindowEffects> whole(desktop);
    EXPECT_EQ(&whole.get<MessageBoxes>(), static_cast<MessageBoxes*>(&desktop));
    EXPECT_EQ(&whole.get<WindowEffects>(), static_cast<WindowEffects*>(&desktop));

    RoleFakes fakes;
    const DesktopRoles<MessageBoxes, WindowEffects> apart(fakes.messages, fakes.windows);
    EXPECT_EQ(&apart.get<MessageBoxes>(), &fakes.messages);
    EXPECT_EQ(&apart.get<WindowEffects>(), &fakes.windows);
}

// Each logic class runs on fakes of the roles it takes and of no others; every call reaches the role that owns
// it, and what one role answers decides what the class asks of another.
TEST(DesktopRoles, EachLogicClassRunsOnTheRolesItTakes) {
    const Text link = "magnet:?xt=urn:btih:HASH";
    const Text playerPathKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\XMP.exe\\";
    const Text playerMarker =
        "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION\\XMP.exe";
    ResultItem item;
    item.magnetLink = link;
    ResultItem video = item;
    video.detailText = gbk(u8"文件类型：Movie");

    const auto resultActions = [](RoleFakes& r) {
        return ResultActions({r.messages, r.handOffs, r.clipboard, r.registry});
    };
    const struct {
        const char* name;
        std::function<void(RoleFakes&)> run;
        Log expected;
    } cases[] = {
        {"a copy the clipboard refuses is reported",
         [&](RoleFakes& r) {
             r.clipboard.clipboardWorks = false;
             resultActions(r).copyMagnetLink(item);
         },
         {{"clipboard", {"setClipboardText " + link}},
          {"messages", {"showMessageBox " + gbk(u8"复制下载地址失败：请手动复制下载链接并粘贴到迅雷下载。")}}}},
        {"a link nothing takes is reported",
         [&](RoleFakes& r) {
             r.handOffs.magnetHandler = "downloader.desktop";
             r.handOffs.addressesOpen = false;
             resultActions(r).sendMagnetToXunlei(item);
         },
         {{"registry", {"readRegistryText 3 Software\\Classes\\.torrent\\"}},
          {"handOffs", {"magnetLinkHandler", "handOverAddress " + link}},
          {"messages",
           {"showMessageBox " +
            gbk(u8"没有程序接收这个磁力链接：请安装 BT 下载软件，或复制下载地址后粘贴到下载软件中。")}}}},
        {"the player the registry names is started",
         [&](RoleFakes& r) {
             r.registry.registry[{kRegistryCurrentUser, playerMarker}] = {"", false};
             r.registry.registry[{kRegistryLocalMachine, playerPathKey}] = {"C:\\XMP\\XMP.exe"};
             resultActions(r).playInXunleiPlayer(video);
         },
         {{"registry", {"registryValueExists 3 " + playerMarker, "readRegistryText 4 " + playerPathKey}},
          {"handOffs", {"runWindowsProgram C:\\XMP\\XMP.exe " + link}}}},
        {"a menu's update check before the version file arrived",
         [&](RoleFakes& r) {
             ResultActions actions = resultActions(r);
             ShellCommands commands({r.messages, r.handOffs, r.windows}, actions, [] { return nullptr; });
             r.windows.menuChoices = {static_cast<int>(MenuCommand::MainCheckForUpdate)};
             commands.popUpMainMenu(nullptr);
         },
         {{"windows", {"popupMenuAtPointer none"}},
          {"messages", {"showMessageBox " + gbk(u8"正在连接升级服务器，请稍后再检查更新。")}}}},
        {"a newer version taken opens its download, then the vendor",
         [&](RoleFakes& r) {
             r.messages.messageAnswers = {MessageAnswer::Yes};
             checkForUpdate({r.messages, r.handOffs}, gbk(u8"岚栖种子搜索神器v9.0 ") + "http://dl.test/x", false,
                            "http://vendor.test");
         },
         {{"messages",
           {"showMessageBox " + offerText(gbk(u8"岚栖种子搜索神器v9.0 ") + "http://dl.test/x") +
            gbk(u8"\r\n\r\n是否更新？")}},
          {"handOffs", {"openAddress http://dl.test/x", "openAddress http://vendor.test"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RoleFakes fakes;
        c.run(fakes);
        EXPECT_EQ(fakes.logs(), c.expected);
    }
}

// Stacked over DesktopServices, the role fakes share one log: the calls of all roles in the order they came.
TEST(DesktopRoles, TheWholeFakeKeepsOneLogAcrossRoles) {
    test::FakeDesktopServices desktop;
    desktop.clipboardWorks = false;
    ResultActions(desktop).copyMagnetLink(ResultItem{});
    ASSERT_EQ(desktop.calls.size(), 2u);
    EXPECT_EQ(desktop.calls[0], "setClipboardText ");
    EXPECT_EQ(desktop.calls[1].rfind("showMessageBox ", 0), 0u);
}

}  // namespace
}  // namespace lanqi
