// A whole search run against six sample sites that each answer after 200 ms, with the fetches running
// concurrently (as the client does) against the same run done strictly one fetch after the other.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/events.h"
#include "search/search_flow.h"

namespace {

// Starts the sample-sites server for the whole benchmark program and stops it at exit.
class SampleSites {
  public:
    SampleSites() {
        m_state = std::filesystem::temp_directory_path() / ("lanqi-bench-" + std::to_string(::getpid()));
        const std::string start = "python3 " LANQI_SOURCE_DIR "/tools/sample-sites/sitectl start " + m_state.string() +
                                  " --lifetime 900 >/dev/null";
        if (std::system(start.c_str()) != 0) {
            std::fprintf(stderr, "search_run_bench: could not start the sample sites\n");
            std::exit(1);
        }
        std::ifstream(m_state / "port") >> m_port;
    }
    ~SampleSites() {
        const std::string stop = "python3 " LANQI_SOURCE_DIR "/tools/sample-sites/sitectl stop " + m_state.string();
        [[maybe_unused]] int rc = std::system(stop.c_str());
        std::filesystem::remove_all(m_state);
    }
    // The six built-in slots at the sample sites, each answering as /siteN followed by `mode`.
    lanqi::SearchSites sitesAt(const std::string& mode) const {
        lanqi::SearchSites slots = lanqi::builtInSearchSites();
        for (size_t k = 0; k < slots.size(); ++k)
            slots[k].base = "http://127.0.0.1:" + std::to_string(m_port) + "/site" + std::to_string(k + 1) + mode;
        return slots;
    }

  private:
    std::filesystem::path m_state;
    int m_port = 0;
};

SampleSites& sites() {
    static SampleSites s;
    return s;
}

// One iteration is one run: the command, then the pages posted back by the fetches until the run ends. A run
// that ends in a message has its message closed at once (and produced no rows).
void runSearch(benchmark::State& state, lanqi::FetchMode mode) {
    lanqi::HttpPageFetcher fetcher;
    lanqi::TaskQueue queue;
    lanqi::SearchFlow flow(fetcher, queue, sites().sitesAt("-slow200"));
    flow.setFetchMode(mode);
    for (auto _ : state) {
        flow.startSearch("abc");
        queue.runUntil([&] {
            if (flow.screen().message) flow.acknowledgeMessage();
            return !flow.running();
        });
        if (flow.screen().results.empty()) state.SkipWithError("the run produced no rows");
    }
    state.counters["rows"] = static_cast<double>(flow.screen().results.size());
}

void BM_SearchRunSequentialBaseline(benchmark::State& state) { runSearch(state, lanqi::FetchMode::Sequential); }
void BM_SearchRunConcurrent(benchmark::State& state) { runSearch(state, lanqi::FetchMode::Concurrent); }

BENCHMARK(BM_SearchRunSequentialBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SearchRunConcurrent)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
