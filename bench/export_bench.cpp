// The spreadsheet export at its size limit: 65,535 rows of 15 distinct 20-character Chinese texts
// (every cell a new shared string, the worst case for the string table).
// Reports seconds per export and the process's peak resident memory (getrusage ru_maxrss), beside
// the memory the filled list takes alone.

#include "output/SpreadsheetExport.h"

#include "support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

using namespace gleaner;

namespace {

double CurrentRssMiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double PeakRssMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

const ResultList& FullList(double& listRssMiB) {
    static ResultList list;
    static double rss = 0;
    if (list.RowCount() == 0) {
        const double before = CurrentRssMiB();
        std::mt19937 random(2024);
        std::uniform_int_distribution<int> character(0x4E00, 0x9FA5); // common CJK ideographs
        for (int r = 0; r < kWorkbookMaxListRows; ++r) {
            const int row = list.AppendResultRow();
            std::vector<Text> cells;
            for (int c = 0; c < 15; ++c) {
                std::u16string text;
                for (int k = 0; k < 20; ++k)
                    text.push_back(static_cast<char16_t>(character(random)));
                cells.push_back(FromUtf16(text));
            }
            list.SetCells(row, cells);
        }
        rss = CurrentRssMiB() - before;
    }
    listRssMiB = rss;
    return list;
}

void BM_ExportFullSheet(benchmark::State& state) {
    double listRss = 0;
    const ResultList& list = FullList(listRss);
    gleaner::test::TempDir dir;
    const std::string file = dir.File("bench.xls");
    bool ok = true;
    for (auto _ : state) {
        const ExportResult result = ExportListToWorkbook(list, MainWindowExportColumns(), file);
        ok = ok && result.ok && result.writtenRows == kWorkbookMaxListRows;
        benchmark::DoNotOptimize(result.writtenRows);
    }
    if (!ok)
        state.SkipWithError("export failed");
    state.counters["rows"] = kWorkbookMaxListRows;
    state.counters["list_MiB"] = listRss;
    state.counters["peak_rss_MiB"] = PeakRssMiB();
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
}

} // namespace

BENCHMARK(BM_ExportFullSheet)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
