// The two cookie stores in step. The browser reports on the UI thread; the store reports on the
// thread of the request whose answer set a cookie, and the change is posted to the UI thread.

#include "app/CookieBridge.h"

#include "app/WebEngineScript.h"

#include <QDateTime>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace gleaner {

namespace {

Text AsText(const QByteArray& b) { return Text(b.constData(), static_cast<std::size_t>(b.size())); }
QByteArray AsBytes(const Text& t) { return QByteArray(t.data(), static_cast<qsizetype>(t.size())); }

// The address a cookie belongs to; the browser decides from it whether to accept the cookie.
QUrl OriginOf(const CookieRecord& r) {
    Text host = r.domain;
    if (!host.empty() && host.front() == '.')
        host.erase(0, 1);
    QUrl url;
    url.setScheme(r.secure ? "https" : "http");
    url.setHost(ToQString(host));
    url.setPath(ToQString(r.path.empty() ? Text("/") : r.path));
    return url;
}

} // namespace

CookieRecord CookieBridge::ToRecord(const QNetworkCookie& cookie) {
    CookieRecord r;
    r.domain = FromQString(cookie.domain());
    r.path = cookie.path().isEmpty() ? Text("/") : FromQString(cookie.path());
    r.name = AsText(cookie.name());
    r.value = AsText(cookie.value());
    r.secure = cookie.isSecure();
    r.httpOnly = cookie.isHttpOnly();
    r.expiry = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    return r;
}

QNetworkCookie CookieBridge::ToNetworkCookie(const CookieRecord& record) {
    QNetworkCookie c(AsBytes(record.name), AsBytes(record.value));
    // A host's own cookie carries no domain, so the browser keeps it to that host (the origin).
    if (!record.domain.empty() && record.domain.front() == '.')
        c.setDomain(ToQString(record.domain));
    c.setPath(ToQString(record.path.empty() ? Text("/") : record.path));
    c.setSecure(record.secure);
    c.setHttpOnly(record.httpOnly);
    if (record.expiry > 0)
        c.setExpirationDate(QDateTime::fromSecsSinceEpoch(record.expiry, Qt::UTC));
    return c;
}

CookieBridge::CookieBridge(QWebEngineProfile* profile, CookieStore& store, QObject* parent)
    : QObject(parent), profile_(profile), store_(store), link_(std::make_shared<Link>()) {
    if (!profile_)
        return;
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    QWebEngineCookieStore* browser = profile_->cookieStore();
    connect(browser, &QWebEngineCookieStore::cookieAdded, this,
            [this](const QNetworkCookie& c) { FromBrowser(c, false); });
    connect(browser, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& c) { FromBrowser(c, true); });

    link_->bridge = this;
    listenerId_ = store_.AddListener([link = link_](const CookieRecord& r, bool removed) {
        std::lock_guard lock(link->mutex);
        if (CookieBridge* bridge = link->bridge)
            QMetaObject::invokeMethod(
                bridge, [bridge, r, removed] { bridge->ToBrowser(r, removed); }, Qt::QueuedConnection);
    });

    for (const CookieRecord& r : store_.AllCookies())
        ToBrowser(r, false);
    browser->loadAllCookies(); // reported through cookieAdded
}

CookieBridge::~CookieBridge() {
    {
        std::lock_guard lock(link_->mutex);
        link_->bridge = nullptr;
    }
    store_.RemoveListener(listenerId_);
}

void CookieBridge::FromBrowser(const QNetworkCookie& cookie, bool removed) {
    const CookieRecord r = ToRecord(cookie);
    if (!removed) {
        auto echo = echoAdded_.find(KeyOf(r));
        if (echo != echoAdded_.end()) {
            if (--echo->second == 0)
                echoAdded_.erase(echo);
            return;
        }
        store_.SetCookie(r);
        return;
    }
    // The browser reports an overwritten cookie as removed too; only the value the store still
    // holds is taken out, never a newer one.
    for (const CookieRecord& held : store_.AllCookies())
        if (held.domain == r.domain && held.path == r.path && held.name == r.name) {
            if (held.value == r.value)
                store_.RemoveCookie(r.domain, r.path, r.name);
            return;
        }
}

void CookieBridge::ToBrowser(const CookieRecord& record, bool removed) {
    if (!profile_)
        return;
    QWebEngineCookieStore* browser = profile_->cookieStore();
    if (removed) {
        browser->deleteCookie(ToNetworkCookie(record), OriginOf(record));
        return;
    }
    ++echoAdded_[KeyOf(record)];
    browser->setCookie(ToNetworkCookie(record), OriginOf(record));
}

} // namespace gleaner
