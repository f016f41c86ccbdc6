// One protection-shield scan over 500 processes with a 500-entry baseline (490 of the processes run a
// baseline program, 10 do not): the client's scan (a set of allowed names, the client's descendants spared,
// events processed on a 4 ms time slice) against the compare-each-and-yield loop it replaced, written out
// below as it was. Each runs with the event pump the window runs (QCoreApplication::processEvents, nothing
// queued) and with one that does nothing, so the cost of the comparisons shows apart from that of yielding.
// At the end the ratios of CPU time are printed.

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "actions/shield.h"
#include "platform/qt/qt_event_pump.h"
#include "support/fake_desktop_services.h"

namespace lanqi {
namespace {

constexpr int kProcesses = 500;
constexpr int kBaseline = 500;
constexpr int kIntruders = 10;

// Answers the same list every time; ending a process only counts it.
class BenchProcesses final : public test::FakeProcessControl {
  public:
    std::vector<ProcessRecord> listProcesses() override { return processes; }
    bool terminateProcess(std::uint32_t processId) override {
        ended.push_back(processId);
        return true;
    }
    std::vector<std::uint32_t> ended;
};

class BenchView final : public ShieldView {
  public:
    void setShieldStatusText(const Text&) override {}
    void setShieldMenuEntries(bool, bool) override {}
    void setShieldTimerPeriod(int ms) override { period = ms; }
    int period = 0;
};

// The client is process 2 with three helpers; nobody else's processes are in the list.
class BenchGuard final : public ProcessGuard {
  public:
    std::uint32_t ownProcessId() const override { return 2; }
    bool ownedByOtherUser(std::uint32_t) const override { return false; }
};

std::vector<ProcessRecord> baselineList() {
    std::vector<ProcessRecord> list;
    for (int i = 0; i < kBaseline; ++i)
        list.push_back({static_cast<std::uint32_t>(10 + i), "program" + std::to_string(i) + ".exe", 0, 1, 8, 1});
    list[0].exeFile = "init";
    list[1].exeFile = "lanqi-search";
    list[2].exeFile = "QtWebEngineProcess";  // the engine's first helper ran when the page began to load
    return list;
}

// The processes at scan time: baseline programs in shuffled order (some of them second copies), the client's
// helpers, and programs the baseline does not know.
std::vector<ProcessRecord> currentList() {
    std::mt19937 random(8);
    std::vector<ProcessRecord> list{{1, "init", 0, 0, 8, 1}, {2, "lanqi-search", 0, 1, 8, 20}};
    for (std::uint32_t helper = 3; helper <= 5; ++helper) list.push_back({helper, "QtWebEngineProcess", 0, 2, 8, 9});
    std::uniform_int_distribution<int> pick(3, kBaseline - 1);  // the "programN.exe" entries
    while (list.size() < static_cast<std::size_t>(kProcesses - kIntruders)) {
        const auto id = static_cast<std::uint32_t>(1000 + list.size());
        list.push_back({id, "program" + std::to_string(pick(random)) + ".exe", 0, 1, 8, 1});
    }
    for (int i = 0; i < kIntruders; ++i)
        list.push_back({static_cast<std::uint32_t>(5000 + i), "intruder" + std::to_string(i) + ".exe", 0, 1, 8, 1});
    std::shuffle(list.begin() + 5, list.end(), random);
    return list;
}

// The scan as first written: every running process against every baseline entry, in list order, processing
// events after each comparison and after each process.
void literalScan(ProcessControl& desktop, ShieldView& view, EventPump& events,
                 const std::vector<ProcessRecord>& baseline, bool& stopRequested, bool shieldOn) {
    const std::vector<ProcessRecord> current = desktop.listProcesses();
    view.setShieldTimerPeriod(0);
    for (const ProcessRecord& r : current) {
        for (std::size_t j = 1; j <= baseline.size(); ++j) {
            if (baseline[j - 1].exeFile == r.exeFile) break;
            if (j == baseline.size()) desktop.terminateProcess(r.processId);
            if (stopRequested) break;
            events.processPendingEvents();
        }
        if (stopRequested) break;
        events.processPendingEvents();
    }
    view.setShieldTimerPeriod(shieldOn ? kShieldPeriodMs : 0);
    stopRequested = false;
}

struct Setup {
    BenchProcesses desktop;
    BenchView view;
    BenchGuard guard;
    std::vector<ProcessRecord> baseline = baselineList();

    Setup() { desktop.processes = baseline; }
};

template <typename Pump>
void BM_ShieldScan(benchmark::State& state) {
    Setup setup;
    Pump events;
    ProtectionShield shield(setup.desktop, setup.view, events, setup.guard);
    shield.takeProcessBaseline();
    shield.switchShieldOn();
    setup.desktop.processes = currentList();
    for (auto _ : state) {
        setup.desktop.ended.clear();
        shield.shieldScan();
    }
    if (setup.desktop.ended.size() != kIntruders) state.SkipWithError("the scan ended the wrong processes");
    state.counters["ended"] = static_cast<double>(setup.desktop.ended.size());
}

template <typename Pump>
void BM_LiteralScan(benchmark::State& state) {
    Setup setup;
    Pump events;
    bool stopRequested = false;
    setup.desktop.processes = currentList();
    std::size_t ended = 0;
    for (auto _ : state) {
        setup.desktop.ended.clear();
        literalScan(setup.desktop, setup.view, events, setup.baseline, stopRequested, true);
        ended = setup.desktop.ended.size();
    }
    if (ended != kIntruders) state.SkipWithError("the loop ended the wrong processes");
    state.counters["ended"] = static_cast<double>(ended);
}

BENCHMARK(BM_ShieldScan<QtEventPump>)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiteralScan<QtEventPump>)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShieldScan<NullEventPump>)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiteralScan<NullEventPump>)->Unit(benchmark::kMicrosecond);

// The console report, and the CPU-time ratio of each pair at the end.
class RatioReporter final : public benchmark::ConsoleReporter {
  public:
    RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                cpuTime[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const {
        for (const char* pump : {"QtEventPump", "NullEventPump"}) {
            const auto scan = cpuTime.find(std::string("BM_ShieldScan<") + pump + ">");
            const auto literal = cpuTime.find(std::string("BM_LiteralScan<") + pump + ">");
            if (scan == cpuTime.end() || literal == cpuTime.end() || scan->second <= 0) continue;
            std::printf("%-13s one scan %.1f us CPU, the literal loop %.1f us: %.0fx\n", pump, scan->second,
                        literal->second, literal->second / scan->second);
        }
    }

  private:
    std::map<std::string, double> cpuTime;
};

}  // namespace
}  // namespace lanqi

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    lanqi::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
