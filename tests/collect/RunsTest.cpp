// The collection runs end to end: a loopback site, a real program folder, a recording view, and a
// scripted browser pane for the browser modes.

#include "collect/Runs.h"
#include "collect/SavedFiles.h"

#include "fixtures/TestSite.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>

using namespace gleaner;
using gleaner::test::FileExists;
using gleaner::test::ReadFileBytes;
using gleaner::test::SiteRequest;
using gleaner::test::SiteResponse;
using gleaner::test::TempDir;
using gleaner::test::TestSite;
using gleaner::test::WriteFileBytes;

namespace {

class FixedClock final : public Clock {
public:
    LocalTime Now() const override { return {2014, 3, 1, 9, 5, 0}; }
};

// Statuses, captions and messages in UTF-8, in the order they came.
class RecordingView final : public RunView {
public:
    void SetStatus(const Text& s) override { Add(statuses_, s); }
    void SetButtonCaption(const Text& c) override {
        std::lock_guard<std::mutex> lock(mutex_);
        captions_.push_back(ToUtf8(c));
        cv_.notify_all(); // under the lock: the waiting test may end right after it wakes
    }
    void ShowPreview() override {}
    void SetPreviewPicture(const Bytes&) override {}
    void ShowMessage(const Text& m) override { Add(messages_, m); }

    std::vector<std::string> Statuses() const { return Copy(statuses_); }
    std::vector<std::string> Captions() const { return Copy(captions_); }
    std::vector<std::string> Messages() const { return Copy(messages_); }
    /// Waits (bounded) until `count` runs have set the caption back.
    bool WaitForCaptions(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(30), [&] { return captions_.size() >= count; });
    }

private:
    void Add(std::vector<std::string>& to, const Text& t) {
        std::lock_guard<std::mutex> lock(mutex_);
        to.push_back(ToUtf8(t));
    }
    std::vector<std::string> Copy(const std::vector<std::string>& v) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return v;
    }
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> statuses_, captions_, messages_;
};

class ScriptedPane;

// The shown page: its address, and the links the script gives it.
class ScriptedDocument final : public Document {
public:
    ScriptedDocument(ScriptedPane& pane, Text location) : pane_(pane), location_(std::move(location)) {}
    Text Location() override { return location_; }
    std::vector<ElementSnapshot> Elements(ElementTag tag) override;
    bool SetValue(ElementTag, int, const Text&) override { return false; }
    bool SetTarget(ElementTag, int, const Text&) override { return true; }
    bool Click(ElementTag tag, int index) override;

private:
    ScriptedPane& pane_;
    Text location_;
};

// A browser that loads every address at once and records what the run asked of it.
class ScriptedPane final : public BrowserPane {
public:
    /// The links of the page at an address (default: none).
    std::function<std::vector<ElementSnapshot>(const Text& location)> links;

    void Navigate(const Text& address) override {
        std::lock_guard<std::mutex> lock(mutex_);
        navigations_.push_back(address);
        shown_ = address;
    }
    std::shared_ptr<Document> ShownDocument() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (shown_.empty())
            return nullptr;
        return std::make_shared<ScriptedDocument>(*this, shown_);
    }
    bool WaitForLoad(int) override { return true; }
    Text DocumentCharset() override { return "GBK"; }

    void Clicked(const Text& href) {
        std::lock_guard<std::mutex> lock(mutex_);
        clicks_.push_back(href);
        shown_ = href;
    }
    std::vector<Text> Navigations() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return navigations_;
    }
    std::vector<Text> Clicks() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return clicks_;
    }

private:
    mutable std::mutex mutex_;
    Text shown_;
    std::vector<Text> navigations_, clicks_;
};

std::vector<ElementSnapshot> ScriptedDocument::Elements(ElementTag tag) {
    if (tag != ElementTag::Link || !pane_.links)
        return {};
    return pane_.links(location_);
}

bool ScriptedDocument::Click(ElementTag tag, int index) {
    const std::vector<ElementSnapshot> all = Elements(tag);
    for (const ElementSnapshot& e : all)
        if (e.index == index) {
            pane_.Clicked(e.href);
            return true;
        }
    return false;
}

class RecordingReader final : public PictureReader {
public:
    Text ReadPictureText(const Text& address) override {
        std::lock_guard<std::mutex> lock(mutex_);
        addresses.push_back(address);
        return "12345";
    }
    std::mutex mutex_;
    std::vector<Text> addresses;
};

