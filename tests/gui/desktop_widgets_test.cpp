// The Qt desktop services on Qt's offscreen platform: message boxes, popup menus, windows, opacity, the
// pointer, browser navigation, and the services that need no display (folders, registry, programs).

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/qt/qt_desktop_services.h"
#include "platform/qt/qt_window.h"
#include "support/qt_modal.h"
#include "support/scratch_folder.h"

namespace lanqi {
namespace {

namespace fs = std::filesystem;

QString q(const char8_t* utf8Text) { return QString::fromUtf8(reinterpret_cast<const char*>(utf8Text)); }

// Lets queued events and timers run for `ms` milliseconds.
void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// ---- Message boxes ----

TEST(MessageBox, CancelAnswersOne) {
    QtDesktopServices desktop;
    test::SeenMessageBox seen;
    test::answerNextMessageBox(QMessageBox::Cancel, &seen);
    EXPECT_EQ(desktop.showMessageBox(gbk(u8"精彩内容等着您哦，您确定要退出吗？！"),
                                     kMessageOkCancel | kMessageIconQuestion, gbk(u8"退出软件")),
              MessageAnswer::Cancel);
    ASSERT_TRUE(seen.appeared);
    EXPECT_EQ(seen.title, q(u8"退出软件"));
    EXPECT_EQ(seen.text, q(u8"精彩内容等着您哦，您确定要退出吗？！"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, (std::vector<QMessageBox::StandardButton>{QMessageBox::Ok, QMessageBox::Cancel}));
    EXPECT_EQ(seen.modality, Qt::ApplicationModal);
    EXPECT_EQ(seen.parent, nullptr);
}

TEST(MessageBox, YesAnswersFive) {
    QtDesktopServices desktop;
    test::SeenMessageBox seen;
    test::answerNextMessageBox(QMessageBox::Yes, &seen);
    EXPECT_EQ(desktop.showMessageBox(gbk(u8"新版本"), 68, gbk(u8"检测到新版本：")), MessageAnswer::Yes);
    EXPECT_EQ(seen.title, q(u8"检测到新版本："));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, (std::vector<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
    EXPECT_EQ(seen.defaultButton, QMessageBox::Yes);
}

TEST(MessageBox, EveryButtonGivesItsOwnAnswerAndChineseCaptionUnderTheDefaultCaption) {
    QtDesktopServices desktop;
    const struct {
        int style;
        QMessageBox::StandardButton button;
        MessageAnswer answer;
        std::vector<QString> captions;  // of all the box's buttons, in the order of their QMessageBox values
    } cases[] = {
        {kMessageOk, QMessageBox::Ok, MessageAnswer::Ok, {q(u8"确定")}},
        {kMessageOkCancel, QMessageBox::Ok, MessageAnswer::Ok, {q(u8"确定"), q(u8"取消")}},
        {kMessageOkCancel, QMessageBox::Cancel, MessageAnswer::Cancel, {q(u8"确定"), q(u8"取消")}},
        {kMessageAbortRetryIgnore, QMessageBox::Abort, MessageAnswer::Abort, {q(u8"中止"), q(u8"重试"), q(u8"忽略")}},
        {kMessageAbortRetryIgnore, QMessageBox::Retry, MessageAnswer::Retry, {q(u8"中止"), q(u8"重试"), q(u8"忽略")}},
        {kMessageAbortRetryIgnore, QMessageBox::Ignore, MessageAnswer::Ignore, {q(u8"中止"), q(u8"重试"), q(u8"忽略")}},
        {kMessageYesNoCancel, QMessageBox::Yes, MessageAnswer::Yes, {q(u8"是"), q(u8"否"), q(u8"取消")}},
        {kMessageYesNoCancel, QMessageBox::No, MessageAnswer::No, {q(u8"是"), q(u8"否"), q(u8"取消")}},
        {kMessageYesNoCancel, QMessageBox::Cancel, MessageAnswer::Cancel, {q(u8"是"), q(u8"否"), q(u8"取消")}},
        {kMessageYesNo, QMessageBox::No, MessageAnswer::No, {q(u8"是"), q(u8"否")}},
        {kMessageRetryCancel, QMessageBox::Retry, MessageAnswer::Retry, {q(u8"重试"), q(u8"取消")}},
        {kMessageRetryCancel, QMessageBox::Cancel, MessageAnswer::Cancel, {q(u8"重试"), q(u8"取消")}},
    };
    for (const auto& c : cases) {
        test::SeenMessageBox seen;
        test::answerNextMessageBox(c.button, &seen);
        EXPECT_EQ(desktop.showMessageBox("?", c.style), c.answer) << "style " << c.style << " button " << c.button;
        EXPECT_EQ(seen.title, q(u8"信息："));  // no caption given
        EXPECT_EQ(seen.buttonTexts, c.captions) << "style " << c.style;
    }
}

TEST(MessageBox, TextIsShownAsPlainTextWithItsLineBreaks) {
    QtDesktopServices desktop;
    test::SeenMessageBox seen;
    test::answerNextMessageBox(QMessageBox::Ok, &seen);
    desktop.showMessageBox(gbk(u8"<b>岚栖</b> <img src=x>\r\n\r\n是否更新？"), 0);
    EXPECT_EQ(seen.text, q(u8"<b>岚栖</b> <img src=x>\n\n是否更新？"));
    EXPECT_EQ(seen.textFormat, Qt::PlainText);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
}

TEST(MessageBox, ReturnPressesTheDefaultButtonTheStyleNames) {
    QtDesktopServices desktop;
    test::SeenMessageBox seen;
    test::pressKeyInNextMessageBox(Qt::Key_Return, &seen);
    EXPECT_EQ(desktop.showMessageBox("?", kMessageYesNoCancel | kMessageDefaultButton3), MessageAnswer::Cancel);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Cancel);
    test::pressKeyInNextMessageBox(Qt::Key_Return, &seen);
    EXPECT_EQ(desktop.showMessageBox("?", kMessageYesNoCancel | kMessageDefaultButton2), MessageAnswer::No);
}

TEST(MessageBox, EscapeAnswersCancelTheOnlyButtonOrNo) {
    QtDesktopServices desktop;
    test::pressKeyInNextMessageBox(Qt::Key_Escape);
    EXPECT_EQ(desktop.showMessageBox("?", kMessageOkCancel), MessageAnswer::Cancel);
    test::pressKeyInNextMessageBox(Qt::Key_Escape);
    EXPECT_EQ(desktop.showMessageBox("?", kMessageOk), MessageAnswer::Ok);
    test::pressKeyInNextMessageBox(Qt::Key_Escape);
    EXPECT_EQ(desktop.showMessageBox("?", kMessageYesNo), MessageAnswer::No);
}

TEST(MessageBox, OwnerWindowAndSystemModalStyle) {
    QtDesktopServices desktop;
    QWidget main;
    main.show();
    QtWindow owner(&main);
    test::SeenMessageBox seen;
    test::answerNextMessageBox(QMessageBox::Ok, &seen);
    desktop.showMessageBox("?", kMessageSystemModal, std::nullopt, &owner);
    EXPECT_EQ(seen.parent, &main);
    EXPECT_TRUE(seen.staysOnTop);
    test::answerNextMessageBox(QMessageBox::Ok, &seen);
    desktop.showMessageBox("?", kMessageTaskModal);
    EXPECT_FALSE(seen.staysOnTop);
    EXPECT_EQ(seen.modality, Qt::ApplicationModal);
}

// ---- Popup menus ----

PopupMenu playerMenu() {
    // The player's menu in window mode with the shield on.
    return {{MenuEntry::item(1, gbk(u8"返回窗口播放"), false), MenuEntry::item(2, gbk(u8"全屏播放")), MenuEntry::line(),
             MenuEntry::item(3, gbk(u8"结束播放并返回搜索")), MenuEntry::line(),
             MenuEntry::item(4, gbk(u8"开启看片防护盾"), false), MenuEntry::item(5, gbk(u8"关闭看片防护盾")),
             MenuEntry::line(), MenuEntry::item(6, gbk(u8"关于播放器"))}};
}

TEST(PopupMenu, OpensThreePixelsRightOfAndBelowThePointer) {
    QtDesktopServices desktop;
    QCursor::setPos(200, 150);
    ASSERT_EQ(QCursor::pos(), QPoint(200, 150));
    test::SeenMenu seen;
    test::chooseInNextMenu({}, &seen);
    EXPECT_EQ(desktop.popupMenuAtPointer(nullptr, playerMenu()), kNoMenuChoice);
    ASSERT_TRUE(seen.appeared);
    EXPECT_EQ(seen.position, QPoint(203, 153));
}

TEST(PopupMenu, ShowsTheVisibleEntriesAndGivesTheChosenId) {
    QtDesktopServices desktop;
    QWidget main;
    QtWindow owner(&main);
    test::SeenMenu seen;
    test::chooseInNextMenu(q(u8"关闭看片防护盾"), &seen);
    EXPECT_EQ(desktop.popupMenuAtPointer(&owner, playerMenu()), 5);
    const std::vector<QString> expected = {q(u8"全屏播放"),     QStringLiteral("-"),   q(u8"结束播放并返回搜索"),
                                           QStringLiteral("-"), q(u8"关闭看片防护盾"), QStringLiteral("-"),
                                           q(u8"关于播放器")};
    EXPECT_EQ(seen.entries, expected);

    test::chooseInNextMenu(q(u8"全屏播放"));
    EXPECT_EQ(desktop.popupMenuAtPointer(&owner, playerMenu()), 2);
}

TEST(PopupMenu, AMenuWithNothingVisibleIsNotShown) {
    QtDesktopServices desktop;
    test::SeenMenu seen;
    test::whenShown<QMenu>(
        test::activeMenu,
        [&seen](QMenu* menu) {
            seen.appeared = true;
            menu->close();
        },
        300);
    EXPECT_EQ(desktop.popupMenuAtPointer(nullptr, {{MenuEntry::item(1, "a", false), MenuEntry::line(false)}}),
              kNoMenuChoice);
    spin(400);
    EXPECT_FALSE(seen.appeared);
}

// ---- Windows ----

// A window whose creation handler builds a plain widget and notes what happens to it.
class ProbeWindow : public QtWindow {
  public:
    QWidget* create(QWidget* owner) override {
        ++created;
        createdWithOwner = owner;
        auto* widget = new QWidget(owner, Qt::Window);
        widget->setAttribute(Qt::WA_DeleteOnClose, deleteOnClose);
        widget->resize(408, 282);
        return widget;
    }
    int created = 0;
    QWidget* createdWithOwner = nullptr;
    bool deleteOnClose = false;
};

TEST(LoadWindow, ModalBlocksUntilTheWindowIsClosed) {
    QtDesktopServices desktop;
    QObject scope;  // ends the timers below with the test
    ProbeWindow about;
    about.deleteOnClose = true;
    std::vector<std::string> events;
    QTimer::singleShot(100, &scope, [&] {
        QWidget* widget = about.widget();
        events.push_back(widget && widget->isVisible() && widget->windowModality() == Qt::ApplicationModal
                             ? "shown modal"
                             : "not shown modal");
        if (widget) widget->close();
        events.push_back("closed");
    });
    EXPECT_TRUE(desktop.loadWindow(about, nullptr, true));
    events.push_back("returned");
    EXPECT_EQ(events, (std::vector<std::string>{"shown modal", "closed", "returned"}));
    EXPECT_EQ(about.created, 1);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(about.widget(), nullptr);  // closed with WA_DeleteOnClose: built anew next time

    QTimer::singleShot(50, &scope, [&] { about.widget()->close(); });
    EXPECT_TRUE(desktop.loadWindow(about, nullptr, true));
    EXPECT_EQ(about.created, 2);
}

// A window that refuses the first close, as the notice dialog does when its question is answered Cancel.
class StubbornWindow : public QtWindow {
  public:
    class Widget : public QWidget {
      public:
        Widget() : QWidget(nullptr, Qt::Window) {}
        int refusals = 0;

      protected:
        void closeEvent(QCloseEvent* event) override {
            if (refusals++ == 0) event->ignore();
        }
    };
    QWidget* create(QWidget*) override { return new Widget; }
};

TEST(LoadWindow, ModalKeepsWaitingWhileTheWindowRefusesToClose) {
    QtDesktopServices desktop;
    QObject scope;  // ends the timers below with the test
    StubbornWindow notice;
    std::vector<std::string> events;
    QTimer::singleShot(50, &scope, [&] {
        notice.widget()->close();
        events.push_back("close refused");
        QTimer::singleShot(100, &scope, [&] {
            events.push_back(notice.widget()->isVisible() ? "still shown" : "gone");
            notice.widget()->close();
        });
    });
    EXPECT_TRUE(desktop.loadWindow(notice, nullptr, true));
    events.push_back("returned");
    EXPECT_EQ(events, (std::vector<std::string>{"close refused", "still shown", "returned"}));
    delete notice.widget();
}

TEST(LoadWindow, ModelessShowsAndReturnsAtOnceAndIsCreatedOnce) {
    QtDesktopServices desktop;
    ProbeWindow window;
    ASSERT_TRUE(desktop.loadWindow(window, nullptr, false));
    ASSERT_NE(window.widget(), nullptr);
    EXPECT_TRUE(window.widget()->isVisible());
    EXPECT_EQ(window.widget()->windowModality(), Qt::NonModal);
    window.widget()->hide();
    ASSERT_TRUE(desktop.loadWindow(window, nullptr, false));
    EXPECT_TRUE(window.widget()->isVisible());
    EXPECT_EQ(window.created, 1);
    delete window.widget();
}

TEST(LoadWindow, TheOwnerBecomesTheParentWindow) {
    QtDesktopServices desktop;
    QObject scope;  // ends the timers below with the test
    QWidget main;
    main.show();
    QtWindow owner(&main);
    ProbeWindow about;
    QTimer::singleShot(50, &scope, [&] { about.widget()->close(); });
    ASSERT_TRUE(desktop.loadWindow(about, &owner, true));
    EXPECT_EQ(about.createdWithOwner, &main);
    EXPECT_EQ(about.widget()->parentWidget(), &main);
    EXPECT_TRUE(about.widget()->isWindow());
}

TEST(LoadWindow, AWindowThatCannotBeBuiltGivesFalse) {
    QtDesktopServices desktop;
    QtWindow nothingToBuild;
    EXPECT_FALSE(desktop.loadWindow(nothingToBuild, nullptr, false));
    EXPECT_FALSE(desktop.loadWindow(nothingToBuild, nullptr, true));
}

// ---- Opacity ----

TEST(WindowOpacity, AlphaBecomesTheTopLevelWindowsOpacity) {
    QtDesktopServices desktop;
    QWidget main;
    auto* control = new QWidget(&main);
    QtWindow window(&main);
    QtWindow child(control);
    const std::pair<int, int> cases[] = {{0, 0}, {128, 128}, {255, 255}, {300, 255}, {-20, 0}, {63, 63}};
    for (const auto& [alpha, shown] : cases) {
        desktop.setWindowOpacity(window, alpha);
        EXPECT_EQ(qRound(main.windowOpacity() * 255), shown) << alpha;
    }
    desktop.setWindowOpacity(child, 100);
    EXPECT_EQ(qRound(main.windowOpacity() * 255), 100);
}

// ---- The pointer ----

TEST(Pointer, OneShowAfterSeveralHidesShowsIt) {
    QtDesktopServices desktop;
    for (int i = 0; i < 4; ++i) desktop.setPointerVisible(false);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    desktop.setPointerVisible(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    desktop.setPointerVisible(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    desktop.setPointerVisible(false);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    desktop.setPointerVisible(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Pointer, ABusyCursorSetElsewhereIsKept) {
    QtDesktopServices desktop;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    desktop.setPointerVisible(false);
    desktop.setPointerVisible(false);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    desktop.setPointerVisible(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// ---- The browser ----

// Stands in for QWebEngineView, which has the same "url" property.
class ProbeBrowser : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QUrl url READ url WRITE setUrl)

  public:
    QUrl url() const { return m_url; }
    void setUrl(const QUrl& url) {
        m_url = url;
        ++loads;
    }
    int loads = 0;

  private:
    QUrl m_url;
};

TEST(NavigateBrowser, LoadsTheAddressInTheControl) {
    QtDesktopServices desktop;
    ProbeBrowser view;
    QtWindow browser(&view);
    desktop.navigateBrowser(browser, "http://127.0.0.1:8080/api/api.php?u=magnet:?xt=urn:btih:0123abcd&p=1");
    EXPECT_EQ(view.url().toString(QUrl::FullyEncoded),
              "http://127.0.0.1:8080/api/api.php?u=magnet:?xt=urn:btih:0123abcd&p=1");
    desktop.navigateBrowser(browser, "/tmp/wyhc.htm");
    EXPECT_EQ(view.url(), QUrl("file:///tmp/wyhc.htm"));
    desktop.navigateBrowser(browser, gbk(u8"/tmp/岚栖/wyhc.htm"));
    EXPECT_EQ(view.url().toLocalFile(), q(u8"/tmp/岚栖/wyhc.htm"));
    EXPECT_EQ(view.loads, 3);
    desktop.navigateBrowser(browser, "");
    EXPECT_EQ(view.loads, 3);
}

TEST(NavigateBrowser, AControlWithoutAnAddressGetsNone) {
    QtDesktopServices desktop;
    QWidget plain;
    QtWindow control(&plain);
    desktop.navigateBrowser(control, "http://127.0.0.1/");
    EXPECT_FALSE(plain.property("url").isValid());
}

// ---- Folders, registry, files, programs ----

class ScratchFolder : public test::ScratchFolderTest {
  protected:
    // Waits up to 10 s for a file another process writes.
    static std::string awaitFile(const std::string& path) {
        for (int i = 0; i < 1000 && !fs::exists(path); ++i) spin(10);
        return content(path);
    }
};

TEST_F(ScratchFolder, TemporaryFolderIsAFolderOfThisUsersOwnEndingInTheSeparator) {
    QtDesktopServices desktop;
    const std::string folder = dir + "/\xE4\xB8\xB4\xE6\x97\xB6";  // 临时
    fs::create_directory(folder);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = runtime == nullptr ? "" : runtime;
    const struct {
        const char* runtime;  // nullptr: unset
        std::string expected;
    } cases[] = {
        {nullptr, folder + "/lanqi-search-" + std::to_string(::geteuid()) + "/"},  // in $TMPDIR
        {folder.c_str(), folder + "/lanqi-search/"},                               // in the runtime folder
    };
    ::setenv("TMPDIR", folder.c_str(), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        if (c.runtime == nullptr) {
            ::unsetenv("XDG_RUNTIME_DIR");
        } else {
            ::setenv("XDG_RUNTIME_DIR", c.runtime, 1);
        }
        EXPECT_EQ(desktop.specialFolder(SpecialFolder::TemporaryFiles), gbk(c.expected));
        EXPECT_TRUE(fs::is_directory(c.expected));
        EXPECT_EQ(fs::status(c.expected).permissions() & fs::perms::all, fs::perms::owner_all);
    }
    ::unsetenv("TMPDIR");
    if (runtime == nullptr) {
        ::unsetenv("XDG_RUNTIME_DIR");
    } else {
        ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    }
}

TEST_F(ScratchFolder, RegistryComesFromTheWinePrefix) {
    QtDesktopServices desktop;
    ::setenv("WINEPREFIX", LANQI_FIXTURE_DIR "/registry/wine", 1);
    EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, "Software\\Classes\\.torrent\\"), "Xunlei.Torrent");
    EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Dword", "none"), "none");
    EXPECT_TRUE(desktop.registryValueExists(
        kRegistryCurrentUser,
        "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION\\XMP.exe"));
    ::setenv("WINEPREFIX", dir.c_str(), 1);  // a prefix without registry files
    EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, "Software\\Classes\\.torrent\\", "none"), "none");
    ::unsetenv("WINEPREFIX");
}

// A program that writes its argument count and arguments, each ended by a zero byte, next to itself.
std::string writeRecorder(const std::string& dir) {
    const std::string path = dir + "/record args";
    std::ofstream(path) << "#!/bin/sh\nprintf '%s\\0' \"$#\" \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

TEST_F(ScratchFolder, RunProgramHandsTheParameterOverAsOneArgument) {
    QtDesktopServices desktop;
    const std::string recorder = writeRecorder(dir);
    const std::string marker = dir + "/marker";
    const std::string parameter = "magnet:?xt=urn:btih:0123 \"quoted part\" 'single' ; touch " + marker +
                                  " && $(touch " + marker + ") `touch " + marker + "` | & > *";
    desktop.runProgram(recorder, parameter);
    EXPECT_EQ(awaitFile(recorder + ".out"), std::string("1\0", 2) + parameter + std::string("\0", 1));
    EXPECT_FALSE(fs::exists(marker));

    fs::remove(recorder + ".out");
    desktop.runProgram(recorder, gbk(u8"迅雷 影音"));
    EXPECT_EQ(awaitFile(recorder + ".out"),
              std::string("1\0", 2) + reinterpret_cast<const char*>(u8"迅雷 影音") + std::string("\0", 1));
    fs::remove(recorder + ".out");
    desktop.runProgram(recorder, "");  // no parameter: no argument at all
    EXPECT_EQ(awaitFile(recorder + ".out"), std::string("0\0", 2));
    EXPECT_FALSE(desktop.runProgram(dir + "/no such program", parameter));
}

// A Windows program starts through the "wine" found on PATH, its path and the parameter as two arguments;
// without a wine there, the start fails and says so.
TEST_F(ScratchFolder, WindowsProgramsStartThroughWine) {
    QtDesktopServices desktop;
    const std::string recorder = writeRecorder(dir);
    fs::rename(recorder, dir + "/wine");
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir + ":" + oldPath).c_str(), 1);  // wine from here, the rest (mv) from the system
    const Text path = "C:\\Program Files\\Xmp\\XMP.exe";
    const Text link = "magnet:?xt=urn:btih:0123 &dn=a b";
    EXPECT_TRUE(desktop.runWindowsProgram(path, link));
    EXPECT_EQ(awaitFile(dir + "/wine.out"), std::string("2\0", 2) + path + '\0' + link + '\0');
    fs::remove(dir + "/wine");
    ::setenv("PATH", dir.c_str(), 1);  // no wine at all (the build machine has none, a user's may)
    EXPECT_FALSE(desktop.runWindowsProgram(path, link));
    ::setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
}  // namespace lanqi

#include "desktop_widgets_test.moc"
