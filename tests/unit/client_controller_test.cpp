#include "app/core/client_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/menus.h"
#include "app/core/vendor.h"
#include "scrape/result_entry.h"
#include "search/site_catalogue.h"
#include "support/fake_desktop_services.h"
#include "support/fake_fetcher.h"
#include "support/numbered_sites.h"
#include "support/site_pages.h"

namespace lanqi {
namespace {

using namespace std::chrono_literals;
using test::FakeDesktopServices;
using test::FakeFetcher;
using test::FakeWindow;

// A main window that records what it was asked to draw, and answers the keyword its box holds.
class RecordingView : public MainView {
  public:
    std::optional<Text> keyword = Text("abc");  // nothing: the box holds a character GBK lacks
    std::vector<unsigned> renders;              // the ScreenChange bits of each render, in order
    int quits = 0;
    FakeWindow handle{"mainWindow"};
    std::optional<ScreenMessage> messageDrawn;  // the last message a render put on the screen
    std::function<void()> onMessageDrawn;

    void render(const SearchScreen& screen, unsigned changes) override {
        renders.push_back(changes);
        if ((changes & kMessageChanged) && screen.message) {
            messageDrawn = screen.message;
            if (onMessageDrawn) onMessageDrawn();
        }
    }
    std::optional<Text> searchableKeyword() const override { return keyword; }
    const Window& windowHandle() const override { return handle; }
    void quit() override { ++quits; }
    std::vector<Text> vendorAddresses;  // each footer address the controller had drawn
    void showVendorAddress(const Text& vendorBase) override { vendorAddresses.push_back(vendorBase); }
    // The results as last drawn: every line's caption and site cell, the selected line, and how many lines
    // each call left as they were.
    std::vector<std::string> lines;
    std::vector<std::string> table;     // every line's 健康 cell
    std::vector<std::string> toolTips;  // every line's tool tip
    int selectedLine = -1;
    std::vector<size_t> kept;
    ResultsBar bar;
    std::vector<SiteStripEntry> strip;
    std::vector<std::string> notices;
    std::optional<ScreenPoint> linePoint;
    void showResults(const ResultsShown& shown) override {
        lines.resize(shown.kept);
        table.resize(shown.kept);
        toolTips.resize(shown.kept);
        for (size_t i = shown.kept; i < shown.lines.size(); ++i) {
            const PresentedRow& row = shown.rows[shown.lines[i].row];
            lines.push_back(row.picture.caption + " | " + shown.siteCell(i));
            table.push_back(row.cells[static_cast<int>(ResultColumn::Health)]);
            toolTips.push_back(row.picture.toolTip);
        }
        selectedLine = shown.selected;
        kept.push_back(shown.kept);
    }
    void showResultsBar(const ResultsBar& drawn) override { bar = drawn; }
    void showSiteStrip(const std::vector<SiteStripEntry>& entries) override { strip = entries; }
    void showNotice(const std::string& text) override { notices.push_back(text); }
    std::optional<ScreenPoint> selectedLinePoint() const override { return linePoint; }
};

class ClientControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        client.commands().playOnline = [this](int channel, const ResultItem& item, const Text& playService) {
            played.push_back(std::to_string(channel) + " " + item.title);
            services.push_back(playService);
        };
    }
    // Site1 answers with `rows` results for "abc"; the other five sites are down.
    void serveSite1(int rows) {
        fetcher.pages[buildSearchUrls(client.searchFlow().sites(), encodeKeyword("abc"), "1")[0]] =
            test::site1Page(test::items(rows, "r"), 61);
    }
    // Runs posted tasks (pages, then the message) until the run has ended.
    void settle() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (client.searchFlow().running() && std::chrono::steady_clock::now() < deadline) queue.runPending(20ms);
        ASSERT_FALSE(client.searchFlow().running());
    }
    std::vector<test::MessageBoxCall> boxes() const { return desktop.messageBoxes; }

    RecordingView view;
    FakeDesktopServices desktop;
    FakeFetcher fetcher;
    TaskQueue queue;
    ClientController client{view, desktop, fetcher, queue, test::numberedSettings(), builtInSiteSlots()};
    std::vector<std::string> played;
    std::vector<Text> services;  // the play service of each online play
};

