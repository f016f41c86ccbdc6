// Scraping 60-item pages of the six sample sites, against one std::string_view::find pass over the same
// bytes for a marker the page does not hold, measured in the same process. Each scrape benchmark reports
// find_ns (that pass) and x_find (scrape time / find time); rare_ns and x_rare are the same for a marker
// whose first byte never occurs, the fastest a find pass can be (one memchr over the bytes).
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "scrape/run_records.h"
#include "scrape/scrape.h"
#include "scrape/site_definition.h"

namespace {

// CPU time of this thread: the machine may be busy with other work while the benchmarks run.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<Clock, duration>;
    static time_point now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(duration(static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec));
    }
};

// A marker in the pages' own alphabet that none of them holds; searching for it reads every byte.
constexpr std::string_view kAbsentMarker = "<absent-marker>";
constexpr std::string_view kRareMarker =
    "\x01"
    "absent";

constexpr int kItems = 60;

std::string generatedPage(int site) {
    const std::string command = "python3 '" LANQI_SOURCE_DIR "/tools/sample-sites/sites.py' page --site " +
                                std::to_string(site) + " --keyword '超能陆战队' --page 1 --items " +
                                std::to_string(kItems);
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
    std::string page;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) page.append(buffer, n);
    if (pclose(pipe) != 0 || page.empty()) throw std::runtime_error("no page from " + command);
    return page;
}

const std::array<std::string, 6>& pages() {
    static const std::array<std::string, 6> all = [] {
        std::array<std::string, 6> p;
        for (int n = 1; n <= 6; ++n) {
            p[static_cast<size_t>(n - 1)] = generatedPage(n);
            if (p[static_cast<size_t>(n - 1)].find(kAbsentMarker) != std::string::npos ||
                p[static_cast<size_t>(n - 1)].find(kRareMarker.front()) != std::string::npos)
                throw std::runtime_error("an absent marker is present");
        }
        return p;
    }();
    return all;
}

const std::string& allPages() {
    static const std::string all = [] {
        std::string a;
        for (const std::string& p : pages()) a += p;
        return a;
    }();
    return all;
}

// Nanoseconds of one find pass over `bytes`, timed over at least 50 ms.
double findNanoseconds(std::string_view bytes, std::string_view marker) {
    size_t passes = 0;
    const auto start = Clock::now();
    Clock::duration spent{};
    do {
        for (int i = 0; i < 16; ++i) {
            size_t at = bytes.find(marker);
            benchmark::DoNotOptimize(at);
            benchmark::ClobberMemory();
        }
        passes += 16;
        spent = Clock::now() - start;
    } while (spent < std::chrono::milliseconds(50));
    return std::chrono::duration<double, std::nano>(spent).count() / static_cast<double>(passes);
}

// A search run's records and the items it keeps, as the search flow keeps them.
struct Run {
    lanqi::RunRecords records;
    std::vector<lanqi::ResultItem> items;

    Run() { records.sitePages.assign(pages().begin(), pages().end()); }
    void reset() {  // what the search run clears before its first fetch
        records.unreachableSites.clear();
        records.emptySites.clear();
        records.skippedSites.clear();
        items.clear();
    }
    void scrape(int site) {
        lanqi::SitePageScrape result = lanqi::scrapeSitePage(site, records.pages());
        records.currentSite = site;
        lanqi::recordSitePage(records, result);
        items.insert(items.end(), std::make_move_iterator(result.items.begin()),
                     std::make_move_iterator(result.items.end()));
    }
};

void report(benchmark::State& state, Clock::duration spent, std::string_view bytes, size_t rows) {
    const double perIteration =
        std::chrono::duration<double, std::nano>(spent).count() / static_cast<double>(state.iterations());
    const double findNs = findNanoseconds(bytes, kAbsentMarker);
    const double rareNs = findNanoseconds(bytes, kRareMarker);
    state.counters["find_ns"] = findNs;
    state.counters["x_find"] = perIteration / findNs;
    state.counters["rare_ns"] = rareNs;
    state.counters["x_rare"] = perIteration / rareNs;
    state.counters["rows"] = static_cast<double>(rows);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_FindAbsentMarker(benchmark::State& state) {
    const int site = static_cast<int>(state.range(0));
    const std::string_view bytes = site == 0 ? allPages() : pages()[static_cast<size_t>(site - 1)];
    for (auto _ : state) {
        size_t at = bytes.find(kAbsentMarker);
        benchmark::DoNotOptimize(at);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_FindAbsentMarker)->DenseRange(0, 6)->ArgName("site");

void BM_ScrapeSitePage(benchmark::State& state) {
    const int site = static_cast<int>(state.range(0));
    const std::string& page = pages()[static_cast<size_t>(site - 1)];
    Run run;
    const auto start = Clock::now();
    for (auto _ : state) {
        run.reset();
        run.scrape(site);
    }
    const auto spent = Clock::now() - start;
    if (run.items.size() != kItems) state.SkipWithError("not every item became a row");
    report(state, spent, page, run.items.size());
}
BENCHMARK(BM_ScrapeSitePage)->DenseRange(1, 6)->ArgName("site");

void BM_ScrapeWholeRun(benchmark::State& state) {
    Run run;
    const auto start = Clock::now();
    for (auto _ : state) {
        run.reset();
        for (int site = 1; site <= 6; ++site) run.scrape(site);
    }
    const auto spent = Clock::now() - start;
    if (run.items.size() != 6 * kItems) state.SkipWithError("not every item became a row");
    report(state, spent, allPages(), run.items.size());
}
BENCHMARK(BM_ScrapeWholeRun);

// Reading, checking and compiling the six built-in definitions, as each program does once at start, against
// one whole run's scrape measured here too (x_run).
void BM_ReadSiteDefinitions(benchmark::State& state) {
    Run run;
    const auto runStart = Clock::now();
    for (int i = 0; i < 20; ++i) {
        run.reset();
        for (int site = 1; site <= 6; ++site) run.scrape(site);
    }
    const double runNs = std::chrono::duration<double, std::nano>(Clock::now() - runStart).count() / 20;
    const auto start = Clock::now();
    for (auto _ : state) {
        for (int n = 1; n <= 6; ++n) {
            std::vector<lanqi::SettingsProblem> problems;
            auto definition = lanqi::parseSiteDefinition(lanqi::builtInSiteDefinitionText(n), "site", "site", problems);
            if (definition == nullptr) state.SkipWithError("a built-in definition did not read");
            benchmark::DoNotOptimize(definition);
        }
    }
    const double perIteration = std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
                                static_cast<double>(state.iterations());
    state.counters["run_ns"] = runNs;
    state.counters["x_run"] = perIteration / runNs;
}
BENCHMARK(BM_ReadSiteDefinitions);

}  // namespace
