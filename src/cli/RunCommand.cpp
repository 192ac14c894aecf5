// `gleaner-cli run`: start-up for the program folder, then one run as a click on "开启采集" starts it.

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Json.h"

#include "collect/Runs.h"
#include "collect/SavedFiles.h"
#include "collect/VcodePictureReader.h"
#include "config/RulesFile.h"
#include "output/ArticlePublisher.h"
#include "output/SpreadsheetExport.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace gleaner::cli {

const char* const kRunHelp =
    "Usage: gleaner-cli run [--dir DIR] [--publish] [--export FILE.xls]\n"
    "\n"
    "Collects once with the rules of DIR/采集配置.txt (DIR: the program folder, default the current\n"
    "directory), as the button \"开启采集\" does: creates the folders 下载网页, 采集前保存备份 and\n"
    "采集完保存备份 in DIR, then runs the two-level run when [采集二级页面] is 1, else the single-level run.\n"
    "Saved pages, the result text file and the backups go below DIR.\n"
    "\n"
    "Each status text goes to stderr as one line when it is set. At the end every collected row goes to\n"
    "stdout as one JSON array of its 16 cells (\"ID\", \"1\" .. \"15\") per line.\n"
    "With --publish, a publishing pass follows, as the button \"点击发布\" starts it: the hidden browser\n"
    "logs in to the back end of DIR/发布配置.txt and every row is posted as an article; its status texts\n"
    "(\"发布成功N条\" / \"发布失败了！N条\") go to stderr as well.\n"
    "With --export, the rows are then written to FILE.xls (an Excel 97-2003 workbook, sheet Sheet1, the\n"
    "columns 15, 1, 2, ..., 14 under a header row), as \"导出execl\" does; an existing file is replaced.\n"
    "Ctrl-C asks the run to stop at its next list page (\"采集已停止\"); a second Ctrl-C ends at once.\n"
    "\n"
    "With [模拟人工] 1 or 2 the pages are taken through a hidden browser, as in the window's pane.\n"
    "\n"
    "Exit status: 0 the run completed (and every row was published and exported), 1 it stopped or was\n"
    "refused (or a row was not published, or the export failed), 2 bad usage.\n";

namespace {

// Status texts and messages as UTF-8 lines on stderr, whole lines even from several threads.
class StderrView final : public RunView {
public:
    void SetStatus(const Text& status) override { Line(status); }
    void SetButtonCaption(const Text&) override {}
    void ShowPreview() override {}
    void SetPreviewPicture(const Bytes&) override {}
    void ShowMessage(const Text& message) override { Line(message); }

private:
    void Line(const Text& text) {
        const std::string line = ToUtf8(text) + "\n";
        std::lock_guard<std::mutex> lock(mutex_);
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
    std::mutex mutex_;
};

// Passes the publisher's texts on and counts the rows it reports failed.
class PublishTally final : public RunView {
public:
    explicit PublishTally(RunView& out) : out_(out) {}
    void SetStatus(const Text& status) override {
        if (status.rfind("发布失败了！"_t, 0) == 0)
            ++failures_;
        out_.SetStatus(status);
    }
    void SetButtonCaption(const Text& caption) override { out_.SetButtonCaption(caption); }
    void ShowPreview() override {}
    void SetPreviewPicture(const Bytes&) override {}
    void ShowMessage(const Text& message) override { out_.ShowMessage(message); }
    int Failures() const { return failures_; }

private:
    RunView& out_;
    int failures_ = 0;
};

// Ctrl-C as a stop click. SIGINT is blocked in every thread and taken here, where locking the
// settings is allowed (a signal handler may not).
class StopOnInterrupt {
public:
    explicit StopOnInterrupt(CollectionSettings& settings) : settings_(settings) {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
        watcher_ = std::thread([this] { Watch(); });
    }
    // From now on there is no run to stop: the next Ctrl-C ends the program.
    void RunEnded() { runEnded_ = true; }
    ~StopOnInterrupt() {
        done_ = true;
        watcher_.join();
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }

private:
    void Watch() {
        int interrupts = 0;
        while (!done_) {
            const timespec slice{0, 100 * 1000 * 1000};
            const int signal = sigtimedwait(&set_, nullptr, &slice);
            if (signal < 0)
                continue; // time-out or EINTR
            if (signal == SIGTERM || runEnded_ || ++interrupts >= 2)
                ::_exit(128 + (signal == SIGTERM ? SIGTERM : SIGINT)); // every file is replaced atomically, so none is left cut
            settings_.SetStopFlag("关"_t);
        }
    }