TEST_F(ClientControllerTest, ASearchIsDrawnAsItGoesAndEndsInTheCompletedScreen) {
    serveSite1(3);
    client.searchRequested();
    settle();
    ASSERT_FALSE(view.renders.empty());
    unsigned drawn = 0;
    for (unsigned changes : view.renders) drawn |= changes;
    EXPECT_NE(drawn & kTitleChanged, 0u);
    EXPECT_EQ(drawn & (kResultsCleared | kResultsAdded | kResultSelectionChanged | kSitesChanged), 0u)
        << "the results and the strip are drawn through their own calls";
    const auto& results = client.searchFlow().screen().results;
    ASSERT_EQ(results.size(), 3u);
    std::vector<std::string> expected;
    for (const ResultItem& row : results) expected.push_back(presentRow(row).caption + " | 站点1");
    EXPECT_EQ(view.lines, expected);
    EXPECT_EQ(view.kept.front(), 0u);  // the run's first call draws from scratch
    EXPECT_EQ(view.bar.count, "共 3 项");
    EXPECT_FALSE(view.bar.stoppable);
    ASSERT_EQ(view.strip.size(), 6u);
    EXPECT_EQ(view.strip[0].state, SiteState::Done);
    EXPECT_EQ(view.strip[0].caption, "1✓3");
    EXPECT_EQ(view.strip[1].state, SiteState::Failed);
    EXPECT_EQ(view.strip[1].text.rfind("站点2（site2）：失败，连接被拒绝，", 0), 0u) << view.strip[1].text;
    EXPECT_TRUE(boxes().empty());
}

// A run that fails tells the user once the flow has finished announcing (a posted task), with the icon the
// screen names, over the main window; closing the box ends the run.
TEST_F(ClientControllerTest, ARunsMessageIsShownOverTheWindowAfterTheAnnouncementAndClosingItEndsTheRun) {
    struct Case {
        const char* name;
        int site1Rows;  // -1: no site answers at all
        int style;
        const char8_t* caption;
    };
    const Case cases[] = {
        {"no site answers", -1, kMessageOk | kMessageIconError, u8"网络错误"},
        {"no site has results", 0, kMessageOk | kMessageIconInformation, u8"搜索失败"},
    };
    size_t boxesWhenDrawn = 0;
    view.onMessageDrawn = [&] { boxesWhenDrawn = desktop.messageBoxes.size(); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.messageBoxes.clear();
        fetcher.pages.clear();
        if (c.site1Rows >= 0) serveSite1(c.site1Rows);
        client.searchRequested();
        settle();
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].style, c.style);
        EXPECT_EQ(boxes()[0].caption, gbk(c.caption));
        ASSERT_TRUE(view.messageDrawn);
        EXPECT_EQ(boxesWhenDrawn, 0u) << "the box waits until the screen is drawn";
        EXPECT_EQ(boxes()[0].text, view.messageDrawn->text);
        EXPECT_EQ(boxes()[0].caption, view.messageDrawn->caption);
        EXPECT_EQ(boxes()[0].owner, "mainWindow");
        EXPECT_FALSE(client.searchFlow().screen().message) << "acknowledged when the box closed";
    }
}

TEST_F(ClientControllerTest, AKeywordTheSitesCannotBeAskedForIsNotSearchedAndTheUserIsToldOnce) {
    view.keyword.reset();
    client.searchRequested();
    client.nextPageRequested();
    client.previousPageRequested();
    EXPECT_EQ(boxes().size(), 3u);
    EXPECT_TRUE(fetcher.requested.empty());
    EXPECT_FALSE(client.searchFlow().running());

    // During a run the box would interrupt it: the command is ignored without a word.
    view.keyword = Text("abc");
    fetcher.hang.push_back(buildSearchUrls(client.searchFlow().sites(), encodeKeyword("abc"), "1")[0]);
    client.searchRequested();
    ASSERT_TRUE(client.searchFlow().running());
    view.keyword.reset();
    client.searchRequested();
    EXPECT_EQ(boxes().size(), 3u);
    client.closeStarted();  // the exit fade gives the hanging fetch up
    EXPECT_FALSE(client.searchFlow().running());
}

