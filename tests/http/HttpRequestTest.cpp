#include "http/HttpRequest.h"

#include "fixtures/TestSite.h"
#include "http/CookieStore.h"
#include "http/CurlHandle.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace gleaner {
namespace {

using test::RawRequest;
using test::SiteRequest;
using test::SiteResponse;
using test::TestSite;

const std::string kDefaultLines = "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

// A port nobody listens on: bound once, then closed.
int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

class HttpRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCurl();
        ProcessCookieStore().Clear();
        HttpLimits quick;
        quick.connectTimeoutMs = 3000;
        quick.lowSpeedSeconds = 2;
        SetHttpLimits(quick);
    }
    void TearDown() override { SetHttpLimits(HttpLimits{}); }

    std::string Host() const { return "Host: 127.0.0.1:" + std::to_string(site.RawPort()) + "\r\n"; }
    RawRequest OnlyRaw() const {
        auto all = site.RawRequests();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? RawRequest{} : all.back();
    }

    TestSite site;
};

TEST_F(HttpRequestTest, PlainGetSendsExactlyTheProgramsHeaderLines) {
    const std::string url = site.RawUrl("/plain?x=1");
    Text headers;
    Bytes body = HttpRequest(url, {.headers = &headers});
    EXPECT_EQ(body, "ok");
    EXPECT_EQ(headers, "Referer: " + url + kDefaultLines);
    RawRequest r = OnlyRaw();
    EXPECT_EQ(r.head, "GET /plain?x=1 HTTP/1.1\r\n" + Host() + "User-Agent: " + DefaultUserAgent +
                          "\r\nReferer: " + url + kDefaultLines + "\r\n\r\n");
    EXPECT_EQ(r.body, "");
}

TEST_F(HttpRequestTest, CallerHeaderLinesAreCompletedInOrder) {
    struct Case {
        const char* name;
        Text given;
        Text completedTail;    // what follows the given lines
        bool defaultAgentSent; // libcurl's agent line besides the caller's lines
    };
    const std::string url = site.RawUrl("/h");
    const Case cases[] = {
        {"agent only", "User-Agent: Probe/2", "\r\nReferer: " + url + kDefaultLines, false},
        {"agent lower case, not last", "user-agent: Lower\r\nX-Test: 1", "\r\nReferer: " + url + kDefaultLines, false},
        {"own accept", "Accept: text/html",
         "\r\nReferer: " + url + "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded", true},
        {"lower-case referer is not recognised", "referer: http://elsewhere/", "\r\nReferer: " + url + kDefaultLines,
         true},
        {"everything given", "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: c", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        site.ClearRequests();
        Text headers = c.given;
        EXPECT_EQ(HttpRequest(url, {.headers = &headers}), "ok");
        EXPECT_EQ(headers, c.given + c.completedTail);
        const std::string agent = c.defaultAgentSent ? "User-Agent: " + std::string(DefaultUserAgent) + "\r\n" : "";
        EXPECT_EQ(OnlyRaw().HeaderText() + "\r\n", Host() + agent + headers + "\r\n");
    }
}

TEST_F(HttpRequestTest, BodyRulesOfTheMethods) {
    struct Case {
        int method;
        Text postText;
        Bytes postBytes;
        const char* verb;
        Bytes sent;
        Bytes postBytesAfter;
    };
    const Case cases[] = {
        {0, "a=1", "", "GET", "", ""},
        {1, "a=1&b=2", "", "POST", "a=1&b=2", "a=1&b=2"},
        {1, "ignored", "raw\x01bytes", "POST", "raw\x01bytes", "raw\x01bytes"},
        {1, "", "", "POST", "", ""},
        {2, "q=GET with body", "", "GET", "q=GET with body", "q=GET with body"},
        {7, "other", "", "GET", "other", "other"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.method) + " " + c.postText);
        site.ClearRequests();
        Bytes postBytes = c.postBytes;
        EXPECT_EQ(HttpRequest(site.RawUrl("/form"), {.method = c.method, .postText = c.postText, .postBytes = &postBytes}),
                  "ok");
        EXPECT_EQ(postBytes, c.postBytesAfter);
        RawRequest r = OnlyRaw();
        EXPECT_EQ(r.RequestLine(), std::string(c.verb) + " /form HTTP/1.1");
        EXPECT_EQ(r.body, c.sent);
        const bool hasLength = r.head.find("\r\nContent-Length: " + std::to_string(c.sent.size()) + "\r\n") !=
                               std::string::npos;
        EXPECT_EQ(hasLength, c.method != 0);
        EXPECT_EQ(r.head.find("Expect:"), std::string::npos);
        // The program's Content-Type line stands alone; libcurl adds none of its own.
        EXPECT_EQ(r.head.find("Content-Type:"), r.head.rfind("Content-Type:"));
    }
}

