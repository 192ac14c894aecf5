#include "http/UrlHelpers.h"

#include <gtest/gtest.h>

using namespace gleaner;

TEST(TextAfterColon, Cases) {
    const struct {
        std::string text, expected;
    } cases[] = {
        {"Location: /a/b", "/a/b"},
        {"Location:http://h.test:81/x  ", "http://h.test:81/x"},
        {"Date: Mon, 01 Jan 2024 10:00:00 GMT", "Mon, 01 Jan 2024 10:00:00 GMT"},
        {"no colon here", ""},
        {"", ""},
        {"Name:", ""},
        {"Name:\xA1\xA1v\xA1\xA1", "v"},               // full-width blanks trimmed
        {"Name:\tv\r", "\tv\r"},                        // tabs and CR are not blanks
        {"\xB2:x:y", "y"},                              // B2 3A is one character: not the colon
        {"K\xB2\xC9: \xB2\xC9", "\xB2\xC9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TextAfterColon(c.text), c.expected);
    }
}

TEST(UrlHost, Cases) {
    const struct {
        std::string url;
        bool mainDomainOnly, keepPort;
        std::string expected;
    } cases[] = {
        {"shop.host.test:8080/A/b?x=1", false, false, "shop.host.test"},
        {"shop.host.test:8080/A/b?x=1", false, true, "shop.host.test:8080"},
        {"HTTPS://Shop.Host.Test/A", false, false, "shop.host.test"},
        {"http://WWW.Example.TEST", false, false, "www.example.test"},
        {"http://a.b.c.d/x", true, false, "c.d"},
        {"http://a.b.c.d:81/x", true, false, "c.d"},
        {"http://a.b.c.d:81/x", true, true, "c.d:81"},
        {"localhost", true, false, "localhost"},
        {"http://127.0.0.1:5000/", false, true, "127.0.0.1:5000"},
        // The plain-scheme test looks anywhere: the host is taken behind the inner prefix.
        {"site.test/go?to=http://inner.test/p", false, false, "inner.test"},
        {"", false, false, ""},
        {"/", false, false, ""},
        {"http://", false, false, ""},
        {"https://h.test?q=1", false, false, "h.test?q=1"},
        {"http://h\xB2\xC9.test/p", false, false, "h\xB2\xC9.test"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(UrlHost(c.url, c.mainDomainOnly, c.keepPort), c.expected);
    }
}

TEST(UrlPort, Cases) {
    const struct {
        std::string url;
        int expected;
    } cases[] = {
        {"shop.host.test:8080/A/b?x=1", 8080},
        {"HTTPS://shop.host.test/A", 443},
        {"https://shop.host.test:8443/A", 8443},
        {"http://shop.host.test/A", 80},
        {"shop.host.test", 80},
        {"http://h.test:/", 0},
        {"http://h.test:x1/", 0},
        {"http://h.test:99999999999/", 2147483647},
        {"", 80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(UrlPort(c.url), c.expected);
    }
}

TEST(UrlPath, Cases) {
    const struct {
        std::string url, expected;
    } cases[] = {
        {"shop.host.test:8080/A/b?x=1", "/A/b?x=1"},
        {"HTTPS://Shop.Host.Test/Dir/Page.HTML#Top", "/Dir/Page.HTML#Top"},
        {"http://host.test", "/"},
        {"host.test", "/"},
        {"http://host.test/", "/"},
        {"", "/"},
        {"/only/path", "/only/path"},
        // The host is searched from the start, ignoring case; the path begins at the next "/".
        {"site.test/go?to=http://inner.test/p", "/p"},
        {"http://h.test/\xB2\xC9/x", "/\xB2\xC9/x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(UrlPath(c.url), c.expected);
    }
}

TEST(MergeCookies, Cases) {
    const struct {
        const char* name;
        std::string cookies, newCookies, expected, newAfter;
    } cases[] = {
        {"new first, older kept", "a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
        {"deleted removes", "a=1; b=2", "b=deleted", "a=1", "b=deleted"},
        {"deleted without older", "", "x=deleted; y=1", "y=1", "x=deleted;y=1"},
        {"both empty", "", "", "", ""},
        {"blanks removed", "a = 1", "", "a=1", ""},
        {"full-width blanks removed", "a\xA1\xA1=1", "", "a=1", ""},
        {"empty entry once", "a=1;;;b=2", "", "a=1; ; b=2", ""},
        {"first of older duplicates", "a=1; a=2; b=3", "", "a=1; b=3", ""},
        {"new duplicates dropped", "", "a=1; a=1; a=2", "a=1; a=2", "a=1;a=1;a=2"},
        {"entry without =", "flag; a=1", "a=2", "a=2; flag", "a=2"},
        {"names are case sensitive", "A=1", "a=2", "a=2; A=1", "a=2"},
        {"trailing separator", "a=1;", "b=2;", "b=2; a=1", "b=2;"},
        {"chinese value", "a=\xB2\xC9", "b=\xBC\xAF", "b=\xBC\xAF; a=\xB2\xC9", "b=\xBC\xAF"},
        {"lone lead byte at the end kept", "a=\xB2", "", "a=\xB2", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Text cookies = c.cookies, newCookies = c.newCookies;
        const Text result = MergeCookies(cookies, newCookies);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(cookies, c.expected);
        EXPECT_EQ(newCookies, c.newAfter);
    }
}

TEST(MergeCookies, RepeatedMergesStayStable) {
    Text jar;
    for (int round = 0; round < 3; ++round) {
        Text fresh = "sid=abc; theme=dark";
        MergeCookies(jar, fresh);
    }
    EXPECT_EQ(jar, "sid=abc; theme=dark");
    Text update = "sid=deleted";
    EXPECT_EQ(MergeCookies(jar, update), "theme=dark");
}

TEST(CookieHelpers, NamesListsAndDuplicates) {
    EXPECT_EQ(CookieName(" a =1=2"), "a");
    EXPECT_EQ(CookieName("flag "), "flag");
    EXPECT_EQ(CookieName("=v"), "");
    EXPECT_EQ(CookieName(""), "");

    const std::vector<Text> list = {"a=1", " b =2", "c"};
    EXPECT_TRUE(HasCookieName(list, "b"));
    EXPECT_TRUE(HasCookieName(list, "c"));
    EXPECT_FALSE(HasCookieName(list, "B"));
    EXPECT_FALSE(HasCookieName({}, ""));

    EXPECT_EQ(IndexInList(list, "c"), 3);
    EXPECT_EQ(IndexInList({"x", "y", "x"}, "x"), 1);
    EXPECT_EQ(IndexInList(list, "a"), -1);
    EXPECT_EQ(IndexInList({}, ""), -1);

    EXPECT_EQ(RemoveDuplicates("x; y; x", "; "), "x; y");
    EXPECT_EQ(RemoveDuplicates("", "; "), "");
    EXPECT_EQ(RemoveDuplicates("x", ""), "x");
    EXPECT_EQ(RemoveDuplicates("a,,a,,b", ","), "a,,b");
    EXPECT_EQ(RemoveDuplicates("a; a; ", "; "), "a");
}
