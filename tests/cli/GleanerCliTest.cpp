// gleaner-cli as a user meets it: a real process, a real program folder, the loopback site.

#include "fixtures/TestSite.h"
#include "support/TestSupport.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace gleaner;
using gleaner::test::FileExists;
using gleaner::test::ReadFileBytes;
using gleaner::test::SiteRequest;
using gleaner::test::SiteResponse;
using gleaner::test::TempDir;
using gleaner::test::TestSite;
using gleaner::test::WriteFileBytes;

namespace {

using Strings = std::vector<std::string>;

struct Outcome {
    int status = -1; // exit status; -1 when it did not exit normally
    std::string out, err;
    Strings ErrLines() const { return Lines(err); }
    Strings OutLines() const { return Lines(out); }
    static Strings Lines(const std::string& text) {
        Strings lines;
        std::size_t start = 0;
        for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
            lines.push_back(text.substr(start, nl - start));
        return lines;
    }
};

std::atomic<pid_t> gChild{0};

Outcome RunCli(const Strings& args) {
    TempDir io;
    const std::string outPath = io.File("out"), errPath = io.File("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string program = gleaner::test::BinDir() + "/gleaner-cli";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    Outcome outcome;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        ADD_FAILURE() << "cannot start " << program;
        return outcome;
    }
    posix_spawn_file_actions_destroy(&actions);
    gChild = pid;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "gleaner-cli did not end";
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    gChild = 0;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadFileBytes(outPath);
    outcome.err = ReadFileBytes(errPath);
    return outcome;
}

class GleanerCli : public ::testing::Test {
protected:
    void SetUp() override {
        rules = {
            {"起始页", "1"},          {"结束页", "3"},       {"采集网址前面", site.Url("/list_")},
            {"采集网址结尾", ".html"}, {"内容页面规则", R"re(<a href="([^"]+)">([^<]+)</a>)re"},
            {"目录名", "news"},        {"是否保存网页", "1"}, {"即时保存", "1"},
        };
    }
    void WriteRules() const {
        std::string utf8;
        for (const auto& [key, value] : rules)
            utf8 += "[" + key + "]" + value + "[/" + key + "]\r\n";
        WriteFileBytes(dir.File("采集配置.txt"), FromUtf8(utf8));
    }
    Outcome Run() {
        WriteRules();
        return RunCli({"run", "--dir", dir.Path()});
    }

    TempDir dir;
    TestSite site;
    std::vector<std::pair<std::string, std::string>> rules;
};

TEST_F(GleanerCli, RunPrintsStatusLinesAndRowsAsJson) {
    const Outcome o = Run();
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.ErrLines(), (Strings{"当前页1采集内容数量3", "当前页2采集内容数量3", "采集保存完毕"}));
    const Strings rows = o.OutLines();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], R"re(["1","/content/1_1.html","标题1_1","","","","","","","","","","","","",""])re");
    const std::string sixth = R"re(["6","/content/2_3.html","标题2_3",)re";
    EXPECT_EQ(rows[5].substr(0, sixth.size()), sixth);
    for (const char* folder : {"下载网页", "采集前保存备份", "采集完保存备份"})
        EXPECT_TRUE(std::filesystem::is_directory(dir.File(folder))) << folder;
    EXPECT_EQ(ReadFileBytes(dir.File("下载网页/news/1.html")), TestSite::ListPageHtml(1, 3, false));
    EXPECT_TRUE(FileExists(dir.File("下载网页/news/news.txt")));
    EXPECT_FALSE(std::filesystem::is_empty(dir.File("采集完保存备份")));
}

TEST_F(GleanerCli, ExportWritesTheRowsToAWorkbook) {
    const std::string book = dir.File("rows.xls");
    WriteRules();
    const Outcome o = RunCli({"run", "--dir", dir.Path(), "--export", book});
    ASSERT_EQ(o.status, 0) << o.err;
    // Read back by xlrd, independently of our writer: header 15, 1 .. 14, then columns 15, 1 .. 14.
    const std::string command = "/usr/bin/python3 -c 'import sys, xlrd; s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0); "
                                "print(s.name, s.nrows, s.row_values(0)[0], s.row_values(0)[1], s.row_values(1)[1], "
                                "s.row_values(1)[2])' " + book;
    std::string printed;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, p))
            printed += buffer;
        pclose(p);
    }
    EXPECT_EQ(printed, "Sheet1 7 15 1 /content/1_1.html 标题1_1\n");

    const Outcome bad = RunCli({"run", "--dir", dir.Path(), "--export", dir.File("missing/rows.xls")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("missing"), std::string::npos) << bad.err;
}

TEST_F(GleanerCli, RowsAreEscapedJsonInUtf8) {
    site.Handle("/list_1.html", [](const SiteRequest&) {
        return SiteResponse{200, {}, FromUtf8("<a href=\"/q\">say \"hi\" \\ \t\x01 中文</a>")};
    });
    rules[1].second = "2";
    const Outcome o = Run();
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string first = R"re(["1","/q","say \"hi\" \\ \t\u0001 中文","",)re";
    EXPECT_EQ(o.OutLines().at(0).substr(0, first.size()), first);
}

