// Online play end to end: the main window, the search flow and the player view with the real browser engine
// on an X server of their own, against the sample sites and their cloud-play service. The shield is on while
// a page plays, so the whole test runs in a PID namespace of its own, under a bare init.
//
// Screenshots go to $LANQI_SCREENSHOT_DIR (playing.png, back.png, fullscreen.png).

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <cstdlib>
#include <functional>
#include <memory>
#include <set>

#include "app/gui/app_controller.h"
#include "app/gui/main_window.h"
#include "app/gui/player_view.h"
#include "app/gui/result_list.h"
#include "support/pid_namespace.h"
#include "support/qt_modal.h"
#include "support/sample_server.h"
#include "support/xvfb_display.h"

namespace lanqi {
namespace {

const QString kOnText = QStringLiteral(" 防护盾已开启,看片不中招(任何文件无法打开运行,右键可关闭)");
const QString kOffText = QStringLiteral(" 防护盾已关闭,无保护看片(右键可重新开启)");
// A result put straight to online play.
ResultItem sampleResult() {
    return {gbk(u8"样片 测试信号 5 秒"), 0, "magnet:?xt=urn:btih:00112233445566778899AABBCCDDEEFF00112233", "", 1};
}

// The main window with the application's controller and the player view, wired as the program wires them
// (the about window only counted).
struct Client {
    Client() {
        play = installPlayer(window, controller.desktop(), [this] {
            ++aboutShown;
            if (onAbout) onAbout();
        });
        controller.setPlayOnline(play);
    }

    MainWindow window;
    AppController controller{window, loadSettings("").settings, builtInSiteSlots()};  // the environment as set
    std::function<void(int, const ResultItem&, const Text&)> play;
    int aboutShown = 0;
    std::function<void()> onAbout;
};

// Runs `script` in the page and waits for its value.
QVariant evaluate(QWebEngineView& view, const QString& script) {
    auto result = std::make_shared<std::pair<bool, QVariant>>();
    view.page()->runJavaScript(script, [result](const QVariant& v) { *result = {true, v}; });
    QElapsedTimer clock;
    clock.start();
    while (!result->first && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return result->second;
}

// Processes events until `condition` holds; false when it still does not after `timeoutMs`.
bool eventually(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void spinFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Ids of the processes descended from this one.
std::set<std::uint32_t> descendants(const std::vector<ProcessRecord>& processes) {
    std::set<std::uint32_t> found{static_cast<std::uint32_t>(::getpid())};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& p : processes)
            if (found.count(p.parentProcessId) && found.insert(p.processId).second) grew = true;
    }
    found.erase(static_cast<std::uint32_t>(::getpid()));
    return found;
}

class PlayerEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        base = test::sampleServerBase();
        ASSERT_FALSE(base.empty()) << "run through ctest (fixture sample_sites)";
        for (int n = 1; n <= 6; ++n)
            ::setenv(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str(), (base + "/site" + std::to_string(n)).c_str(),
                     1);
        usePlayService("");
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        ASSERT_FALSE(runtime.isEmpty()) << "run through ctest (it sets XDG_RUNTIME_DIR)";
        ASSERT_TRUE(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        client = std::make_unique<Client>();
        client->window.move(100, 60);
        client->window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&client->window));
        browser = client->window.findChild<QWebEngineView*>(QStringLiteral("播放浏览框"));
        ASSERT_NE(browser, nullptr);
        player = client->window.findChild<QtPlayerView*>();
        ASSERT_NE(player, nullptr);
    }
    void TearDown() override {
        client.reset();
        QFile::remove(blankPagePath());
    }

    // The cloud-play service the sample server plays in `mode`: what start-up reads (and the controller's
    // gestures use), and what the direct plays below pass.
    void usePlayService(const std::string& mode) {
        service = base + mode;
        ::setenv("LANQI_PLAY_BASE", service.c_str(), 1);
    }
    Text service;

    template <typename Widget = QWidget>
    Widget* control(const char* name) {
        return client->window.findChild<Widget*>(QString::fromUtf8(name));
    }
    ResultList* list() { return control<ResultList>("超级列表框1"); }

    bool playerShown() {
        for (const char* name : {"播放浏览框", "标签1", "标签3", "超级按钮1", "透明标签2"})
            if (!control(name)->isVisible()) return false;
        return true;
    }
    bool playerHidden() {
        for (const char* name : {"播放浏览框", "标签1", "标签3", "超级按钮1", "透明标签2"})
            if (control(name)->isVisible()) return false;
        return true;
    }

    // The blank page lives in the client's private folder in the runtime folder (ctest gives one in the build tree).
    static QString blankPagePath() {
        return qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/lanqi-search/wyhc.htm");
    }

    void screenshot(const char* name) {
        const QString folder = QString::fromLocal8Bit(qgetenv("LANQI_SCREENSHOT_DIR"));
        QDir().mkpath(folder.isEmpty() ? QDir::tempPath() : folder);
        const QRect frame = client->window.frameGeometry();
        const QPixmap shot =
            QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        const QString path = (folder.isEmpty() ? QDir::tempPath() : folder) + QLatin1Char('/') + QLatin1String(name);
        EXPECT_TRUE(shot.save(path)) << path.toStdString();
    }

    // Waits until the browser shows the blank page, loaded and titled.
    void expectBlankPageLoaded() {
        eventually([&] { return browser->title() == QStringLiteral("岚栖种子搜索神器"); }, 15000);
        EXPECT_EQ(browser->url(), QUrl::fromLocalFile(blankPagePath()));
        EXPECT_EQ(browser->title(), QStringLiteral("岚栖种子搜索神器"));
        EXPECT_EQ(QFileInfo(blankPagePath()).size(), 1171);
    }

    std::string base;
    std::unique_ptr<Client> client;
    QWebEngineView* browser = nullptr;
    QtPlayerView* player = nullptr;
};

