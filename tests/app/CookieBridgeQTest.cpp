// The browser's cookies and the process's CookieStore in step, with the real browser (offscreen)
// and real HTTP requests against the loopback site: what the pane received goes with HttpGetText,
// what an HTTP answer set goes with the pane's next request, removals and overwrites included.

#include "app/CookieBridge.h"
#include "app/OffscreenBrowser.h"
#include "app/WebEngineScript.h"
#include "fixtures/TestSite.h"
#include "http/HttpRequest.h"
#include "support/OnWorker.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEngineView>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace gleaner;
using gleaner::test::OnWorker;
using gleaner::test::TestSite;

namespace {

bool StoreHas(const std::string& name, const std::string& value) {
    for (const CookieRecord& c : ProcessCookieStore().AllCookies())
        if (c.name == name && c.value == value)
            return true;
    return false;
}

bool StoreHasName(const std::string& name) {
    for (const CookieRecord& c : ProcessCookieStore().AllCookies())
        if (c.name == name)
            return true;
    return false;
}

} // namespace

class CookieBridgeQTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSite> site_;
    std::unique_ptr<OffscreenBrowser> browser_;

    bool Load(const std::string& target) {
        browser_->Pane().Navigate(site_->Url(target));
        return OnWorker([this] { return browser_->Pane().WaitForLoad(10000); });
    }

    // The Cookie header of the pane's last request for /echo-cookies.
    std::string PaneSends() {
        site_->ClearRequests();
        if (!Load("/echo-cookies"))
            return "(no load)";
        for (const auto& r : site_->Requests())
            if (r.path == "/echo-cookies")
                return r.Header("Cookie");
        return "(no request)";
    }

    std::string HttpSends() {
        site_->ClearRequests();
        const Text body = OnWorker([this] { return HttpGetText(site_->Url("/echo-cookies")); });
        for (const auto& r : site_->Requests())
            if (r.path == "/echo-cookies") {
                if (body != r.Header("Cookie"))
                    return "(body and wire differ)";
                return r.Header("Cookie");
            }
        return "(no request)";
    }

    static bool Holds(const std::string& header, const std::string& pair) {
        return ("; " + header + ";").find("; " + pair + ";") != std::string::npos;
    }

private slots:
    void initTestCase() {
        ProcessCookieStore().Clear();
        site_ = std::make_unique<TestSite>();
        browser_ = std::make_unique<OffscreenBrowser>();
    }

    void cleanupTestCase() {
        browser_.reset();
        site_.reset();
    }

    void conversions() {
        CookieRecord host{"127.0.0.1", "/app", "sid", "v=1", false, true, 2000000000};
        QNetworkCookie c = CookieBridge::ToNetworkCookie(host);
        QCOMPARE(c.domain(), QString()); // the origin makes it the host's own
        QCOMPARE(c.path(), QString("/app"));
        QVERIFY(c.isHttpOnly());
        QCOMPARE(c.expirationDate().toSecsSinceEpoch(), 2000000000);
        CookieRecord domain{".example.test", "/", "a", "1"};
        c = CookieBridge::ToNetworkCookie(domain);
        QCOMPARE(c.domain(), QString(".example.test"));
        QVERIFY(c.isSessionCookie());
        c.setDomain(".example.test");
        QCOMPARE(CookieBridge::ToRecord(c), domain);
    }

    void paneCookieGoesWithHttpGetText() {
        QVERIFY(Load("/set-cookie?name=pane&value=p1&attrs=Path%3D%2F"));
        QTRY_VERIFY_WITH_TIMEOUT(StoreHas("pane", "p1"), 5000);
        QVERIFY(Holds(HttpSends(), "pane=p1"));
        // A cookie the page's script sets travels too.
        browser_->View()->page()->runJavaScript("document.cookie = 'script=s1; path=/';");
        QTRY_VERIFY_WITH_TIMEOUT(StoreHas("script", "s1"), 5000);
        QVERIFY(Holds(HttpSends(), "script=s1"));
    }

    void httpCookieReachesThePane() {
        OnWorker([this] { return HttpGetText(site_->Url("/set-cookie?name=http&value=h1&attrs=Path%3D%2F")); });
        OnWorker([this] { return HttpGetText(site_->Url("/set-cookie?name=secret&value=x1&attrs=Path%3D%2F%3B%20HttpOnly")); });
        QTRY_VERIFY_WITH_TIMEOUT(Holds(PaneSends(), "http=h1") && Holds(PaneSends(), "secret=x1"), 10000);
        // The page's own script sees the ordinary one, not the HttpOnly one.
        const auto seen = OnWorker([this] {
            return RunPageScript(browser_->View()->page(), ScriptWithArguments("return document.cookie;", {}));
        });
        QVERIFY(seen);
        QVERIFY(seen->contains("http=h1"));
        QVERIFY(!seen->contains("secret"));
    }

    void overwriteAndRemoval() {
        // Two answers in a row: both sides end with the later value, no stale echo wins.
        OnWorker([this] {
            HttpGetText(site_->Url("/set-cookie?name=v&value=1&attrs=Path%3D%2F"));
            return HttpGetText(site_->Url("/set-cookie?name=v&value=2&attrs=Path%3D%2F"));
        });
        QTRY_VERIFY_WITH_TIMEOUT(Holds(PaneSends(), "v=2"), 10000);
        QTest::qWait(300);
        QVERIFY(StoreHas("v", "2"));
        QVERIFY(!StoreHas("v", "1"));
        QVERIFY(Holds(HttpSends(), "v=2"));

        // The pane overwrites it: the store follows.
        QVERIFY(Load("/set-cookie?name=v&value=3&attrs=Path%3D%2F"));
        QTRY_VERIFY_WITH_TIMEOUT(StoreHas("v", "3"), 5000);
        QTest::qWait(300);
        QVERIFY(StoreHas("v", "3"));
        QVERIFY(Holds(HttpSends(), "v=3"));

        // An HTTP answer that expires it: gone on both sides.
        OnWorker([this] { return HttpGetText(site_->Url("/set-cookie?name=v&value=gone&attrs=Path%3D%2F%3B%20Max-Age%3D0")); });
        QVERIFY(!StoreHasName("v"));
        QTRY_VERIFY_WITH_TIMEOUT(PaneSends().find("v=") == std::string::npos, 10000);
        QVERIFY(Holds(PaneSends(), "http=h1")); // the others stay

        // The pane expires one: gone from the store.
        QVERIFY(Load("/set-cookie?name=pane&value=x&attrs=Path%3D%2F%3B%20Max-Age%3D0"));
        QTRY_VERIFY_WITH_TIMEOUT(!StoreHasName("pane"), 5000);
        QVERIFY(!Holds(HttpSends(), "pane=p1"));
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    CookieBridgeQTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CookieBridgeQTest.moc"
