// Scraping hostile pages: for each site, pages of 1 MiB and 8 MiB built to hurt a scraper, with the CPU
// time of one scrape and the memory it allocates at its peak beyond the page itself. Linear scraping
// makes the 8 MiB time about 8 times the 1 MiB time; the summary after the run prints that ratio. Each
// scrape starts with the caches emptied of the page.
//
//   anchors   the page marker, then nothing but item anchors
//   backward  Site1's backward searches: every item's "更新时间" field ends at one "</span>" at the very end
//   nesting   every anchor buried in deep, never closed tags ("<li>" and the sites' title tags)
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>

#include "scrape/scrape.h"

namespace {

// Every allocation of the process, counted, so a scrape's peak can be read.
std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

void noteAllocated(void* p) {
    if (p == nullptr) return;
    const long long now = g_live += static_cast<long long>(malloc_usable_size(p));
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    noteAllocated(p);
    return p;
}
// The replaced operator new above allocates with malloc, so free is the matching release.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (p != nullptr) g_live -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using lanqi::Bytes;

constexpr const char* kPageMarker[] = {"手撕包菜", "爱磁力",          "种子搜索站", "BT种子磁力链接搜索引擎",
                                       "磁力链",   "磁力链接搜索引擎"};
constexpr const char* kAnchor[] = {"ctime", "/info/", "Hash：", "/hash/", "/hash/", "/t/"};

Bytes repeatTo(const std::string& head, const std::string& unit, std::size_t size, const std::string& tail = "") {
    Bytes page = head;
    page.reserve(size + tail.size());
    while (page.size() + unit.size() <= size) page += unit;
    return page + tail;
}

Bytes hostilePage(int site, const std::string& shape, std::size_t size) {
    const std::string marker = kPageMarker[site - 1];
    const std::string anchor = kAnchor[site - 1];
    if (shape == "anchors") return repeatTo(marker, anchor + " ", size);
    if (shape == "backward") return repeatTo(marker, "<a title=\"x\" class= ctime ", size, "</span>");
    return repeatTo(marker, "<li><b><em><span class=\"mhl\">" + anchor + "x>", size);  // nesting
}

enum Shape { kAnchors, kBackward, kNesting };
const char* const kShapeNames[] = {"anchors", "backward", "nesting"};

std::map<std::string, double> g_seconds;  // "site/shape/MiB" -> CPU seconds per scrape

void BM_HostilePage(benchmark::State& state) {
    const int site = static_cast<int>(state.range(0));
    const std::string shape = kShapeNames[state.range(1)];
    const std::size_t mib = static_cast<std::size_t>(state.range(2));
    const Bytes page = hostilePage(site, shape, mib << 20);
    std::array<std::string_view, 6> pages{};
    pages[static_cast<size_t>(site - 1)] = page;

    // Every scrape starts with the page out of the caches, as a page fresh from the network would be
    // mostly: otherwise a 1 MiB page is read from the cache and an 8 MiB one from memory.
    static std::string evict(64u << 20, 'e');
    long long peakAbove = 0;
    std::size_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::size_t i = 0; i < evict.size(); i += 64) evict[i] = static_cast<char>(evict[i] + 1);
        benchmark::ClobberMemory();
        state.ResumeTiming();
        const long long before = g_live.load();
        g_peak = before;
        lanqi::SitePageScrape scrape = lanqi::scrapeSitePage(site, pages);
        peakAbove = std::max(peakAbove, g_peak.load() - before);
        items = scrape.items.size() + static_cast<std::size_t>(scrape.skippedItems);
        benchmark::DoNotOptimize(scrape);
    }
    state.counters["passes"] = static_cast<double>(items);
    state.counters["peakMiB"] = static_cast<double>(peakAbove) / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void hostileArguments(benchmark::internal::Benchmark* b) {
    for (int site = 1; site <= 6; ++site)
        for (int shape : {kAnchors, kBackward, kNesting})
            if (shape != kBackward || site == 1)
                for (int mib : {1, 8}) b->Args({site, shape, mib});
}

BENCHMARK(BM_HostilePage)->Apply(hostileArguments)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Prints, after the run, the 8 MiB time over the 1 MiB time per site and shape.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const std::string name = run.benchmark_name();  // BM_HostilePage/site/shape/mib/...
            g_seconds[name.substr(name.find('/') + 1)] = run.GetAdjustedCPUTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nsite  shape      8 MiB / 1 MiB (CPU time)\n");
        for (const auto& [key, seconds] : g_seconds) {
            int site = 0, shape = 0, mib = 0;
            if (std::sscanf(key.c_str(), "%d/%d/%d", &site, &shape, &mib) != 3 || mib != 8) continue;
            const auto small = g_seconds.find(std::to_string(site) + "/" + std::to_string(shape) + "/1" +
                                              key.substr(key.find("/8") + 2));
            if (small == g_seconds.end() || small->second <= 0) continue;
            std::printf("%4d  %-9s  %6.1f\n", site, kShapeNames[shape], seconds / small->second);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
