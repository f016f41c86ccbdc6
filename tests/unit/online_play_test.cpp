#include "actions/online_play.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "actions/blank_page.h"
#include "platform/addresses.h"
#include "support/fake_desktop_services.h"

namespace lanqi {
namespace {

using test::FakeDesktopServices;
using test::FakeWindow;

const char* controlName(PlayerControl control) {
    switch (control) {
        case PlayerControl::Browser:
            return "播放浏览框";
        case PlayerControl::PlayingLabel:
            return "标签1";
        case PlayerControl::ShieldStatus:
            return "标签3";
        case PlayerControl::BackButton:
            return "超级按钮1";
        case PlayerControl::Overlay:
            return "透明标签2";
        case PlayerControl::LoadingNotice:
            return "标签5";
    }
    return "?";
}

// The main window's player controls as plain state, starting as the window shows them.
class FakePlayerView : public PlayerView {
  public:
    std::map<PlayerControl, Geometry> geometry = {
        {PlayerControl::Browser, {-2, -4, 812, 526}},     {PlayerControl::PlayingLabel, {0, 0, 85, 16}},
        {PlayerControl::ShieldStatus, {380, 0, 427, 16}}, {PlayerControl::BackButton, {720, 0, 80, 16}},
        {PlayerControl::Overlay, {0, 16, 808, 482}},      {PlayerControl::LoadingNotice, {0, 0, 808, 522}},
    };
    std::map<PlayerControl, bool> visible;  // missing: hidden
    Text loadingText = gbk(u8"视频拼命加载中，请稍候...");
    Text shieldStatus;
    Geometry window{553, 265, 813, 549};
    std::uint32_t baseColour = 0xFFFFFF;
    WindowBorder border = WindowBorder::FixedSingle;
    bool alwaysOnTop = false;
    int pointerTimer = 0;
    int shieldTimer = 0;
    int loadTimer = 0;
    Text title;
    FakeWindow browserWindow{"播放浏览框"};
    FakeWindow mainWindowHandle{"mainWindow"};
    std::vector<std::string> calls;  // the calls that order matters for
    std::function<void()> onAbout;

    void setControlVisible(PlayerControl control, bool shown) override {
        visible[control] = shown;
        calls.push_back(std::string(shown ? "show " : "hide ") + controlName(control));
    }
    bool searchViewShown = true;
    void setSearchViewShown(bool shown) override {
        searchViewShown = shown;
        calls.push_back(shown ? "show search view" : "hide search view");
    }
    Geometry controlGeometry(PlayerControl control) const override { return geometry.at(control); }
    void setControlGeometry(PlayerControl control, const Geometry& g) override { geometry[control] = g; }
    void setLoadingText(const Text& text) override {
        loadingText = text;
        calls.push_back("标签5 " + utf8(text));
    }
    void setShieldStatusText(const Text& text) override { shieldStatus = text; }
    Geometry windowGeometry() const override { return window; }
    void setWindowGeometry(const Geometry& g) override {
        window = g;
        maximised = false;
    }
    bool maximised = false;
    bool windowMaximised() const override { return maximised; }
    void setWindowMaximised(bool on) override { maximised = on; }
    void setWindowBaseColour(std::uint32_t rgb) override { baseColour = rgb; }
    void setWindowBorder(WindowBorder b) override { border = b; }
    void setAlwaysOnTop(bool on) override {
        alwaysOnTop = on;
        calls.push_back(on ? "topmost on" : "topmost off");
    }
    void setPointerTimerPeriod(int ms) override { pointerTimer = ms; }
    void setLoadTimerPeriod(int ms) override { loadTimer = ms; }
    void setShieldTimerPeriod(int ms) override { shieldTimer = ms; }
    Window& browser() override { return browserWindow; }
    Text browserTitle() const override { return title; }
    bool engineMissing = false;
    bool browserEngineMissing() const override { return engineMissing; }
    const Window* mainWindow() const override { return &mainWindowHandle; }
    void showAboutWindow() override {
        calls.push_back("about");
        if (onAbout) onAbout();
    }

    bool shown(PlayerControl control) const {
        const auto it = visible.find(control);
        return it != visible.end() && it->second;
    }
};

class OwnGuard : public ProcessGuard {
  public:
    std::uint32_t ownProcessId() const override { return 100; }
    bool ownedByOtherUser(std::uint32_t) const override { return false; }
};

const Text kHash = "0123456789ABCDEF0123456789ABCDEF01234567";
const Text kLink = "magnet:?xt=urn:btih:" + kHash;

class OnlinePlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        item.title = "title";
        item.magnetLink = kLink;
        item.detailText = gbk(u8"文件名：\r\ntitle\r\n\r\n文件类型：Movie\r\n\r\n文件分类：1");
        item.site = 1;
    }
    const Text service = "http://127.0.0.1:8080";  // the cloud-play service the settings give