TEST_F(ClientControllerTest, AChoiceInThePageSelectorIsRedrawnEvenWhenTheFlowIgnoresIt) {
    client.pageChosen(2);  // no run has given pages yet: ignored
    ASSERT_FALSE(view.renders.empty());
    EXPECT_EQ(view.renders.back(), static_cast<unsigned>(kPageSelectionChanged));
}

TEST_F(ClientControllerTest, RowGesturesActOnTheSelectedResult) {
    serveSite1(3);
    client.searchRequested();
    settle();
    client.rowActivated();  // nothing selected: nothing played
    client.rowSelected(1);
    client.rowActivated();
    EXPECT_EQ(played, std::vector<std::string>{"1 r1.mkv"});

    desktop.menuChoices = {static_cast<int>(MenuCommand::PlayChannel2), static_cast<int>(MenuCommand::MainShowAbout)};
    int abouts = 0;
    client.commands().showAbout = [&abouts] { ++abouts; };
    client.rowMenuRequested();
    client.mainMenuRequested();
    EXPECT_EQ(played, (std::vector<std::string>{"1 r1.mkv", "2 r1.mkv"}));
    EXPECT_EQ(abouts, 1);
    client.vendorAddressRequested();
    const std::vector<std::string> expectedTail = {"popupMenuAtPointer mainWindow", "popupMenuAtPointer mainWindow",
                                                   "openAddress " + client.settings().vendorBase};
    ASSERT_GE(desktop.calls.size(), expectedTail.size());
    EXPECT_EQ(std::vector<std::string>(desktop.calls.end() - 3, desktop.calls.end()), expectedTail);
}

// The controller takes messages, hand-offs, the clipboard, the registry and window effects, each from its own
// object, and passes each on to the commands and actions that use it.
TEST_F(ClientControllerTest, RunsOnTheFiveRolesItTakesEachFromItsOwnObject) {
    test::FakeMessageBoxes messages;
    test::FakeHandOffs handOffs;
    test::FakeClipboard clipboard;
    test::FakeRegistryReader registry;
    test::FakeWindowEffects windows;
    ClientController apart(view, {messages, handOffs, clipboard, registry, windows}, fetcher, queue,
                           test::numberedSettings(), builtInSiteSlots());

    serveSite1(3);
    apart.searchRequested();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (apart.searchFlow().running() && std::chrono::steady_clock::now() < deadline) queue.runPending(20ms);
    ASSERT_FALSE(apart.searchFlow().running());
    apart.rowSelected(0);
    const Text link = apart.searchFlow().selectedResult()->magnetLink;
    windows.menuChoices = {static_cast<int>(MenuCommand::CopyMagnetLink), static_cast<int>(MenuCommand::SendToXunlei),
                           static_cast<int>(MenuCommand::MainCheckForUpdate)};
    apart.rowMenuRequested();
    apart.rowMenuRequested();
    apart.mainMenuRequested();
    apart.vendorAddressRequested();
    view.keyword.reset();
    apart.searchRequested();

    EXPECT_EQ(windows.calls, std::vector<std::string>(3, "popupMenuAtPointer mainWindow"));
    EXPECT_EQ(clipboard.calls, std::vector<std::string>{"setClipboardText " + link});
    EXPECT_EQ(registry.calls, std::vector<std::string>{"readRegistryText 3 Software\\Classes\\.torrent\\"});
    EXPECT_EQ(handOffs.calls,
              (std::vector<std::string>{"magnetLinkHandler", "openAddress " + apart.settings().vendorBase}));
    std::vector<Text> captions;
    for (const auto& box : messages.messageBoxes) captions.push_back(box.caption);
    EXPECT_EQ(captions, (std::vector<Text>{gbk(u8"已复制"), gbk(u8"未安装迅雷"), gbk(u8"强制下载"), gbk(u8"软件更新："),
                                           gbk(u8"无法搜索")}));
    EXPECT_TRUE(desktop.calls.empty());
}

