// A two-level run with [识别图片] 1 against a loopback site whose content pages show pictures of
// known texts: column "1" of each row holds the text read, the other columns stay empty.

#include "collect/Runs.h"
#include "collect/VcodePictureReader.h"
#include "config/TaggedText.h"

#include "Pictures.h"
#include "support/TestSupport.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace gleaner::test {
namespace {

class QuietView : public RunView {
public:
    void SetStatus(const Text&) override {}
    void SetButtonCaption(const Text&) override {}
    void ShowPreview() override {}
    void SetPreviewPicture(const Bytes&) override { ++pictures; }
    void ShowMessage(const Text& message) override { messages.push_back(message); }
    int pictures = 0;
    std::vector<Text> messages;
};

TEST(PictureRun, ColumnOneGetsTheDrawnTexts) {
    httplib::Server server;
    const int port = server.bind_to_any_port("127.0.0.1");
    const std::string site = "http://127.0.0.1:" + std::to_string(port);
    server.Get("/list_1.html", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content("<a href=\"" + site + "/content/1.html\">1</a> <a href=\"" + site + "/content/2.html\">2</a>",
                        "text/html");
    });
    server.Get(R"(/content/(\d)\.html)", [](const httplib::Request& req, httplib::Response& res) {
        const bool first = req.matches[1] == "1";
        res.set_content(first ? R"(<img src="/p/4827.png"> <img src="/p/K3M9.gif">)"
                              : R"(<img src="/p/70315.jpg"> <img src="/blank.png">)",
                        "text/html");
    });
    server.Get(R"(/p/(\w+)\.(png|jpg|gif))", [](const httplib::Request& req, httplib::Response& res) {
        const std::string ext = req.matches[2];
        res.set_content(DrawnText(req.matches[1], ext == "png" ? "PNG" : ext == "jpg" ? "JPEG" : "GIF"),
                        "image/" + ext);
    });
    server.Get("/blank.png", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(BlankPicture("PNG"), "image/png");
    });
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    TempDir program, work;
    WriteFileBytes(work.File("zived.cds"), ReadFileBytes(SourceDir() + "/src/vcode/zived.cds"));
    const std::vector<std::pair<Text, Text>> rules = {
        {"采集二级页面"_t, "1"},
        {"起始页"_t, "1"},
        {"结束页"_t, "2"},
        {"采集网址前面"_t, site + "/list_"},
        {"采集网址结尾"_t, ".html"},
        {"首页网址"_t, site},
        {"二级页面规则"_t, "<a href=\"([^\"]+)\">"},
        {"内容页面规则"_t, "<img src=\"([^\"]+)\">"},
        {"目录名"_t, "pictures"},
        {"延迟时间"_t, "0"},
        {"模拟人工"_t, "0"},
        {"识别图片"_t, "1"},
        {"是否保存网页"_t, "0"},
        {"即时保存"_t, "0"},
    };
    ASSERT_TRUE(WriteTaggedText(program.File("采集配置.txt"), rules));
    CollectionSettings settings;
    settings.SetStopFlag("开"_t);
    ResultList results;
    QuietView view;
    VcodePictureReader reader(BinDir(), &view, work.Path());
    RunContext context;
    context.programDir = program.Path();
    context.workingDir = work.Path();
    context.settings = &settings;
    context.results = &results;
    context.view = &view;
    context.pictures = &reader;
    RunTwoLevel(context);
    server.stop();
    serving.join();

    const std::vector<Text> expected = {"4827", "K3M9", "70315", Text(32, ' ')};
    ASSERT_EQ(results.RowCount(), static_cast<int>(expected.size()));
    for (int r = 0; r < results.RowCount(); ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(results.Cell(r, 1), expected[static_cast<std::size_t>(r)]);
        for (int c = 2; c < ResultList::ColumnCount; ++c)
            EXPECT_EQ(results.Cell(r, c), "");
    }
    EXPECT_EQ(view.pictures, 4);
    EXPECT_TRUE(view.messages.empty());
}

} // namespace
} // namespace gleaner::test