    // Plays `item` on channel `channel`, then the browser reports the navigation complete and a title.
    void playAndLoad(int channel, const Text& pageTitle) {
        play.playOnline(channel, item, service);
        view.title = pageTitle;
        play.navigationDone();
        play.checkPlayerPageTitle();
    }

    std::vector<std::string> navigations() const {
        std::vector<std::string> found;
        for (const auto& call : desktop.calls)
            if (call.rfind("navigateBrowser ", 0) == 0) found.push_back(call);
        return found;
    }

    bool playerShown() const {
        for (PlayerControl c : {PlayerControl::Browser, PlayerControl::PlayingLabel, PlayerControl::ShieldStatus,
                                PlayerControl::BackButton, PlayerControl::Overlay})
            if (!view.shown(c)) return false;
        return true;
    }
    bool playerHidden() const {
        for (PlayerControl c : {PlayerControl::Browser, PlayerControl::PlayingLabel, PlayerControl::ShieldStatus,
                                PlayerControl::BackButton, PlayerControl::Overlay})
            if (view.shown(c)) return false;
        return true;
    }

    std::vector<std::string> visibleEntries() const {
        std::vector<std::string> captions;
        for (const auto& e : play.playerMenu().entries)
            if (e.visible) captions.push_back(e.separator ? "-" : utf8(e.caption));
        return captions;
    }

    const Text successTitle = gbk(u8"快乐TV云播接口");
    const Text blankTitle = gbk(u8"岚栖种子搜索神器");
    const Text onText = gbk(u8" 防护盾已开启,看片不中招(任何文件无法打开运行,右键可关闭)");
    const Text offText = gbk(u8" 防护盾已关闭,无保护看片(右键可重新开启)");

    FakeDesktopServices desktop;
    FakePlayerView view;
    NullEventPump events;
    OwnGuard guard;
    ResultItem item;  // the result that is played
    OnlinePlay play{desktop, view, events, guard};
};

// --- the play request ---

TEST_F(OnlinePlayTest, EachChannelAsksTheServiceForTheResultsLinkAsItIsBehindTheLoadingNotice) {
    play.playOnline(1, item, service);
    EXPECT_EQ(navigations().back(),
              "navigateBrowser 播放浏览框 http://127.0.0.1:8080/api/api.php?u=" + kLink + "&kltvv=c4");
    EXPECT_TRUE(view.shown(PlayerControl::LoadingNotice));
    EXPECT_EQ(view.loadingText, gbk(u8"视频拼命加载中，请稍候..."));
    EXPECT_FALSE(view.shown(PlayerControl::Browser));    // the browser stays hidden while it loads
    EXPECT_TRUE(view.shown(PlayerControl::BackButton));  // the way back does not
    EXPECT_TRUE(play.shield().shieldOn());
    EXPECT_EQ(view.shieldStatus, onText);
    EXPECT_EQ(view.shieldTimer, 50);
    EXPECT_EQ(play.playPending(), 1);
    EXPECT_EQ(play.playChannel(), 1);

    // A hash from a hostile page cannot add or replace a parameter: all but letters and digits is encoded.
    item.magnetLink = "magnet:?xt=urn:btih:AB&u=http://evil.example/#x%20\xB0\xA1";
    play.playOnline(2, item, service);
    EXPECT_EQ(navigations().back(),
              "navigateBrowser 播放浏览框 http://127.0.0.1:8080/api/api.php?u=magnet:?xt=urn:btih:"
              "AB%26u%3Dhttp%3A%2F%2Fevil%2Eexample%2F%23x%2520%B0%A1&kltvv=ck");
    EXPECT_EQ(play.playChannel(), 0);
}

TEST_F(OnlinePlayTest, NothingHappensOnAnUnknownChannel) {
    for (int channel : {3, 0, -1}) play.playOnline(channel, item, service);
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_TRUE(view.calls.empty());
    EXPECT_FALSE(play.shield().shieldOn());
    EXPECT_EQ(play.playPending(), 0);
}

// --- which title change decides ---

