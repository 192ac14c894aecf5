// The collection runs through the real browser pane (offscreen): a ViaBrowser run and a ClickNext
// run over three list pages, and a two-level ViaBrowser run, against the loopback site.

#include "app/OffscreenBrowser.h"
#include "collect/Runs.h"
#include "config/TaggedText.h"
#include "fixtures/TestSite.h"
#include "support/OnWorker.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace gleaner;
using gleaner::test::OnWorker;
using gleaner::test::SiteRequest;
using gleaner::test::SiteResponse;
using gleaner::test::TempDir;
using gleaner::test::TestSite;

namespace {

// A list page whose "下一页" link leads to the next one (UTF-8).
std::string PagedList(int n) {
    std::string html = "<html><head><meta charset=\"utf-8\"></head><body><ul>";
    for (int j = 1; j <= 2; ++j) {
        const std::string id = std::to_string(n) + "_" + std::to_string(j);
        html += "<li><a href=\"/content/" + id + ".html\">标题" + id + "</a></li>";
    }
    html += "</ul><a href=\"/paged/list_" + std::to_string(n - 1) + ".html\">上一页</a>";
    html += "<a href=\"/paged/list_" + std::to_string(n + 1) + ".html\">下一页</a></body></html>";
    return html;
}

} // namespace

class BrowserRunsQTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSite> site_;
    std::unique_ptr<OffscreenBrowser> browser_;

    void WriteRules(const TempDir& dir, std::vector<std::pair<Text, Text>> fields) {
        const std::vector<std::pair<Text, Text>> common = {
            {"起始页"_t, "1"}, {"结束页"_t, "4"}, {"延迟时间"_t, "1"}, {"是否保存网页"_t, "0"},
            {"即时保存"_t, "0"}, {"目录名"_t, "t"}};
        fields.insert(fields.end(), common.begin(), common.end());
        QVERIFY(WriteTaggedText(dir.Path() + "/采集配置.txt", fields));
    }

    RunContext Context(const TempDir& dir, ResultList& results) {
        RunContext context;
        context.programDir = dir.Path();
        context.workingDir = dir.Path();
        context.results = &results;
        context.pane = &browser_->Pane();
        return context;
    }

    int Gets(const std::string& target) {
        int n = 0;
        for (const SiteRequest& r : site_->Requests())
            n += r.method == "GET" && r.target == target;
        return n;
    }

private slots:
    void initTestCase() {
        ProcessSettings().Reset();
        site_ = std::make_unique<TestSite>();
        site_->SetItemCount(3);
        site_->Handle("/paged/*", [](const SiteRequest& r) {
            const std::string name = r.path.substr(std::string("/paged/list_").size());
            SiteResponse res;
            res.headers = {{"Content-Type", "text/html; charset=utf-8"}};
            res.body = PagedList(std::atoi(name.c_str()));
            return res;
        });
        browser_ = std::make_unique<OffscreenBrowser>();
    }

    void cleanupTestCase() {
        browser_.reset();
        site_.reset();
    }

    void viaBrowser() {
        TempDir dir;
        WriteRules(dir, {{"采集网址前面"_t, site_->Url("/list_")},
                         {"采集网址结尾"_t, ".html"},
                         {"模拟人工"_t, "1"},
                         {"内容页面规则"_t, "<a href=\"(/content/[0-9_]+\\.html)\">([^<]+)</a>"}});
        site_->ClearRequests();
        ResultList results;
        RunContext context = Context(dir, results);
        QCOMPARE(OnWorker([&] { return RunSingleLevel(context); }), RunOutcome::Completed);
        QCOMPARE(results.RowCount(), 9);
        for (int p = 1; p <= 3; ++p)
            for (int j = 1; j <= 3; ++j) {
                const int row = (p - 1) * 3 + j - 1;
                const std::string id = std::to_string(p) + "_" + std::to_string(j);
                QCOMPARE(results.Cell(row, 1), Text("/content/" + id + ".html"));
                QCOMPARE(results.Cell(row, 2), "标题"_t + id);
            }
        // The pane showed each page (the start page twice) and HttpGetText took the address it read.
        // The start page's first load may be superseded by the first step's before it is sent.
        QVERIFY(Gets("/list_1.html") >= 2);
        QCOMPARE(Gets("/list_2.html"), 2);
        QCOMPARE(Gets("/list_3.html"), 2);
        QCOMPARE(Gets("/list_4.html"), 0);
    }

    void clickNext() {
        TempDir dir;
        WriteRules(dir, {{"采集网址前面"_t, site_->Url("/paged/list_")},
                         {"采集网址结尾"_t, ".html"},
                         {"模拟人工"_t, "2"},
                         {"翻页关键字"_t, "下一页"_t},
                         {"内容页面规则"_t, "<a href=\"(/content/[0-9_]+\\.html)\">"}});
        site_->ClearRequests();
        ResultList results;
        RunContext context = Context(dir, results);
        QCOMPARE(OnWorker([&] { return RunSingleLevel(context); }), RunOutcome::Completed);
        QCOMPARE(results.RowCount(), 6);
        const char* expected[] = {"1_1", "1_2", "2_1", "2_2", "3_1", "3_2"};
        for (int row = 0; row < 6; ++row)
            QCOMPARE(results.Cell(row, 1), Text("/content/") + expected[row] + ".html");
        // Pages 2 to 4 were reached by clicks, never by building their addresses.
        QTRY_COMPARE_WITH_TIMEOUT(Gets("/paged/list_4.html"), 1, 5000);
        QCOMPARE(Gets("/paged/list_2.html"), 2); // the pane's click, then HttpGetText
        QCOMPARE(Gets("/paged/list_0.html"), 0);
    }

    void twoLevelViaBrowser() {
        TempDir dir;
        // The run uses the list rule's group 1 as it is, so the list pages carry whole addresses.
        site_->ClearRequests();
        site_->Handle("/whole/list_*", [this](const SiteRequest& r) {
            SiteResponse res;
            res.headers = {{"Content-Type", "text/html; charset=gbk"}};
            const int n = std::atoi(r.path.substr(std::string("/whole/list_").size()).c_str());
            std::string body = "<html><body>";
            for (int j = 1; j <= 2; ++j)
                body += "<a href=\"" + site_->Url("/content/" + std::to_string(n) + "_" + std::to_string(j) + ".html") +
                        "\">x</a>";
            res.body = body + "</body></html>";
            return res;
        });
        WriteRules(dir, {{"采集网址前面"_t, site_->Url("/whole/list_")},
                         {"采集网址结尾"_t, ".html"},
                         {"模拟人工"_t, "1"},
                         {"二级页面规则"_t, "href=\"(http[^\"]+)\""},
                         {"内容页面规则"_t, "<h1 class=\"title\">([^<]+)</h1>"}});
        ResultList results;
        RunContext context = Context(dir, results);
        QCOMPARE(OnWorker([&] { return RunTwoLevel(context); }), RunOutcome::Completed);
        QCOMPARE(results.RowCount(), 6);
        const char* expected[] = {"1_1", "1_2", "2_1", "2_2", "3_1", "3_2"};
        for (int row = 0; row < 6; ++row)
            QCOMPARE(results.Cell(row, 1), "标题"_t + expected[row]);
        // Each content page was shown in the pane and then downloaded.
        QCOMPARE(Gets("/content/2_1.html"), 2);
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    BrowserRunsQTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "BrowserRunsQTest.moc"
