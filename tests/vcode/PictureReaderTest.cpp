// The picture reading as the runs use it: the plain URL reader, the loader of libvcode.so and
// VcodePictureReader, against a loopback server and the real library.

#include "collect/PictureDownload.h"
#include "collect/RecognitionLibrary.h"
#include "collect/VcodePictureReader.h"

#include "Pictures.h"
#include "support/TestSupport.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace gleaner::test {
namespace {

const Text kBlanks(32, ' ');

class PictureServer {
public:
    PictureServer() {
        server_.Get(R"(/p/(\w+)\.(png|jpg|gif))", [](const httplib::Request& req, httplib::Response& res) {
            const std::string ext = req.matches[2];
            const std::string format = ext == "png" ? "PNG" : ext == "jpg" ? "JPEG" : "GIF";
            res.set_content(DrawnText(req.matches[1], format), "image/" + ext);
        });
        server_.Get("/blank.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(BlankPicture("PNG"), "image/png");
        });
        server_.Get("/missing.png", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        server_.Get("/moved.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/p/4827.png");
        });
        server_.Get("/headers", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            version_ = req.version;
            headers_.clear();
            for (const auto& [name, value] : req.headers)
                if (name.rfind("REMOTE_", 0) != 0 && name.rfind("LOCAL_", 0) != 0) // added by the server
                    headers_[name] = value;
            res.set_content("ok", "text/plain");
        });
        server_.Get("/huge", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(kMaxPictureBytes + (1 << 20), "image/png",
                                     [](size_t offset, size_t length, httplib::DataSink& sink) {
                                         static const std::string chunk(1 << 16, 'x');
                                         sink.write(chunk.data(), std::min(length, chunk.size()));
                                         (void)offset;
                                         return true;
                                     });
        });
        // No length announced: the cap must stop the transfer itself.
        server_.Get("/huge-chunked", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("image/png", [](size_t offset, httplib::DataSink& sink) {
                static const std::string chunk(1 << 16, 'x');
                if (offset > kMaxPictureBytes + (1 << 20)) {
                    sink.done();
                    return true;
                }
                sink.write(chunk.data(), chunk.size());
                return true;
            });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~PictureServer() {
        server_.stop();
        thread_.join();
    }
    Text Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    int Port() const { return port_; }
    std::string Version() {
        std::lock_guard lock(mutex_);
        return version_;
    }
    std::map<std::string, std::string> Headers() {
        std::lock_guard lock(mutex_);
        return headers_;
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::string version_;
    std::map<std::string, std::string> headers_;
};

class RecordingView : public RunView {
public:
    void SetStatus(const Text&) override {}
    void SetButtonCaption(const Text&) override {}
    void ShowPreview() override { ++previewShown; }
    void SetPreviewPicture(const Bytes& bmp) override { pictures.push_back(bmp); }
    void ShowMessage(const Text& message) override { messages.push_back(message); }

    int previewShown = 0;
    std::vector<Bytes> pictures;
    std::vector<Text> messages;
};

// A working folder holding a copy of the shipped recognition file.
class WorkingDir : public TempDir {
public:
    WorkingDir() { WriteFileBytes(File("zived.cds"), ReadFileBytes(SourceDir() + "/src/vcode/zived.cds")); }
};

TEST(DownloadPicture, SendsOnlyHostAndAcceptOverHttp10) {
    PictureServer server;
    EXPECT_EQ(DownloadPicture(server.Url("/headers")), "ok");
    EXPECT_EQ(server.Version(), "HTTP/1.0");
    const std::map<std::string, std::string> expected = {{"Host", "127.0.0.1:" + std::to_string(server.Port())},
                                                         {"Accept", "*/*"}};
    EXPECT_EQ(server.Headers(), expected);
}

TEST(DownloadPicture, BodyWhateverTheStatusEmptyOnFailure) {
    PictureServer server;
    EXPECT_EQ(DownloadPicture(server.Url("/missing.png")), "not here");
    EXPECT_EQ(DownloadPicture(server.Url("/moved.png")), DrawnText("4827", "PNG"));
    EXPECT_EQ(DownloadPicture(server.Url("/huge")), "");
    EXPECT_EQ(DownloadPicture(server.Url("/huge-chunked")), "");
    EXPECT_EQ(DownloadPicture(""), "");
    EXPECT_EQ(DownloadPicture("file:///etc/hostname"), "");
    EXPECT_EQ(DownloadPicture("not an address"), "");
    Text closed;
    {
        PictureServer gone;
        closed = gone.Url("/p/4827.png");
    }
    EXPECT_EQ(DownloadPicture(closed), "");
}

TEST(VcodePictureReader, ReadsDrawnTextsAndPreviewsThemAsBmp) {
    PictureServer server;
    WorkingDir work;
    RecordingView view;
    VcodePictureReader reader(BinDir(), &view, work.Path());
    const struct {
        const char* path;
        const char* text;
    } cases[] = {{"/p/4827.png", "4827"}, {"/p/K3M9.jpg", "K3M9"}, {"/p/70315.gif", "70315"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(reader.ReadPictureText(server.Url(c.path)), c.text);
    }
    EXPECT_EQ(view.previewShown, 3);
    ASSERT_EQ(view.pictures.size(), 3u);
    for (const Bytes& bmp : view.pictures)
        EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_TRUE(view.messages.empty());
}

TEST(VcodePictureReader, NothingReadGivesThirtyTwoBlanks) {
    PictureServer server;
    WorkingDir work;
    RecordingView view;
    VcodePictureReader reader(BinDir(), &view, work.Path());
    EXPECT_EQ(reader.ReadPictureText(server.Url("/blank.png")), kBlanks);
    EXPECT_EQ(view.pictures.size(), 1u);
    // Not a picture: the preview keeps its picture, the reading still happens.
    EXPECT_EQ(reader.ReadPictureText(server.Url("/missing.png")), kBlanks);
    EXPECT_EQ(reader.ReadPictureText(server.Url("/nothing-served-here")), kBlanks);
    EXPECT_EQ(view.previewShown, 3);
    EXPECT_EQ(view.pictures.size(), 1u);
    EXPECT_TRUE(view.messages.empty());
}

TEST(VcodePictureReader, MissingRecognitionFileShowsTheMessageForEachPicture) {
    PictureServer server;
    TempDir empty;
    RecordingView view;
    VcodePictureReader reader(BinDir(), &view, empty.Path());
    EXPECT_EQ(reader.ReadPictureText(server.Url("/p/4827.png")), kBlanks);
    EXPECT_EQ(reader.ReadPictureText(server.Url("/p/K3M9.png")), kBlanks);
    EXPECT_EQ(view.messages, std::vector<Text>(2, "识别库加载失败"_t));
    EXPECT_EQ(view.pictures.size(), 2u);

    // Put in place, the next picture reads.
    WriteFileBytes(empty.File("zived.cds"), ReadFileBytes(SourceDir() + "/src/vcode/zived.cds"));
    EXPECT_EQ(reader.ReadPictureText(server.Url("/p/K3M9.png")), "K3M9");
    EXPECT_EQ(view.messages.size(), 2u);
}

// What a reader shows and returns when it has no usable library; the reason must name `reason`.
std::string MissingLibraryFault(std::vector<std::string> candidates, const char* reason) {
    PictureServer server;
    WorkingDir work;
    RecordingView view;
    VcodePictureReader reader(std::move(candidates), &view, work.Path());
    if (reader.ReadPictureText(server.Url("/p/4827.png")) != kBlanks ||
        reader.ReadPictureText(server.Url("/p/K3M9.png")) != kBlanks)
        return "a text was read";
    if (view.messages.size() != 2)
        return std::to_string(view.messages.size()) + " messages";
    const Text heading = "识别库加载失败\n"_t;
    if (view.messages[0].substr(0, heading.size()) != heading ||
        view.messages[0].find(FromUtf8(reason)) == Text::npos)
        return "message " + ToUtf8(view.messages[0]);
    if (view.pictures.size() != 2)
        return "the preview stopped";
    return "";
}

// In a fresh process: once any test has loaded libvcode.so, the system's search finds it by name.
TEST(VcodePictureReaderDeathTest, MissingLibraryIsReportedAndTheRunGoesOn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The test program is not linked with libvcode.so, so the system's search finds none either.
            TempDir emptyProgramDir;
            const std::string fault =
                MissingLibraryFault(RecognitionLibrary::DefaultCandidates(emptyProgramDir.Path()), "找不到识别库");
            std::fprintf(stderr, "%s", fault.c_str());
            _exit(fault.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(VcodePictureReader, MissingEntryPointIsReportedAndTheRunGoesOn) {
    EXPECT_EQ(MissingLibraryFault(RecognitionLibrary::DefaultCandidates(VCODE_NOENTRY_DIR), "GetVcodeFromBuffer"),
              "");
}

TEST(RecognitionLibrary, ProgramFolderFirstThenTheSystemSearch) {
    EXPECT_EQ(RecognitionLibrary::DefaultCandidates("/opt/gleaner"),
              (std::vector<std::string>{"/opt/gleaner/libvcode.so", "libvcode.so"}));
    EXPECT_EQ(RecognitionLibrary::DefaultCandidates(""), std::vector<std::string>{"libvcode.so"});

    // A broken candidate is passed over for the next one.
    RecognitionLibrary library({"/nonexistent/libvcode.so", BinDir() + "/libvcode.so"});
    ASSERT_TRUE(library.Load());
    EXPECT_TRUE(library.Failure().empty());
    EXPECT_NE(library.LoadCds(), nullptr);
    EXPECT_NE(library.Read(), nullptr);
}

TEST(RecognitionLibrary, LoadsOnceFromManyThreads) {
    RecognitionLibrary library(RecognitionLibrary::DefaultCandidates(BinDir()));
    std::vector<std::thread> threads;
    std::atomic<int> loaded{0};
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] { loaded += library.Load() ? 1 : 0; });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(loaded, 4);
}

} // namespace
} // namespace gleaner::test