TEST_F(OnlinePlayTest, OnlyTheFirstTitleChangeAfterTheNavigationCompletesDecides) {
    play.playOnline(1, item, service);
    view.title = gbk(u8"正在打开");  // before navigate-complete: ignored
    play.checkPlayerPageTitle();
    EXPECT_EQ(play.playPending(), 1);
    EXPECT_TRUE(desktop.messageBoxes.empty());
    EXPECT_TRUE(view.shown(PlayerControl::LoadingNotice));

    play.navigationDone();
    view.title = successTitle;
    play.checkPlayerPageTitle();
    EXPECT_EQ(play.playPending(), 0);
    EXPECT_TRUE(playerShown());
    EXPECT_FALSE(view.shown(PlayerControl::LoadingNotice));
    EXPECT_EQ(view.shieldTimer, 50);

    // A later title change of the playing page, even after another completed navigation, decides nothing.
    view.title = gbk(u8"别的页面");
    play.checkPlayerPageTitle();
    play.navigationDone();
    play.checkPlayerPageTitle();
    EXPECT_TRUE(playerShown());
    EXPECT_TRUE(desktop.messageBoxes.empty());
}

TEST_F(OnlinePlayTest, TheBlankPageNeverDecides) {
    playAndLoad(1, successTitle);
    play.returnToSearch();
    const auto boxesBefore = desktop.messageBoxes.size();
    view.title = blankTitle;
    play.navigationDone();
    play.checkPlayerPageTitle();
    EXPECT_TRUE(playerHidden());
    EXPECT_EQ(desktop.messageBoxes.size(), boxesBefore);
    EXPECT_FALSE(play.shield().shieldOn());
    EXPECT_EQ(play.playPending(), 0);
}

TEST_F(OnlinePlayTest, ATitleOneCharacterOffFailsWithTheNetworkErrorBoxThenReturns) {
    desktop.messageAnswers = {MessageAnswer::Ok};
    playAndLoad(2, gbk(u8"快乐TV云播接囗"));
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0],
              (test::MessageBoxCall{gbk(u8"视屏加载失败：无法连接服务器，请检查网络设置。"),
                                    kMessageOk | kMessageIconError, gbk(u8"网络错误"), "mainWindow"}));
    // The notice says so while the box is up, and goes only after the return.
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"标签5 视频拼命加载中，请稍候...", "show 标签5", "hide search view",
                                        "show 超级按钮1", "标签5 视频加载失败！", "show search view", "hide 播放浏览框",
                                        "hide 标签1", "hide 标签3", "hide 超级按钮1", "hide 透明标签2", "hide 标签5"}));
    EXPECT_FALSE(play.shield().shieldOn());
    EXPECT_EQ(view.shieldStatus, offText);
    EXPECT_EQ(navigations().back(), "navigateBrowser 播放浏览框 /tmp/wyhc.htm");

    // Letter case and trailing blanks count too.
    for (const char8_t* title : {u8"快乐tv云播接口", u8"快乐TV云播接口 ", u8""}) {
        playAndLoad(1, gbk(title));
        EXPECT_FALSE(playerShown()) << utf8(gbk(title));
    }
    EXPECT_EQ(desktop.messageBoxes.size(), 4u);
}

// A play that fails on a system without a browser engine says so, not that the server could not be reached;
// with an engine the same failure is the network's.
TEST_F(OnlinePlayTest, AFailedPlayBlamesAMissingEngineNotTheNetwork) {
    const Text network = gbk(u8"视屏加载失败：无法连接服务器，请检查网络设置。");
    const Text noEngine = gbk(u8"视屏加载失败：本机没有可用的网页浏览组件");
    const struct {
        const char* failure;
        bool engineMissing;
        std::function<void()> fail;
        Text text, caption;
    } cases[] = {
        {"a wrong title", false, [&] { playAndLoad(1, blankTitle); }, network, gbk(u8"网络错误")},
        {"a wrong title", true, [&] { playAndLoad(1, blankTitle); }, noEngine, gbk(u8"播放错误")},
        {"the load limit", false,
         [&] {
             play.playOnline(2, item, service);
             play.onLoadTimer();
         },
         network, gbk(u8"网络错误")},
        {"the load limit", true,
         [&] {
             play.playOnline(2, item, service);
             play.onLoadTimer();
         },
         noEngine, gbk(u8"播放错误")},
    };
    for (const auto& c : cases) {
        desktop.messageBoxes.clear();
        view.engineMissing = c.engineMissing;
        c.fail();
        ASSERT_EQ(desktop.messageBoxes.size(), 1u) << c.failure << " " << c.engineMissing;
        EXPECT_EQ(desktop.messageBoxes[0],
                  (test::MessageBoxCall{c.text, kMessageOk | kMessageIconError, c.caption, "mainWindow"}))
            << c.failure << " " << c.engineMissing;
        EXPECT_TRUE(playerHidden()) << c.failure;
        EXPECT_EQ(view.loadingText, gbk(u8"视频加载失败！")) << c.failure;
    }
}