const char* const kLinkRule = R"re(<a href="([^"]+)">([^<]+)</a>)re";
// Two matches on every built-in content page: the title, then the body.
const char* const kTitleAndBodyRule = R"re(class="(?:title|body)">([^<]+)<)re";

class RunsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateProgramFolders(dir.Path()));
        settings.SetStopFlag("开"_t);
        rules = {
            {"起始页", "1"},
            {"结束页", "3"},
            {"采集网址前面", site.Url("/list_")},
            {"采集网址结尾", ".html"},
            {"内容页面规则", kLinkRule},
            {"目录名", "news"},
            {"延迟时间", "0"},
            {"模拟人工", "0"},
            {"是否保存网页", "1"},
            {"即时保存", "1"},
        };
        // List pages whose items are whole addresses, as two-level rules need.
        site.Handle("/abs/list_*", [this](const SiteRequest& r) {
            const std::string n = r.path.substr(std::string("/abs/list_").size());
            std::string body = "<ul>\n";
            for (int j = 1; j <= 3; ++j)
                body += "<li><a href=\"" + site.Url("/content/" + n.substr(0, n.find('.')) + "_" + std::to_string(j) +
                                                    ".html") +
                        "\">item</a></li>\n";
            return SiteResponse{200, {}, body + "</ul>\n"};
        });
    }

    void WriteRules() const {
        std::string utf8;
        for (const auto& [key, value] : rules)
            utf8 += "[" + key + "]" + value + "[/" + key + "]\r\n";
        WriteFileBytes(dir.File("采集配置.txt"), FromUtf8(utf8));
    }
    void UseTwoLevelRules() {
        rules["采集网址前面"] = site.Url("/abs/list_");
        rules["二级页面规则"] = R"re(<a href="([^"]+)">)re";
        rules["内容页面规则"] = kTitleAndBodyRule;
    }
    RunContext Context() {
        RunContext c;
        c.programDir = dir.Path();
        c.workingDir = dir.Path();
        c.settings = &settings;
        c.results = &results;
        c.view = &view;
        c.pane = &pane;
        c.automation = &automation;
        c.pictures = &pictures;
        c.clock = &clock;
        return c;
    }
    RunOutcome Single() {
        WriteRules();
        return RunSingleLevel(Context());
    }
    RunOutcome Two() {
        WriteRules();
        return RunTwoLevel(Context());
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (const SiteRequest& r : site.Requests())
            paths.push_back(r.path);
        return paths;
    }
    std::string PageFile(const std::string& name) const { return dir.File("下载网页/news/" + name); }
    std::string Row(int row) const {
        std::string cells;
        for (int c = 0; c < ResultList::ColumnCount; ++c)
            cells += (c ? "|" : "") + ToUtf8(results.Cell(row, c));
        return cells;
    }

    TempDir dir;
    TestSite site;
    std::map<std::string, std::string> rules;
    CollectionSettings settings;
    ResultList results;
    RecordingView view;
    ScriptedPane pane;
    PageAutomation automation;
    RecordingReader pictures;
    FixedClock clock;
};

using Strings = std::vector<std::string>;

