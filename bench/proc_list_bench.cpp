// listProcesses over /proc: how many processes per millisecond it reads on this machine. The benchmark starts
// sleeping children of its own first so that the list is not trivially short, and ends them by their ids.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "platform/processes.h"

namespace {

// Children that wait until they are ended; they also end when the benchmark dies (parent-death signal).
class Sleepers {
  public:
    ~Sleepers() { resize(0); }

    void resize(std::size_t count) {
        while (m_children.size() > count) {
            const pid_t child = m_children.back();
            m_children.pop_back();
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        while (m_children.size() < count) {
            const pid_t parent = ::getpid();
            const pid_t child = ::fork();
            if (child == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != parent) ::_exit(0);
                for (;;) ::pause();
            }
            if (child < 0) break;
            m_children.push_back(child);
        }
    }

  private:
    std::vector<pid_t> m_children;
};

Sleepers& sleepers() {
    static Sleepers instance;
    return instance;
}

void BM_ListProcesses(benchmark::State& state) {
    sleepers().resize(static_cast<std::size_t>(state.range(0)));
    std::size_t processes = 0;
    for (auto _ : state) {
        const auto list = lanqi::readProcessList();
        processes += list.size();
        benchmark::DoNotOptimize(list.data());
    }
    // items_per_second / 1000 is processes per millisecond, on the wall clock the user interface waits on.
    state.SetItemsProcessed(static_cast<std::int64_t>(processes));
    state.counters["processes"] = static_cast<double>(processes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ListProcesses)->Arg(0)->Arg(200)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
