#include "actions/shield.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

#include "support/fake_desktop_services.h"

namespace lanqi {
namespace {

using test::FakeProcessControl;

class FakeShieldView : public ShieldView {
  public:
    Text status;
    bool switchOnVisible = false, switchOffVisible = true;
    std::vector<int> periods;
    void setShieldStatusText(const Text& t) override { status = t; }
    void setShieldMenuEntries(bool on, bool off) override {
        switchOnVisible = on;
        switchOffVisible = off;
    }
    void setShieldTimerPeriod(int ms) override { periods.push_back(ms); }
};

class FakeGuard : public ProcessGuard {
  public:
    std::uint32_t own = 100;
    std::set<std::uint32_t> otherUsers;
    std::uint32_t ownProcessId() const override { return own; }
    bool ownedByOtherUser(std::uint32_t id) const override { return otherUsers.count(id) != 0; }
    bool browserHelper(const std::string& exeFile) const override { return exeFile == "QtWebEngineProcess"; }
};

class Events : public EventPump {
  public:
    std::function<void()> onCall;
    int calls = 0;
    void processPendingEvents() override {
        ++calls;
        if (onCall) onCall();
    }
};

ProcessRecord proc(std::uint32_t id, const char* name, std::uint32_t parent = 1) {
    ProcessRecord p;
    p.processId = id;
    p.exeFile = name;
    p.parentProcessId = parent;
    return p;
}

class ShieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shield.setYieldSlice(std::chrono::microseconds(0));  // yield after every process
        desktop.processes = {proc(1, "init"), proc(100, "lanqi-search"), proc(200, "explorer.exe")};
    }
    std::vector<std::uint32_t> alive() const {
        std::vector<std::uint32_t> ids;
        for (const auto& p : desktop.processes) ids.push_back(p.processId);
        return ids;
    }

    FakeProcessControl desktop;
    FakeShieldView view;
    Events events;
    FakeGuard guard;
    ProtectionShield shield{desktop, view, events, guard};
};

TEST_F(ShieldTest, EndsProgramsNotInTheBaselineAndSparesCopiesOfBaselinePrograms) {
    shield.switchShieldOn();
    shield.takeProcessBaseline();
    desktop.processes.push_back(proc(300, "explorer.exe"));  // a second copy
    desktop.processes.push_back(proc(301, "virus.exe"));
    desktop.processes.push_back(proc(302, "Explorer.exe"));  // differs only in letter case
    shield.shieldScan();
    EXPECT_EQ(desktop.terminated, (std::vector<std::uint32_t>{301, 302}));
    EXPECT_EQ(alive(), (std::vector<std::uint32_t>{1, 100, 200, 300}));
}

TEST_F(ShieldTest, AnEmptyBaselineEndsNothing) {
    shield.switchShieldOn();
    desktop.processes.push_back(proc(301, "virus.exe"));
    shield.shieldScan();
    EXPECT_TRUE(desktop.terminated.empty());
    EXPECT_EQ(view.periods.back(), kShieldPeriodMs);
}

TEST_F(ShieldTest, SparesTheClientItsBrowserHelpersAndOtherUsersProcessesOnly) {
    desktop.processes = {proc(1, "init")};
    shield.switchShieldOn();
    shield.takeProcessBaseline();
    desktop.processes = {proc(1, "init"),
                         proc(100, "lanqi-search"),
                         proc(150, "QtWebEngineProcess", 100),
                         proc(151, "QtWebEngineProcess", 150),  // the zygote's renderer
                         proc(152, "xdg-open", 150),            // a protocol handler a page started
                         proc(153, "sh", 100),                  // anything else the client started
                         proc(154, "QtWebEngineProcess", 153),  // the helper's name, started by that
                         proc(155, "QtWebEngineProcess", 1),    // ... or by someone else
                         proc(400, "cron", 1),
                         proc(401, "stranger", 1)};
    guard.otherUsers = {400};
    shield.shieldScan();
    EXPECT_EQ(desktop.terminated, (std::vector<std::uint32_t>{152, 153, 154, 155, 401}));
}

TEST_F(ShieldTest, TheTimerIsStoppedDuringAScanAndReArmedOnlyWhileOn) {
    shield.switchShieldOn();
    EXPECT_EQ(view.periods, (std::vector<int>{50}));
    shield.takeProcessBaseline();
    events.onCall = [&] { EXPECT_EQ(view.periods.back(), 0); };
    shield.shieldScan();
    EXPECT_EQ(view.periods, (std::vector<int>{50, 0, 50}));

    // Switching off leaves the tick already due: it scans once more, then the timer stays stopped.
    shield.switchShieldOff();
    desktop.processes.push_back(proc(500, "late.exe"));
    shield.shieldScan();
    EXPECT_EQ(view.periods.back(), 0);
    EXPECT_EQ(desktop.terminated, (std::vector<std::uint32_t>{500}));
}

