#include "http/CookieStore.h"

#include "http/CurlHandle.h"

#include <ctime>
#include <set>

namespace gleaner {

namespace {

bool Storable(const Text& field) { return field.find_first_of(std::string("\t\r\n\0", 4)) == Text::npos; }

// A Netscape cookie-file line, the form CURLOPT_COOKIELIST takes and CURLINFO_COOKIELIST gives.
std::string NetscapeLine(const CookieRecord& c) {
    const bool subdomains = !c.domain.empty() && c.domain[0] == '.';
    return (c.httpOnly ? "#HttpOnly_" : "") + c.domain + "\t" + (subdomains ? "TRUE" : "FALSE") + "\t" +
           (c.path.empty() ? "/" : c.path) + "\t" + (c.secure ? "TRUE" : "FALSE") + "\t" +
           std::to_string(c.expiry) + "\t" + c.name + "\t" + c.value;
}

bool ParseNetscapeLine(std::string_view line, CookieRecord& c) {
    static constexpr std::string_view httpOnlyPrefix = "#HttpOnly_";
    c = CookieRecord{};
    if (line.substr(0, httpOnlyPrefix.size()) == httpOnlyPrefix) {
        c.httpOnly = true;
        line.remove_prefix(httpOnlyPrefix.size());
    }
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() < 7)
        return false;
    c.domain = Text(fields[0]);
    if (fields[1] == "TRUE" && !c.domain.empty() && c.domain[0] != '.')
        c.domain = "." + c.domain;
    c.path = Text(fields[2]);
    c.secure = fields[3] == "TRUE";
    c.expiry = std::strtoll(std::string(fields[4]).c_str(), nullptr, 10);
    c.name = Text(fields[5]);
    c.value = Text(fields[6]);
    return true;
}

} // namespace

CookieStore::CookieStore() {
    if (!InitCurl())
        return;
    share_ = curl_share_init();
    if (!share_)
        return;
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieStore::Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

CookieStore::~CookieStore() {
    if (share_)
        curl_share_cleanup(share_);
}

void CookieStore::Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    if (data >= 0 && data < CURL_LOCK_DATA_LAST)
        static_cast<CookieStore*>(self)->curlLocks_[data].lock();
}

void CookieStore::Unlock(CURL*, curl_lock_data data, void* self) {
    if (data >= 0 && data < CURL_LOCK_DATA_LAST)
        static_cast<CookieStore*>(self)->curlLocks_[data].unlock();
}

bool CookieStore::SetLine(const std::string& line) const {
    if (!share_)
        return false;
    CurlHandle h;
    if (!h)
        return false;
    curl_easy_setopt(h.Get(), CURLOPT_SHARE, share_);
    return curl_easy_setopt(h.Get(), CURLOPT_COOKIELIST, line.c_str()) == CURLE_OK;
}

std::vector<CookieRecord> CookieStore::AllCookies() const {
    std::vector<CookieRecord> all;
    if (!share_)
        return all;
    CurlHandle h;
    if (!h)
        return all;
    curl_easy_setopt(h.Get(), CURLOPT_SHARE, share_);
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(h.Get(), CURLINFO_COOKIELIST, &list) != CURLE_OK)
        return all;
    // libcurl drops an expired cookie only at a later change; it is gone for us at once.
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    for (curl_slist* p = list; p; p = p->next) {
        CookieRecord c;
        if (p->data && ParseNetscapeLine(p->data, c) && (c.expiry == 0 || c.expiry > now))
            all.push_back(std::move(c));
    }
    curl_slist_free_all(list);
    return all;
}

void CookieStore::Remember(const Key& key) {
    // Caller holds seenMutex_.
    for (auto& c : AllCookies()) {
        if (KeyOf(c) == key) {
            seen_[key] = c;
            return;
        }
    }
    seen_.erase(key);
}

bool CookieStore::SetCookie(const CookieRecord& cookie) {
    if (cookie.name.empty() || cookie.domain.empty() || cookie.domain == "." || !Storable(cookie.domain) ||
        !Storable(cookie.path) || !Storable(cookie.name) || !Storable(cookie.value) ||
        cookie.domain.find(' ') != Text::npos || cookie.expiry < 0)
        return false;
    CookieRecord c = cookie;
    c.domain = ToLowerAscii(c.domain); // libcurl keeps host names in lower case
    if (c.path.empty())
        c.path = "/";
    std::lock_guard lock(seenMutex_);
    if (!SetLine(NetscapeLine(c)))
        return false;
    Remember(KeyOf(c));
    return true;
}

bool CookieStore::RemoveCookie(const Text& domain, const Text& path, const Text& name) {
    std::lock_guard lock(seenMutex_);
    const Key key{domain, path.empty() ? Text("/") : path, name};
    for (auto c : AllCookies()) {
        if (KeyOf(c) != key)
            continue;
        // An expired copy replaces it; libcurl matches on domain, path and name.
        c.expiry = 1;
        c.value.clear();
        bool ok = SetLine(NetscapeLine(c));
        seen_.erase(key);
        return ok;
    }
    return false;
}

void CookieStore::Clear() {
    std::lock_guard lock(seenMutex_);
    SetLine("ALL");
    seen_.clear();
}

int CookieStore::AddListener(Listener listener) {
    std::lock_guard lock(listenerMutex_);
    int id = nextListenerId_++;
    listeners_[id] = std::move(listener);
    return id;
}

void CookieStore::RemoveListener(int id) {
    std::lock_guard lock(listenerMutex_);
    listeners_.erase(id);
}

void CookieStore::NoteResponseCookies() {
    std::vector<std::pair<CookieRecord, bool>> changes;
    {
        std::lock_guard lock(seenMutex_);
        std::map<Key, CookieRecord> now;
        for (auto& c : AllCookies())
            now.emplace(KeyOf(c), c);
        for (auto& [key, c] : now) {
            auto old = seen_.find(key);
            if (old == seen_.end() || !(old->second == c))
                changes.emplace_back(c, false);
        }
        for (auto& [key, c] : seen_)
            if (!now.count(key))
                changes.emplace_back(c, true);
        seen_ = std::move(now);
    }
    if (changes.empty())
        return;
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(listenerMutex_);
        for (auto& [id, l] : listeners_)
            listeners.push_back(l);
    }
    for (auto& [c, removed] : changes)
        for (auto& l : listeners)
            l(c, removed);
}

CookieStore& ProcessCookieStore() {
    static CookieStore* store = new CookieStore;
    return *store;
}

} // namespace gleaner
