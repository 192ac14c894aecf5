// The two-level run: ListRule group 1 on each list page names a content page; every ContentRule
// match of a content page becomes one row.

#include "collect/RunSteps.h"
#include "http/HttpRequest.h"

namespace gleaner {

using namespace detail;

namespace {

const Text& ThirtyTwoBlanks() {
    static const Text blanks(32, ' ');
    return blanks;
}

} // namespace

RunOutcome RunTwoLevel(const RunContext& context) {
    if (!context.results)
        return RunOutcome::Refused;
    ResultList& results = *context.results;
    RunEnv env(context);
    RegexObject listMatcher;
    RegexObject contentMatcher;

    const std::int32_t startPage = env.LoadInt(&CollectionValues::StartPage, "起始页");
    const std::int32_t endPage = env.LoadInt(&CollectionValues::EndPage, "结束页");
    const Text urlSuffix = env.LoadText(&CollectionValues::UrlSuffix, "采集网址结尾");
    const Text urlPrefix = env.LoadText(&CollectionValues::UrlPrefix, "采集网址前面");
    const Text siteRoot = env.ReadText("首页网址");
    const Text listRule = env.LoadText(&CollectionValues::ListRule, "二级页面规则");
    const Text contentRule = env.LoadText(&CollectionValues::ContentRule, "内容页面规则");
    const Text folderName = env.LoadText(&CollectionValues::FolderName, "目录名");
    const std::int64_t waitMs = WaitMilliseconds(env.LoadInt(&CollectionValues::DelaySeconds, "延迟时间"));
    const BrowseMode mode = ModeOf(env.LoadInt(&CollectionValues::BrowseMode, "模拟人工"));
    const bool readPictures = env.LoadInt(&CollectionValues::ReadPictures, "识别图片") == 1;
    const bool savePages = env.ReadInt("是否保存网页") == 1;

    if (!IsSafeFolderName(folderName))
        return env.Refuse();
    env.Navigate(urlPrefix + NumberText(startPage) + urlSuffix);
    const RunFiles files(context.programDir, context.workingDir, folderName, env.clock);
    files.StartBackup();
    files.CreatePageFolder();

    const std::int64_t count = PageStepCount(startPage, endPage);
    for (std::int64_t i = 1; i <= count; ++i) {
        if (env.settings.StopRequested()) {
            env.End("采集已停止"_t);
            return RunOutcome::Stopped;
        }
        const Text page = PageNumberText(startPage, i);
        const Text address = urlPrefix + page + urlSuffix;
        Text listPageText;
        if (mode == BrowseMode::ViaBrowser) {
            listPageText = env.TakeViaBrowser(address, waitMs);
        } else {
            WaitPumping(waitMs);
            listPageText = HttpGetText(address);
        }
        if (savePages)
            files.SavePage(NumberText(i + 1), listPageText);

        const int items = ApplyRule(listMatcher, listRule, listPageText);
        env.Status(PageCountStatus(page, items));
        if (items == 0)
            env.Status(ListMismatchStatus(page));

        for (int j = 1; j <= items; ++j) {
            const Text itemAddress = listMatcher.GetSubMatch(j, 1);
            Text contentPageText;
            switch (mode) {
            case BrowseMode::Direct:
                contentPageText = HttpGetText(itemAddress);
                break;
            case BrowseMode::ViaBrowser:
            // ClickNext leaves the list pages to plain downloads, so the pane shows no list whose
            // links could be clicked; the content page goes through the pane as in ViaBrowser,
            // which keeps the browser's cookies and referrers in play for a site that needs them.
            case BrowseMode::ClickNext:
                contentPageText = env.TakeViaBrowser(itemAddress, waitMs);
                break;
            }
            const Text jText = NumberText(j);
            if (savePages)
                files.SavePage(jText + jText, contentPageText);

            const int matches = ApplyRule(contentMatcher, contentRule, contentPageText);
            if (matches == 0)
                env.Status(ContentMismatchStatus(jText));
            for (int k = 1; k <= matches; ++k) {
                if (!readPictures) {
                    results.AppendResultRow(MatchGroups(contentMatcher, k));
                    continue;
                }
                const int row = results.AppendResultRow();
                const Text pictureAddress = siteRoot + contentMatcher.GetSubMatch(k, 1);
                Text read;
                if (context.pictures) {
                    read = context.pictures->ReadPictureText(pictureAddress);
                } else {
                    // No reader at all is a recognition library that could not be loaded.
                    if (context.view)
                        context.view->ShowMessage("识别库加载失败"_t);
                    read = ThirtyTwoBlanks();
                }
                results.SetCell(row, 1, read);
            }
        }

        if (env.ReadInt("即时保存") == 1)
            files.ImmediateSave(results, SaveForm::TwoLevel);
    }

    files.EndBackup();
    env.End("采集保存完毕"_t);
    return RunOutcome::Completed;
}

} // namespace gleaner