// Online play takes messages, files, window effects and processes, each from its own object.
TEST_F(OnlinePlayTest, RunsOnTheFourRolesItTakes) {
    test::FakeMessageBoxes messages;
    test::FakeFileStore files;
    test::FakeWindowEffects windows;
    test::FakeProcessControl processes;
    OnlinePlay apart({messages, files, windows, processes}, view, events, guard);
    apart.playOnline(1, item, service);
    apart.onLoadStarted();
    view.title = blankTitle;
    apart.navigationDone();
    apart.checkPlayerPageTitle();  // fails: the box, then back to the search view

    EXPECT_EQ(messages.calls,
              (std::vector<std::string>{"showMessageBox " + gbk(u8"视屏加载失败：无法连接服务器，请检查网络设置。")}));
    EXPECT_EQ(processes.calls, (std::vector<std::string>{"listProcesses"}));
    EXPECT_EQ(files.calls, (std::vector<std::string>{"specialFolder", "writeFile /tmp/wyhc.htm"}));
    EXPECT_EQ(windows.calls,
              (std::vector<std::string>{"navigateBrowser 播放浏览框 " + cloudPlayAddress(service, kLink, 1),
                                        "navigateBrowser 播放浏览框 /tmp/wyhc.htm"}));
    EXPECT_TRUE(desktop.calls.empty());
}

// --- back to the search view ---

TEST_F(OnlinePlayTest, ReturningWritesTheBlankPageAndSendsTheBrowserThere) {
    desktop.temporaryFolder = "/home/u/tmp/";
    playAndLoad(1, successTitle);
    play.returnToSearch();
    EXPECT_TRUE(playerHidden());
    EXPECT_EQ(view.shieldStatus, offText);
    ASSERT_EQ(desktop.files.count("/home/u/tmp/wyhc.htm"), 1u);
    EXPECT_EQ(desktop.files["/home/u/tmp/wyhc.htm"], localBlankPage());
    EXPECT_EQ(navigations().back(), "navigateBrowser 播放浏览框 /home/u/tmp/wyhc.htm");

    // Without the page written, an empty page from memory, never the file that stands there.
    desktop.fileWritesWork = false;
    play.returnToSearch();
    EXPECT_EQ(navigations().back(), "navigateBrowser 播放浏览框 about:blank");
    desktop.fileWritesWork = true;
    desktop.temporaryFolder = "";  // no private folder to be had
    desktop.files.clear();
    play.returnToSearch();
    EXPECT_EQ(navigations().back(), "navigateBrowser 播放浏览框 about:blank");
    EXPECT_TRUE(desktop.files.empty());
}

// Whatever way the player view ends, the search view's controls are hidden exactly while the loading notice
// or the browser covers them: a hidden control must take no Tab, key or reader's attention.
TEST_F(OnlinePlayTest, TheSearchViewIsHiddenExactlyWhileThePlayerViewCoversIt) {
    desktop.messageAnswers = {MessageAnswer::Ok, MessageAnswer::Ok};
    const auto covered = [this] {
        return view.shown(PlayerControl::Browser) || view.shown(PlayerControl::LoadingNotice);
    };
    struct Way {
        const char* name;
        bool loads;  // the player page loads before the user leaves
        std::function<void()> leave;
    };
    const Way ways[] = {
        {"back button while playing", true, [this] { play.returnToSearch(); }},
        {"Esc while playing", true, [this] { play.onEscapeKey(); }},
        {"end play from full screen", true,
         [this] {
             play.togglePlayerFullScreen();
             desktop.menuChoices = {static_cast<int>(PlayerMenuCommand::EndPlay)};
             play.onPlayerMenuRequested();
         }},
        {"back button while loading", false, [this] { play.returnToSearch(); }},
        {"the load limit", false, [this] { play.onLoadTimer(); }},
        {"a wrong page title", false,
         [this] {
             view.title = gbk(u8"404");
             play.navigationDone();
             play.checkPlayerPageTitle();
         }},
    };
    for (const Way& way : ways) {
        play.playOnline(1, item, service);
        EXPECT_FALSE(view.searchViewShown) << way.name;
        EXPECT_TRUE(covered()) << way.name;
        if (way.loads) {
            view.title = successTitle;
            play.navigationDone();
            play.checkPlayerPageTitle();
            ASSERT_TRUE(playerShown()) << way.name;
            EXPECT_FALSE(view.searchViewShown) << way.name;
        }
        way.leave();
        EXPECT_FALSE(covered()) << way.name;
        EXPECT_TRUE(view.searchViewShown) << way.name;
    }
}