// The results as the user asks to see them: filtered, one row per torrent, sorted; the selection stays on the
// row the user picked, and the keyboard's copy and menu act on it.
TEST_F(ClientControllerTest, FilterMergeAndSortRedrawTheLinesAndTheSelectionFollowsItsRow) {
    const auto urls = buildSearchUrls(client.searchFlow().sites(), encodeKeyword("abc"), "1");
    fetcher.pages[urls[0]] = test::site1Page(test::items(3, "r"), 61);
    fetcher.pages[urls[2]] = test::site3Page(test::items(2, "r"), 0);  // r0 and r1 again, on slot 3
    client.searchRequested();
    settle();
    ASSERT_EQ(view.lines.size(), 5u);
    client.rowSelected(1);  // r1 from slot 1
    const Text link = client.searchFlow().selectedResult()->magnetLink;
    using Lines = std::vector<std::string>;

    client.filterEdited("r1");
    EXPECT_EQ(view.lines, (Lines{"r1.mkv | 站点1", "r1.mkv | 站点3"}));
    EXPECT_EQ(view.selectedLine, 0);
    EXPECT_EQ(view.bar.count, "显示 2 项，共 5 项");
    client.uniqueSwitched(true);
    EXPECT_EQ(view.lines, (Lines{"r1.mkv | 2 个站点：1、3"}));
    client.filterEdited("");
    EXPECT_EQ(view.lines, (Lines{"r0.mkv | 2 个站点：1、3", "r1.mkv | 2 个站点：1、3", "r2.mkv | 站点1"}));
    EXPECT_EQ(view.selectedLine, 1);
    client.columnClicked(ResultColumn::Title);
    client.columnClicked(ResultColumn::Title);  // again: the other way round
    EXPECT_EQ(view.lines, (Lines{"r2.mkv | 站点1", "r1.mkv | 2 个站点：1、3", "r0.mkv | 2 个站点：1、3"}));
    EXPECT_EQ(view.selectedLine, 1);
    EXPECT_EQ(view.bar.sortColumn, ResultColumn::Title);
    EXPECT_TRUE(view.bar.descending);
    client.filterEdited("size>abc r");
    EXPECT_EQ(view.bar.filterProblem.rfind("筛选条件有误：“size>abc”", 0), 0u) << view.bar.filterProblem;
    EXPECT_EQ(view.lines.size(), 3u) << "the terms that can be read still filter";

    client.copyRequested();
    EXPECT_EQ(desktop.calls.back(), "setClipboardText " + link);
    EXPECT_EQ(view.notices, Lines{"已复制磁力链接"});
    desktop.clipboardWorks = false;  // another program holds the clipboard: the notice says so
    client.copyRequested();
    EXPECT_EQ(view.notices.back(), "无法写入剪贴板，未复制");
    desktop.clipboardWorks = true;
    view.notices.pop_back();
    view.linePoint = ScreenPoint{120, 340};
    client.rowMenuFromKeyboard();
    EXPECT_EQ(desktop.calls.back(), "popupMenuAt mainWindow 120,340");
    EXPECT_TRUE(boxes().empty());

    client.filterEdited("r2");  // the selected row is filtered out: nothing is selected any more
    EXPECT_EQ(view.selectedLine, -1);
    EXPECT_EQ(client.searchFlow().selectedResult(), nullptr);
    client.copyRequested();
    EXPECT_EQ(view.notices.size(), 1u);

    // The titles are GBK: a word of characters GBK lacks is in none of them, and the bar says so. Excluding
    // such a word excludes nothing. (A filter that lost such a word would show every row instead.)
    struct Unsearchable {
        const char* typed;
        const char* named;
        size_t lines;
    };
    for (const Unsearchable c : {Unsearchable{"r 한국어", "“한국어”", 0}, Unsearchable{"한국어　r1", "“한국어”", 0},
                                 Unsearchable{"-한국어 r", "“-한국어”", 3}}) {
        client.filterEdited(c.typed);
        EXPECT_EQ(view.lines.size(), c.lines) << c.typed;
        EXPECT_EQ(view.bar.filterProblem, std::string(c.named) + "含有网页标题中不会出现的字符") << c.typed;
    }
    client.filterEdited("r");
    EXPECT_EQ(view.lines.size(), 3u);
    EXPECT_EQ(view.bar.filterProblem, "");
}

