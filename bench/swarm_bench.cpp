// The swarm check on the local swarm (tests/swarm/swarm_fixture): how long a first check of the seeded hash
// takes to its first peer figure and to the torrent's metadata (each repetition starts a new session, as the
// first check of a program run does), and the memory the checker's session adds while it checks four hashes
// and what is left of it once the idle session has ended. Runs only in a network namespace with loopback
// alone:
//   tests/swarm/in-loopback-netns build/default/bench/swarm_bench

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "support/local_swarm.h"
#include "swarm/torrent_swarm.h"

namespace lanqi {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

test::LocalSwarm g_swarm;

SwarmSettings localSettings() {
    SwarmSettings settings;
    settings.listen = "127.0.0.1";
    settings.trackers = {g_swarm.tracker};
    settings.dhtBootstrap = {g_swarm.dhtNode};
    settings.timeoutSeconds = 10;
    return settings;
}

double residentMiB() {
    std::ifstream in("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    in >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Seconds from the check to the first report that satisfies `reached`.
template <typename Reached>
double timeTo(Reached reached) {
    TaskQueue queue;
    bool done = false;
    Clock::time_point at;
    const Clock::time_point start = Clock::now();
    auto checker = makeTorrentSwarmChecker(localSettings(), queue, [&](const SwarmReport& report) {
        if (!done && reached(report)) {
            done = true;
            at = Clock::now();
        }
    });
    checker->check(g_swarm.hash);
    const auto deadline = start + 15s;
    queue.runUntil([&] { return done || Clock::now() > deadline; });
    return done ? std::chrono::duration<double>(at - start).count() : 15.0;
}

void BM_FirstPeerFigure(benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(timeTo([](const SwarmReport& report) { return report.peers > 0; }));
}
BENCHMARK(BM_FirstPeerFigure)->UseManualTime()->Iterations(1)->Repetitions(10)->Unit(benchmark::kMillisecond);

void BM_Metadata(benchmark::State& state) {
    for (auto _ : state)
        state.SetIterationTime(timeTo([](const SwarmReport& report) { return report.name.has_value(); }));
}
BENCHMARK(BM_Metadata)->UseManualTime()->Iterations(1)->Repetitions(10)->Unit(benchmark::kMillisecond);

// Resident memory before, at the most while four checks run, and after the idle session has ended.
void BM_ResidentMemory(benchmark::State& state) {
    for (auto _ : state) {
        malloc_trim(0);
        const double before = residentMiB();
        double peak = before;
        TaskQueue queue;
        std::atomic<bool> ended{false};
        TorrentSwarmOptions options;
        options.idleAfter = 500ms;
        options.onSession = [&](bool running) {
            if (!running) ended = true;
        };
        int finished = 0;
        SwarmSettings settings = localSettings();
        settings.timeoutSeconds = 3;
        auto checker = makeTorrentSwarmCheckerWith(
            settings, queue, [&](const SwarmReport& report) { finished += report.finished ? 1 : 0; }, options);
        checker->check(g_swarm.hash);
        checker->check("0123456789abcdef0123456789abcdef01234567");
        checker->check("1123456789abcdef0123456789abcdef01234567");
        checker->check("2123456789abcdef0123456789abcdef01234567");
        const auto deadline = Clock::now() + 20s;
        while (!ended && Clock::now() < deadline) {
            queue.runPending(50ms);
            if (finished < 4) peak = std::max(peak, residentMiB());
        }
        malloc_trim(0);
        const double after = residentMiB();
        state.counters["added_MiB"] = peak - before;
        state.counters["left_MiB"] = after - before;
        state.counters["session_ended"] = ended ? 1 : 0;
    }
}
BENCHMARK(BM_ResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lanqi

int main(int argc, char** argv) {
    if (!lanqi::test::onlyLoopback()) {
        std::fprintf(stderr, "swarm_bench: run it in a network namespace with loopback alone (in-loopback-netns)\n");
        return 77;
    }
    lanqi::g_swarm.start(LANQI_SWARM_FIXTURE, 1, 600);
    if (!lanqi::g_swarm.problem.empty()) {
        std::fprintf(stderr, "swarm_bench: %s\n", lanqi::g_swarm.problem.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
