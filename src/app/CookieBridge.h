#pragma once
// CookieBridge: keeps a browser profile's cookies and the process's CookieStore in step, both
// ways, so a login made in the pane goes with the HTTP requests and a cookie an HTTP answer set
// goes with the pane's next page. Lives on the UI thread.

#include "http/CookieStore.h"

#include <QNetworkCookie>
#include <QObject>
#include <QPointer>

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

class QWebEngineProfile;

namespace gleaner {

class CookieBridge final : public QObject {
public:
    /// Create on the UI thread. Turns the profile's persistent cookies off (the program keeps no
    /// cookies between runs), hands the store's cookies to the profile and the profile's to the
    /// store, then follows both.
    CookieBridge(QWebEngineProfile* profile, CookieStore& store, QObject* parent = nullptr);
    ~CookieBridge() override;

    /// The conversions at the border (exposed for tests).
    static CookieRecord ToRecord(const QNetworkCookie& cookie);
    static QNetworkCookie ToNetworkCookie(const CookieRecord& record);

private:
    using Key = std::tuple<Text, Text, Text, Text>; // domain, path, name, value
    static Key KeyOf(const CookieRecord& c) { return {c.domain, c.path, c.name, c.value}; }

    void FromBrowser(const QNetworkCookie& cookie, bool removed);
    void ToBrowser(const CookieRecord& record, bool removed);

    // Lets the store's listener, on any thread, post to the bridge only while it exists.
    struct Link {
        std::mutex mutex;
        CookieBridge* bridge = nullptr;
    };

    QPointer<QWebEngineProfile> profile_;
    CookieStore& store_;
    std::shared_ptr<Link> link_;
    int listenerId_ = 0;
    // Cookies we handed to the browser whose cookieAdded echo is still to come: the echo must not
    // overwrite a newer value the store took meanwhile.
    std::map<Key, int> echoAdded_;
};

} // namespace gleaner