TEST_F(ShieldTest, SwitchingOnThenOffShowsTheOffStateAndItsMenuEntry) {
    shield.switchShieldOn();
    EXPECT_EQ(view.status, gbk(u8" 防护盾已开启,看片不中招(任何文件无法打开运行,右键可关闭)"));
    EXPECT_FALSE(view.switchOnVisible);
    EXPECT_TRUE(view.switchOffVisible);
    shield.switchShieldOff();
    EXPECT_EQ(view.status, gbk(u8" 防护盾已关闭,无保护看片(右键可重新开启)"));
    EXPECT_TRUE(view.switchOnVisible);
    EXPECT_FALSE(view.switchOffVisible);
    EXPECT_FALSE(shield.shieldOn());
}

TEST_F(ShieldTest, AStopRequestDuringAScanEndsItAndIsCleared) {
    shield.switchShieldOn();
    shield.takeProcessBaseline();
    for (std::uint32_t id = 600; id < 610; ++id) desktop.processes.push_back(proc(id, "spawned.exe"));
    events.onCall = [&] {
        if (desktop.terminated.size() == 3) shield.requestStop();
    };
    shield.shieldScan();
    EXPECT_EQ(desktop.terminated.size(), 3u);
    events.onCall = nullptr;
    shield.shieldScan();  // the request was cleared: the next scan ends the rest
    EXPECT_EQ(desktop.terminated.size(), 10u);
}

TEST_F(ShieldTest, AStopRequestWhileIdleEndsTheNextScanAtOnce) {
    shield.switchShieldOn();
    shield.takeProcessBaseline();
    desktop.processes.push_back(proc(700, "a.exe"));
    shield.requestStop();
    shield.shieldScan();
    EXPECT_TRUE(desktop.terminated.empty());
    shield.shieldScan();
    EXPECT_EQ(desktop.terminated, (std::vector<std::uint32_t>{700}));
}

TEST_F(ShieldTest, ABaselineIsTakenEvenWhileOffAndReplacesTheOldOne) {
    shield.takeProcessBaseline();
    EXPECT_EQ(shield.processBaseline().size(), 3u);
    desktop.processes.push_back(proc(800, "new.exe"));
    shield.takeProcessBaseline();
    EXPECT_EQ(shield.processBaseline().size(), 4u);
    shield.switchShieldOn();
    shield.shieldScan();
    EXPECT_TRUE(desktop.terminated.empty());
}

TEST_F(ShieldTest, YieldsOnATimeSliceNotAfterEveryComparison) {
    shield.setYieldSlice(std::chrono::seconds(10));
    shield.switchShieldOn();
    shield.takeProcessBaseline();
    for (std::uint32_t id = 1000; id < 1500; ++id) desktop.processes.push_back(proc(id, "x.exe"));
    shield.shieldScan();
    EXPECT_EQ(desktop.terminated.size(), 500u);
    EXPECT_EQ(events.calls, 1);  // once at the end of the scan
}

}  // namespace
}  // namespace lanqi

namespace lanqi {
namespace {

TEST(LinuxProcessGuard, OtherUsersProcessesAreGuardedEvenForRoot) {
    char pattern[] = "/tmp/lanqi-proc-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    ASSERT_EQ(::mkdir((root + "/11").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "/12").c_str(), 0755), 0);
    const bool canChown = ::chown((root + "/12").c_str(), ::geteuid() + 1000, static_cast<gid_t>(-1)) == 0;

    LinuxProcessGuard guard(root);
    EXPECT_EQ(guard.ownProcessId(), static_cast<std::uint32_t>(::getpid()));
    EXPECT_FALSE(guard.ownedByOtherUser(11));  // our own
    EXPECT_FALSE(guard.ownedByOtherUser(13));  // gone: nothing to guard
    if (canChown) {
        EXPECT_TRUE(guard.ownedByOtherUser(12));
    }
    ::rmdir((root + "/11").c_str());
    ::rmdir((root + "/12").c_str());
    ::rmdir(root.c_str());
    if (!canChown) GTEST_SKIP() << "cannot give a folder to another user here";
}

}  // namespace
}  // namespace lanqi