TEST(BlankPage, Is1171BytesOfGbkHtmlWithElevenBlankParagraphsAndTheName) {
    const Bytes& page = localBlankPage();
    EXPECT_EQ(page.size(), 1171u);
    EXPECT_NE(page.find("charset=gb2312"), Bytes::npos);
    EXPECT_NE(page.find(gbk(u8"<title>岚栖种子搜索神器</title>")), Bytes::npos);
    const Bytes blank = "<p align=\"center\">\xA1\xA1</p>";
    int blanks = 0;
    for (auto at = page.find(blank); at != Bytes::npos; at = page.find(blank, at + 1)) ++blanks;
    EXPECT_EQ(blanks, 11);
    const auto name = page.find(gbk(u8"<font face=\"楷体\" style=\"font-size: 26pt\">岚栖种子搜索神器</font>"));
    EXPECT_GT(name, page.rfind(blank));
    EXPECT_EQ(page.find("<script"), Bytes::npos);
    EXPECT_FALSE(utf8(page).empty());  // valid GBK throughout
}

// --- window mode and full screen ---

TEST_F(OnlinePlayTest, FullScreenOnA1920By1080ScreenAndBack) {
    playAndLoad(1, successTitle);
    play.togglePlayerFullScreen();
    EXPECT_EQ(view.window, (Geometry{0, 0, 1920, 1080}));
    EXPECT_EQ(view.baseColour, 0x000000u);
    EXPECT_EQ(view.border, WindowBorder::None);
    EXPECT_TRUE(view.alwaysOnTop);
    EXPECT_EQ(view.geometry[PlayerControl::PlayingLabel], (Geometry{0, -24, 85, 16}));
    EXPECT_EQ(view.geometry[PlayerControl::ShieldStatus], (Geometry{380, -24, 427, 16}));
    EXPECT_EQ(view.geometry[PlayerControl::BackButton], (Geometry{720, -24, 80, 16}));
    EXPECT_EQ(view.geometry[PlayerControl::Browser], (Geometry{-2, -28, 1924, 1110}));
    EXPECT_EQ(view.geometry[PlayerControl::Overlay], (Geometry{0, 0, 1924, 1052}));
    EXPECT_EQ(visibleEntries(), (std::vector<std::string>{"返回窗口播放", "-", "结束播放并返回搜索", "-",
                                                          "关闭看片防护盾", "-", "关于播放器"}));

    play.togglePlayerFullScreen();
    EXPECT_EQ(view.window, (Geometry{553, 265, 813, 549}));  // 960 − 406.5 and 540 − 274.5, truncated
    EXPECT_EQ(view.baseColour, 0xFFFFFFu);
    EXPECT_EQ(view.border, WindowBorder::FixedSingle);
    EXPECT_FALSE(view.alwaysOnTop);
    EXPECT_EQ(view.geometry[PlayerControl::PlayingLabel], (Geometry{0, 0, 85, 16}));
    EXPECT_EQ(view.geometry[PlayerControl::ShieldStatus], (Geometry{380, 0, 427, 16}));
    EXPECT_EQ(view.geometry[PlayerControl::BackButton], (Geometry{720, 0, 80, 16}));
    EXPECT_EQ(view.geometry[PlayerControl::Browser], (Geometry{-2, -4, 812, 526}));
    EXPECT_EQ(view.geometry[PlayerControl::Overlay], (Geometry{0, 16, 808, 482}));
    EXPECT_EQ(visibleEntries(), (std::vector<std::string>{"全屏播放", "-", "结束播放并返回搜索", "-", "关闭看片防护盾",
                                                          "-", "关于播放器"}));
}

