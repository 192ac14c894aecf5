// HTTP client throughput: sequential HttpGetText of a 20 KiB loopback page, beside the curl
// command-line program fetching the same pages in one process. Both count pages per second.
//
//   bash bench/run-http.sh

#include "fixtures/TestSite.h"
#include "http/CurlHandle.h"
#include "http/HttpRequest.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kPages = 1000;
constexpr int kPageBytes = 20 * 1024;

gleaner::test::TestSite& Site() {
    static gleaner::test::TestSite site;
    return site;
}

std::string PageUrl(int i) {
    // Distinct addresses, one page size: the query makes each URL its own.
    return Site().Url("/bytes?n=" + std::to_string(kPageBytes) + "&i=" + std::to_string(i));
}

void BM_HttpGetText(benchmark::State& state) {
    gleaner::InitCurl();
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < kPages; ++i) {
            gleaner::Text page = gleaner::HttpGetText(PageUrl(i));
            if (page.size() != static_cast<std::size_t>(kPageBytes)) {
                state.SkipWithError("short page");
                return;
            }
            bytes += page.size();
        }
    }
    state.counters["pages/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kPages,
                                                   benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// The curl program with all URLs in one config file, so one process fetches them all.
void BM_CurlProgram(benchmark::State& state) {
    char path[] = "/tmp/gleaner-http-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    close(fd);
    {
        std::ofstream config(path);
        for (int i = 0; i < kPages; ++i)
            config << "url = \"" << PageUrl(i) << "\"\noutput = \"/dev/null\"\n";
    }
    const std::string command = std::string("curl -s -f --noproxy '*' -K ") + path;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    std::remove(path);
    state.counters["pages/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kPages,
                                                   benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_HttpGetText)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CurlProgram)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
