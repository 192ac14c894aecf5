// The publisher end to end: the real browser offscreen logs in to the loopback DedeCMS-like back
// end (UTF-8 and GBK editions), the login cookie reaches the HTTP posts through the cookie bridge,
// and every row's outcome shows as a status text.

#include "app/CookieBridge.h"
#include "app/WebEnginePane.h"
#include "collect/ResultList.h"
#include "fixtures/DedeBackend.h"
#include "http/CookieStore.h"
#include "output/ArticlePublisher.h"
#include "output/PublishSettings.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

using namespace gleaner;
using test::DedeBackend;

Q_DECLARE_METATYPE(DedeBackend::Edition)

namespace {

class RecordingView final : public RunView {
public:
    void SetStatus(const Text& status) override {
        std::lock_guard lock(mutex_);
        statuses_.push_back(status);
    }
    void SetButtonCaption(const Text&) override {}
    void ShowPreview() override {}
    void SetPreviewPicture(const Bytes&) override {}
    void ShowMessage(const Text&) override {}
    std::vector<Text> Statuses() const {
        std::lock_guard lock(mutex_);
        return statuses_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Text> statuses_;
};

class FixedClock final : public Clock {
public:
    LocalTime Now() const override { return {2014, 1, 1, 10, 8, 30}; }
};

// Readable failure output: the status texts as UTF-8.
QStringList Shown(const std::vector<Text>& texts) {
    QStringList list;
    for (const Text& t : texts)
        list << QString::fromStdString(ToUtf8(t));
    return list;
}

QStringList Outcomes(const char* prefix, int rows) {
    QStringList list{QStringLiteral("正在准备发布，请等待……")};
    for (int i = 1; i <= rows; ++i)
        list << QString::fromUtf8(prefix) + QString::number(i) + QStringLiteral("条");
    return list;
}

struct Row {
    const char* title; // UTF-8
    const char* body;
};

// Titles and bodies with what a form body must not hold raw, and Chinese.
const Row kRows[] = {
    {"第一篇 & a=b + c % d", "&nbsp;正文 \"引号\" 'single' 100%&body=x&title=y"},
    {"标题=二 &cfg_x=1", "<p>第二段&amp;</p>\r\n<p>a+b=c</p>"},
    {"Third + %41 &nbsp;", "三 &#20013; &lt;end&gt;"},
};

} // namespace

class PublisherQTest : public QObject {
    Q_OBJECT

private:
    QWebEngineView* view_ = nullptr;
    std::unique_ptr<WebEnginePane> pane_;
    std::unique_ptr<CookieBridge> bridge_;
    std::unique_ptr<test::TempDir> dir_;
    FixedClock clock_;

    void WriteSettings(const std::string& address, const char* account, const char* password) {
        PublishSettings s;
        s.backendAddress = FromUtf8(address);
        s.account = FromUtf8(account);
        s.password = FromUtf8(password);
        s.columnId = "12";
        s.tags = "标签,测试"_t;
        s.keywords = "关键字 k&w"_t;
        s.publish = "否"_t; // publishing does not depend on it
        QVERIFY(SavePublishSettings(dir_->Path(), s));
    }

    static void Fill(ResultList& results, int rows) {
        for (int i = 0; i < rows; ++i) {
            const int row = results.AppendResultRow();
            results.SetCell(row, 1, FromUtf8(kRows[i].title));
            results.SetCell(row, 2, FromUtf8(kRows[i].body));
        }
    }

    // One pass on a worker thread while the UI thread keeps the browser going.
    std::vector<Text> Publish(ResultList& results) {
        RecordingView view;
        PublishContext context;
        context.programDir = dir_->Path();
        context.results = &results;
        context.view = &view;
        context.pane = pane_.get();
        context.clock = &clock_;
        context.leastWaitMs = 100;
        context.loadTimeoutMs = 10000;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            PageAutomation automation;
            context.automation = &automation;
            RunArticlePublisher(context);
            done = true;
        });
        const bool finished = QTest::qWaitFor([&] { return done.load(); }, 45000);
        worker.join();
        if (!finished)
            qWarning("the publishing pass did not end in time");
        return view.Statuses();
    }

