#include "platform/processes.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

// Reading the process list changes nothing, so these tests use the machine's own /proc. Ending processes is
// tested in tests/gui/desktop_process_test.cpp, inside a PID namespace of its own.

namespace lanqi {
namespace {

namespace fs = std::filesystem;

const ProcessRecord* findById(const std::vector<ProcessRecord>& list, pid_t id) {
    for (const auto& p : list)
        if (p.processId == static_cast<std::uint32_t>(id)) return &p;
    return nullptr;
}

std::string statLine(pid_t id, const std::string& name, int ppid, int priority, int threads) {
    return std::to_string(id) + " (" + name + ") S " + std::to_string(ppid) +
           " 100 100 0 -1 4194560 120 0 0 0 3 1 0 0 " + std::to_string(priority) + " 0 " + std::to_string(threads) +
           " 0 4200 9000000 300 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n";
}

// ---- The stat line ----

TEST(ParseProcStat, ShortNameMayHoldBlanksAndParentheses) {
    EXPECT_EQ(parseProcStat(statLine(4321, "sleep", 77, 20, 1))->shortName, "sleep");
    const auto stat = parseProcStat(statLine(9, "a) (b c)", 1, -51, 12));
    ASSERT_TRUE(stat);
    EXPECT_EQ(stat->shortName, "a) (b c)");
    EXPECT_EQ(stat->parentProcessId, 1u);
    EXPECT_EQ(stat->priority, -51);  // a real-time process
    EXPECT_EQ(stat->threadCount, 12u);
}

TEST(ParseProcStat, RejectsLinesThatAreNotStatLines) {
    EXPECT_FALSE(parseProcStat(""));
    EXPECT_FALSE(parseProcStat("12 sleep S 1 1 1"));
    EXPECT_FALSE(parseProcStat("12 (sleep S 1 1 1"));
    EXPECT_FALSE(parseProcStat("12 (sleep) S 1 100 100 0 -1 4194560 120 0 0 0 3 1 0 0 20 0"));  // cut short
    EXPECT_FALSE(parseProcStat("12 (sleep) S x 100 100 0 -1 4194560 120 0 0 0 3 1 0 0 20 0 1 0"));
    EXPECT_FALSE(parseProcStat("12 (sleep) S 1 100 100 0 -1 4194560 120 0 0 0 3 1 0 0 20 0 -1 0"));
}

// ---- A proc tree made by the test ----

class FakeProcTree : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lanqi-proc-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }

    void process(const std::string& id, const std::string& stat, const std::string& exeTarget = {}) const {
        fs::create_directory(root + "/" + id);
        if (!stat.empty()) std::ofstream(root + "/" + id + "/stat") << stat;
        if (!exeTarget.empty()) fs::create_symlink(exeTarget, root + "/" + id + "/exe");
    }

    std::string root;
};

TEST_F(FakeProcTree, OneRecordPerReadableProcessInNumericOrder) {
    process("100", statLine(100, "sleep", 10, 20, 1), "/usr/bin/sleep");
    process("9", statLine(9, "kworker/0:1", 2, 20, 1));  // a kernel thread: no executable
    process("10", statLine(10, "Player", 1, 39, 7), "/opt/my apps/Player (deleted)");
    process("11", statLine(11, "xunlei", 1, 20, 3), "/opt/\xE8\xBF\x85\xE9\x9B\xB7.exe");  // 迅雷.exe
    process("12", statLine(12, "odd", 1, 20, 1), "/opt/smile\xF0\x9F\x98\x80");            // a name GBK cannot hold
    process("4000", "");         // ended between the listing and the read
    process("55", "garbage\n");  // not a stat line
    process("0", statLine(0, "zero", 0, 20, 1));
    process("self", statLine(1, "self", 0, 20, 1));
    std::ofstream(root + "/uptime") << "1.0 1.0\n";

    const auto list = readProcessList(root);
    const std::vector<ProcessRecord> expected = {
        {9, "kworker/0:1", 0, 2, 20, 1},
        {10, "Player", 0, 1, 39, 7},
        {11, "\xD1\xB8\xC0\xD7.exe", 0, 1, 20, 3},
        {12, "smile\xF0\x9F\x98\x80", 0, 1, 20, 1},
        {100, "sleep", 0, 10, 20, 1},
    };
    EXPECT_EQ(list, expected);
}

TEST_F(FakeProcTree, MissingTreeGivesAnEmptyList) {
    EXPECT_TRUE(readProcessList(root + "/nonexistent").empty());
    EXPECT_TRUE(readProcessList(root).empty());
}

// ---- The machine's /proc ----

