// The results list's view of 10,000 rows: a filter, each sort key, one row per torrent, and all three at once,
// against one plain pass over the same rows (reading each row's title and size) as the baseline.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "scrape/result_entry.h"
#include "search/result_query.h"

namespace {

using namespace lanqi;

constexpr size_t kRows = 10000;

const SiteNames& names() {
    static const SiteNames n = {"site1", "site2", "site3", "site4", "site5", "site6", "site2"};
    return n;
}

// Rows as a long session of runs gives them: Chinese and Latin titles, every field present on most rows, and
// about one row in five a torrent another site also had.
const std::vector<ResultItem>& rows() {
    static const std::vector<ResultItem> r = [] {
        const std::vector<Text> words = {gbk(u8"超能陆战队"), gbk(u8"大白"), "Big Hero 6",  "1080P",
                                         gbk(u8"国语中字"),   "BluRay x264", gbk(u8"合集"), "Sample"};
        const std::vector<Text> extensions = {".mkv", ".mp4", ".rar", ".iso", ".txt", ""};
        std::mt19937_64 random(42);
        std::vector<ResultItem> out;
        out.reserve(kRows);
        for (size_t i = 0; i < kRows; ++i) {
            const auto n = random();
            ResultItem item;
            item.title = words[n % words.size()] + " " + words[n / 8 % words.size()] + " " +
                         std::to_string(n / 64 % 40) + extensions[n / 2560 % extensions.size()];
            item.fileKind = fileKindOf(item.title);
            item.site = 1 + static_cast<int>(n / 15360 % 7);
            if (n / 107520 % 10 != 0) item.sizeBytes = n / 1075200 % (8ull << 30);
            if (n % 3 != 0) item.fileCount = static_cast<long long>(n / 7 % 60);
            if (n % 11 != 0)
                item.date = ResultDate{2012 + static_cast<int>(n / 13 % 13), 1 + static_cast<int>(n / 17 % 12),
                                       1 + static_cast<int>(n / 19 % 28)};
            for (unsigned k = 0; k < n / 23 % 4; ++k) item.files.push_back(listedFileOf("file.mkv 1.2 GB"));
            const size_t torrent = n % 5 == 0 && i > 0 ? static_cast<size_t>(n / 29 % i) : i;
            char hash[41];
            std::mt19937_64 digits(torrent);
            std::snprintf(hash, sizeof hash, "%016llx%016llx%08llx", static_cast<unsigned long long>(digits()),
                          static_cast<unsigned long long>(digits()), static_cast<unsigned long long>(digits() >> 32));
            item.infoHash = hash;
            item.hashKey = infoHashKey(hash);
            out.push_back(std::move(item));
        }
        return out;
    }();
    return r;
}

ResultFilter filterOf(std::u8string_view utf8Expression) { return parseFilter(gbk(utf8Expression), names()).filter; }

void BM_PlainPassBaseline(benchmark::State& state) {
    const std::vector<ResultItem>& r = rows();
    for (auto _ : state) {
        size_t sum = 0;
        for (const ResultItem& item : r) sum += item.title.size() + (item.sizeBytes ? 1 : 0);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * r.size()));
}
BENCHMARK(BM_PlainPassBaseline);

void view(benchmark::State& state, const ResultFilter& filter, SortOrder order, bool unique) {
    const std::vector<ResultItem>& r = rows();
    size_t shown = 0;
    for (auto _ : state) {
        const ResultView v = viewRows(r, filter, order, unique, names());
        shown = v.shown();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["shown"] = static_cast<double>(shown);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * r.size()));
}

void BM_ViewUnchanged(benchmark::State& state) { view(state, {}, {}, false); }
BENCHMARK(BM_ViewUnchanged)->Unit(benchmark::kMicrosecond);

void BM_FilterWords(benchmark::State& state) { view(state, filterOf(u8"超能 -sample \"big hero\""), {}, false); }
BENCHMARK(BM_FilterWords)->Unit(benchmark::kMicrosecond);

void BM_FilterEveryKindOfTerm(benchmark::State& state) {
    view(state,
         filterOf(u8"1080p -mkv size>700M size<6G files>1 kind:video|archive site:site2|3 after:2015-06 before:2024"),
         {}, false);
}
BENCHMARK(BM_FilterEveryKindOfTerm)->Unit(benchmark::kMicrosecond);

void BM_SortBySize(benchmark::State& state) { view(state, {}, {SortKey::Size, true}, false); }
BENCHMARK(BM_SortBySize)->Unit(benchmark::kMicrosecond);

void BM_SortByDate(benchmark::State& state) { view(state, {}, {SortKey::Date, true}, false); }
BENCHMARK(BM_SortByDate)->Unit(benchmark::kMicrosecond);

void BM_SortByTitle(benchmark::State& state) { view(state, {}, {SortKey::Title, false}, false); }
BENCHMARK(BM_SortByTitle)->Unit(benchmark::kMicrosecond);

void BM_SortByFiles(benchmark::State& state) { view(state, {}, {SortKey::Files, true}, false); }
BENCHMARK(BM_SortByFiles)->Unit(benchmark::kMicrosecond);

void BM_OneRowPerTorrent(benchmark::State& state) { view(state, {}, {}, true); }
BENCHMARK(BM_OneRowPerTorrent)->Unit(benchmark::kMicrosecond);

void BM_GroupFilterAndSort(benchmark::State& state) {
    view(state, filterOf(u8"-sample size>100M kind:video|archive"), {SortKey::Title, false}, true);
}
BENCHMARK(BM_GroupFilterAndSort)->Unit(benchmark::kMicrosecond);

}  // namespace
