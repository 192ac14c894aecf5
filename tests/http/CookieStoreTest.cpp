#include "http/CookieStore.h"

#include "fixtures/TestSite.h"
#include "http/CurlHandle.h"
#include "http/HttpRequest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <mutex>
#include <thread>

namespace gleaner {
namespace {

using test::TestSite;

struct Heard {
    CookieRecord cookie;
    bool removed;
};

class CookieStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCurl();
        store.Clear();
        listenerId = store.AddListener([this](const CookieRecord& c, bool removed) {
            std::lock_guard lock(heardMutex);
            heard.push_back({c, removed});
        });
    }
    void TearDown() override {
        store.RemoveListener(listenerId);
        store.Clear();
    }
    std::vector<Heard> TakeHeard() {
        std::lock_guard lock(heardMutex);
        auto all = std::move(heard);
        heard.clear();
        std::sort(all.begin(), all.end(), [](const Heard& a, const Heard& b) { return a.cookie.name < b.cookie.name; });
        return all;
    }
    const CookieRecord* Find(const std::vector<CookieRecord>& all, const Text& name) {
        for (auto& c : all)
            if (c.name == name)
                return &c;
        return nullptr;
    }

    CookieStore& store = ProcessCookieStore();
    TestSite site;
    int listenerId = 0;
    std::mutex heardMutex;
    std::vector<Heard> heard;
};

TEST_F(CookieStoreTest, ACookieOneRequestGetsGoesWithTheNext) {
    EXPECT_EQ(HttpGetText(site.Url("/set-cookies")), "cookies set");
    Text sent = HttpGetText(site.Url("/echo-cookies"));
    EXPECT_TRUE(sent == "a=1; b=2" || sent == "b=2; a=1") << sent;

    auto all = store.AllCookies();
    ASSERT_EQ(all.size(), 2u);
    const CookieRecord* a = Find(all, "a");
    const CookieRecord* b = Find(all, "b");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->domain, "127.0.0.1");
    EXPECT_EQ(a->path, "/");
    EXPECT_EQ(a->value, "1");
    EXPECT_FALSE(a->httpOnly);
    EXPECT_GT(a->expiry, static_cast<std::int64_t>(std::time(nullptr)) + 3000); // Max-Age=3600
    EXPECT_TRUE(b->httpOnly);
    EXPECT_EQ(b->expiry, 0);

    // A request with a cookie text of its own neither sends nor records the store's cookies.
    Text cookies = "x=9";
    EXPECT_EQ(HttpRequest(site.Url("/echo-cookies"), {.cookies = &cookies}), "x=9");
    HttpRequest(site.Url("/set-cookie?name=own&value=1"), {.cookies = &cookies});
    EXPECT_EQ(store.AllCookies().size(), 2u);
}

TEST_F(CookieStoreTest, SetAndRemoveFromTheBrowserSide) {
    CookieRecord c{.domain = "127.0.0.1", .path = "/", .name = "sid", .value = "v1", .httpOnly = true};
    ASSERT_TRUE(store.SetCookie(c));
    EXPECT_EQ(HttpGetText(site.Url("/echo-cookies")), "sid=v1");
    auto all = store.AllCookies();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0], c);

    // The same domain, path and name replaces it.
    c.value = "v2";
    ASSERT_TRUE(store.SetCookie(c));
    EXPECT_EQ(HttpGetText(site.Url("/echo-cookies")), "sid=v2");

    // Paths and domains are honoured.
    ASSERT_TRUE(store.SetCookie({.domain = "127.0.0.1", .path = "/other", .name = "p", .value = "1"}));
    ASSERT_TRUE(store.SetCookie({.domain = "elsewhere.test", .path = "/", .name = "e", .value = "1"}));
    EXPECT_EQ(HttpGetText(site.Url("/echo-cookies")), "sid=v2");

    EXPECT_TRUE(store.RemoveCookie("127.0.0.1", "/", "sid"));
    EXPECT_FALSE(store.RemoveCookie("127.0.0.1", "/", "sid"));
    EXPECT_EQ(HttpGetText(site.Url("/echo-cookies")), "");
    EXPECT_EQ(store.AllCookies().size(), 2u);

    // None of these was the store's own news: nothing is echoed to the listeners.
    EXPECT_TRUE(TakeHeard().empty());
}

TEST_F(CookieStoreTest, RecordsThatCannotBeStoredAreRefused) {
    const CookieRecord bad[] = {
        {.domain = "127.0.0.1", .name = ""},
        {.domain = "", .name = "n"},
        {.domain = "127.0.0.1", .name = "n", .value = "a\tb"},
        {.domain = "127.0.0.1", .name = "n", .value = "a\r\nSet-Cookie: x=1"},
        {.domain = "127.0.0.1", .path = "/\n", .name = "n"},
    };
    for (const CookieRecord& c : bad)
        EXPECT_FALSE(store.SetCookie(c)) << c.name << "=" << c.value;
    EXPECT_TRUE(store.AllCookies().empty());
}

TEST_F(CookieStoreTest, ListenersHearWhatResponsesChange) {
    HttpGetText(site.Url("/set-cookies"));
    auto news = TakeHeard();
    ASSERT_EQ(news.size(), 2u);
    EXPECT_EQ(news[0].cookie.name, "a");
    EXPECT_FALSE(news[0].removed);
    EXPECT_EQ(news[1].cookie.name, "b");
    EXPECT_TRUE(news[1].cookie.httpOnly);

    // A page without Set-Cookie changes nothing.
    HttpGetText(site.Url("/list_1.html"));
    EXPECT_TRUE(TakeHeard().empty());

    HttpGetText(site.Url("/set-cookie?name=b&value=22&attrs=Path%3D/"));
    news = TakeHeard();
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].cookie.value, "22");
    EXPECT_FALSE(news[0].removed);

    HttpGetText(site.Url("/set-cookie?name=a&value=deleted&attrs=Path%3D/%3B%20Max-Age%3D0"));
    news = TakeHeard();
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].cookie.name, "a");
    EXPECT_TRUE(news[0].removed);
    EXPECT_EQ(HttpGetText(site.Url("/echo-cookies")), "b=22");

    // A cookie the browser side set and a response then changes is news again.
    ASSERT_TRUE(store.SetCookie({.domain = "127.0.0.1", .path = "/", .name = "m", .value = "1"}));
    HttpGetText(site.Url("/set-cookie?name=m&value=2&attrs=Path%3D/"));
    news = TakeHeard();
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].cookie.value, "2");
}

TEST_F(CookieStoreTest, ConcurrentRequestsShareTheStoreSafely) {
    constexpr int kThreads = 8, kRounds = 20;
    std::vector<std::thread> threads;
    std::vector<int> mismatches(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string name = "t" + std::to_string(t);
            for (int k = 0; k < kRounds; ++k) {
                const std::string value = std::to_string(k);
                HttpGetText(site.Url("/set-cookie?name=" + name + "&value=" + value + "&attrs=Path%3D/"));
                Text sent = HttpGetText(site.Url("/echo-cookies"));
                if (sent.find(name + "=" + value) == std::string::npos)
                    ++mismatches[t];
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    auto all = store.AllCookies();
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kThreads));
    for (auto& c : all)
        EXPECT_EQ(c.value, std::to_string(kRounds - 1)) << c.name;
    // Each change reached the listeners exactly once, whichever thread's diff saw it first.
    EXPECT_EQ(TakeHeard().size(), static_cast<std::size_t>(kThreads * kRounds));
}

} // namespace
} // namespace gleaner