TEST_F(PlayerEndToEnd, ADoubleClickedRowPlaysUnderTheShieldAndTheBackButtonReturns) {
    auto* box = control<QLineEdit>("搜索框");
    box->setText(QStringLiteral("测试信号"));  // typed text would go through QTest's ASCII key table
    QTest::keyClick(box, Qt::Key_Return);
    const SearchFlow& flow = client->controller.searchFlow();
    ASSERT_TRUE(eventually([&] { return !flow.running() && list()->count() > 0; }, 30000));
    const int rows = list()->count();
    const Text link = flow.screen().results.at(1).magnetLink;
    const QPoint second = list()->visualItemRect(list()->item(1)).center();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, second);

    // Loading: the notice covers the window, the shield is on, the browser still hidden.
    EXPECT_TRUE(control("标签5")->isVisible());
    EXPECT_EQ(control<QLabel>("标签5")->text(), QStringLiteral("视频拼命加载中，请稍候..."));
    EXPECT_EQ(control<QLabel>("标签3")->text(), kOnText);
    EXPECT_TRUE(player->onlinePlay().shield().shieldOn());

    ASSERT_TRUE(eventually([&] { return playerShown(); }, 30000));
    EXPECT_FALSE(control("标签5")->isVisible());
    EXPECT_EQ(browser->title(), QStringLiteral("快乐TV云播接口"));
    EXPECT_EQ(browser->geometry(), QRect(-2, -4, 812, 526));
    auto* shieldTimer = client->window.findChild<QTimer*>(QStringLiteral("时钟3"));
    EXPECT_EQ(shieldTimer->interval(), 50);
    // The service saw the link as it is, then the channel value.
    EXPECT_EQ(evaluate(*browser, QStringLiteral("document.getElementById('query').textContent")).toString(),
              QString::fromStdString("u=" + link + "&kltvv=c4"));

    // The engine's helpers started after the baseline and live on; a program that is not ours is ended.
    const auto helpers = descendants(client->controller.desktop().listProcesses());
    ASSERT_FALSE(helpers.empty());
    const pid_t intruder = test::startOutsider({"/usr/bin/sleep", "600"});
    ASSERT_GT(intruder, 0);
    EXPECT_TRUE(eventually([&] { return !test::processRuns(intruder); }, 2000));
    for (const std::uint32_t helper : helpers) EXPECT_TRUE(test::processRuns(static_cast<pid_t>(helper))) << helper;

    // The page cannot open another window.
    const int windowsBefore = static_cast<int>(QApplication::topLevelWidgets().size());
    evaluate(*browser, QStringLiteral("window.opened = window.open('/api/api.php?u=x&kltvv=c4'); 0"));
    spinFor(800);
    EXPECT_EQ(evaluate(*browser, QStringLiteral("String(!window.opened || window.opened.closed)")).toString(),
              QStringLiteral("true"));
    EXPECT_EQ(static_cast<int>(QApplication::topLevelWidgets().size()), windowsBefore);

    // The clip plays.
    EXPECT_TRUE(eventually(
        [&] {
            return evaluate(*browser, QStringLiteral("document.getElementById('player').currentTime")).toDouble() > 1.5;
        },
        20000));
    screenshot("playing.png");

    // The search view under the film is hidden, not merely covered: Tab ×3 then Space from the way back
    // reaches none of its controls, and a screen reader is told none of them is there.
    const char* const searchView[] = {"图片框1",     "搜索框", "按钮1",   "按钮2", "组合框1",  "按钮3",
                                      "超级列表框1", "标签2",  "图片框2", "标签8", "透明标签1"};
    for (const char* name : searchView) {
        EXPECT_FALSE(control(name)->isVisible()) << name;
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(control(name))->state().invisible) << name;
    }
    QSignalSpy pageCommands(&client->window, &MainWindow::previousPageRequested);
    QSignalSpy nextCommands(&client->window, &MainWindow::nextPageRequested);
    QSignalSpy searchCommands(&client->window, &MainWindow::searchRequested);
    // Tab goes to the window, as a Tab that the page passes on does; Space to whatever has the focus then.
    control("超级按钮1")->setFocus(Qt::TabFocusReason);
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Space}) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(key == Qt::Key_Tab || focus == nullptr ? &client->window : focus, key);
        for (const char* name : searchView) EXPECT_NE(QApplication::focusWidget(), control(name)) << name;
    }
    spinFor(200);
    EXPECT_EQ(pageCommands.count() + nextCommands.count() + searchCommands.count(), 0);
    EXPECT_TRUE(playerShown());

    QTest::mouseClick(control("超级按钮1"), Qt::LeftButton);
    EXPECT_TRUE(playerHidden());
    EXPECT_EQ(control<QLabel>("标签3")->text(), kOffText);
    EXPECT_FALSE(player->onlinePlay().shield().shieldOn());
    expectBlankPageLoaded();
    spinFor(300);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // the blank page decides nothing
    EXPECT_TRUE(playerHidden());
    EXPECT_FALSE(control("标签5")->isVisible());
    EXPECT_TRUE(list()->isVisible());
    // Each search-view control is back as the screen has it.
    EXPECT_TRUE(control("搜索框")->isVisible());
    EXPECT_EQ(control("按钮2")->isVisible(), flow.screen().previousVisible);
    EXPECT_EQ(control("按钮3")->isVisible(), flow.screen().nextVisible);
    EXPECT_EQ(control("组合框1")->isVisible(), flow.screen().pageSelectorVisible);
    EXPECT_EQ(list()->count(), rows);
    EXPECT_EQ(QApplication::focusWidget(), control("搜索框")) << "back in the search, the keys go to the search box";
    screenshot("back.png");
}

