#pragma once
// The process-wide cookie store: one libcurl share handle that every HttpRequest without a
// cookie text of its own attaches to, and that the browser bridge keeps in step with the
// browser profile's cookies in both directions.

#include "text/Text.h"

#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

namespace gleaner {

/// One cookie. A domain with a leading "." is sent to its subdomains as well; without it the
/// cookie is the host's alone.
struct CookieRecord {
    Text domain;
    Text path = "/";
    Text name;
    Text value;
    bool secure = false;
    bool httpOnly = false;
    std::int64_t expiry = 0; // seconds since 1970 (UTC); 0: ends with the session

    bool operator==(const CookieRecord&) const = default;
};

class CookieStore {
public:
    /// Called with a cookie a response set or changed (removed = false) or removed (true).
    using Listener = std::function<void(const CookieRecord&, bool removed)>;

    CookieStore();
    ~CookieStore();
    CookieStore(const CookieStore&) = delete;
    CookieStore& operator=(const CookieStore&) = delete;

    /// The share handle for CURLOPT_SHARE; null when libcurl could not make one.
    CURLSH* ShareHandle() const { return share_; }

    /// Adds or replaces the cookie of that domain, path and name. False for a record that cannot
    /// be stored (empty name or domain, tabs or line breaks in a field). Listeners are not called.
    bool SetCookie(const CookieRecord& cookie);
    /// Removes the cookie of that domain (as AllCookies names it), path and name. False when there
    /// was none. Listeners are not called.
    bool RemoveCookie(const Text& domain, const Text& path, const Text& name);
    /// Every cookie that has not expired.
    std::vector<CookieRecord> AllCookies() const;
    /// Removes every cookie (for tests and a fresh profile). Listeners are not called.
    void Clear();

    /// Returns an id for RemoveListener. Listeners run on the thread of the request that made the
    /// change, after the store's locks are released.
    int AddListener(Listener listener);
    void RemoveListener(int id);

    /// After a request through the store saw Set-Cookie lines: tells the listeners what changed
    /// since the store last looked.
    void NoteResponseCookies();

private:
    using Key = std::tuple<Text, Text, Text>; // domain, path, name
    static Key KeyOf(const CookieRecord& c) { return {c.domain, c.path, c.name}; }
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void Unlock(CURL*, curl_lock_data data, void* self);
    bool SetLine(const std::string& line) const;
    void Remember(const Key& key);

    CURLSH* share_ = nullptr;
    std::mutex curlLocks_[CURL_LOCK_DATA_LAST];
    // What the listeners last heard about; changes made through SetCookie/RemoveCookie go
    // straight in here, so they are not echoed back.
    std::mutex seenMutex_;
    std::map<Key, CookieRecord> seen_;
    std::mutex listenerMutex_;
    std::map<int, Listener> listeners_;
    int nextListenerId_ = 1;
};

/// The one store of the process. Never destroyed: detached workers may still use it at exit.
CookieStore& ProcessCookieStore();

} // namespace gleaner
