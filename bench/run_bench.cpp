// Collection runs: a Direct single-level run over 1,000 loopback list pages of 20 matches each,
// with and without the per-page files, beside one curl process fetching the same pages; and the
// immediate save of 100,000 rows.

#include "collect/Runs.h"
#include "collect/SavedFiles.h"

#include "fixtures/TestSite.h"
#include "support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/resource.h>

using namespace gleaner;

namespace {

constexpr int kPages = 1000;
constexpr int kMatchesPerPage = 20;

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

class SilentView final : public RunView {
public:
    void SetStatus(const Text&) override {}
    void SetButtonCaption(const Text&) override {}
    void ShowPreview() override {}
    void SetPreviewPicture(const Bytes&) override {}
    void ShowMessage(const Text&) override {}
};

test::TestSite& Site() {
    static test::TestSite site;
    site.SetItemCount(kMatchesPerPage);
    return site;
}

void WriteRules(const std::string& dir, int saves) {
    const std::string utf8 = "[起始页]1[/起始页][结束页]" + std::to_string(kPages + 1) +
                             "[/结束页][采集网址前面]" + Site().Url("/list_") +
                             "[/采集网址前面][采集网址结尾].html[/采集网址结尾]"
                             "[内容页面规则]<a href=\"([^\"]+)\">([^<]+)</a>[/内容页面规则][目录名]bench[/目录名]"
                             "[延迟时间]0[/延迟时间][模拟人工]0[/模拟人工]"
                             "[是否保存网页]" + std::to_string(saves) + "[/是否保存网页][即时保存]" +
                             std::to_string(saves) + "[/即时保存]";
    test::WriteFileBytes(dir + "/采集配置.txt", FromUtf8(utf8));
}

// Arg 0: [即时保存] 0 and [是否保存网页] 0; arg 1: both 1.
void BM_DirectRun(benchmark::State& state) {
    test::TempDir dir;
    CreateProgramFolders(dir.Path());
    WriteRules(dir.Path(), static_cast<int>(state.range(0)));
    SilentView view;
    CollectionSettings settings;
    settings.SetStopFlag("开"_t);
    int rows = 0;
    for (auto _ : state) {
        ResultList results; // a fresh list each run, so every run saves the same amount
        RunContext context;
        context.programDir = dir.Path();
        context.workingDir = dir.Path();
        context.settings = &settings;
        context.results = &results;
        context.view = &view;
        if (RunSingleLevel(context) != RunOutcome::Completed) {
            state.SkipWithError("run did not complete");
            return;
        }
        rows = results.RowCount();
    }
    if (rows != kPages * kMatchesPerPage)
        state.SkipWithError("wrong row count");
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kPages, benchmark::Counter::kIsRate);
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_CurlSamePages(benchmark::State& state) {
    char path[] = "/tmp/gleaner-run-bench-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    close(fd);
    {
        std::ofstream config(path);
        for (int i = 1; i <= kPages; ++i)
            config << "url = \"" << Site().Url("/list_" + std::to_string(i) + ".html") << "\"\noutput = \"/dev/null\"\n";
    }
    const std::string command = std::string("curl -s -f --noproxy '*' -K ") + path;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    std::remove(path);
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kPages, benchmark::Counter::kIsRate);
}

// 100,000 rows of 15 short Chinese cells; arg 0: single-level form, arg 1: two-level form.
void BM_ImmediateSave100k(benchmark::State& state) {
    test::TempDir dir;
    CreateProgramFolders(dir.Path());
    const RunFiles files(dir.Path(), dir.Path(), "bench", CurrentClock());
    files.CreatePageFolder();
    ResultList results;
    for (int r = 0; r < 100000; ++r) {
        std::vector<Text> groups;
        for (int c = 1; c <= 15; ++c)
            groups.push_back("标题内容"_t + NumberText(r) + "_" + NumberText(c));
        results.AppendResultRow(groups);
    }
    const SaveForm form = state.range(0) == 0 ? SaveForm::SingleLevel : SaveForm::TwoLevel;
    for (auto _ : state) {
        if (!files.ImmediateSave(results, form)) {
            state.SkipWithError("save failed");
            return;
        }
    }
    state.counters["file_MiB"] = static_cast<double>(test::ReadFileBytes(files.ResultTextPath()).size()) / (1 << 20);
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

} // namespace

BENCHMARK(BM_DirectRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CurlSamePages)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImmediateSave100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

BENCHMARK_MAIN();