TEST_F(HttpRequestTest, ResponseCookiesWithAndWithoutACookieText) {
    {
        SCOPED_TRACE("omitted: the store takes them");
        Text responseCookies = "old";
        EXPECT_EQ(HttpRequest(site.Url("/set-cookies"), {.responseCookies = &responseCookies}), "cookies set");
        EXPECT_EQ(responseCookies, "a=1; b=2");
        EXPECT_EQ(ProcessCookieStore().AllCookies().size(), 2u);
    }
    ProcessCookieStore().Clear();
    {
        SCOPED_TRACE("given x=9: merged, and the store is left alone");
        Text cookies = "x=9", responseCookies;
        EXPECT_EQ(HttpRequest(site.Url("/set-cookies"), {.cookies = &cookies, .responseCookies = &responseCookies}),
                  "cookies set");
        EXPECT_EQ(responseCookies, "a=1;b=2");
        EXPECT_EQ(cookies, "a=1; b=2; x=9");
        EXPECT_EQ(site.Requests().back().Header("Cookie"), "x=9");
        EXPECT_TRUE(ProcessCookieStore().AllCookies().empty());
    }
    {
        SCOPED_TRACE("given empty: no Cookie line, afterwards the response's cookies");
        Text cookies;
        site.ClearRequests();
        HttpRequest(site.Url("/set-cookies"), {.cookies = &cookies});
        EXPECT_EQ(cookies, "a=1; b=2");
        EXPECT_FALSE(site.Requests().back().HasHeader("Cookie"));
        EXPECT_TRUE(ProcessCookieStore().AllCookies().empty());
    }
    {
        SCOPED_TRACE("a Set-Cookie line without semicolon gives an empty entry");
        site.HandleRaw("/bare", [](const RawRequest&) {
            return std::string("HTTP/1.1 200 OK\r\nSet-Cookie: c=3\r\nSet-Cookie: d=4; Path=/\r\n"
                               "Content-Length: 1\r\n\r\n.");
        });
        Text responseCookies;
        HttpRequest(site.RawUrl("/bare"), {.responseCookies = &responseCookies});
        EXPECT_EQ(responseCookies, "; d=4");
    }
}

TEST_F(HttpRequestTest, LocationAndRawHeaderText) {
    site.HandleRaw("/answer", [](const RawRequest&) {
        return std::string("HTTP/1.1 200 OK\r\nX-One: 1\nContent-Length: 2\r\n\r\nhi");
    });
    Text location, responseHeaders;
    EXPECT_EQ(HttpRequest(site.RawUrl("/answer"), {.location = &location, .responseHeaders = &responseHeaders}), "hi");
    // Line ends are made "\r\n" whatever the server sent.
    EXPECT_EQ(responseHeaders, "HTTP/1.1 200 OK\r\nX-One: 1\r\nContent-Length: 2\r\n\r\n");
    EXPECT_EQ(location, responseHeaders);

    Text kept = "kept";
    HttpRequest(site.RawUrl("/answer"), {.location = &kept});
    EXPECT_EQ(kept, "kept");

    location.clear();
    responseHeaders.clear();
    EXPECT_EQ(HttpRequest(site.Url("/redirect302?to=http://127.0.0.1:1/x"),
                          {.location = &location, .noRedirect = true, .responseHeaders = &responseHeaders}),
              "moved");
    EXPECT_EQ(location, "http://127.0.0.1:1/x");
    EXPECT_EQ(responseHeaders.rfind("HTTP/1.1 302 Found\r\n", 0), 0u);
}