TEST_F(OnlinePlayTest, WindowModeComesBackWhereAndAsLargeAsTheWindowWasAndFollowsItsSize) {
    playAndLoad(1, successTitle);
    // The player's margins to the window's right and bottom edges at the designed size.
    std::map<PlayerControl, std::pair<int, int>> designMargins;
    for (const auto& [control, g] : view.geometry)
        designMargins[control] = {view.window.width - (g.left + g.width), view.window.height - (g.top + g.height)};
    const auto expectFollows = [&](const std::string& where) {
        for (const auto& [control, margins] : designMargins) {
            const Geometry& g = view.geometry[control];
            const bool fixed = control == PlayerControl::PlayingLabel;  // stays at the top left corner
            if (fixed) continue;
            EXPECT_EQ(view.window.width - (g.left + g.width), margins.first) << where << " " << controlName(control);
            if (control != PlayerControl::ShieldStatus && control != PlayerControl::BackButton) {
                EXPECT_EQ(view.window.height - (g.top + g.height), margins.second)
                    << where << " " << controlName(control);
            }
        }
    };
    struct Case {
        const char* what;
        Geometry window;
        bool maximised;
    };
    for (const Case c : {Case{"resized", {20, 30, 1000, 700}, false}, Case{"maximised", {0, 0, 1920, 1040}, true},
                         Case{"at its smallest", {5, 5, kMinMainWindowWidth, kMinMainWindowHeight}, false}}) {
        view.window = c.window;
        view.maximised = c.maximised;
        play.onWindowResized();
        expectFollows(std::string(c.what) + " before");
        play.togglePlayerFullScreen();
        EXPECT_TRUE(play.fullScreen()) << c.what;
        EXPECT_EQ(view.window, (Geometry{0, 0, 1920, 1080})) << c.what;
        play.onWindowResized();  // full screen's own size: nothing of window mode comes back
        EXPECT_EQ(view.geometry[PlayerControl::Browser], (Geometry{-2, -28, 1924, 1110})) << c.what;
        play.togglePlayerFullScreen();
        EXPECT_FALSE(play.fullScreen()) << c.what;
        EXPECT_EQ(view.window, c.window) << c.what;
        EXPECT_EQ(view.maximised, c.maximised) << c.what;
        expectFollows(std::string(c.what) + " after");
    }
    // A window wider than its design is not full screen: Esc in window mode ends the play.
    view.window = {0, 0, 1900, 1000};
    play.onEscapeKey();
    EXPECT_TRUE(playerHidden());
}

TEST_F(OnlinePlayTest, EscapeLeavesFullScreenThenThePlayerAndDoesNothingOnTheSearchView) {
    playAndLoad(1, successTitle);
    play.togglePlayerFullScreen();
    play.onEscapeKey();  // full screen: back to window mode, still playing
    EXPECT_EQ(view.window, (Geometry{553, 265, 813, 549}));
    EXPECT_EQ(view.geometry[PlayerControl::Browser], (Geometry{-2, -4, 812, 526}));
    EXPECT_TRUE(playerShown());
    play.onEscapeKey();  // window mode: back to the search view
    EXPECT_TRUE(playerHidden());
    EXPECT_FALSE(play.shield().shieldOn());
    const auto callsBefore = view.calls;
    play.onEscapeKey();  // the search view: nothing
    EXPECT_EQ(view.calls, callsBefore);
}

TEST_F(OnlinePlayTest, APageThatNeverLoadsFailsAtTheLoadLimitAndTheWayBackIsOpenMeanwhile) {
    desktop.messageAnswers = {MessageAnswer::Ok};
    play.playOnline(1, item, service);
    EXPECT_EQ(view.loadTimer, kPlayLoadLimitMs);
    EXPECT_TRUE(view.shown(PlayerControl::BackButton));
    play.onLoadTimer();
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].caption, gbk(u8"网络错误"));
    EXPECT_FALSE(view.shown(PlayerControl::LoadingNotice));
    EXPECT_FALSE(play.shield().shieldOn());
    EXPECT_EQ(view.loadTimer, 0);

    // Left while loading, by the back button or Esc: the page's late title shows nothing.
    for (const bool escape : {false, true}) {
        play.playOnline(2, item, service);
        escape ? play.onEscapeKey() : play.returnToSearch();
        EXPECT_FALSE(view.shown(PlayerControl::LoadingNotice)) << escape;
        EXPECT_FALSE(play.shield().shieldOn()) << escape;
        EXPECT_EQ(view.loadTimer, 0) << escape;
        view.title = successTitle;
        play.navigationDone();
        play.checkPlayerPageTitle();
        play.onLoadTimer();
        EXPECT_TRUE(playerHidden()) << escape;
    }
    EXPECT_EQ(desktop.messageBoxes.size(), 1u);
}