TEST_F(RunsTest, SingleLevelDirectCollectsEveryMatchOfPagesStartToBeforeEnd) {
    EXPECT_EQ(Single(), RunOutcome::Completed);

    EXPECT_EQ(Paths(), (Strings{"/list_1.html", "/list_2.html"}));
    EXPECT_EQ(view.Statuses(), (Strings{"当前页1采集内容数量3", "当前页2采集内容数量3", "采集保存完毕"}));
    EXPECT_EQ(view.Captions(), (Strings{"开启采集"}));
    EXPECT_EQ(pane.Navigations(), (std::vector<Text>{site.Url("/list_1.html")})) << "only the start page";

    ASSERT_EQ(results.RowCount(), 6);
    EXPECT_EQ(Row(0), "1|/content/1_1.html|标题1_1|||||||||||||");
    EXPECT_EQ(Row(5), "6|/content/2_3.html|标题2_3|||||||||||||");

    EXPECT_EQ(ReadFileBytes(PageFile("1.html")), TestSite::ListPageHtml(1, 3, false));
    EXPECT_EQ(ReadFileBytes(PageFile("2.html")), TestSite::ListPageHtml(2, 3, false));
    EXPECT_FALSE(FileExists(PageFile("3.html")));

    const std::string text = ReadFileBytes(PageFile("news.txt"));
    EXPECT_EQ(text.substr(0, text.find("\r\n")),
              "/content/1_1.html|,|/content/1_2.html|,|/content/1_3.html|,|"
              "/content/2_1.html|,|/content/2_2.html|,|/content/2_3.html|,|");
    const std::string emptyColumn = "|,||,||,||,||,||,|\r\n"; // six rows, column 9 empty
    EXPECT_EQ(text.substr(text.size() - 2 - 7 * emptyColumn.size()), [&] {
        std::string tail;
        for (int k = 3; k <= 9; ++k)
            tail += emptyColumn;
        return tail + "\r\n";
    }()) << "lines 3 to 9, then the blank line";

    EXPECT_TRUE(std::filesystem::is_empty(dir.File("采集前保存备份"))) << "no result file before the first run";
    EXPECT_EQ(ReadFileBytes(dir.File("采集完保存备份/2014年3月1日9时5分.txt")), text);

    const CollectionValues loaded = settings.Get();
    EXPECT_EQ(loaded.StartPage, 1);
    EXPECT_EQ(loaded.EndPage, 3);
    EXPECT_EQ(loaded.UrlPrefix, site.Url("/list_"));
    EXPECT_EQ(loaded.FolderName, "news");
    EXPECT_EQ(loaded.StopFlag, "开"_t);
}

TEST_F(RunsTest, ASecondRunBacksUpTheFirstAndNumbersOn) {
    ASSERT_EQ(Single(), RunOutcome::Completed);
    const std::string first = ReadFileBytes(PageFile("news.txt"));
    rules["起始页"] = "7";
    rules["结束页"] = "8";
    ASSERT_EQ(Single(), RunOutcome::Completed);

    EXPECT_EQ(ReadFileBytes(dir.File("采集前保存备份/2014年3月1日9时5分.txt")), first);
    ASSERT_EQ(results.RowCount(), 9);
    EXPECT_EQ(Row(6), "7|/content/7_1.html|标题7_1|||||||||||||");
    EXPECT_TRUE(FileExists(PageFile("7.html"))) << "a page is saved under its page number";
    // Every row of the list, earlier runs' too.
    const std::string text = ReadFileBytes(PageFile("news.txt"));
    EXPECT_EQ(text.substr(0, text.find("\r\n")).size(), 9 * (std::string("/content/1_1.html").size() + 3));
}

TEST_F(RunsTest, SwitchedOffFilesAreNotWritten) {
    rules["是否保存网页"] = "0";
    rules["即时保存"] = "0";
    ASSERT_EQ(Single(), RunOutcome::Completed);
    EXPECT_EQ(results.RowCount(), 6);
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("下载网页/news")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("采集完保存备份")));
}

TEST_F(RunsTest, ImmediateSaveIsReadAfterEveryPage) {
    rules["即时保存"] = "0";
    rules["结束页"] = "4";
    // Saved between pages 1 and 2: from page 2 on the file is kept.
    site.Handle("/list_2.html", [this](const SiteRequest&) {
        rules["即时保存"] = "1";
        WriteRules();
        return SiteResponse{200, {}, TestSite::ListPageHtml(2, 3, false)};
    });
    ASSERT_EQ(Single(), RunOutcome::Completed);
    const std::string text = ReadFileBytes(PageFile("news.txt"));
    EXPECT_EQ(text.substr(0, text.find("\r\n")).size(), 9 * (std::string("/content/1_1.html").size() + 3));
}

TEST_F(RunsTest, PagesWithoutMatchesSayWhichPageAndAddNoRows) {
    struct Case {
        const char* what;
        std::string prefix;
        std::string rule;
    } cases[] = {
        {"no match", site.Url("/list_"), "<table>(x)</table>"},
        {"rule does not compile", site.Url("/list_"), "<a href=\"([a-"},
        {"empty rule", site.Url("/list_"), ""},
        {"download fails", site.RawUrl("/raw/close?page="), kLinkRule},
        {"not a URL", "no such scheme://", kLinkRule},
    };
    for (const Case& c : cases) {
        RecordingView caseView;
        ResultList caseResults;
        rules["采集网址前面"] = c.prefix;
        rules["内容页面规则"] = c.rule;
        rules["结束页"] = "2";
        WriteRules();
        RunContext context = Context();
        context.view = &caseView;
        context.results = &caseResults;
        EXPECT_EQ(RunSingleLevel(context), RunOutcome::Completed) << c.what;
        EXPECT_EQ(caseView.Statuses(),
                  (Strings{"当前页1采集内容数量0", "当前页1正则内容页匹配错误,请重新匹配", "采集保存完毕"}))
            << c.what;
        EXPECT_EQ(caseResults.RowCount(), 0) << c.what;
    }
}

