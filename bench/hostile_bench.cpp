// Scraping hostile pages: for each site, pages of 1 MiB and 8 MiB built to hurt a scraper, with the CPU
// time of one scrape and the memory it allocates at its peak beyond the page itself. Linear scraping
// makes the 8 MiB time about 8 times the 1 MiB time; the summary after the run prints that ratio. Each
// scrape starts with the caches emptied of the page.
//
//   anchors   the page marker, then nothing but item anchors
//   backward  Site1's backward searches: every item's "更新时间" field ends at one "</span>" at the very end
//   nesting   every anchor buried in deep, never closed tags ("<li>" and the sites' title tags)
//
// Pages that would make one item hold much, each beside an ordinary Site6 page of the same size (its rows
// in the layout of the sample sites); the summary prints the CPU time and the peak of each over the
// ordinary page's:
//   long-field  Site6 items whose titles run 32,000 bytes to the one ">" at the very end of the page
//   field-bomb  a definition of 56 lines of 1 MiB each, all read from the anchor, over 1,000 anchors
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>
#include <new>
#include <string>

#include "scrape/scrape.h"
#include "scrape/site_definition.h"

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

// Runs `scrape` once per iteration and returns the most bytes it held live above what was live before it.
// Every scrape starts with the page out of the caches, as a page fresh from the network would be mostly:
// otherwise a 1 MiB page is read from the cache and an 8 MiB one from memory.
template <typename Scrape>
long long measureScrapes(benchmark::State& state, Scrape scrape) {
    static std::string evict(64u << 20, 'e');
    long long peakAbove = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::size_t i = 0; i < evict.size(); i += 64) evict[i] = static_cast<char>(evict[i] + 1);
        benchmark::ClobberMemory();
        state.ResumeTiming();
        const long long before = g_live.load();
        g_peak = before;
        lanqi::SitePageScrape result = scrape();
        peakAbove = std::max(peakAbove, g_peak.load() - before);
        benchmark::DoNotOptimize(result);
    }
    return peakAbove;
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

    std::size_t items = 0;
    const long long peakAbove = measureScrapes(state, [&] {
        lanqi::SitePageScrape scrape = lanqi::scrapeSitePage(site, pages);
        items = scrape.items.size() + static_cast<std::size_t>(scrape.skippedItems);
        return scrape;
    });
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

enum Load { kOrdinary, kLongField, kFieldBomb };
const char* const kLoadNames[] = {"ordinary", "long-field", "field-bomb"};

constexpr const char* kHash = "0123456789abcdef0123456789abcdef01234567";

Bytes loadPage(Load load, std::size_t size) {
    const std::string head = "<html><head><title>磁力链接搜索引擎</title></head><body>";
    switch (load) {
        case kOrdinary:
            return repeatTo(head,
                            std::string("<div><a href=\"/t/") + kHash + "\" rel=\"magnet:?xt=urn:btih:" + kHash +
                                "&dn=Big.Hero.6.mkv\">x</a> 收录时间：<b>2020-02-03</b>< 大小：<b>1.2 GB</b>< "
                                "文件数：<b>3</b><</div>",
                            size, "</body></html>");
        case kLongField:
            return repeatTo(head, std::string("<a href=\"/t/") + kHash + "\" &dn=" + std::string(32000, 'x') + " ",
                            size, ">");
        case kFieldBomb:
            return repeatTo("BOMB", "/a/" + std::string(size / 1000 - 3, 'y'), size);
    }
    return {};
}

lanqi::SiteDefinitionPtr fieldBomb() {
    std::string text =
        "[page]\nmarker = \"BOMB\"\nitem_anchor = \"/a/\"\n"
        "[[steps]]\nuse = \"hash\"\nitem_test = true\nstart = { after = \"/a/\" }\nend = { bytes = 40 }\n"
        "[[steps]]\nuse = \"title\"\nstart = { after = \"/a/\" }\nend = { bytes = 1048576 }\nkeep_cursor = true\n"
        "[[steps]]\nuse = \"list_item\"\n[[steps]]\nuse = \"detail_start\"\n[[steps]]\nuse = \"magnet\"\n";
    for (int line = 0; line < 56; ++line)
        text +=
            "[[steps]]\nuse = \"line\"\nlabel = \"L\"\nstart = { after = \"/a/\" }\nend = { bytes = 1048576 }\n"
            "keep_cursor = true\n";
    std::vector<lanqi::SettingsProblem> problems;
    return lanqi::parseSiteDefinition(text, "bomb", "bomb.toml", problems);
}

std::map<std::pair<int, int>, double> g_loadSeconds;  // (load, MiB) -> CPU milliseconds per scrape
std::map<std::pair<int, int>, double> g_loadPeak;     // (load, MiB) -> peak MiB beyond the page

void BM_ItemLoad(benchmark::State& state) {
    const Load load = static_cast<Load>(state.range(0));
    const std::size_t mib = static_cast<std::size_t>(state.range(1));
    const Bytes page = loadPage(load, mib << 20);
    lanqi::SiteSlots slots = lanqi::builtInSiteSlots();
    if (load == kFieldBomb) slots[5] = fieldBomb();
    std::array<std::string_view, 6> pages{};
    pages[5] = page;

    std::size_t rows = 0;
    const long long peakAbove = measureScrapes(state, [&] {
        lanqi::SitePageScrape scrape = lanqi::scrapeSitePage(slots, 6, pages);
        rows = scrape.items.size();
        return scrape;
    });
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["peakMiB"] = static_cast<double>(peakAbove) / (1 << 20);
    g_loadPeak[{load, static_cast<int>(mib)}] = static_cast<double>(peakAbove) / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

BENCHMARK(BM_ItemLoad)
    ->ArgsProduct({{kOrdinary, kLongField, kFieldBomb}, {1, 8, 32}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

// Prints, after the run, the 8 MiB time over the 1 MiB time per site and shape, and each item load's time
// and peak over those of the ordinary page of its size.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const std::string name = run.benchmark_name();  // BM_HostilePage/site/shape/mib/...
            const std::string args = name.substr(name.find('/') + 1);
            if (name.rfind("BM_ItemLoad/", 0) == 0) {
                int load = 0, mib = 0;
                if (std::sscanf(args.c_str(), "%d/%d", &load, &mib) == 2)
                    g_loadSeconds[{load, mib}] = run.GetAdjustedCPUTime();
                continue;
            }
            g_seconds[args] = run.GetAdjustedCPUTime();
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
        std::printf("\nload        MiB  CPU ms  peak MiB  CPU time / ordinary  peak / ordinary\n");
        for (const auto& [key, milliseconds] : g_loadSeconds) {
            const auto [load, mib] = key;
            const auto time = g_loadSeconds.find({kOrdinary, mib});
            const auto peak = g_loadPeak.find({kOrdinary, mib});
            if (time == g_loadSeconds.end() || peak == g_loadPeak.end() || time->second <= 0 || peak->second <= 0)
                continue;
            std::printf("%-10s  %3d  %6.1f  %8.1f  %19.1f  %15.1f\n", kLoadNames[load], mib, milliseconds,
                        g_loadPeak[key], milliseconds / time->second, g_loadPeak[key] / peak->second);
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
