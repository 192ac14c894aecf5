// The browser pane and its documents with the real browser, offscreen, against a loopback site:
// addresses after redirects, the lookups on live pages, form submission, time-outs and stale
// documents. Most calls come from worker threads, as the runs make them.

#include "app/WebEngineDocument.h"
#include "app/WebEnginePane.h"
#include "page/PageAutomation.h"
#include "support/OnWorker.h"

#include <httplib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

using namespace gleaner;
using gleaner::test::OnWorker;

namespace {

// A loopback site with a few fixed pages; it records every request it answers.
class Site {
public:
    struct Request {
        std::string method, path, body;
    };

    Site() {
        auto page = [this](const std::string& path, std::string html, const char* type = "text/html; charset=utf-8") {
            server_.Get(path, [html, type](const httplib::Request&, httplib::Response& res) {
                res.set_content(html, type);
            });
        };
        page("/final.html", "<html><body><p>final</p></body></html>");
        server_.Get("/redirect", [](const httplib::Request&, httplib::Response& res) {
            res.status = 302;
            res.set_header("Location", "/final.html");
        });
        page("/links.html", "<html><head><meta charset=\"utf-8\"></head><body>"
                            "<a href=\"/t1.html\">首页</a>"
                            "<a href=\"/t2.html\" class=\"next\">下一页</a>"
                            "<a href=\"/t3.html\" id='say \"hi\" &amp; &#39;bye&#39;'>Other</a>"
                            "<a href=\"/t4.html\">下一页</a>"
                            "<a href=\"/t5.html\" title=\"Go\">😀 한국어 ⸎</a>"
                            "</body></html>");
        for (int i = 1; i <= 5; ++i)
            page("/t" + std::to_string(i) + ".html", "<html><body>target " + std::to_string(i) + "</body></html>");
        page("/login.html", "<html><body><form method=\"post\" action=\"/login\">"
                            "<input type=\"checkbox\" name=\"pwd\" value=\"c\">"
                            "<input type=\"hidden\" name=\"pwd\" value=\"h\">"
                            "<input name=\"userid\">"
                            "<input type=\"password\" name=\"pwd\">"
                            "<input type=\"submit\" name=\"sm1\" value=\"go\">"
                            "</form></body></html>");
        page("/login2.html", "<html><body><form method=\"post\" action=\"/login2\">"
                             "<input type=\"text\" name=\"userid\" value=\"u\">"
                             "<input type=\"image\" name=\"sm1\" alt=\"no\">"
                             "<button type=\"submit\" name=\"sm1\" value=\"b\">login</button>"
                             "</form></body></html>");
        auto posted = [this](const httplib::Request& req, httplib::Response& res) {
            Record(req);
            res.set_content("<html><body>posted</body></html>", "text/html");
        };
        server_.Post("/login", posted);
        server_.Post("/login2", posted);
        std::string many = "<html><body>";
        for (int i = 1; i <= 3000; ++i)
            many += "<a href=\"/t1.html?n=" + std::to_string(i) + "\">link " + std::to_string(i) + "</a>\n";
        page("/many.html", many + "</body></html>");
        page("/gbk.html", "<html><head><meta charset=\"gbk\"></head><body>\xd6\xd0\xce\xc4</body></html>",
             "text/html");
        page("/nobody.xml", "<?xml version=\"1.0\"?><root><a href=\"/t1.html\">x</a></root>", "application/xml");
        server_.Get("/hang.html", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/html; charset=utf-8", [this](size_t, httplib::DataSink& sink) {
                // Padded past the size a parser may buffer before it shows anything.
                const std::string part = "<html><body><a href=\"/t1.html\">first</a>" + std::string(4096, ' ');
                sink.write(part.data(), part.size());
                while (!released_)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                sink.done();
                return true;
            });
        });
        server_.set_logger([this](const httplib::Request& req, const httplib::Response&) {
            if (req.method == "GET")
                Record(req);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~Site() {
        released_ = true;
        server_.stop();
        thread_.join();
    }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::vector<Request> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    int Count(const std::string& method, const std::string& path) {
        int n = 0;
        for (const Request& r : Requests())
            n += r.method == method && r.path == path;
        return n;
    }

private:
    void Record(const httplib::Request& req) {
        std::lock_guard lock(mutex_);
        requests_.push_back({req.method, req.path, req.body});
    }
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> released_{false};
    std::mutex mutex_;
    std::vector<Request> requests_;
};

} // namespace

class WebEnginePaneQTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Site> site_;
    QWebEngineView* view_ = nullptr;
    std::unique_ptr<WebEnginePane> pane_;

    Text U(const std::string& path) const { return site_->Url(path); }

    // Navigates and waits until the page has loaded (worker side, as a run does).
    bool Load(const std::string& path) {
        pane_->Navigate(U(path));
        return OnWorker([this] { return pane_->WaitForLoad(10000); });
    }

    // Binds again until the shown document has the address (a click's navigation starts later).
    bool WaitForAddress(const Text& address) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            PageAutomation automation;
            if (automation.BindToWindow(pane_.get()) && automation.GetLocation() == address)
                return pane_->WaitForLoad(5000);
            QTest::qWait(50);
        }
        return false;
    }

private slots:
    void initTestCase() {
        site_ = std::make_unique<Site>();
        view_ = new QWebEngineView;
        view_->resize(800, 600);
        view_->show();
        pane_ = std::make_unique<WebEnginePane>(view_);
    }

    void cleanupTestCase() {
        pane_.reset();
        delete view_;
        site_.reset();
    }

    void bindRules() {
        // A pane that never loaded anything has no document.
        QWebEngineView emptyView;
        WebEnginePane empty(&emptyView);
        PageAutomation automation;
        QVERIFY(!OnWorker([&] { return automation.BindToWindow(&empty); }));
        QCOMPARE(automation.GetLocation(), Text());
        QVERIFY(!automation.BindToWindow(nullptr));

        QVERIFY(Load("/final.html"));
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        // The earlier document stays bound when the pane given has none.
        QVERIFY(OnWorker([&] { return automation.BindToWindow(&empty); }));
        QCOMPARE(OnWorker([&] { return automation.GetLocation(); }), U("/final.html"));
    }

    void locationAfterRedirect() {
        QVERIFY(Load("/redirect"));
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        QCOMPARE(OnWorker([&] { return automation.GetLocation(); }), U("/final.html"));
        // The UI thread may call too: it waits in a local event loop.
        QCOMPARE(automation.GetLocation(), U("/final.html"));
    }

    void clickLink_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<int>("skip");
        QTest::addColumn<QString>("target");
        QTest::newRow("text") << "下一页" << 0 << "/t2.html";
        QTest::newRow("text, skip 1") << "下一页" << 1 << "/t4.html";
        QTest::newRow("ordinal") << "3" << 0 << "/t3.html";
        QTest::newRow("full-width ordinal") << "５" << 0 << "/t5.html";
        QTest::newRow("class") << "next" << 0 << "/t2.html";
        QTest::newRow("resolved href") << "HREF:/t4.html" << 0 << "/t4.html";
        QTest::newRow("id with quotes") << "say \"hi\" & 'bye'" << 0 << "/t3.html";
        QTest::newRow("text outside GBK") << "😀 한국어 ⸎" << 0 << "/t5.html";
    }

    void clickLink() {
        QFETCH(QString, identifier);
        QFETCH(int, skip);
        QFETCH(QString, target);
        QVERIFY(Load("/links.html"));
        if (identifier.startsWith("HREF:"))
            identifier = QString::fromStdString(site_->Url(identifier.mid(5).toStdString()));
        const Text id = FromUtf16(identifier.toStdU16String());
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        QVERIFY(OnWorker([&] { return automation.ClickLink(id, skip); }));
        QVERIFY(WaitForAddress(U(target.toStdString())));
    }

    void clickLinkFindsNothing() {
        QVERIFY(Load("/links.html"));
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        const int before = static_cast<int>(site_->Requests().size());
        QVERIFY(!OnWorker([&] { return automation.ClickLink("下一頁"_t); }));
        QVERIFY(!OnWorker([&] { return automation.ClickLink("6"); }));
        QVERIFY(!OnWorker([&] { return automation.ClickLink("NEXT"); })); // case matters
        QTest::qWait(300);
        QCOMPARE(static_cast<int>(site_->Requests().size()), before);
        QCOMPARE(OnWorker([&] { return automation.GetLocation(); }), U("/links.html"));
    }

    void clearTargetOpensInTheSamePane() {
        QVERIFY(Load("/links.html"));
        // Give the link a target naming another window: cleared, it opens here.
        view_->page()->runJavaScript("document.links[1].target = 'elsewhere';");
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        QVERIFY(OnWorker([&] { return automation.ClickLink("下一页"_t, 0, true); }));
        QVERIFY(WaitForAddress(U("/t2.html")));
    }

    void manyLinks() {
        QVERIFY(Load("/many.html"));
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        int counter = 0;
        auto found = OnWorker([&] { return automation.FindLinkElement("link 2999", 0, counter); });
        QCOMPARE(found.index, 2998);
        QCOMPARE(counter, 2999);
        QVERIFY(OnWorker([&] { return automation.ClickLink("3000"); }));
        QVERIFY(WaitForAddress(U("/t1.html?n=3000")));
    }

    void loginFormSubmits() {
        QVERIFY(Load("/login.html"));
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        QVERIFY(OnWorker([&] { return automation.SetInputValue("userid", "admin"); }));
        QVERIFY(OnWorker([&] { return automation.SetInputValue("pwd", "se&cret"); }));
        QVERIFY(!OnWorker([&] { return automation.SetInputValue("Pwd", "x"); }));
        QVERIFY(!OnWorker([&] { return automation.ClickButton("SM1"); }));
        QVERIFY(OnWorker([&] { return automation.ClickButton("sm1"); }));
        QTRY_COMPARE_WITH_TIMEOUT(site_->Count("POST", "/login"), 1, 10000);
        std::string body;
        for (const auto& r : site_->Requests())
            if (r.path == "/login")
                body = r.body;
        // The checkbox and the hidden input kept their values: only the password input was written.
        QCOMPARE(QString::fromStdString(body), QString("pwd=h&userid=admin&pwd=se%26cret&sm1=go"));
    }

    void buttonElementPass() {
        QVERIFY(Load("/login2.html"));
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        // The image input named sm1 is no candidate; the button element is found in the second pass.
        auto found = OnWorker([&] { return automation.FindButton("sm1", 0); });
        QCOMPARE(found.tag, ElementTag::Button);
        QCOMPARE(found.index, 0);
        QVERIFY(OnWorker([&] { return automation.ClickButton("sm1"); }));
        QTRY_COMPARE_WITH_TIMEOUT(site_->Count("POST", "/login2"), 1, 10000);
        QCOMPARE(QString::fromStdString(site_->Requests().back().body), QString("userid=u&sm1=b"));
    }

    void documentWithoutBody() {
        QVERIFY(Load("/nobody.xml"));
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        QCOMPARE(OnWorker([&] { return automation.GetLocation(); }), U("/nobody.xml"));
        QVERIFY(!OnWorker([&] { return automation.ClickLink("1"); }));
        QVERIFY(!OnWorker([&] { return automation.ClickButton("1"); }));
    }

    void charset() {
        QVERIFY(Load("/gbk.html"));
        QCOMPARE(OnWorker([&] { return pane_->DocumentCharset(); }), Text("GBK"));
        QVERIFY(Load("/final.html"));
        QCOMPARE(OnWorker([&] { return pane_->DocumentCharset(); }), Text("UTF-8"));
    }

    void staleDocumentActsOnNothing() {
        QVERIFY(Load("/links.html"));
        PageAutomation automation;
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        // Another run sends the pane elsewhere meanwhile.
        QVERIFY(Load("/final.html"));
        const int before = static_cast<int>(site_->Requests().size());
        QVERIFY(!OnWorker([&] { return automation.ClickLink("下一页"_t); }));
        QCOMPARE(OnWorker([&] { return automation.GetLocation(); }), Text());
        QTest::qWait(300);
        QCOMPARE(static_cast<int>(site_->Requests().size()), before);
        // Binding again reaches the new page.
        QVERIFY(OnWorker([&] { return automation.BindToWindow(pane_.get()); }));
        QCOMPARE(OnWorker([&] { return automation.GetLocation(); }), U("/final.html"));
    }

    void pageThatNeverFinishes() {
        pane_->Navigate(U("/hang.html"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!OnWorker([&] { return pane_->WaitForLoad(1500); }));
        QVERIFY(clock.elapsed() < 5000);
        // The document is there at its address while the body still comes.
        PageAutomation automation;
        QTRY_VERIFY_WITH_TIMEOUT(OnWorker([&] { return automation.BindToWindow(pane_.get()); }) &&
                                     OnWorker([&] { return automation.GetLocation(); }) == U("/hang.html"),
                                 10000);
        clock.restart();
        // The parser may not have shown the part yet; either way the lookup answers in time.
        OnWorker([&] { return automation.ClickLink("first"); });
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(!pane_->WaitForLoad(100)); // still loading, answered from the UI thread too
    }

    void busyUiThreadTimesOut() {
        QVERIFY(Load("/final.html"));
        auto document = WebEngineDocument::Bind(view_->page());
        QVERIFY(document);
        // The UI thread does not process events for 2.5 s: a worker's call gives up after 1 s.
        std::atomic<qint64> took{-1};
        Text location = "unset";
        std::thread worker([&] {
            QElapsedTimer clock;
            clock.start();
            location = document->Location();
            took = clock.elapsed();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        worker.join();
        QCOMPARE(location, Text());
        QVERIFY2(took >= 900 && took < 2400, QByteArray::number(took.load()));
        QCoreApplication::processEvents(); // the late call then runs and its answer is dropped
        QTest::qWait(200);
        QCOMPARE(document->Location(), U("/final.html"));
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    WebEnginePaneQTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WebEnginePaneQTest.moc"
