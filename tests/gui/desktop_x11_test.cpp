// The Qt desktop services against real outside parts on the fixture's X server: the X clipboard read back by
// xclip, addresses opened through xdg-open and a handler registered in scratch XDG folders, the screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/qt/qt_desktop_services.h"
#include "platform/qt/qt_window.h"

namespace lanqi {
namespace {

namespace fs = std::filesystem;

void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Runs a program while this process keeps serving X requests (the clipboard is served from here); its
// standard output, or nullopt when it did not end well within 10 s.
std::optional<QByteArray> runServing(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < 10000) spin(10);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
    return process.readAllStandardOutput();
}

std::optional<QByteArray> xclipClipboard() { return runServing("xclip", {"-o", "-selection", "clipboard"}); }

TEST(Clipboard, XclipReadsExactlyTheText) {
    QtDesktopServices desktop;
    const Text link = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567";
    ASSERT_TRUE(desktop.setClipboardText(link));
    EXPECT_EQ(xclipClipboard(), QByteArray::fromStdString(link));

    ASSERT_TRUE(desktop.setClipboardText(gbk(u8"超能陆战队 1080p\r\n第二行")));
    EXPECT_EQ(xclipClipboard(), QByteArray("\xE8\xB6\x85\xE8\x83\xBD\xE9\x99\x86\xE6\x88\x98\xE9\x98\x9F 1080p\r\n"
                                           "\xE7\xAC\xAC\xE4\xBA\x8C\xE8\xA1\x8C"));
}

TEST(Clipboard, TextEndsAtItsFirstZeroByte) {
    QtDesktopServices desktop;
    ASSERT_TRUE(desktop.setClipboardText(std::string("before\0after", 12)));
    EXPECT_EQ(xclipClipboard(), QByteArray("before"));
}

TEST(Clipboard, ATextThatIsNotGbkIsNotPlaced) {
    QtDesktopServices desktop;
    ASSERT_TRUE(desktop.setClipboardText("kept"));
    EXPECT_FALSE(desktop.setClipboardText("broken \xB3"));
    EXPECT_EQ(xclipClipboard(), QByteArray("kept"));
}

// Scratch XDG folders in which a recording program is the handler for magnet and http addresses. xdg-open
// reads them from the environment that the opened process inherits from this one.
class RecordingHandler : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lanqi-xdg-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directories(dir + "/data/applications");
        fs::create_directories(dir + "/config");
        fs::create_directories(dir + "/records");
        const std::string recorder = dir + "/record-address";
        std::ofstream(recorder) << "#!/bin/sh\n"
                                   "out=\"$LANQI_RECORD_DIR/$$\"\n"
                                   "printf '%s\\0' \"$#\" \"$@\" > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";
        fs::permissions(recorder, fs::perms::owner_all);
        std::ofstream(dir + "/data/applications/lanqi-recorder.desktop")
            << "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" << recorder
            << " %u\nMimeType=x-scheme-handler/magnet;x-scheme-handler/http;\nNoDisplay=true\n";
        std::ofstream(dir + "/config/mimeapps.list") << "[Default Applications]\n"
                                                        "x-scheme-handler/magnet=lanqi-recorder.desktop\n"
                                                        "x-scheme-handler/http=lanqi-recorder.desktop\n";
        saved = {{"XDG_DATA_HOME", dir + "/data"},
                 {"XDG_DATA_DIRS", dir + "/data"},
                 {"XDG_CONFIG_HOME", dir + "/config"},
                 {"XDG_CONFIG_DIRS", dir + "/config"},
                 {"LANQI_RECORD_DIR", dir + "/records"},
                 {"BROWSER", ""},
                 {"XDG_CURRENT_DESKTOP", ""},
                 {"DE", ""}};
        for (auto& [name, value] : saved) {
            const char* old = std::getenv(name.c_str());
            const std::string wanted = value;
            value = old ? old : "\x01unset";
            if (wanted.empty())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), wanted.c_str(), 1);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value == "\x01unset")
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
        fs::remove_all(dir);
    }

    // The arguments of the first recorded start, waiting up to 20 s for it.
    std::vector<std::string> awaitRecord() const {
        for (int i = 0; i < 2000; ++i) {
            for (const auto& entry : fs::directory_iterator(dir + "/records")) {
                if (entry.path().extension() == ".tmp") continue;
                std::ifstream in(entry.path(), std::ios::binary);
                std::vector<std::string> fields;
                for (std::string field; std::getline(in, field, '\0');) fields.push_back(field);
                fs::remove(entry.path());
                return fields;
            }
            spin(10);
        }
        return {};
    }

    std::string dir;
    std::vector<std::pair<std::string, std::string>> saved;
};