// 停止 and Esc stop a run in progress; Esc otherwise is left to the window (the player).
TEST_F(ClientControllerTest, StopAndEscapeEndARunWithWhatArrived) {
    const auto urls = buildSearchUrls(client.searchFlow().sites(), encodeKeyword("abc"), "1");
    fetcher.pages[urls[0]] = test::site1Page(test::items(2, "r"), 61);
    for (size_t i = 1; i < urls.size(); ++i) fetcher.hang.push_back(urls[i]);
    EXPECT_FALSE(client.escapePressed());
    client.searchRequested();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (view.lines.size() < 2 && std::chrono::steady_clock::now() < deadline) queue.runPending(20ms);
    EXPECT_TRUE(view.bar.stoppable);
    EXPECT_EQ(view.strip[1].state, SiteState::Waiting);
    EXPECT_TRUE(client.escapePressed());
    EXPECT_FALSE(client.searchFlow().running());
    EXPECT_FALSE(view.bar.stoppable);
    EXPECT_EQ(view.lines.size(), 2u);
    EXPECT_EQ(view.strip[1].state, SiteState::Stopped);
    EXPECT_EQ(view.strip[1].caption, "2■");
    EXPECT_FALSE(client.escapePressed());
    client.stopRequested();  // nothing to stop
    EXPECT_TRUE(boxes().empty());

    int settingsAt = 0;
    client.commands().showSettingsAt = [&settingsAt](int slot) { settingsAt = slot; };
    client.siteEntryActivated(2);
    EXPECT_EQ(settingsAt, 2);
}

// 列表视图 and 合并相同资源 are remembered in the settings file, among the user's own lines, and the next start
// opens with them.
TEST_F(ClientControllerTest, TheViewChoicesAreRememberedInTheSettingsFile) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("lanqi-view-" + std::to_string(std::rand()) + ".toml");
    std::ofstream(file, std::ios::binary) << "# mine\n[site2]\nenabled = false\n";
    client.rememberViewIn(file.string());
    client.modeChosen(ResultsMode::Table);
    client.uniqueSwitched(true);
    const LoadedSettings saved = loadSettings(file.string(), false);
    EXPECT_TRUE(saved.problems.empty()) << saved.report(false);
    EXPECT_TRUE(saved.settings.tableView);
    EXPECT_TRUE(saved.settings.uniqueRows);
    EXPECT_FALSE(saved.settings.sites[1].enabled) << "the user's own lines stay";

    RecordingView next;
    ClientController again{next, desktop, fetcher, queue, saved.settings, builtInSiteSlots()};
    again.drawResultsArea();
    EXPECT_EQ(next.bar.mode, ResultsMode::Table);
    EXPECT_TRUE(next.bar.unique);
    std::filesystem::remove(file);
    std::filesystem::remove(file.string() + ".bak");
}

// With only placeholder addresses no search is started: the user is asked to set the sites up, and Yes opens
// 站点设置 at slot 1. One real address is enough to search.
TEST_F(ClientControllerTest, ASearchWithNoSiteSetUpAsksForTheSitesInsteadOfBlamingTheNetwork) {
    ClientController firstRun(view, desktop, fetcher, queue, builtInSettings(), builtInSiteSlots());
    int settingsAt = 0;
    firstRun.commands().showSettingsAt = [&settingsAt](int slot) { settingsAt = slot; };
    desktop.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    firstRun.searchRequested();
    firstRun.nextPageRequested();
    queue.runPending(20ms);  // each asks once the gesture is over
    EXPECT_FALSE(firstRun.searchFlow().running());
    EXPECT_TRUE(fetcher.requested.empty());
    ASSERT_EQ(desktop.messageBoxes.size(), 2u);
    EXPECT_EQ(desktop.messageBoxes[0].caption, gbk(u8"尚未设置搜索站点"));
    EXPECT_EQ(desktop.messageBoxes[0].style, kMessageYesNo | kMessageIconQuestion);
    EXPECT_NE(desktop.messageBoxes[0].text.find(gbk(u8"站点设置")), Text::npos);
    EXPECT_EQ(settingsAt, 1) << "Yes opens 站点设置 at slot 1";

    Settings oneSite = builtInSettings();
    oneSite.sites[1].base = "http://s2";
    firstRun.useSettings(oneSite, builtInSiteSlots());
    firstRun.searchRequested();
    EXPECT_TRUE(firstRun.searchFlow().running());
    EXPECT_EQ(desktop.messageBoxes.size(), 2u);
}