TEST_F(GleanerCli, TwoLevelRunIsChosenByTheRules) {
    rules.push_back({"采集二级页面", "1"});
    rules.push_back({"二级页面规则", R"re(<a href="([^"]+)">)re"});
    rules[2].second = site.Url("/abs/list_");
    rules[1].second = "2";
    rules[4].second = R"re(<h1 class="title">([^<]+)</h1>)re";
    site.Handle("/abs/list_1.html", [this](const SiteRequest&) {
        return SiteResponse{200, {}, "<a href=\"" + site.Url("/content/1_2.html") + "\">"};
    });
    const Outcome o = Run();
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.OutLines(), (Strings{R"re(["1","标题1_2","","","","","","","","","","","","","",""])re"}));
    EXPECT_TRUE(FileExists(dir.File("下载网页/news/11.html")));
}

TEST_F(GleanerCli, InterruptStopsAtTheNextPageStep) {
    rules[1].second = "10";
    site.Handle("/list_2.html", [](const SiteRequest&) {
        for (int i = 0; i < 500 && gChild == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(gChild, SIGINT);
        // Give the signal time to land before page 2 is answered and page 3 would begin.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return SiteResponse{200, {}, TestSite::ListPageHtml(2, 3, false)};
    });
    const Outcome o = Run();
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_EQ(o.ErrLines(), (Strings{"当前页1采集内容数量3", "当前页2采集内容数量3", "采集已停止"}));
    EXPECT_EQ(o.OutLines().size(), 6u) << "page 2 is finished and its rows are printed";
}

TEST_F(GleanerCli, BrowserModesTakePagesThroughAHiddenBrowser) {
    // ViaBrowser: the hidden browser shows each list page and the run downloads the address it shows.
    rules.push_back({"模拟人工", "1"});
    rules.push_back({"延迟时间", "1"}); // the pane needs the wait to show the page before its address is read
    rules[1].second = "4";
    Outcome o = Run();
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.OutLines().size(), 9u) << o.err;
    EXPECT_NE(o.err.find("当前页3采集内容数量3"), std::string::npos) << o.err;

    // ClickNext: page k is the one the (k-1)-th click on "下一页" led to.
    site.Handle("/paged/*", [](const SiteRequest& r) {
        const int n = std::atoi(r.path.substr(std::string("/paged/list_").size()).c_str());
        std::string html = "<html><head><meta charset=\"utf-8\"></head><body>";
        html += "<a href=\"/content/" + std::to_string(n) + "_1.html\">标题" + std::to_string(n) + "</a>";
        html += "<a href=\"/paged/list_" + std::to_string(n + 1) + ".html\">下一页</a></body></html>";
        return SiteResponse{200, {{"Content-Type", "text/html; charset=utf-8"}}, html};
    });
    rules[8].second = "2";
    rules[2].second = site.Url("/paged/list_");
    rules[4].second = R"re(<a href="(/content/[^"]+)">([^<]+)</a>)re";
    rules.push_back({"翻页关键字", "下一页"});
    o = Run();
    ASSERT_EQ(o.status, 0) << o.err;
    const Strings rows = o.OutLines();
    ASSERT_EQ(rows.size(), 3u) << o.err;
    for (int k = 1; k <= 3; ++k)
        EXPECT_NE(rows[k - 1].find("/content/" + std::to_string(k) + "_1.html"), std::string::npos) << rows[k - 1];
}

TEST_F(GleanerCli, RefusesAHostileFolderName) {
    rules[5].second = "../outside";
    Outcome o = Run();
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.ErrLines(), (Strings{"目录名不合法，采集已停止"}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("../outside")));
}

TEST(GleanerCliUsage, BadUsageExitsTwoAndHelpExitsZero) {
    TempDir dir;
    const std::vector<Strings> bad = {
        {},
        {"collect"},
        {"run", "--bogus"},
        {"run", "--dir"},
        {"run", "--dir", dir.File("missing")},
        {"match", "--pattern", "x"},
        {"match", "--pattern", "x", "--rule", "k", "page.html"},
        {"match", "page.html"},
        {"get"},
        {"get", "a", "b"},
    };
    for (const Strings& args : bad) {
        const Outcome o = RunCli(args);
        EXPECT_EQ(o.status, 2) << (args.empty() ? "" : args[0]) << " " << args.size();
        EXPECT_FALSE(o.err.empty());
    }
    for (const Strings& args : std::vector<Strings>{{"--help"}, {"run", "--help"}, {"match", "--help"}, {"get", "--help"}}) {
        const Outcome o = RunCli(args);
        EXPECT_EQ(o.status, 0);
        EXPECT_NE(o.out.find("Usage: gleaner-cli"), std::string::npos) << args.back();
    }
}

TEST(GleanerCliMatch, PrintsEveryMatchWithAllGroups) {
    TempDir dir;
    const std::string page = dir.File("page.html");
    WriteFileBytes(page, FromUtf8("<b>一</b><i>二</i><B>三</B>"));
    WriteFileBytes(dir.File("采集配置.txt"), FromUtf8("[内容页面规则]<(b|i)>([^<]+)</(b)?[/内容页面规则]"));

    Outcome o = RunCli({"match", "--dir", dir.Path(), "--rule", "内容页面规则", page});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.OutLines(), (Strings{R"re(["<b>一</b","b","一","b"])re", R"re(["<i>二</","i","二",""])re",
                                     R"re(["<B>三</B","B","三","B"])re"}));

    o = RunCli({"match", "--pattern", "<u>(x)", page});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "");

    o = RunCli({"match", "--pattern", "([a-", page});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("gleaner-cli:"), std::string::npos);

    EXPECT_EQ(RunCli({"match", "--dir", dir.Path(), "--rule", "没有", page}).status, 1);
    EXPECT_EQ(RunCli({"match", "--pattern", "x", dir.File("missing.html")}).status, 1);
}

TEST(GleanerCliGet, WritesTheBodyAsReceived) {
    TestSite site;
    Outcome o = RunCli({"get", site.Url("/list_4.html")});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, TestSite::ListPageHtml(4, 3, false));
    o = RunCli({"get", site.RawUrl("/raw/close")});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
}

} // namespace
