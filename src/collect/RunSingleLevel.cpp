// The single-level run: every ContentRule match of a list page becomes one row.

#include "collect/RunSteps.h"
#include "http/HttpRequest.h"

namespace gleaner {

using namespace detail;

RunOutcome RunSingleLevel(const RunContext& context) {
    if (!context.results)
        return RunOutcome::Refused;
    ResultList& results = *context.results;
    RunEnv env(context);
    RegexObject contentMatcher;

    // Each key is its own read of the rules file, in this order.
    const std::int32_t startPage = env.LoadInt(&CollectionValues::StartPage, "起始页");
    const std::int32_t endPage = env.LoadInt(&CollectionValues::EndPage, "结束页");
    const Text urlSuffix = env.LoadText(&CollectionValues::UrlSuffix, "采集网址结尾");
    const Text urlPrefix = env.LoadText(&CollectionValues::UrlPrefix, "采集网址前面");
    const Text contentRule = env.LoadText(&CollectionValues::ContentRule, "内容页面规则");
    const Text folderName = env.LoadText(&CollectionValues::FolderName, "目录名");
    const std::int64_t waitMs = WaitMilliseconds(env.LoadInt(&CollectionValues::DelaySeconds, "延迟时间"));
    const BrowseMode mode = ModeOf(env.LoadInt(&CollectionValues::BrowseMode, "模拟人工"));
    const bool savePages = env.ReadInt("是否保存网页") == 1;

    if (!IsSafeFolderName(folderName))
        return env.Refuse();
    const RunFiles files(context.programDir, context.workingDir, folderName, env.clock);
    files.StartBackup();
    files.CreatePageFolder();

    env.Navigate(urlPrefix + NumberText(startPage) + urlSuffix);

    const std::int64_t count = PageStepCount(startPage, endPage);
    for (std::int64_t i = 1; i <= count; ++i) {
        if (env.settings.StopRequested()) {
            env.End("采集已停止"_t);
            return RunOutcome::Stopped;
        }
        const Text page = PageNumberText(startPage, i);
        Text listPageText;
        switch (mode) {
        case BrowseMode::ViaBrowser:
            listPageText = env.TakeViaBrowser(urlPrefix + page + urlSuffix, waitMs);
            break;
        case BrowseMode::ClickNext: {
            // The pane shows this step's page: the start page, then whatever the last click led to.
            const Text nextPageKey = env.ReadText("翻页关键字");
            listPageText = env.TakeShown(waitMs);
            env.automation.ClickLink(nextPageKey);
            break;
        }
        case BrowseMode::Direct:
            WaitPumping(waitMs);
            listPageText = HttpGetText(urlPrefix + page + urlSuffix);
            break;
        }
        if (savePages)
            files.SavePage(page, listPageText);

        const int matches = ApplyRule(contentMatcher, contentRule, listPageText);
        env.Status(PageCountStatus(page, matches));
        if (matches == 0)
            env.Status(ContentMismatchStatus(page));
        for (int n = 1; n <= matches; ++n)
            results.AppendResultRow(MatchGroups(contentMatcher, n));

        if (env.ReadInt("即时保存") == 1)
            files.ImmediateSave(results, SaveForm::SingleLevel);
    }

    files.EndBackup();
    env.End("采集保存完毕"_t);
    return RunOutcome::Completed;
}

} // namespace gleaner