TEST_F(OnlinePlayTest, EndingPlayFromFullScreenLeavesTheCentredWindowAndStopsTheScan) {
    playAndLoad(1, successTitle);
    play.togglePlayerFullScreen();
    desktop.menuChoices = {static_cast<int>(PlayerMenuCommand::EndPlay)};
    play.onPlayerMenuRequested();
    EXPECT_EQ(view.window, (Geometry{553, 265, 813, 549}));
    EXPECT_TRUE(playerHidden());
    EXPECT_FALSE(play.shield().shieldOn());
    EXPECT_EQ(navigations().back(), "navigateBrowser 播放浏览框 /tmp/wyhc.htm");

    // The stop request reaches the next scan, which ends nothing and clears it.
    play.onLoadStarted();
    desktop.processes.push_back({4242, "intruder.exe", 0, 1, 8, 1});
    play.shield().shieldScan();
    EXPECT_TRUE(desktop.terminated.empty());
    EXPECT_EQ(view.shieldTimer, 0);  // off: not re-armed
}

// --- the pointer over the overlay ---

TEST_F(OnlinePlayTest, ThePointerHidesOneSecondAfterItLastMovedExceptInTheTopAndBottomBands) {
    playAndLoad(1, successTitle);
    play.onOverlayPointerMoved(400, 200, 0);
    EXPECT_TRUE(desktop.pointerVisible);
    EXPECT_EQ(view.pointerTimer, 1000);
    view.pointerTimer = -1;
    play.onOverlayPointerMoved(400, 200, 0);  // the same report again restarts nothing
    EXPECT_EQ(view.pointerTimer, -1);
    play.onOverlayPointerMoved(400, 200, 1);  // a key went down: that is a change
    EXPECT_EQ(view.pointerTimer, 1000);
    play.onPointerTimer();
    EXPECT_FALSE(desktop.pointerVisible);
    EXPECT_EQ(view.pointerTimer, 0);
    EXPECT_EQ(view.geometry[PlayerControl::Browser], (Geometry{-2, -4, 812, 526}));  // window mode: no change
    EXPECT_EQ(view.geometry[PlayerControl::Overlay], (Geometry{0, 16, 808, 482}));

    // The overlay is 482 high: the bottom band starts at 462, the top band ends below 10.
    for (const int y : {0, 9, 462, 481}) {
        play.onOverlayPointerMoved(300, y, 0);
        EXPECT_EQ(view.pointerTimer, 0) << y;
        EXPECT_TRUE(desktop.pointerVisible) << y;
    }
    for (const int y : {10, 461}) {
        play.onOverlayPointerMoved(300, y, 0);
        EXPECT_EQ(view.pointerTimer, 1000) << y;
    }
}

TEST_F(OnlinePlayTest, TheOpenedMenuKeepsThePointerUntilALeftClick) {
    playAndLoad(1, successTitle);
    play.onPlayerMenuRequested();  // dismissed
    EXPECT_EQ(play.playerMenuOpen(), 3);
    EXPECT_EQ(desktop.calls.back(), "popupMenuAtPointer mainWindow");
    view.pointerTimer = -1;
    play.onOverlayPointerMoved(400, 200, 0);
    EXPECT_EQ(view.pointerTimer, 0);
    play.onPointerTimer();
    EXPECT_TRUE(desktop.pointerVisible);

    play.onOverlayLeftButton();
    play.onOverlayPointerMoved(401, 200, 0);
    EXPECT_EQ(view.pointerTimer, 1000);
    play.onPointerTimer();
    EXPECT_FALSE(desktop.pointerVisible);
    play.onPointerOverTopControls();
    EXPECT_TRUE(desktop.pointerVisible);
    EXPECT_EQ(view.pointerTimer, 0);
}