TEST_F(HttpRequestTest, FollowedRedirectsGiveTheFinalAnswer) {
    Text responseHeaders;
    Bytes body = HttpRequest(site.Url("/redirect302?to=" + site.Url("/list_4.html")), {.responseHeaders = &responseHeaders});
    EXPECT_EQ(body, TestSite::ListPageHtml(4, 3, false));
    EXPECT_EQ(responseHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(responseHeaders.find("302"), std::string::npos);
}

TEST_F(HttpRequestTest, The301RuleAppendsThePathToAPathlessLocation) {
    const std::string origin = site.RawUrl("");
    site.Handle("/p", [&](const SiteRequest&) { return SiteResponse{301, {{"Location", origin}}, "moved"}; });
    Text headers, location;
    Bytes body = HttpRequest(site.Url("/p?q=1"), {.headers = &headers, .location = &location, .noRedirect = true});
    EXPECT_EQ(body, "ok");
    RawRequest r = OnlyRaw();
    EXPECT_EQ(r.RequestLine(), "GET /p?q=1 HTTP/1.1");
    // The first address's Referer goes along; no second one is added.
    EXPECT_EQ(headers, "Referer: " + site.Url("/p?q=1") + kDefaultLines);
    EXPECT_NE(r.head.find("\r\nReferer: " + site.Url("/p?q=1") + "\r\n"), std::string::npos);
    EXPECT_EQ(location.rfind("HTTP/1.1 200 OK", 0), 0u);

    // Followed by libcurl itself, the path-less location is requested as "/".
    site.ClearRequests();
    EXPECT_EQ(HttpGetText(site.Url("/p?q=1")), "ok");
    EXPECT_EQ(OnlyRaw().RequestLine(), "GET / HTTP/1.1");
}

TEST_F(HttpRequestTest, RedirectLoopsAreBounded) {
    // The program's own rule: ten re-requests, then the last answer's body. A path-less
    // Location plus the carried-over path leads back to the same address.
    site.Handle("/again", [&](const SiteRequest&) { return SiteResponse{301, {{"Location", site.Url("")}}, "again"}; });
    Bytes body = HttpRequest(site.Url("/again"), {.noRedirect = true});
    EXPECT_EQ(body, "again");
    EXPECT_EQ(site.Requests().size(), 11u);
    // libcurl's following gives up after ten.
    EXPECT_EQ(HttpGetText(site.Url("/loop301")), "");
    EXPECT_EQ(HttpGetText(site.Url("/loop302")), "");
}

TEST_F(HttpRequestTest, FailureLeavesTheCallersVariablesAsPassed) {
    Text cookies = "c=1", responseCookies = "rc", headers = "X-Mine: 1", location = "loc", responseHeaders = "rh";
    Bytes postBytes;
    const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x";
    Bytes body = HttpRequest(url, {.method = 1,
                                   .postText = "p=1",
                                   .cookies = &cookies,
                                   .responseCookies = &responseCookies,
                                   .headers = &headers,
                                   .location = &location,
                                   .postBytes = &postBytes,
                                   .responseHeaders = &responseHeaders});
    EXPECT_EQ(body, "");
    EXPECT_EQ(cookies, "c=1");
    EXPECT_EQ(responseCookies, "rc");
    EXPECT_EQ(headers, "X-Mine: 1");
    EXPECT_EQ(location, "loc");
    EXPECT_EQ(postBytes, "");
    EXPECT_EQ(responseHeaders, "rh");
    EXPECT_EQ(HttpGetText(url), "");
}

TEST_F(HttpRequestTest, MisbehavingServersGiveAnEmptyAnswer) {
    const std::string paths[] = {"/raw/close", "/raw/early-close", "/raw/garbage", "/raw/huge-headers?mib=10",
                                 "/raw/never", "/raw/trickle?bytes=3&ms=3000"};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        Text responseHeaders = "untouched";
        EXPECT_EQ(HttpRequest(site.RawUrl(path), {.responseHeaders = &responseHeaders}), "");
        EXPECT_EQ(responseHeaders, "untouched");
    }
    // Slow but alive is no failure.
    EXPECT_EQ(HttpGetText(site.RawUrl("/raw/trickle?bytes=5&ms=200")), "abcde");
}

