// The protection shield against the real process list, with 时钟3 as a real timer, inside a PID namespace of
// its own: its first process is a bare init (support/pid_namespace.h), this test is its second, and the
// programs it plays with are either its own children (the client's helpers) or init's (everyone else's).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "actions/shield.h"
#include "platform/process_guard.h"
#include "platform/qt/qt_desktop_services.h"
#include "support/pid_namespace.h"

namespace lanqi {
namespace {

using test::processRuns;
using test::startChild;
using test::startOutsider;

// 时钟3 as a QTimer, 标签3 and the menu entries as plain state; it also clocks every scan.
class TimedShieldView : public ShieldView {
  public:
    TimedShieldView() {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { shield->shieldScan(); });
        clock.start();
    }
    void setShieldStatusText(const Text& text) override { status = text; }
    void setShieldMenuEntries(bool, bool) override {}
    void setShieldTimerPeriod(int ms) override {
        if (ms == 0 && timer.isActive()) {  // a scan begins
            scanStart = clock.nsecsElapsed();
        } else if (ms > 0 && scanStart >= 0) {  // a scan ends and re-arms
            longestScanNs = std::max(longestScanNs, clock.nsecsElapsed() - scanStart);
            ++scans;
            scanStart = -1;
        } else if (ms == 0 && scanStart >= 0) {  // a scan ends with the shield off
            ++scans;
            scanStart = -1;
        }
        if (ms > 0) {
            timer.start(ms);
        } else {
            timer.stop();
        }
    }

    ProtectionShield* shield = nullptr;
    QTimer timer;
    QElapsedTimer clock;
    Text status;
    qint64 scanStart = -1;
    qint64 longestScanNs = 0;
    int scans = 0;
};

void spinFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class RealShield : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::getppid(), 1) << "run under the namespace's init (support/pid_namespace.h)";
        view.shield = &shield;
        shield.setYieldSlice(std::chrono::microseconds(1000));
    }
    void TearDown() override {
        shield.switchShieldOff();
        view.timer.stop();
        // Ours, by id. Init reaps the outsiders; the next test's baseline must not see any of them.
        for (const pid_t id : started) ::kill(id, SIGKILL);
        for (const pid_t id : started) {
            ::waitpid(id, nullptr, WNOHANG);
            const std::string entry = "/proc/" + std::to_string(id);
            for (int i = 0; i < 1000 && std::filesystem::exists(entry); ++i) ::usleep(1000);  // zombies are listed too
        }
    }

    pid_t outsider(std::vector<std::string> arguments) {
        const pid_t id = startOutsider(std::move(arguments));
        EXPECT_GT(id, 0);
        started.push_back(id);
        return id;
    }
    pid_t child(std::vector<std::string> arguments) {
        const pid_t id = startChild(std::move(arguments));
        EXPECT_GT(id, 0);
        started.push_back(id);
        return id;
    }
    // Waits until `id` runs the executable `name`.
    bool awaitExecutable(pid_t id, const std::string& name) {
        for (int i = 0; i < 500; ++i) {
            for (const auto& p : desktop.listProcesses())
                if (p.processId == static_cast<std::uint32_t>(id) && p.exeFile == name) return true;
            spinFor(5);
        }
        return false;
    }
    // Milliseconds until `id` has ended, processing events meanwhile; -1 after `limitMs`.
    qint64 millisecondsUntilEnded(pid_t id, int limitMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < limitMs) {
            if (!processRuns(id)) return clock.elapsed();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            ::usleep(200);
        }
        return -1;
    }

    QtDesktopServices desktop;
    TimedShieldView view;
    NullEventPump events;
    // tail and dash stand in for the browser engine's helper executable.
    LinuxProcessGuard guard{"/proc", {"tail", "dash"}};
    ProtectionShield shield{desktop, view, events, guard};
    std::vector<pid_t> started;
};

TEST_F(RealShield, EndsNewProgramsWithinOneTickAndSparesTheClientsHelpersAndBaselineCopies) {
    const pid_t sleeper = outsider({"/usr/bin/sleep", "600"});
    ASSERT_TRUE(awaitExecutable(sleeper, "sleep"));
    shield.takeProcessBaseline();
    shield.switchShieldOn();

    // The client's helpers start after the baseline under names it does not hold: a child, and a
    // grandchild under a helper. Another program the client starts is no helper.
    const pid_t helper = child({"/usr/bin/tail", "-f", "/dev/null"});
    const pid_t shell = child({"/usr/bin/dash", "-c", "/usr/bin/tail -f /dev/null & wait"});
    const pid_t secondSleeper = outsider({"/usr/bin/sleep", "601"});
    const pid_t handler = child({"/usr/bin/timeout", "600", "/usr/bin/tail", "-f", "/dev/null"});
    ASSERT_TRUE(awaitExecutable(helper, "tail"));
    EXPECT_GE(millisecondsUntilEnded(handler, 3000), 0) << "a child that runs no helper executable";
    spinFor(300);  // several ticks

    const pid_t intruder = outsider({"/usr/bin/tail", "-f", "/dev/null"});  // a helper's name, not a helper
    const qint64 ms = millisecondsUntilEnded(intruder, 3000);
    std::printf("intruder ended after %lld ms; longest scan %.3f ms over %d scans\n", static_cast<long long>(ms),
                view.longestScanNs / 1e6, view.scans);
    ASSERT_GE(ms, 0) << "the intruder is still running";
    EXPECT_LE(ms, 50 + view.longestScanNs / 1000000 + 100);  // a tick, a scan, and room for a loaded machine

    EXPECT_TRUE(processRuns(sleeper));
    EXPECT_TRUE(processRuns(secondSleeper));
    EXPECT_TRUE(processRuns(helper));
    EXPECT_TRUE(processRuns(shell));
    int tails = 0;  // the shell's own child
    for (const auto& p : desktop.listProcesses())
        if (p.exeFile == "tail" && p.parentProcessId == static_cast<std::uint32_t>(shell)) ++tails;
    EXPECT_EQ(tails, 1);
    EXPECT_TRUE(processRuns(::getpid()));
    EXPECT_TRUE(processRuns(1));
    EXPECT_GE(view.scans, 5);
}

}  // namespace
}  // namespace lanqi

int main(int argc, char** argv) {
    return lanqi::test::runUnderNamespaceInit([&] {
        QCoreApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    });
}