private slots:
    void initTestCase() {
        view_ = new QWebEngineView;
        view_->resize(800, 600);
        view_->show();
        pane_ = std::make_unique<WebEnginePane>(view_);
        bridge_ = std::make_unique<CookieBridge>(view_->page()->profile(), ProcessCookieStore());
    }

    void cleanupTestCase() {
        bridge_.reset();
        pane_.reset();
        delete view_;
    }

    void init() {
        dir_ = std::make_unique<test::TempDir>();
        // Every case starts logged out, on an empty page.
        view_->page()->profile()->cookieStore()->deleteAllCookies();
        ProcessCookieStore().Clear();
        pane_->Navigate("about:blank");
        QVERIFY(pane_->WaitForLoad(5000));
    }

    void cleanup() { dir_.reset(); }

    void publishesEveryRowIntact_data() {
        QTest::addColumn<DedeBackend::Edition>("edition");
        QTest::newRow("utf-8") << DedeBackend::Edition::Utf8;
        QTest::newRow("gbk") << DedeBackend::Edition::Gbk;
    }
    void publishesEveryRowIntact() {
        QFETCH(DedeBackend::Edition, edition);
        DedeBackend backend(edition, "管理员", "p&ss=w+rd");
        WriteSettings(backend.AdminUrl(), "管理员", "p&ss=w+rd");
        ResultList results;
        Fill(results, 3);

        QCOMPARE(Shown(Publish(results)), Outcomes("发布成功", 3));
        QCOMPARE(backend.AcceptedLogins(), 1);
        const auto articles = backend.Articles();
        QCOMPARE(int(articles.size()), 3);
        for (int i = 0; i < 3; ++i) {
            const auto& a = articles[i];
            QCOMPARE(QString::fromStdString(a.Field("title")), QString::fromUtf8(kRows[i].title));
            QCOMPARE(QString::fromStdString(a.Field("body")), QString::fromUtf8(kRows[i].body));
            QCOMPARE(QString::fromStdString(a.Field("tags")), QStringLiteral("标签,测试"));
            QCOMPARE(QString::fromStdString(a.Field("keywords")), QStringLiteral("关键字 k&w"));
            QCOMPARE(a.Field("typeid"), std::string("12"));
            QCOMPARE(a.Field("pubdate"), std::string("2014-1-1 10:8"));
            QCOMPARE(a.Field("channelid"), std::string("1"));
            QCOMPARE(a.Field("litpic"), std::string("; filename===Content-Type: application/octet-stream"));
            QVERIFY(a.Field("description").empty());
        }
        for (const auto& post : backend.ArticlePosts()) {
            QCOMPARE(post.referer, backend.AdminUrl() + "/article_add.php");
            QVERIFY(post.contentType.find("application/x-www-form-urlencoded") != std::string::npos);
            QVERIFY(post.loggedIn);
        }
    }

    void aSecondPassFindsTheSessionLoggedIn() {
        DedeBackend backend(DedeBackend::Edition::Utf8);
        WriteSettings(backend.AdminUrl(), "admin", "admin");
        ResultList results;
        Fill(results, 1);
        QCOMPARE(Shown(Publish(results)), Outcomes("发布成功", 1));
        // The admin folder now shows its main page, with no login form to fill: the pass posts at once.
        QCOMPARE(Shown(Publish(results)), Outcomes("发布成功", 1));
        QCOMPARE(backend.LoginAttempts(), 1);
        QCOMPARE(int(backend.Articles().size()), 2);
    }

    void wrongPasswordFailsEveryRow() {
        DedeBackend backend(DedeBackend::Edition::Utf8, "admin", "right");
        WriteSettings(backend.AdminUrl(), "admin", "wrong");
        ResultList results;
        Fill(results, 3);
        QCOMPARE(Shown(Publish(results)), Outcomes("发布失败了！", 3));
        QCOMPARE(backend.LoginAttempts(), 1);
        QCOMPARE(backend.AcceptedLogins(), 0);
        QVERIFY(backend.Articles().empty());
        QCOMPARE(int(backend.ArticlePosts().size()), 3); // posted all the same, without a login
    }

    void noSettingsFileFailsEveryRow() {
        DedeBackend backend(DedeBackend::Edition::Utf8);
        ResultList results;
        Fill(results, 2);
        QCOMPARE(Shown(Publish(results)), Outcomes("发布失败了！", 2));
        QCOMPARE(backend.LoginAttempts(), 0);
        QVERIFY(backend.ArticlePosts().empty());
    }

    void backEndDownFailsEveryRow() {
        auto backend = std::make_unique<DedeBackend>(DedeBackend::Edition::Utf8);
        const std::string address = backend->AdminUrl();
        backend->Stop();
        WriteSettings(address, "admin", "admin");
        ResultList results;
        Fill(results, 3);
        QCOMPARE(Shown(Publish(results)), Outcomes("发布失败了！", 3));
    }

    void emptyListKeepsThePreparingText() {
        DedeBackend backend(DedeBackend::Edition::Gbk);
        WriteSettings(backend.AdminUrl(), "admin", "admin");
        ResultList results;
        QCOMPARE(Shown(Publish(results)), Outcomes("", 0));
        QVERIFY(backend.ArticlePosts().empty());
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    PublisherQTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PublisherQTest.moc"