TEST(ReadProcessList, ThisProcessWithItsExecutableParentAndThreads) {
    // The kernel's short name is changed; the record must still carry the executable's file name.
    char saved[16] = {};
    ::prctl(PR_GET_NAME, saved);
    ::prctl(PR_SET_NAME, "renamed-short");
    std::promise<void> release;
    std::thread second([&release] { release.get_future().wait(); });

    const auto list = readProcessList();
    release.set_value();
    second.join();
    ::prctl(PR_SET_NAME, saved);

    const ProcessRecord* self = findById(list, ::getpid());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->exeFile, "processes_test");
    EXPECT_EQ(self->parentProcessId, static_cast<std::uint32_t>(::getppid()));
    EXPECT_EQ(self->threadCount, 2u);
    EXPECT_EQ(self->moduleId, 0u);
    EXPECT_EQ(self->basePriority, 20 + ::getpriority(PRIO_PROCESS, 0));
    for (std::size_t i = 1; i < list.size(); ++i) EXPECT_LT(list[i - 1].processId, list[i].processId);
}

TEST(ReadProcessList, SeesAStartedChildAndAZombie) {
    const pid_t sleeper = ::fork();
    ASSERT_GE(sleeper, 0);
    if (sleeper == 0) {
        ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const pid_t zombie = ::fork();
    ASSERT_GE(zombie, 0);
    if (zombie == 0) {
        ::prctl(PR_SET_NAME, "zombie-child");
        ::_exit(0);
    }
    // Wait until exec has replaced the child's image and the other child has ended (not reaped).
    std::vector<ProcessRecord> list;
    for (int attempt = 0; attempt < 200; ++attempt) {
        list = readProcessList();
        const auto* s = findById(list, sleeper);
        const auto* z = findById(list, zombie);
        if (s && s->exeFile == "sleep" && z && z->exeFile == "zombie-child") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const ProcessRecord* s = findById(list, sleeper);
    const ProcessRecord* z = findById(list, zombie);
    ::kill(sleeper, SIGKILL);
    ::waitpid(sleeper, nullptr, 0);
    ::waitpid(zombie, nullptr, 0);

    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->exeFile, "sleep");
    EXPECT_EQ(s->parentProcessId, static_cast<std::uint32_t>(::getpid()));
    EXPECT_EQ(s->threadCount, 1u);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->exeFile, "zombie-child");  // a zombie has no executable left: its short name stands in
    EXPECT_EQ(z->parentProcessId, static_cast<std::uint32_t>(::getpid()));
}

TEST(ReadProcessList, ProcessesEndingWhileTheListIsReadAreLeftOut) {
    // Children start and end as fast as possible while the list is read again and again.
    std::atomic<bool> stop{false};
    std::thread churn([&stop] {
        while (!stop) {
            const pid_t child = ::fork();
            if (child == 0) ::_exit(0);
            if (child > 0) ::waitpid(child, nullptr, 0);
        }
    });
    std::size_t lists = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < until) {
        const auto list = readProcessList();
        ASSERT_NE(findById(list, ::getpid()), nullptr);
        for (const auto& p : list) ASSERT_NE(p.processId, 0u);
        ++lists;
    }
    stop = true;
    churn.join();
    EXPECT_GT(lists, 5u);
}

// ---- Names ----

TEST(EqualIgnoringCase, AsciiLettersFoldTwoByteCharactersDoNot) {
    EXPECT_TRUE(equalIgnoringCase("XMP.exe", "xmp.EXE"));
    EXPECT_TRUE(equalIgnoringCase("\xD1\xB8\xC0\xD7.EXE", "\xD1\xB8\xC0\xD7.exe"));  // 迅雷.exe
    EXPECT_TRUE(equalIgnoringCase("", ""));
    EXPECT_FALSE(equalIgnoringCase("XMP.exe", "XMP.ex"));
    EXPECT_FALSE(equalIgnoringCase("XMP.exe", "XMP_exe"));
    // 0xB3 0x41 and 0xB3 0x61 are two different characters, though their second bytes are 'A' and 'a'.
    EXPECT_FALSE(equalIgnoringCase("\xB3\x41", "\xB3\x61"));
    EXPECT_TRUE(equalIgnoringCase("a\xB3\x41", "A\xB3\x41"));
}

TEST(FindProcessByExecutable, FirstMatchIgnoringCase) {
    const std::vector<ProcessRecord> list = {
        {5, "bash", 0, 1, 20, 1}, {7, "Player.EXE", 0, 1, 20, 1}, {9, "player.exe", 0, 1, 20, 1}};
    ASSERT_NE(findProcessByExecutable(list, "PLAYER.exe"), nullptr);
    EXPECT_EQ(findProcessByExecutable(list, "PLAYER.exe")->processId, 7u);
    EXPECT_EQ(findProcessByExecutable(list, "player"), nullptr);
    EXPECT_EQ(findProcessByExecutable(list, ""), nullptr);
    EXPECT_EQ(findProcessByExecutable({}, "bash"), nullptr);
}

}  // namespace
}  // namespace lanqi