TEST_F(HttpRequestTest, HostileAddressesGiveAnEmptyAnswer) {
    const std::string port = std::to_string(site.RawPort());
    const std::string urls[] = {"",
                                "http://",
                                "http:///x",
                                "http://127.0.0.1:0/",
                                "http://127.0.0.1:99999/",
                                "http://127.0.0.1:-5/",
                                "http://127.0.0.1:" + port + "/a b",
                                "http://127.0.0.1:" + port + "/a\x01\r\nX-Injected: 1",
                                "http://127.0.0.1:" + port + std::string("/a\0b", 4),
                                "http://us er@127.0.0.1:" + port + "/",
                                "http://127.0.0.1%00:" + port + "/"};
    for (const std::string& url : urls) {
        SCOPED_TRACE(url);
        EXPECT_EQ(HttpRequest(url), "");
    }
    EXPECT_TRUE(site.RawRequests().empty());
}

TEST_F(HttpRequestTest, AddressesAreReadTheProgramsWay) {
    // No scheme, capital letters in the host, code-page bytes in the path.
    const std::string port = std::to_string(site.RawPort());
    EXPECT_EQ(HttpRequest("127.0.0.1:" + port + "/Noscheme?a=1"), "ok");
    EXPECT_EQ(HttpRequest("HTTP://127.0.0.1:" + port + "/" + "页面"_t), "ok");
    auto all = site.RawRequests();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].RequestLine(), "GET /Noscheme?a=1 HTTP/1.1");
    EXPECT_EQ(all[1].RequestLine(), "GET /%D2%B3%C3%E6 HTTP/1.1");
}

TEST_F(HttpRequestTest, BodiesPassUnchangedAndOversizedOnesAreCut) {
    EXPECT_EQ(HttpGetText(site.Url("/list_2.html")), TestSite::ListPageHtml(2, 3, false));
    EXPECT_EQ(HttpGetText(site.Url("/utf8/content/2_1.html")), TestSite::ContentPageHtml(2, 1, true));

    site.HandleRaw("/zero", [](const RawRequest&) {
        return std::string("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nab\0cd", 43);
    });
    EXPECT_EQ(HttpRequest(site.RawUrl("/zero")), std::string("ab\0cd", 5));
    EXPECT_EQ(HttpGetText(site.RawUrl("/zero")), "ab");

    HttpLimits small = GetHttpLimits();
    small.maxBodyBytes = 1000;
    SetHttpLimits(small);
    Text responseHeaders;
    Bytes cut = HttpRequest(site.Url("/bytes?n=70000"), {.responseHeaders = &responseHeaders});
    ASSERT_EQ(cut.size(), 1000u);
    EXPECT_EQ(cut.substr(0, 27), "abcdefghijklmnopqrstuvwxyza");
    EXPECT_EQ(responseHeaders.rfind("HTTP/1.1 200 OK", 0), 0u);
    EXPECT_EQ(HttpGetText(site.RawUrl("/raw/big?mib=4")).size(), 1000u);
}

TEST_F(HttpRequestTest, ProxyOnlyForPlainHttpAndOnlyWhenGiven) {
    const Text proxy = "127.0.0.1:" + std::to_string(site.RawPort());
    const std::string target = site.Url("/via");
    EXPECT_EQ(HttpRequest(target, {.proxy = &proxy}), "ok");
    EXPECT_EQ(OnlyRaw().RequestLine(), "GET " + target + " HTTP/1.1");
    EXPECT_TRUE(site.Requests().empty());

    site.ClearRequests();
    const Text none;
    EXPECT_EQ(HttpRequest(target, {.proxy = &none}), "not found");
    EXPECT_EQ(site.Requests().size(), 1u);
    EXPECT_TRUE(site.RawRequests().empty());

    // https goes direct: here to a plain server, so the TLS handshake fails, but not via the proxy.
    site.ClearRequests();
    EXPECT_EQ(HttpRequest("https://127.0.0.1:" + std::to_string(site.Port()) + "/s", {.proxy = &proxy}), "");
    EXPECT_TRUE(site.RawRequests().empty());
}

} // namespace
} // namespace gleaner