TEST_F(RecordingHandler, MagnetLinkReachesTheRegisteredProgramAsOneArgument) {
    QtDesktopServices desktop;
    const std::string link = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567";
    desktop.openAddress(link);
    EXPECT_EQ(awaitRecord(), (std::vector<std::string>{"1", link}));
}

TEST_F(RecordingHandler, HttpAddressReachesTheRegisteredProgram) {
    QtDesktopServices desktop;
    const std::string address = "http://127.0.0.1:9/soft/qabrelto/qabrelto1.9.html?a=1&b=x;y";
    desktop.openAddress(address);
    EXPECT_EQ(awaitRecord(), (std::vector<std::string>{"1", address}));
}

TEST_F(RecordingHandler, TheMagnetHandlerIsKnownAndAnAddressNoProgramTakesFails) {
    QtDesktopServices desktop;
    EXPECT_EQ(desktop.magnetLinkHandler(), "lanqi-recorder.desktop");
    const std::string link = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=a b";
    EXPECT_TRUE(desktop.handOverAddress(link));
    EXPECT_EQ(awaitRecord(), (std::vector<std::string>{"1", link}));
    // Without the desktop entry and the default, nothing is registered: the opener fails, and says so.
    fs::remove(dir + "/data/applications/lanqi-recorder.desktop");
    std::ofstream(dir + "/config/mimeapps.list") << "[Default Applications]\n";
    EXPECT_EQ(desktop.magnetLinkHandler(), "");
    EXPECT_FALSE(desktop.handOverAddress("magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567"));
}

// A dialog tells the window manager that it is a dialog which can be closed but neither minimised nor
// maximised: the Motif hints' functions hold close and not the other two.
TEST(Dialogs, AskTheWindowManagerForNoMinimiseOrMaximise) {
    QDialog dialog(nullptr, kDialogWindowFlags);
    dialog.resize(200, 100);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(dialog.winId()),
                                          QStringLiteral("_MOTIF_WM_HINTS"), QStringLiteral("_NET_WM_WINDOW_TYPE")});
    ASSERT_TRUE(xprop.waitForFinished(10000));
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput());
    const QRegularExpression hints(
        QStringLiteral("_MOTIF_WM_HINTS\\(_MOTIF_WM_HINTS\\) = (0x[0-9a-f]+), (0x[0-9a-f]+)"));
    const QRegularExpressionMatch match = hints.match(out);
    ASSERT_TRUE(match.hasMatch()) << out.toStdString();
    const unsigned flags = match.captured(1).toUInt(nullptr, 16), functions = match.captured(2).toUInt(nullptr, 16);
    EXPECT_TRUE(flags & 0x1) << "functions given";
    EXPECT_TRUE(functions & 0x20) << "close";
    EXPECT_FALSE(functions & 0x1) << "all";
    EXPECT_FALSE(functions & 0x8) << "minimise";
    EXPECT_FALSE(functions & 0x10) << "maximise";
    EXPECT_TRUE(out.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG"))) << out.toStdString();
}

TEST(Screen, SizeOfTheFixturesScreen) {
    QtDesktopServices desktop;
    EXPECT_EQ(desktop.screenSize(), (ScreenSize{1280, 1024}));
}

}  // namespace
}  // namespace lanqi