// The vendor's and the cloud-play addresses are settings: new ones (站点设置 saved) are used from the next
// gesture on, and the footer is redrawn with the new vendor address.
TEST_F(ClientControllerTest, NewSettingsMoveTheVendorAndPlayAddressesAtOnce) {
    serveSite1(1);
    client.searchRequested();
    settle();
    client.rowSelected(0);
    client.rowActivated();
    Settings moved = test::numberedSettings();
    moved.vendorBase = "http://vendor2.test";
    moved.playBase = "http://play2.test";
    client.useSettings(moved, builtInSiteSlots());
    client.rowActivated();
    client.vendorAddressRequested();

    EXPECT_EQ(services, (std::vector<Text>{Text(kBuiltInPlayBase), "http://play2.test"}));
    EXPECT_EQ(view.vendorAddresses, std::vector<Text>{"http://vendor2.test"});
    EXPECT_EQ(desktop.calls.back(), "openAddress http://vendor2.test");
}

TEST_F(ClientControllerTest, TheEndOfTheExitFadeEndsTheProgramOnceAndLaterCommandsDoNothing) {
    client.programEndRequested();
    client.programEndRequested();
    EXPECT_EQ(view.quits, 1);
    EXPECT_TRUE(client.programEnding());
    serveSite1(3);
    client.searchRequested();
    EXPECT_FALSE(client.searchFlow().running());
    EXPECT_TRUE(fetcher.requested.empty());
}

// The tooltip and description read the record's size and date lines, whatever their labels, in their
// order; other lines, and a size or date line the page left empty, add nothing.
// A checker that records what it is asked and reports what the test tells it to, through the poster as the
// real one does.
class FakeSwarmChecker : public SwarmChecker {
  public:
    struct Log {
        std::vector<std::string> checked;
        int cancels = 0;
        int made = 0;
        int gone = 0;
    };
    FakeSwarmChecker(Log& log, TaskPoster& poster, Listener listener)
        : m_log(log), m_poster(poster), m_listener(std::move(listener)) {
        ++m_log.made;
    }
    ~FakeSwarmChecker() override { ++m_log.gone; }
    void check(const std::string& hash) override { m_log.checked.push_back(hash); }
    void cancelAll() override { ++m_log.cancels; }
    std::optional<SwarmReport> known(const std::string&) const override { return std::nullopt; }
    void report(const SwarmReport& r) {
        m_poster.post([listener = m_listener, r] { listener(r); });
    }

  private:
    Log& m_log;
    TaskPoster& m_poster;
    Listener m_listener;
};

class ClientControllerSwarmTest : public ClientControllerTest {
  protected:
    void SetUp() override {
        ClientControllerTest::SetUp();
        client.useSwarm([this](const SwarmSettings& settings, TaskPoster& poster, SwarmChecker::Listener listener) {
            madeWith = settings;
            auto made = std::make_unique<FakeSwarmChecker>(log, poster, std::move(listener));
            checker = made.get();
            return made;
        });
        file = std::filesystem::temp_directory_path() / ("lanqi-swarm-" + std::to_string(std::rand()) + ".toml");
        std::ofstream(file, std::ios::binary) << "# mine\n";
        client.rememberViewIn(file.string());
        serveSite1(3);
        client.searchRequested();
        settle();
        client.rowSelected(1);
    }
    void TearDown() override {
        std::filesystem::remove(file);
        std::filesystem::remove(file.string() + ".bak");
    }
    std::string hashOfLine(int line) const {
        return client.searchFlow().screen().results[static_cast<size_t>(line)].hashKey;
    }
    void runMenu(MenuCommand command) { client.commands().run(static_cast<int>(command)); }

    FakeSwarmChecker::Log log;
    FakeSwarmChecker* checker = nullptr;
    SwarmSettings madeWith;
    std::filesystem::path file;
};