    CollectionSettings& settings_;
    sigset_t set_{};
    sigset_t previous_{};
    std::atomic<bool> done_{false};
    std::atomic<bool> runEnded_{false};
    std::thread watcher_;
};

} // namespace

bool RunNeedsBrowser(const Args& args) {
    std::string dir = ".";
    bool publish = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--publish")
            publish = true;
        else if (args[i] == "--dir" && i + 1 < args.size())
            dir = args[i + 1];
        else if (args[i].rfind("--dir=", 0) == 0)
            dir = args[i].substr(6);
    }
    const std::int32_t mode = RulesFile(dir).ReadRuleInt("模拟人工"_t);
    return publish || mode == 1 || mode == 2;
}

int RunCommand(const Args& args, BrowserPane* pane) {
    std::string dir = ".";
    std::string exportFile;
    bool publish = false;
    for (std::size_t i = 0; i < args.size();) {
        if (IsHelp(args[i])) {
            std::fputs(kRunHelp, stdout);
            return kExitOk;
        }
        bool missing = false;
        if (auto value = OptionValue(args, i, "--dir", missing)) {
            if (missing || value->empty())
                return UsageError("--dir needs a folder", "run");
            dir = *value;
            continue;
        }
        if (args[i] == "--publish") {
            publish = true;
            ++i;
            continue;
        }
        if (auto value = OptionValue(args, i, "--export", missing)) {
            if (missing || value->empty())
                return UsageError("--export needs a file name", "run");
            exportFile = *value;
            continue;
        }
        return UsageError("unexpected argument '" + args[i] + "'", "run");
    }
    if (!IsFolder(dir))
        return UsageError("no such folder: " + dir, "run");

    // Start-up, then the click: StopFlag "开" and the kind of run from [采集二级页面].
    CreateProgramFolders(dir);
    CollectionSettings& settings = ProcessSettings();
    settings.SetStopFlag("开"_t);
    const RulesFile rules(dir);
    const std::int32_t twoLevel = rules.ReadRuleInt("采集二级页面"_t);
    const std::int32_t repeatHours = rules.ReadRuleInt("定时时间"_t);
    settings.Modify([&](CollectionValues& v) {
        v.TwoLevel = twoLevel;
        v.RepeatHours = repeatHours;
    });

    const std::int32_t mode = rules.ReadRuleInt("模拟人工"_t);
    if ((mode == 1 || mode == 2) && !pane) {
        Complain("[模拟人工] " + std::to_string(mode) +
                 " takes pages through the browser pane, which this gleaner-cli does not have; "
                 "set [模拟人工] to 0 for plain downloads");
        return kExitUsage;
    }

    StderrView view;
    ResultList results;
    std::vector<std::string> libraries = {dir + "/libvcode.so", "libvcode.so"};
    const std::string exeFolder = ExecutableFolder();
    if (!exeFolder.empty())
        libraries.insert(libraries.begin() + 1, exeFolder + "/libvcode.so");
    VcodePictureReader pictures(libraries, &view, dir);

    RunContext context;
    context.programDir = dir;
    context.workingDir = dir;
    context.settings = &settings;
    context.results = &results;
    context.view = &view;
    context.pane = pane;
    context.pictures = &pictures;

    StopOnInterrupt stop(settings);
    const RunOutcome outcome = twoLevel == 1 ? RunTwoLevel(context) : RunSingleLevel(context);
    stop.RunEnded();

    results.VisitRows([](const ResultList::RowView& cells) {
        const std::string line = JsonArray(cells) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    });
    std::fflush(stdout);

    bool published = true;
    if (publish) {
        PublishTally tally(view);
        PublishContext publishing;
        publishing.programDir = dir;
        publishing.results = &results;
        publishing.view = &tally;
        publishing.pane = pane;
        RunArticlePublisher(publishing);
        published = tally.Failures() == 0;
    }
    bool exported = true;
    if (!exportFile.empty()) {
        const ExportResult result = ExportListToWorkbook(results, MainWindowExportColumns(), exportFile);
        if (!result)
            view.ShowMessage(result.error);
        else if (const Text notice = ExportNotice(result); !notice.empty())
            view.ShowMessage(notice);
        exported = static_cast<bool>(result);
    }
    return outcome == RunOutcome::Completed && published && exported ? kExitOk : kExitFailed;
}

} // namespace gleaner::cli
