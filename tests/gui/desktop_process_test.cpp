// The process list and the ending of processes, run as the first process of a PID namespace of its own
// (ctest starts it through `unshare --pid --fork --mount-proc`): the only processes it can see or end are
// itself and the children it starts.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>

#include <string>
#include <vector>

#include "platform/qt/qt_desktop_services.h"
#include "platform/qt/x11_windows.h"

namespace lanqi {
namespace {

void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

class OwnPidNamespace : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::getpid(), 1) << "run me as the first process of a PID namespace of my own: "
                                    "unshare --pid --fork --mount-proc desktop_process_test";
    }
    void TearDown() override {
        for (const pid_t child : children) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }

    pid_t start(std::vector<std::string> arguments) {
        const pid_t child = ::fork();
        if (child == 0) {
            std::vector<char*> argv;
            for (auto& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        children.push_back(child);
        return child;
    }

    // Waits until `child` runs the executable `name` (its exec has happened).
    bool awaitExecutable(pid_t child, const std::string& name) {
        for (int i = 0; i < 500; ++i) {
            for (const auto& p : desktop.listProcesses())
                if (p.processId == static_cast<std::uint32_t>(child) && p.exeFile == name) return true;
            spin(10);
        }
        return false;
    }

    // The signal that ended `child` (which is then reaped), or 0 when it still runs after 5 s.
    int endingSignal(pid_t child) {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (::waitpid(child, &status, WNOHANG) == child) {
                std::erase(children, child);
                return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
            }
            spin(10);
        }
        return 0;
    }

    static bool running(pid_t child) { return ::waitpid(child, nullptr, WNOHANG) == 0; }

    QtDesktopServices desktop;
    std::vector<pid_t> children;
};

TEST_F(OwnPidNamespace, ListProcessesSeesAStartedChild) {
    const pid_t child = start({"sleep", "60"});
    ASSERT_TRUE(awaitExecutable(child, "sleep"));
    const std::vector<ProcessRecord> expected = {
        {1, "desktop_process_test", 0, 0, 20 + ::getpriority(PRIO_PROCESS, 0), 0},
        {static_cast<std::uint32_t>(child), "sleep", 0, 1, 20 + ::getpriority(PRIO_PROCESS, 0), 1},
    };
    auto list = desktop.listProcesses();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_GE(list[0].threadCount, 1u);  // Qt's own threads come and go
    list[0].threadCount = 0;
    EXPECT_EQ(list, expected);
}

TEST_F(OwnPidNamespace, TerminateByIdEndsThatProcess) {
    const pid_t child = start({"sleep", "60"});
    const pid_t other = start({"sleep", "60"});
    ASSERT_TRUE(awaitExecutable(child, "sleep"));
    EXPECT_TRUE(desktop.terminateProcess(static_cast<std::uint32_t>(child)));
    EXPECT_EQ(endingSignal(child), SIGKILL);
    EXPECT_TRUE(running(other));
    EXPECT_FALSE(desktop.terminateProcess(static_cast<std::uint32_t>(child)));  // gone and reaped
}

TEST_F(OwnPidNamespace, IdsThatKillWouldTakeForProcessGroupsAreRefused) {
    // kill() reads 0 as "my process group" and negative numbers as groups or "everything": each of these
    // would end this test and its child if it got through.
    const pid_t child = start({"sleep", "60"});
    ASSERT_TRUE(awaitExecutable(child, "sleep"));
    for (const std::uint32_t id : {0u, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu})
        EXPECT_FALSE(desktop.terminateProcess(id)) << id;
    spin(100);
    EXPECT_TRUE(running(child));
}

TEST_F(OwnPidNamespace, TerminateByExecutableNameEndsTheFirstMatchIgnoringCase) {
    const pid_t first = start({"sleep", "60"});
    ASSERT_TRUE(awaitExecutable(first, "sleep"));
    const pid_t second = start({"sleep", "61"});
    ASSERT_TRUE(awaitExecutable(second, "sleep"));
    ASSERT_LT(first, second);
    EXPECT_TRUE(desktop.terminateProcess(Text("SLEEP")));
    EXPECT_EQ(endingSignal(first), SIGKILL);
    EXPECT_TRUE(running(second));
}

TEST_F(OwnPidNamespace, ANameOfNoWindowAndNoExecutableEndsNothing) {
    const pid_t child = start({"sleep", "60"});
    ASSERT_TRUE(awaitExecutable(child, "sleep"));
    EXPECT_FALSE(desktop.terminateProcess(Text("no-such-program")));
    EXPECT_FALSE(desktop.terminateProcess(Text("slee")));
    EXPECT_FALSE(desktop.terminateProcess(Text()));
    spin(100);
    EXPECT_TRUE(running(child));
    EXPECT_EQ(desktop.listProcesses().size(), 2u);
}

TEST_F(OwnPidNamespace, AWindowTitleComesBeforeAnExecutableName) {
    const pid_t sleeper = start({"sleep", "60"});
    const pid_t windowed = start({LANQI_TITLED_WINDOW, "sleep"});
    ASSERT_TRUE(awaitExecutable(sleeper, "sleep"));
    for (int i = 0; i < 1000 && processOwningTopLevelWindow("sleep") != static_cast<std::uint32_t>(windowed); ++i)
        spin(10);
    ASSERT_EQ(processOwningTopLevelWindow("sleep"), static_cast<std::uint32_t>(windowed));

    EXPECT_TRUE(desktop.terminateProcess(Text("sleep")));
    EXPECT_EQ(endingSignal(windowed), SIGKILL);
    EXPECT_TRUE(running(sleeper));
}

TEST_F(OwnPidNamespace, AGbkTitleFindsItsWindow) {
    const std::string title =
        "\xE5\xB2\x9A\xE6\xA0\x96 \xE6\x92\xAD\xE6\x94\xBE\xE7\xAA\x97\xE5\x8F\xA3";  // 岚栖 播放窗口
    const pid_t windowed = start({LANQI_TITLED_WINDOW, title});
    for (int i = 0; i < 1000 && !processOwningTopLevelWindow(title); ++i) spin(10);
    ASSERT_EQ(processOwningTopLevelWindow(title), static_cast<std::uint32_t>(windowed));
    EXPECT_TRUE(desktop.terminateProcess(gbk(title)));
    EXPECT_EQ(endingSignal(windowed), SIGKILL);
}

}  // namespace
}  // namespace lanqi