// The first check asks once; the answer is kept in the settings file and decides whether anything is checked.
TEST_F(ClientControllerSwarmTest, TheFirstCheckAsksOnceAndTheAnswerIsKept) {
    struct Case {
        const char* name;
        MessageAnswer answer;
        size_t checks;  // after 检查健康度 twice
    };
    for (const Case c : {Case{"yes", MessageAnswer::Yes, 2}, Case{"no", MessageAnswer::No, 0}}) {
        SCOPED_TRACE(c.name);
        Settings settings = client.settings();
        settings.swarm = {};
        client.useSettings(settings, builtInSiteSlots());
        log.checked.clear();
        desktop.messageBoxes.clear();
        desktop.messageAnswers = {c.answer};
        runMenu(MenuCommand::CheckHealth);
        runMenu(MenuCommand::CheckHealth);
        ASSERT_EQ(boxes().size(), 1u) << "asked once";
        EXPECT_EQ(boxes()[0].style, kMessageYesNo | kMessageIconQuestion | kMessageDefaultButton2);
        EXPECT_NE(utf8(boxes()[0].text).find("你的 IP 地址会被所联系的节点和 Tracker 服务器看到"), std::string::npos);
        EXPECT_EQ(log.checked, std::vector<std::string>(c.checks, hashOfLine(1)));
        const SwarmSettings saved = loadSettings(file.string(), false).settings.swarm;
        EXPECT_TRUE(saved.asked);
        EXPECT_EQ(saved.enabled, c.answer == MessageAnswer::Yes);
        EXPECT_EQ(client.settings().swarm.enabled, c.answer == MessageAnswer::Yes);
        if (c.answer == MessageAnswer::No)
            EXPECT_EQ(view.notices.back(), "健康度检查未开启：可在“站点设置”的“健康度检查”中开启");
    }
}

TEST_F(ClientControllerSwarmTest, ABuildWithoutTheCheckSaysSoAndAsksNothing) {
    client.useSwarm({});
    runMenu(MenuCommand::CheckHealth);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(utf8(boxes()[0].text), "此版本不提供健康度检查。");
    EXPECT_EQ(log.made, 0);
}

// Reports reach the row's 健康 cell and its tool tip, redraw from its line, and follow its details; a sort by
// 健康 puts the best shared row first.
TEST_F(ClientControllerSwarmTest, ReportsFillTheHealthCellTheDetailsAndTheSort) {
    Settings settings = client.settings();
    settings.swarm.enabled = settings.swarm.asked = true;
    client.useSettings(settings, builtInSiteSlots());
    runMenu(MenuCommand::CheckHealth);
    ASSERT_NE(checker, nullptr);
    ASSERT_EQ(log.checked, std::vector<std::string>{hashOfLine(1)});

    SwarmReport report;
    report.hash = hashOfLine(1);
    report.peers = 2;
    checker->report(report);
    queue.runPending();
    const auto cell = [&](size_t line) { return view.table.at(line); };
    EXPECT_EQ(cell(1), "检查中… 2 节点");
    EXPECT_EQ(view.kept.back(), 1u) << "redrawn from the reported row's line";

    report.finished = true;
    report.peers = 41;
    report.seeds = 12;
    report.leechers = 3;
    report.name = "another name";
    report.files = {{"a.mkv", 1000}, {"b.txt", 24}};
    report.totalSize = 1024;
    checker->report(report);
    queue.runPending();
    EXPECT_EQ(cell(0), "");
    EXPECT_EQ(cell(1), "12 做种 · 3 下载 · 41 节点");
    EXPECT_NE(view.toolTips[1].find("\n健康度：12 做种 · 3 下载 · 41 节点，检查于 "), std::string::npos)
        << view.toolTips[1];
    EXPECT_EQ(view.toolTips[1].find("健康度："), view.toolTips[1].rfind("健康度：")) << "the last report's note alone";

    desktop.messageBoxes.clear();
    runMenu(MenuCommand::ShowDetails);
    ASSERT_EQ(boxes().size(), 1u);
    const std::string details = utf8(boxes()[0].text);
    EXPECT_EQ(details.rfind(utf8(decodeCharacterReferences(client.searchFlow().selectedResult()->detailText)), 0), 0u);
    EXPECT_NE(details.find("种子名称：another name  ≠ 与网页标题不同\r\n"), std::string::npos) << details;
    EXPECT_NE(details.find("种子大小：1.00 KB，2 个文件  ≠ 与网页所写大小相差 -100%\r\n"), std::string::npos)
        << details;
    EXPECT_NE(details.find("  a.mkv  (1000 B)\r\n  b.txt  (24 B)"), std::string::npos) << details;

    client.columnClicked(ResultColumn::Health);
    EXPECT_EQ(view.lines.front().rfind(presentRow(client.searchFlow().screen().results[1]).caption, 0), 0u)
        << "the checked row first";
}