TEST_F(RunsTest, MissingOrEmptyRulesFileCompletesWithoutPageSteps) {
    for (const bool present : {false, true}) {
        RecordingView caseView;
        if (present)
            WriteFileBytes(dir.File("采集配置.txt"), "");
        RunContext context = Context();
        context.view = &caseView;
        EXPECT_EQ(RunSingleLevel(context), RunOutcome::Completed);
        EXPECT_EQ(caseView.Statuses(), (Strings{"采集保存完毕"}));
        EXPECT_EQ(caseView.Captions(), (Strings{"开启采集"}));
    }
    EXPECT_TRUE(site.Requests().empty());
    EXPECT_EQ(results.RowCount(), 0);
}

TEST_F(RunsTest, PageRangesCountWithoutOverflow) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        std::int32_t start, end;
        Strings paths;
    } cases[] = {
        {5, 5, {}},
        {5, 1, {}},
        {kMax, kMin, {}},
        {kMax - 2, kMax, {"/list_2147483645.html", "/list_2147483646.html"}},
        {-1, 1, {"/list_-1.html", "/list_0.html"}},
    };
    rules["是否保存网页"] = "0";
    for (const Case& c : cases) {
        site.ClearRequests();
        RecordingView caseView;
        rules["起始页"] = std::to_string(c.start);
        rules["结束页"] = std::to_string(c.end);
        WriteRules();
        RunContext context = Context();
        context.view = &caseView;
        EXPECT_EQ(RunSingleLevel(context), RunOutcome::Completed);
        EXPECT_EQ(Paths(), c.paths) << c.start << ".." << c.end;
        EXPECT_EQ(caseView.Statuses().back(), "采集保存完毕");
    }
}

TEST_F(RunsTest, StopIsSeenAtTheNextPageStepAfterTheCurrentPageIsFinished) {
    rules["结束页"] = "6";
    site.Handle("/list_2.html", [this](const SiteRequest&) {
        settings.SetStopFlag("关"_t); // the click on "停止采集" while page 2 is being taken
        return SiteResponse{200, {}, TestSite::ListPageHtml(2, 3, false)};
    });
    EXPECT_EQ(Single(), RunOutcome::Stopped);

    EXPECT_EQ(Paths(), (Strings{"/list_1.html", "/list_2.html"}));
    EXPECT_EQ(view.Statuses(), (Strings{"当前页1采集内容数量3", "当前页2采集内容数量3", "采集已停止"}));
    EXPECT_EQ(view.Captions(), (Strings{"开启采集"}));
    EXPECT_EQ(results.RowCount(), 6) << "page 2 is finished";
    EXPECT_TRUE(FileExists(PageFile("2.html")));
    const std::string text = ReadFileBytes(PageFile("news.txt"));
    EXPECT_NE(text.find("/content/2_3.html|,|"), std::string::npos) << "page 2's immediate save was made";
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("采集完保存备份"))) << "a stopped run makes no end backup";
}

TEST_F(RunsTest, ARunStartedWhileStoppedEndsAtItsFirstPageStep) {
    settings.SetStopFlag("关"_t);
    rules["模拟人工"] = "1";
    EXPECT_EQ(Single(), RunOutcome::Stopped);
    EXPECT_EQ(view.Statuses(), (Strings{"采集已停止"}));
    EXPECT_EQ(pane.Navigations(), (std::vector<Text>{site.Url("/list_1.html")})) << "the start page is still shown";
    EXPECT_TRUE(site.Requests().empty());

    rules["结束页"] = "1"; // no page steps: it completes
    RecordingView second;
    WriteRules();
    RunContext context = Context();
    context.view = &second;
    EXPECT_EQ(RunTwoLevel(context), RunOutcome::Completed);
    EXPECT_EQ(second.Statuses(), (Strings{"采集保存完毕"}));
}

