// Cutting the item links out of a list page: FindAll plus every group of every match, the way a
// collection run reads a page. The page is about 1 MiB of GBK with 6,000 links, built the same way
// on every run and written to a file (--page=PATH) so other engines can be timed on the same bytes.

#include "page/RegexObject.h"
#include "text/Text.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using gleaner::Text;
using gleaner::operator""_t;

constexpr int kLinks = 6000;
const char* const kPattern = "<a href=\"([^\"]+)\"[^>]*>(.*?)</a>";

// A small linear congruential generator: the same page on every machine and run.
struct Lcg {
    std::uint32_t state = 20240601u;
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

Text BuildListPage() {
    // Common characters of news titles, one GBK character (2 bytes) each.
    const Text pool = "新闻中心本地要闻经济社会文化教育科技体育健康旅游城市发展建设项目工作会议召开全面推进"
                      "重点改革服务企业市场消费增长政策发布通知关于公告年度报告活动举行开幕成功顺利完成"_t;
    const std::size_t chars = pool.size() / 2;
    Lcg rng;
    Text page = "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>"_t + "新闻列表"_t +
                "</title></head>\n<body>\n<div class=\"list\">\n<ul>\n";
    for (int i = 0; i < kLinks; ++i) {
        const int id = 100000 + static_cast<int>(rng.Next() % 900000);
        const int month = 1 + static_cast<int>(rng.Next() % 12), day = 1 + static_cast<int>(rng.Next() % 28);
        char date[16];
        std::snprintf(date, sizeof(date), "2024-%02d-%02d", month, day);
        Text title;
        const int length = 12 + static_cast<int>(rng.Next() % 16);
        for (int k = 0; k < length; ++k)
            title.append(pool, (rng.Next() % chars) * 2, 2);
        page += "<li class=\"item\"><span class=\"date\">" + std::string(date) + "</span><a href=\"/news/2024/" +
                std::string(date + 5, 2) + std::string(date + 8, 2) + "/" + std::to_string(id) +
                ".html\" target=\"_blank\" class=\"title\">" + title + "</a><em>" + "来源：本站"_t + "</em></li>\n";
        if (i % 20 == 19) // paging blocks and ads between the items, as on real list pages
            page += "<div class=\"ad\"><A HREF=\"/ad/" + std::to_string(i) + "\" rel=\"nofollow\">" + "广告"_t +
                    "</A></div>\n";
    }
    page += "</ul>\n</div>\n</body></html>\n";
    return page;
}

const Text& Page() {
    static const Text page = BuildListPage();
    return page;
}

void BM_FindAllAndEveryGroup(benchmark::State& state) {
    const Text& page = Page();
    std::size_t groupBytes = 0;
    int count = 0;
    gleaner::RegexObject re; // one object for the whole run, as a collection run holds it
    for (auto _ : state) {
        re.FindAll(kPattern, page);
        count = re.MatchCount();
        for (int n = 1; n <= count; ++n) {
            groupBytes += re.GetSubMatch(n, 1).size();
            groupBytes += re.GetSubMatch(n, 2).size();
        }
        benchmark::DoNotOptimize(groupBytes);
    }
    if (count != kLinks + kLinks / 20)
        state.SkipWithError("unexpected number of matches");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
    state.counters["matches"] = count;
    state.counters["MiB/s"] = benchmark::Counter(static_cast<double>(page.size()) / (1024.0 * 1024.0),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FindAllAndEveryGroup)->Unit(benchmark::kMillisecond);

// The plain conversion to UTF-8, for comparison with the one FindAll makes below.
void BM_ToUtf8(benchmark::State& state) {
    const Text& page = Page();
    for (auto _ : state) {
        std::string utf8 = gleaner::ToUtf8(page);
        benchmark::DoNotOptimize(utf8.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
    state.counters["MiB/s"] = benchmark::Counter(static_cast<double>(page.size()) / (1024.0 * 1024.0),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ToUtf8)->Unit(benchmark::kMillisecond);

// The conversion as FindAll makes it: with the checkpoints that map offsets back, into buffers kept
// from the page before.
void BM_ToUtf8WithCheckpoints(benchmark::State& state) {
    const Text& page = Page();
    std::string utf8;
    std::vector<std::uint32_t> checkpoints, exact;
    for (auto _ : state) {
        gleaner::ToUtf8WithCheckpoints(page, utf8, checkpoints, exact);
        benchmark::DoNotOptimize(utf8.data());
        benchmark::DoNotOptimize(checkpoints.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
    state.counters["MiB/s"] = benchmark::Counter(static_cast<double>(page.size()) / (1024.0 * 1024.0),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ToUtf8WithCheckpoints)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // --page=PATH is ours; every other argument goes to Google Benchmark.
    std::string pagePath = (std::filesystem::temp_directory_path() / "gleaner-regex-bench.html").string();
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--page=", 7) == 0)
            pagePath = argv[i] + 7;
        else
            args.push_back(argv[i]);
    }
    {
        std::ofstream out(pagePath, std::ios::binary | std::ios::trunc);
        out.write(Page().data(), static_cast<std::streamsize>(Page().size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", pagePath.c_str());
            return 1;
        }
    }
    std::printf("page: %s, %zu bytes (%.2f MiB), pattern %s\n", pagePath.c_str(), Page().size(),
                Page().size() / (1024.0 * 1024.0), kPattern);
    int benchArgc = static_cast<int>(args.size());
    benchmark::Initialize(&benchArgc, args.data());
    if (benchmark::ReportUnrecognizedArguments(benchArgc, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
