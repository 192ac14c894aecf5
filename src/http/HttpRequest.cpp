#include "http/HttpRequest.h"

#include "config/TaggedText.h"
#include "http/CookieStore.h"
#include "http/CurlHandle.h"
#include "http/UrlHelpers.h"

#include <mutex>

namespace gleaner {

const char* const DefaultUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Velkor; .NET CLR 2.0.50727; "
                                     ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

namespace {

std::mutex limitsMutex;
HttpLimits limits;

// The caller's variables as one exchange sees them; committed only when it succeeds.
struct RequestState {
    Text cookies;
    Text responseCookies;
    Text headers;
    Text location;
    Bytes postBytes;
    Text responseHeaders;
};

struct Transfer {
    Bytes body;
    std::string headers; // of the latest answer
    std::size_t maxBody = 0;
    std::size_t maxHeader = 0;
    bool bodyCut = false;
    bool headersTooLong = false;
    bool sawSetCookie = false;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && Find(text.substr(0, prefix.size()), prefix, 1, true) == 1;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (t.body.size() + n > t.maxBody) {
        t.body.append(data, t.maxBody - t.body.size());
        t.bodyCut = true;
        return 0; // ends the transfer
    }
    t.body.append(data, n);
    return n;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    std::string_view line(data, n);
    // Each answer of a redirect chain starts with its status line; only the last one is kept.
    if (line.substr(0, 5) == "HTTP/")
        t.headers.clear();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (t.headers.size() + line.size() + 2 > t.maxHeader) {
        t.headersTooLong = true;
        return 0;
    }
    t.headers.append(line);
    t.headers.append("\r\n");
    if (StartsWithNoCase(line, "Set-Cookie:"))
        t.sawSetCookie = true;
    return n;
}

bool IsHostByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

// The address libcurl is given, rebuilt from the program's own reading of host, port and path,
// so an address without scheme or with odd parts is taken the way the rest of the program takes
// it. Empty when the address cannot be requested.
std::string CurlUrl(const Text& url, bool& https) {
    for (unsigned char c : url)
        if (c < 0x20 || c == 0x7f)
            return {};
    https = ToLowerAscii(Left(url, 5)) == "https";
    const Text host = UrlHost(url);
    const int port = UrlPort(url);
    const Text path = UrlPath(url);
    if (host.empty() || port < 1 || port > 65535)
        return {};
    for (unsigned char c : host)
        if (!IsHostByte(c))
            return {};
    std::string out = (https ? "https://" : "http://") + host + ":" + std::to_string(port);
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (c <= 0x20 || c == 0x7f)
            return {}; // blanks and control bytes would break the request line
        if (c >= 0x80) {
            // Code-page bytes travel percent-encoded, unchanged.
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void CompleteHeaders(Text& headers, const Text& url, const Text& cookies) {
    if (Find(headers, "Referer:") == -1)
        headers = headers.empty() ? "Referer: " + url : headers + "\r\nReferer: " + url;
    if (Find(headers, "Accept:") == -1)
        headers += "\r\nAccept: */*";
    if (Find(headers, "Accept-Language:") == -1)
        headers += "\r\nAccept-Language: zh-cn";
    if (Find(headers, "Content-Type:") == -1)
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    if (!cookies.empty())
        headers += "\r\nCookie: " + cookies;
}

Text AgentFor(const Text& headers) {
    if (Find(headers, "User-Agent:", 1, true) == -1)
        return DefaultUserAgent;
    Text agent = Trim(TextBetween(headers, "User-Agent:", "\r\n"));
    return agent.empty() ? TextAfterColon(headers) : agent;
}

// One exchange: builds, sends and reads the request for `url` on the working state s. False
// when it failed; s may then be half-written and must be dropped.
bool Exchange(const Text& url, const HttpRequestArgs& args, const HttpLimits& lim, RequestState& s, Bytes& body) {
    const bool cookiesGiven = args.cookies != nullptr;
    bool https = false;
    const std::string target = CurlUrl(url, https);
    if (target.empty())
        return false;
    CurlHandle h;
    if (!h)
        return false;
    CURL* c = h.Get();

    const Text agent = CutAtZero(AgentFor(s.headers));
    CompleteHeaders(s.headers, url, s.cookies);
    for (const Text& line : Split(s.headers, "\r\n")) {
        if (line.empty() || line.find_first_of(std::string("\r\n\0", 3)) != Text::npos)
            continue; // a stray line break would smuggle in a header of its own
        Text sent = line;
        const Text trimmed = Trim(line);
        // "Name:" alone would make libcurl drop a header; "Name;" sends it empty.
        if (!trimmed.empty() && trimmed.find(':') == trimmed.size() - 1)
            sent = trimmed.substr(0, trimmed.size() - 1) + ";";
        if (!h.AddHeader(sent))
            return false;
    }
    // libcurl's own "Expect: 100-continue" would change what goes over the wire.
    if (!h.AddHeader("Expect:"))
        return false;
    h.ApplyHeaders();

    Transfer t;
    t.maxBody = lim.maxBodyBytes;
    t.maxHeader = lim.maxHeaderBytes;

    curl_easy_setopt(c, CURLOPT_URL, target.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, args.noRedirect ? 0L : 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, static_cast<long>(lim.maxFollowedRedirects));
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, lim.connectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, lim.lowSpeedBytesPerSecond);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, lim.lowSpeedSeconds);
    curl_easy_setopt(c, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);

    // The proxy serves plain http only; an empty text here means "no proxy", also against
    // the environment's http_proxy.
    const std::string proxy = (args.proxy && !https) ? CutAtZero(*args.proxy) : std::string();
    curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
    if (!proxy.empty()) {
        curl_easy_setopt(c, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
        curl_easy_setopt(c, CURLOPT_NOPROXY, "");
    }

    CookieStore& store = ProcessCookieStore();
    if (!cookiesGiven) {
        if (!store.ShareHandle())
            return false;
        curl_easy_setopt(c, CURLOPT_SHARE, store.ShareHandle());
        curl_easy_setopt(c, CURLOPT_COOKIEFILE, ""); // switches the cookie engine on
    }

    if (args.method != 0) {
        if (s.postBytes.empty())
            s.postBytes = args.postText;
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(s.postBytes.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, s.postBytes.data());
        if (args.method != 1)
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "GET");
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode rc = curl_easy_perform(c);
    if (!cookiesGiven && t.sawSetCookie)
        store.NoteResponseCookies();
    const bool ok = rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && t.bodyCut && !t.headersTooLong);
    if (!ok || t.headers.empty())
        return false;

    s.responseHeaders = t.headers;
    s.responseCookies.clear();
    for (const Text& line : Split(s.responseHeaders, "\r\n")) {
        if (Contains(line, "Location:"))
            s.location = TextAfterColon(line);
        if (Contains(line, "Set-Cookie"))
            s.responseCookies += Trim(TextBetween(line, "Set-Cookie:", ";")) + "; ";
    }
    s.responseCookies = Left(s.responseCookies, static_cast<int>(s.responseCookies.size()) - 2);
    if (cookiesGiven)
        MergeCookies(s.cookies, s.responseCookies);
    if (s.location.empty())
        s.location = s.responseHeaders;
    body = std::move(t.body);
    return true;
}

} // namespace

void SetHttpLimits(const HttpLimits& l) {
    std::lock_guard lock(limitsMutex);
    limits = l;
}

HttpLimits GetHttpLimits() {
    std::lock_guard lock(limitsMutex);
    return limits;
}

Bytes HttpRequest(const Text& url, const HttpRequestArgs& args) {
    const HttpLimits lim = GetHttpLimits();
    RequestState state;
    if (args.cookies)
        state.cookies = *args.cookies;
    if (args.responseCookies)
        state.responseCookies = *args.responseCookies;
    if (args.headers)
        state.headers = *args.headers;
    if (args.location)
        state.location = *args.location;
    if (args.postBytes)
        state.postBytes = *args.postBytes;
    if (args.responseHeaders)
        state.responseHeaders = *args.responseHeaders;

    // Each re-request of the 301 rule acts on what the previous exchange left; a failing one
    // leaves that as it was.
    Bytes result;
    bool committed = false;
    Text address = url;
    for (int hop = 0;; ++hop) {
        RequestState working = state;
        Bytes body;
        if (!Exchange(address, args, lim, working, body)) {
            result.clear();
            break;
        }
        state = std::move(working);
        committed = true;
        if (TextBetween(state.responseHeaders, "HTTP/1.1 ", " Moved") == "301" && hop < lim.maxOwnRedirects) {
            address = state.location + UrlPath(address);
            state.location.clear();
            continue;
        }
        result = std::move(body);
        break;
    }
    if (committed) {
        if (args.cookies)
            *args.cookies = state.cookies;
        if (args.responseCookies)
            *args.responseCookies = state.responseCookies;
        if (args.headers)
            *args.headers = state.headers;
        if (args.location)
            *args.location = state.location;
        if (args.postBytes)
            *args.postBytes = state.postBytes;
        if (args.responseHeaders)
            *args.responseHeaders = state.responseHeaders;
    }
    return result;
}

Text HttpGetText(const Text& url) { return CutAtZero(HttpRequest(url)); }

} // namespace gleaner