TEST_F(RunsTest, HostileFolderNamesAreRefusedBeforeAnythingIsWritten) {
    const std::string outside = dir.File("outside");
    for (const std::string& name : {std::string("../outside"), outside, std::string("a/../../outside"),
                                    std::string("..\\outside"), std::string("..")}) {
        for (const bool twoLevel : {false, true}) {
            RecordingView caseView;
            rules["目录名"] = name;
            WriteRules();
            RunContext context = Context();
            context.view = &caseView;
            EXPECT_EQ(twoLevel ? RunTwoLevel(context) : RunSingleLevel(context), RunOutcome::Refused) << name;
            EXPECT_EQ(caseView.Statuses(), (Strings{"目录名不合法，采集已停止"})) << name;
            EXPECT_EQ(caseView.Captions(), (Strings{"开启采集"})) << name;
        }
    }
    EXPECT_TRUE(site.Requests().empty());
    EXPECT_TRUE(pane.Navigations().empty());
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_FALSE(std::filesystem::exists(dir.File("../outside")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("下载网页")));
}

TEST_F(RunsTest, EmptyFolderNameUsesThePagesFolderItself) {
    rules["目录名"] = "";
    rules["结束页"] = "2";
    ASSERT_EQ(Single(), RunOutcome::Completed);
    EXPECT_TRUE(FileExists(dir.File("下载网页/1.html")));
    EXPECT_TRUE(FileExists(dir.File("下载网页/.txt")));
}

TEST_F(RunsTest, UnwritableProgramFolderStillCollects) {
    // Root ignores permission bits, so the folders are made impossible instead: files in their place.
    for (const char* name : {"下载网页", "采集前保存备份", "采集完保存备份"}) {
        std::filesystem::remove_all(dir.File(name));
        WriteFileBytes(dir.File(name), "not a folder");
    }
    EXPECT_EQ(Single(), RunOutcome::Completed);
    EXPECT_EQ(results.RowCount(), 6);
    EXPECT_EQ(view.Statuses().back(), "采集保存完毕");
    EXPECT_EQ(ReadFileBytes(dir.File("下载网页")), "not a folder");
}

TEST_F(RunsTest, TheWaitComesBeforeEachPage) {
    rules["延迟时间"] = "1";
    rules["结束页"] = "2";
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Single(), RunOutcome::Completed);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(RunsTest, SingleLevelViaBrowserDownloadsTheAddressTheShownDocumentHas) {
    rules["模拟人工"] = "1";
    ASSERT_EQ(Single(), RunOutcome::Completed);
    EXPECT_EQ(pane.Navigations(), (std::vector<Text>{site.Url("/list_1.html"), site.Url("/list_1.html"),
                                                     site.Url("/list_2.html")}));
    EXPECT_EQ(Paths(), (Strings{"/list_1.html", "/list_2.html"}));
    EXPECT_EQ(results.RowCount(), 6);
}

TEST_F(RunsTest, SingleLevelClickNextFollowsTheNextPageLink) {
    rules["模拟人工"] = "2";
    rules["结束页"] = "4";
    rules["翻页关键字"] = "下一页";
    rules["采集网址前面"] = site.Url("/list_");
    // Each list page has a link "下一页" to the page after it.
    pane.links = [this](const Text& location) {
        const std::string path = location.substr(site.Url("/list_").size());
        const int n = std::stoi(path);
        ElementSnapshot other{0, "", "", "", "", site.Url("/"), "首页"_t, ""};
        ElementSnapshot next{1, "", "", "", "", site.Url("/list_" + std::to_string(n + 1) + ".html"), "下一页"_t, ""};
        return std::vector<ElementSnapshot>{other, next};
    };
    ASSERT_EQ(Single(), RunOutcome::Completed);
    EXPECT_EQ(pane.Navigations(), (std::vector<Text>{site.Url("/list_1.html")})) << "only the start page by address";
    EXPECT_EQ(Paths(), (Strings{"/list_1.html", "/list_2.html", "/list_3.html"}));
    EXPECT_EQ(pane.Clicks().size(), 3u);
    EXPECT_EQ(view.Statuses()[2], "当前页3采集内容数量3");
    EXPECT_EQ(Row(8), "9|/content/3_3.html|标题3_3|||||||||||||");
}