TEST_F(OnlinePlayTest, FullScreenPauseAndBottomEdgeRevealOnBothChannels) {
    // Channel 1 rests at H + 30 and only uncovers the strip; channel 2 rests at H + 60 and comes back up.
    struct Case {
        int channel, restingBrowser, revealedBrowser;
    };
    for (const Case c : {Case{1, 1110, 1110}, Case{2, 1140, 1110}}) {
        playAndLoad(c.channel, successTitle);
        play.togglePlayerFullScreen();
        play.onPointerTimer();
        EXPECT_EQ(view.geometry[PlayerControl::Browser], (Geometry{-2, -28, 1924, c.restingBrowser})) << c.channel;
        EXPECT_EQ(view.geometry[PlayerControl::Overlay], (Geometry{0, 0, 1924, 1080})) << c.channel;
        play.onOverlayPointerMoved(500, 1019, 0);  // 1019 < 1080 − 60: nothing moves
        EXPECT_EQ(view.geometry[PlayerControl::Browser].height, c.restingBrowser) << c.channel;
        EXPECT_EQ(view.geometry[PlayerControl::Overlay].height, 1080) << c.channel;
        play.onOverlayPointerMoved(500, 1020, 0);
        EXPECT_EQ(view.geometry[PlayerControl::Browser].height, c.revealedBrowser) << c.channel;
        EXPECT_EQ(view.geometry[PlayerControl::Overlay].height, 1052) << c.channel;
        play.endPlayAndReturn();
    }
    // With the browser already at H + 30, channel 2 leaves the overlay as it is.
    playAndLoad(2, successTitle);
    play.togglePlayerFullScreen();
    view.geometry[PlayerControl::Overlay].height = 1080;
    play.onOverlayPointerMoved(500, 1030, 0);
    EXPECT_EQ(view.geometry[PlayerControl::Overlay].height, 1080);
}

// --- the "播放器" menu and the shield's switches ---

TEST_F(OnlinePlayTest, TheMenuSwitchesTheShieldAndAlwaysShowsOneOfItsEntries) {
    playAndLoad(1, successTitle);
    EXPECT_EQ(visibleEntries(), (std::vector<std::string>{"全屏播放", "-", "结束播放并返回搜索", "-", "关闭看片防护盾",
                                                          "-", "关于播放器"}));
    desktop.menuChoices = {static_cast<int>(PlayerMenuCommand::ShieldOff)};
    play.onPlayerMenuRequested();
    EXPECT_EQ(view.shieldStatus, offText);
    EXPECT_EQ(visibleEntries(), (std::vector<std::string>{"全屏播放", "-", "结束播放并返回搜索", "-", "开启看片防护盾",
                                                          "-", "关于播放器"}));
    desktop.menuChoices = {static_cast<int>(PlayerMenuCommand::ShieldOn)};
    play.onPlayerMenuRequested();
    EXPECT_EQ(view.shieldStatus, onText);
    EXPECT_TRUE(play.shield().shieldOn());
    EXPECT_EQ(view.shieldTimer, 50);
    EXPECT_EQ(desktop.menus.front(), (PopupMenu{{
                                         MenuEntry::item(1, gbk(u8"返回窗口播放"), false),
                                         MenuEntry::item(2, gbk(u8"全屏播放"), true),
                                         MenuEntry::line(),
                                         MenuEntry::item(3, gbk(u8"结束播放并返回搜索"), true),
                                         MenuEntry::line(),
                                         MenuEntry::item(4, gbk(u8"开启看片防护盾"), false),
                                         MenuEntry::item(5, gbk(u8"关闭看片防护盾"), true),
                                         MenuEntry::line(),
                                         MenuEntry::item(6, gbk(u8"关于播放器"), true),
                                     }}));

    // On, then off at once: the off text and "开启看片防护盾".
    play.shield().switchShieldOn();
    play.shield().switchShieldOff();
    EXPECT_EQ(view.shieldStatus, offText);
    EXPECT_EQ(visibleEntries()[4], "开启看片防护盾");
}

TEST_F(OnlinePlayTest, TheAboutEntryPutsAlwaysOnTopBackOnlyInFullScreen) {
    playAndLoad(1, successTitle);
    play.togglePlayerFullScreen();
    view.calls.clear();
    bool topmostDuringAbout = true;
    view.onAbout = [&] { topmostDuringAbout = view.alwaysOnTop; };
    desktop.menuChoices = {static_cast<int>(PlayerMenuCommand::About)};
    play.onPlayerMenuRequested();
    EXPECT_FALSE(topmostDuringAbout);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"topmost off", "topmost off", "about", "topmost on"}));

    play.togglePlayerFullScreen();
    view.calls.clear();
    desktop.menuChoices = {static_cast<int>(PlayerMenuCommand::About)};
    play.onPlayerMenuRequested();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"topmost off", "topmost off", "about"}));

    // Dismissing the menu in full screen leaves always-on-top off until the mode changes.
    play.togglePlayerFullScreen();
    play.onPlayerMenuRequested();
    EXPECT_FALSE(view.alwaysOnTop);
}

}  // namespace
}  // namespace lanqi