// The failure path, for a page with another title and for a connection that is dropped.
class PlayFailure : public PlayerEndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(PlayFailure, ShowsTheNetworkErrorBoxThenReturnsToTheSearchView) {
    usePlayService(GetParam());
    test::SeenMessageBox seen;
    QString noticeDuringBox;
    bool noticeShownDuringBox = false;
    test::whenShown<QMessageBox>(test::activeMessageBox, [&](QMessageBox* box) {
        test::record(box, &seen);
        noticeDuringBox = control<QLabel>("标签5")->text();
        noticeShownDuringBox = control("标签5")->isVisible();
        box->button(QMessageBox::Ok)->click();
    });
    client->play(2, sampleResult(), service);
    ASSERT_TRUE(eventually([&] { return seen.appeared; }, 30000));
    EXPECT_EQ(seen.title, QStringLiteral("网络错误"));
    EXPECT_EQ(seen.text, QStringLiteral("视屏加载失败：无法连接服务器，请检查网络设置。"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, (std::vector<QMessageBox::StandardButton>{QMessageBox::Ok}));
    EXPECT_EQ(noticeDuringBox, QStringLiteral("视频加载失败！"));
    EXPECT_TRUE(noticeShownDuringBox);

    expectBlankPageLoaded();
    EXPECT_FALSE(control("标签5")->isVisible());
    EXPECT_TRUE(playerHidden());
    EXPECT_FALSE(player->onlinePlay().shield().shieldOn());
    EXPECT_EQ(control<QLabel>("标签3")->text(), kOffText);
}

INSTANTIATE_TEST_SUITE_P(Modes, PlayFailure, ::testing::Values("/play-badtitle", "/play-down"));

TEST_F(PlayerEndToEnd, FullScreenByMenuAndDoubleClickEscapeBackAndEndPlayFromFullScreen) {
    client->play(1, sampleResult(), service);
    ASSERT_TRUE(eventually([&] { return playerShown(); }, 30000));
    auto* overlay = control("透明标签2");
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const WId nativeWindow = client->window.winId();  // full screen and back keep this one
    // A window the user made larger comes back as large and where it was, the player filling it.
    client->window.resize(900, 600);
    eventually([&] { return client->window.size() == QSize(900, 600); });
    const QPoint windowedAt = client->window.geometry().topLeft();
    const QSize windowed = client->window.size();
    const auto qRectOf = [](const Geometry& g) { return QRect(g.left, g.top, g.width, g.height); };
    const auto expectWindowMode = [&] {
        eventually([&] { return client->window.geometry().size() == windowed; });
        EXPECT_EQ(client->window.geometry().size(), windowed);
        EXPECT_TRUE(eventually([&] { return client->window.geometry().topLeft() == windowedAt; }));
        EXPECT_EQ(client->window.geometry().topLeft(), windowedAt);
        EXPECT_TRUE(eventually(
            [&] { return browser->geometry() == qRectOf(playerWindowGeometry(PlayerControl::Browser, 900, 600)); }));
        EXPECT_EQ(overlay->geometry(), qRectOf(playerWindowGeometry(PlayerControl::Overlay, 900, 600)));
        EXPECT_EQ(control("超级按钮1")->geometry(), qRectOf(playerWindowGeometry(PlayerControl::BackButton, 900, 600)));
    };

    test::SeenMenu menu;
    test::chooseInNextMenu(QStringLiteral("全屏播放"), &menu);
    QTest::mousePress(overlay, Qt::RightButton, {}, QPoint(400, 200));
    QTest::mouseRelease(overlay, Qt::RightButton, {}, QPoint(400, 200));
    ASSERT_TRUE(menu.appeared);
    EXPECT_EQ(menu.entries, (std::vector<QString>{QStringLiteral("全屏播放"), QStringLiteral("-"),
                                                  QStringLiteral("结束播放并返回搜索"), QStringLiteral("-"),
                                                  QStringLiteral("关闭看片防护盾"), QStringLiteral("-"),
                                                  QStringLiteral("关于播放器")}));
    eventually([&] { return client->window.geometry() == QRect(QPoint(0, 0), screen); });
    EXPECT_EQ(client->window.geometry(), QRect(QPoint(0, 0), screen));
    EXPECT_EQ(client->window.frameGeometry(), QRect(QPoint(0, 0), screen));  // no border left on screen
    EXPECT_TRUE(client->window.windowState().testFlag(Qt::WindowFullScreen));
    EXPECT_EQ(client->window.winId(), nativeWindow);
    EXPECT_EQ(browser->geometry(), QRect(-2, -28, screen.width() + 4, screen.height() + 30));
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, screen.width() + 4, screen.height() - 28));
    // The top bar keeps its place across the window, above the screen's edge.
    EXPECT_EQ(control("标签3")->geometry(),
              qRectOf(playerWindowGeometry(PlayerControl::ShieldStatus, 900, 600)).translated(0, -24));
    spinFor(500);
    screenshot("fullscreen.png");

    // The opened menu keeps the pointer shown until a left click on the overlay. After that the pointer hides
    // a second after it last moved, and the overlay covers the whole screen.
    QTest::mouseMove(overlay, QPoint(600, 500));
    spinFor(1300);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QTest::mouseClick(overlay, Qt::LeftButton, {}, QPoint(600, 500));
    QTest::mouseMove(overlay, QPoint(610, 500));
    auto* pointerTimer = client->window.findChild<QTimer*>(QStringLiteral("时钟2"));
    EXPECT_TRUE(eventually([&] { return pointerTimer->isActive(); }));
    EXPECT_EQ(pointerTimer->interval(), 1000);
    EXPECT_TRUE(eventually(
        [] {
            return QGuiApplication::overrideCursor() != nullptr &&
                   QGuiApplication::overrideCursor()->shape() == Qt::BlankCursor;
        },
        3000));
    EXPECT_EQ(overlay->height(), screen.height());
    QTest::mouseMove(overlay, QPoint(600, screen.height() - 40));  // the page's own strip comes back
    eventually([&] { return overlay->height() == screen.height() - 28; });
    EXPECT_EQ(overlay->height(), screen.height() - 28);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // The about window comes up over the full-screen player, which stays full screen.
    test::chooseInNextMenu(QStringLiteral("关于播放器"));
    QTest::mousePress(overlay, Qt::RightButton, {}, QPoint(400, 300));
    QTest::mouseRelease(overlay, Qt::RightButton, {}, QPoint(400, 300));
    EXPECT_EQ(client->aboutShown, 1);
    EXPECT_TRUE(client->window.windowState().testFlag(Qt::WindowFullScreen));

    QTest::keyClick(browser->focusProxy() ? browser->focusProxy() : browser, Qt::Key_Escape);
    expectWindowMode();
    EXPECT_FALSE(client->window.windowState().testFlag(Qt::WindowFullScreen));
    EXPECT_EQ(client->window.winId(), nativeWindow);
    // The window manager has framed the window again: it is a window among others.
    EXPECT_TRUE(eventually([&] { return client->window.frameGeometry().height() > client->window.height(); }));

    // A double-click on the overlay goes full screen again; ending play from there leaves it first.
    QTest::mouseDClick(overlay, Qt::LeftButton, {}, QPoint(400, 200));
    eventually([&] { return client->window.geometry() == QRect(QPoint(0, 0), screen); });
    EXPECT_EQ(client->window.geometry(), QRect(QPoint(0, 0), screen));
    test::chooseInNextMenu(QStringLiteral("结束播放并返回搜索"));
    QTest::mousePress(overlay, Qt::RightButton, {}, QPoint(400, 200));
    QTest::mouseRelease(overlay, Qt::RightButton, {}, QPoint(400, 200));
    expectWindowMode();
    EXPECT_TRUE(playerHidden());
    EXPECT_FALSE(player->onlinePlay().shield().shieldOn());
    expectBlankPageLoaded();
}

}  // namespace
}  // namespace lanqi

int main(int argc, char** argv) {
    return lanqi::test::runUnderNamespaceInit([&] {
        const std::string display = lanqi::test::xvfbDisplay();
        if (display.empty()) {
            std::fprintf(stderr, "No X server: run through ctest (fixture xvfb_player).\n");
            return 1;
        }
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // The player runs under a window manager, as on a desktop: full screen is the manager's state.
        const pid_t manager = lanqi::test::startWindowManager();
        if (manager <= 0) {
            std::fprintf(stderr, "openbox did not start on %s.\n", display.c_str());
            return 1;
        }
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        const int failed = RUN_ALL_TESTS();
        ::kill(manager, SIGTERM);
        return failed;
    });
}