TEST_F(RunsTest, ClickNextWithoutSuchALinkTakesTheSamePageAgain) {
    rules["模拟人工"] = "2";
    rules["结束页"] = "4";
    rules["翻页关键字"] = "下一页";
    ASSERT_EQ(Single(), RunOutcome::Completed);
    EXPECT_EQ(Paths(), (Strings{"/list_1.html", "/list_1.html", "/list_1.html"}));
    EXPECT_TRUE(pane.Clicks().empty());
}

TEST_F(RunsTest, BrowserModesWithoutAPaneFindNoPage) {
    rules["模拟人工"] = "1";
    rules["结束页"] = "2";
    WriteRules();
    RunContext context = Context();
    context.pane = nullptr;
    EXPECT_EQ(RunSingleLevel(context), RunOutcome::Completed);
    EXPECT_EQ(view.Statuses(), (Strings{"当前页1采集内容数量0", "当前页1正则内容页匹配错误,请重新匹配", "采集保存完毕"}));
}

TEST_F(RunsTest, TwoLevelDirectFollowsEveryItemToItsContentPage) {
    UseTwoLevelRules();
    rules["结束页"] = "2";
    ASSERT_EQ(Two(), RunOutcome::Completed);

    EXPECT_EQ(Paths(), (Strings{"/abs/list_1.html", "/content/1_1.html", "/content/1_2.html", "/content/1_3.html"}));
    EXPECT_EQ(view.Statuses(), (Strings{"当前页1采集内容数量3", "采集保存完毕"}));
    ASSERT_EQ(results.RowCount(), 6);
    EXPECT_EQ(Row(0), "1|标题1_1||||||||||||||");
    EXPECT_EQ(Row(1), "2|正文1_1：采集测试内容。||||||||||||||");
    EXPECT_EQ(Row(5), "6|正文1_3：采集测试内容。||||||||||||||");

    EXPECT_TRUE(FileExists(PageFile("2.html"))) << "the list page of step 1 is saved as 2";
    for (const char* name : {"11.html", "22.html", "33.html"})
        EXPECT_TRUE(FileExists(PageFile(name))) << name;
    EXPECT_EQ(ReadFileBytes(PageFile("22.html")), TestSite::ContentPageHtml(1, 2, false));
    EXPECT_EQ(ReadFileBytes(PageFile("news.txt")),
              "标题1_1|,|正文1_1：采集测试内容。|,|标题1_2|,|正文1_2：采集测试内容。|,|"
              "标题1_3|,|正文1_3：采集测试内容。|,|"_t);
    EXPECT_TRUE(FileExists(dir.File("采集完保存备份/2014年3月1日9时5分.txt")));
    EXPECT_EQ(pane.Navigations(), (std::vector<Text>{site.Url("/abs/list_1.html")})) << "only the start page";
}

TEST_F(RunsTest, TwoLevelSavesLaterItemsOverEarlierOnesAndNamesTwelveTwice) {
    UseTwoLevelRules();
    rules["起始页"] = "5";
    rules["结束页"] = "7";
    site.Handle("/abs/list_6.html", [this](const SiteRequest&) {
        std::string body;
        for (int j = 1; j <= 12; ++j)
            body += "<a href=\"" + site.Url("/content/6_" + std::to_string(j) + ".html") + "\">\n";
        return SiteResponse{200, {}, body};
    });
    ASSERT_EQ(Two(), RunOutcome::Completed);
    EXPECT_EQ(results.RowCount(), 2 * (3 + 12));
    EXPECT_EQ(ReadFileBytes(PageFile("11.html")), TestSite::ContentPageHtml(6, 1, false)) << "replaced by page 6";
    EXPECT_EQ(ReadFileBytes(PageFile("1212.html")), TestSite::ContentPageHtml(6, 12, false));
    EXPECT_TRUE(FileExists(PageFile("2.html")));
    EXPECT_TRUE(FileExists(PageFile("3.html")));
}