// With the switch on, every shown row is checked as it arrives; the next search cancels the last page's checks,
// and the exit fade ends the checker.
TEST_F(ClientControllerSwarmTest, TheSwitchChecksTheShownRowsAndANewSearchOrTheExitEndsTheChecks) {
    desktop.messageAnswers = {MessageAnswer::Yes};
    runMenu(MenuCommand::AutoCheckHealth);
    EXPECT_TRUE(client.settings().swarm.autoCheck);
    EXPECT_TRUE(loadSettings(file.string(), false).settings.swarm.autoCheck);
    EXPECT_EQ(log.checked, (std::vector<std::string>{hashOfLine(0), hashOfLine(1), hashOfLine(2)}));
    bool checkedMark = false;
    desktop.menuChoices = {kNoMenuChoice};
    client.rowMenuRequested();
    for (const MenuEntry& entry : desktop.menus.back().entries)
        if (entry.id == static_cast<int>(MenuCommand::AutoCheckHealth)) checkedMark = entry.checked;
    EXPECT_TRUE(checkedMark);

    SwarmReport running;
    running.hash = hashOfLine(0);
    running.peers = 2;
    checker->report(running);
    queue.runPending();
    ASSERT_EQ(view.table.at(0), "检查中… 2 节点");

    client.searchRequested();
    settle();
    EXPECT_EQ(view.table.at(0), "") << "a cancelled check leaves no figure behind";
    EXPECT_EQ(log.cancels, 1);
    EXPECT_EQ(log.checked.size(), 6u) << "the new page's rows are checked too";

    runMenu(MenuCommand::AutoCheckHealth);
    EXPECT_FALSE(client.settings().swarm.autoCheck);
    client.closeStarted();
    EXPECT_EQ(log.gone, log.made);
}

TEST(PresentRow, CaptionToolTipIconAndDescriptionComeFromTheResult) {
    struct Line {
        const char8_t* label;
        const char8_t* value;
        ResultField field;
    };
    struct Case {
        const char8_t* title;
        int fileKind;
        std::vector<Line> lines;
        const char* caption;
        const char* toolTip;
        int iconKind;
        const char* description;
    };
    const Case cases[] = {
        {u8"A &amp; B.mkv",
         3,
         {{u8"\r\n\r\n文件大小：", u8"1.2GB", ResultField::Size},
          {u8"\r\n\r\n请求数：", u8"5", ResultField::Other},
          {u8"\r\n\r\n更新时间：", u8"2020-02-03", ResultField::Date}},
         "A & B.mkv",
         "A & B.mkv\n文件大小：1.2GB\n更新时间：2020-02-03",
         3,
         "文件大小：1.2GB，更新时间：2020-02-03"},
        {u8"E",
         1,
         {{u8"\r\n\r\nCreated: ", u8"2017-09-15", ResultField::Date},
          {u8"\r\n\r\nFiles: ", u8"3", ResultField::FileCount},
          {u8"\r\n\r\nSize: ", u8" 2.48 GB", ResultField::Size}},
         "E",
         "E\nCreated: 2017-09-15\nSize:  2.48 GB",
         1,
         "Created: 2017-09-15，Size:  2.48 GB"},
        {u8"T",
         1,
         {{u8"\r\n\r\n更新时间：", u8"", ResultField::Date}, {u8"\r\n\r\n文件大小：", u8" ", ResultField::Size}},
         "T",
         "T",
         1,
         ""},
        {u8"没有细节", 0, {}, "没有细节", "没有细节", 0, ""},
        {u8"x", 7, {}, "x", "x", -1, ""},
        {u8"x", -1, {}, "x", "x", -1, ""},
    };
    for (const Case& c : cases) {
        ResultItem item;
        item.title = gbk(c.title);
        item.fileKind = c.fileKind;
        for (const Line& line : c.lines) {
            item.lines.push_back({gbk(line.label), gbk(line.value), line.field});
            fillResultField(item, line.field, item.lines.back().value);
        }
        const RowPresentation row = presentRow(item);
        EXPECT_EQ(row.caption, c.caption);
        EXPECT_EQ(row.toolTip, c.toolTip);
        EXPECT_EQ(row.iconKind, c.iconKind) << c.caption;
        EXPECT_EQ(row.accessibleDescription, c.description);
    }
}

}  // namespace
}  // namespace lanqi
