#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "platform/text.h"

namespace {

// A 100 KB result page: ASCII markup with Chinese titles, as the sites send it.
std::string samplePage() {
    const std::string row =
        "<div class=\"item\"><a href=\"/info/0123456789abcdef0123456789abcdef01234567\">"
        "超能陆战队 1080p.mkv</a>"
        "<span>大小：1.25 GB</span></div>\n";
    std::string page;
    while (page.size() < 100 * 1024) page += row;
    page.resize(100 * 1024 - 40);
    while ((static_cast<unsigned char>(page.back()) & 0xC0) == 0x80 || static_cast<unsigned char>(page.back()) >= 0xC0)
        page.pop_back();
    return page;
}

void BM_MemcpyBaseline(benchmark::State& state) {
    const std::string page = samplePage();
    std::string out(page.size(), '\0');
    for (auto _ : state) {
        std::memcpy(out.data(), page.data(), page.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_MemcpyBaseline);

void BM_ConvertPageUtf8ToGbk(benchmark::State& state) {
    const std::string page = samplePage();
    for (auto _ : state) benchmark::DoNotOptimize(lanqi::convertText(page, "UTF-8", "GBK"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ConvertPageUtf8ToGbk);

void BM_ConvertPageGbkToUtf8(benchmark::State& state) {
    const std::string page = lanqi::convertText(samplePage(), "UTF-8", "GBK");
    for (auto _ : state) benchmark::DoNotOptimize(lanqi::convertText(page, "GBK", "UTF-8"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ConvertPageGbkToUtf8);

// A field of a page: what the scrapers convert many times per page.
void BM_ConvertShortField(benchmark::State& state) {
    const std::string field = "超能陆战队 1080p.mkv";
    for (auto _ : state) benchmark::DoNotOptimize(lanqi::convertText(field, "UTF-8", "GBK"));
}
BENCHMARK(BM_ConvertShortField);

}  // namespace