TEST_F(RunsTest, TwoLevelReportsListAndContentMismatches) {
    // The built-in list pages link relative addresses, which a plain download cannot take.
    rules["采集网址前面"] = site.Url("/list_");
    rules["二级页面规则"] = R"re(<a href="([^"]+)">)re";
    rules["内容页面规则"] = kTitleAndBodyRule;
    rules["结束页"] = "2";
    ASSERT_EQ(Two(), RunOutcome::Completed);
    EXPECT_EQ(view.Statuses(),
              (Strings{"当前页1采集内容数量3", "当前页1正则内容页匹配错误,请重新匹配", "当前页2正则内容页匹配错误,请重新匹配",
                       "当前页3正则内容页匹配错误,请重新匹配", "采集保存完毕"}));
    EXPECT_EQ(results.RowCount(), 0);

    RecordingView second;
    rules["二级页面规则"] = "nothing like this";
    WriteRules();
    RunContext context = Context();
    context.view = &second;
    ASSERT_EQ(RunTwoLevel(context), RunOutcome::Completed);
    EXPECT_EQ(second.Statuses(), (Strings{"当前页1采集内容数量0", "当前页1正则列表页匹配错误,请重新匹配", "采集保存完毕"}));
}

TEST_F(RunsTest, TwoLevelPicturesFillColumnOneWithTheTextRead) {
    UseTwoLevelRules();
    rules["结束页"] = "2";
    rules["识别图片"] = "1";
    rules["首页网址"] = site.Url("/");
    rules["内容页面规则"] = R"re(<a href="(/pic/[^"]+)">(x)</a>)re";
    site.Handle("/content/*", [](const SiteRequest& r) {
        return SiteResponse{200, {}, "<a href=\"/pic" + r.path + "\">x</a>"};
    });
    ASSERT_EQ(Two(), RunOutcome::Completed);
    ASSERT_EQ(results.RowCount(), 3);
    EXPECT_EQ(Row(0), "1|12345||||||||||||||") << "columns 2 to 15 stay empty with pictures";
    ASSERT_EQ(pictures.addresses.size(), 3u);
    EXPECT_EQ(pictures.addresses[0], site.Url("//pic/content/1_1.html")) << "joined as they are";
}

TEST_F(RunsTest, TwoLevelPicturesWithoutAReaderSayTheLibraryFailed) {
    UseTwoLevelRules();
    rules["结束页"] = "2";
    rules["识别图片"] = "1";
    WriteRules();
    RunContext context = Context();
    context.pictures = nullptr;
    ASSERT_EQ(RunTwoLevel(context), RunOutcome::Completed);
    ASSERT_EQ(results.RowCount(), 6);
    EXPECT_EQ(view.Messages(), Strings(6, "识别库加载失败"));
    EXPECT_EQ(results.Cell(0, 1), Text(32, ' '));
}

TEST_F(RunsTest, TwoLevelBrowserModesTakeContentPagesThroughThePane) {
    UseTwoLevelRules();
    rules["结束页"] = "2";
    for (const char* mode : {"1", "2"}) {
        ScriptedPane casePane;
        site.ClearRequests();
        rules["模拟人工"] = mode;
        WriteRules();
        RunContext context = Context();
        context.pane = &casePane;
        ASSERT_EQ(RunTwoLevel(context), RunOutcome::Completed);
        const std::vector<Text> content = {site.Url("/content/1_1.html"), site.Url("/content/1_2.html"),
                                           site.Url("/content/1_3.html")};
        std::vector<Text> expected = {site.Url("/abs/list_1.html")};
        if (std::string(mode) == "1")
            expected.push_back(site.Url("/abs/list_1.html")); // ViaBrowser sends the pane to the list page too
        expected.insert(expected.end(), content.begin(), content.end());
        EXPECT_EQ(casePane.Navigations(), expected) << "mode " << mode;
        EXPECT_EQ(Paths(), (Strings{"/abs/list_1.html", "/content/1_1.html", "/content/1_2.html", "/content/1_3.html"}))
            << "mode " << mode;
    }
    EXPECT_EQ(results.RowCount(), 12);
}

TEST_F(RunsTest, TwoRunsAtOnceKeepTheListAndTheFileConsistent) {
    rules["结束页"] = "11";
    site.SetItemCount(5);
    WriteRules();
    StartRun(false, Context());
    StartRun(false, Context());
    ASSERT_TRUE(view.WaitForCaptions(2));
    EXPECT_EQ(results.RowCount(), 2 * 10 * 5);
    // The last save was taken after every row was in.
    EXPECT_EQ(ReadFileBytes(PageFile("news.txt")), ImmediateSaveText(results, SaveForm::SingleLevel));
    EXPECT_EQ(view.Statuses().back(), "采集保存完毕");
}

} // namespace
