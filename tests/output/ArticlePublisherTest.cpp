// The publisher's pure pieces: the publication time, percent-encoding, charset conversion, the
// answer's charset, and the form body as a PHP-style back end reads it back.

#include "output/ArticlePublisher.h"

#include "fixtures/DedeBackend.h"
#include "http/CookieStore.h"
#include "http/HttpRequest.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace gleaner {
namespace {

using test::DedeBackend;

TEST(PublicationTime, PlainDecimalsWithoutLeadingZeros) {
    struct Case {
        LocalTime time;
        const char* text;
    };
    const Case cases[] = {
        {{2014, 1, 1, 10, 8, 0}, "2014-1-1 10:8"},
        {{2014, 3, 9, 8, 5, 59}, "2014-3-9 8:5"},
        {{2023, 12, 31, 23, 59, 0}, "2023-12-31 23:59"},
        {{2000, 1, 1, 0, 0, 0}, "2000-1-1 0:0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PublicationTime(c.time), c.text);
}

TEST(PercentEncode, KeepsUnreservedAsciiAndEncodesEveryOtherByte) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"AZaz09-_.~", "AZaz09-_.~"},
        {"&=+%", "%26%3D%2B%25"},
        {"a b\r\n", "a%20b%0D%0A"},
        {"&nbsp;\"'<>", "%26nbsp%3B%22%27%3C%3E"},
        {std::string("\xff\x80\x00z", 4), "%FF%80%00z"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PercentEncode(c.in), c.out) << c.in;
}

TEST(Charset, ConvertsToAndFromTheBackEndsCharset) {
    const Text chinese = "中文标题 &="_t;
    const std::string utf8 = "中文标题 &=";
    for (const char* name : {"UTF-8", "utf-8", "utf8", " Utf-8 "}) {
        EXPECT_EQ(ToCharset(chinese, name), utf8) << name;
        EXPECT_EQ(FromCharset(utf8, name), chinese) << name;
    }
    // The GB family and an unknown or empty charset keep the code-page bytes.
    for (const char* name : {"GBK", "gb2312", "GB18030", "", "no-such-charset"}) {
        EXPECT_EQ(ToCharset(chinese, name), chinese) << name;
        EXPECT_EQ(FromCharset(chinese, name), chinese) << name;
    }
    // Another charset goes through iconv both ways.
    const Text big5Round = FromCharset(ToCharset("中文"_t, "Big5"), "Big5");
    EXPECT_EQ(big5Round, "中文"_t);
    EXPECT_NE(ToCharset("中文"_t, "Big5"), "中文"_t);
}

TEST(AnswerCharset, TakesTheLastContentTypeThatNamesOne) {
    EXPECT_EQ(AnswerCharset("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\n\r\n"), "gbk");
    EXPECT_EQ(AnswerCharset("HTTP/1.1 200 OK\r\ncontent-type: text/html;charset=\"UTF-8\"; x=1\r\n"), "UTF-8");
    EXPECT_EQ(AnswerCharset("HTTP/1.1 302 Found\r\nContent-Type: text/html; charset=gbk\r\nLocation: /x\r\n\r\n"
                            "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"),
              "utf-8");
    EXPECT_EQ(AnswerCharset("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nX-Charset: charset=big5\r\n"), "");
    EXPECT_EQ(AnswerCharset(""), "");
}

TEST(ArticleFormBody, TheFifteenPiecesInOrder) {
    const Text form = ArticleFormBody("T", "B", "", "", "", "2014-1-1 10:8", "gbk");
    EXPECT_EQ(form, "&channelid=1&dopost=save&title=T&shorttitle=&redirecturl=&tags="
                    "&weight=8&picname=&litpic=; filename===Content-Type: application/octet-stream&source=&writer="
                    "&typeid=&typeid2=&keywords=&autokey=1&description="
                    "&dede_addonfields=&remote=1&autolitpic=1&needwatermark=1&sptype=hand&spsize=5&body=B"
                    "&notpost=0&click=170&sortup=0&color=&arcrank=0&money=0&pubdate=2014-1-1%2010%3A8"
                    "&ishtml=1&filename=&templet=&imageField.x=13&imageField.y=7");
}

// Every field of the form as the back end reads it, whatever the values hold.
TEST(ArticleFormBody, ReadsBackAsTheSameFieldsInBothCharsets) {
    const Text title = "标题 & title=1 +2 %41 &nbsp; \"q\" 'a' &cfg_x=1"_t;
    const Text body = "&body=x&title=y <p>正文&amp;</p>\r\n50%"_t;
    const Text tags = "标签,a&b"_t, keywords = "关键字+k"_t, columnId = "7&typeid=9", time = "2014-1-1 10:8";
    for (const char* charset : {"utf-8", "gbk"}) {
        SCOPED_TRACE(charset);
        const auto fields = DedeBackend::ParseFormBody(
            ArticleFormBody(title, body, tags, columnId, keywords, time, charset));
        auto in = [&](const Text& text) { return ToCharset(text, charset); };
        const std::map<std::string, std::string> expected = {
            {"channelid", "1"}, {"dopost", "save"}, {"title", in(title)}, {"shorttitle", ""},
            {"redirecturl", ""}, {"tags", in(tags)}, {"weight", "8"}, {"picname", ""},
            {"litpic", "; filename===Content-Type: application/octet-stream"}, {"source", ""}, {"writer", ""},
            {"typeid", columnId}, {"typeid2", ""}, {"keywords", in(keywords)}, {"autokey", "1"},
            {"description", ""}, {"dede_addonfields", ""}, {"remote", "1"}, {"autolitpic", "1"},
            {"needwatermark", "1"}, {"sptype", "hand"}, {"spsize", "5"}, {"body", in(body)}, {"notpost", "0"},
            {"click", "170"}, {"sortup", "0"}, {"color", ""}, {"arcrank", "0"}, {"money", "0"},
            {"pubdate", time}, {"ishtml", "1"}, {"filename", ""}, {"templet", ""}, {"imageField_x", "13"},
            {"imageField_y", "7"},
        };
        EXPECT_EQ(fields, expected);
    }
}

TEST(DedeFormParsing, ReadsAsPhpDoes) {
    const auto fields = DedeBackend::ParseFormBody("a=1&b=x+y%20z&a=2&c&=v&d=%zz%4&e.f=%E4%B8%AD&&g=h=i");
    const std::map<std::string, std::string> expected = {
        {"a", "2"}, {"b", "x y z"}, {"c", ""}, {"d", "%zz%4"}, {"e_f", "中"}, {"g", "h=i"},
    };
    EXPECT_EQ(fields, expected);
}

// The back end the end-to-end tests rely on, spoken to over plain HTTP: the login gate, the name
// check, and what each edition stores for bytes in the other edition's charset.
TEST(DedeBackendFixture, GatesPostsAndDecodesInItsCharset) {
    for (auto edition : {DedeBackend::Edition::Utf8, DedeBackend::Edition::Gbk}) {
        DedeBackend backend(edition);
        const std::string charset = backend.Charset();
        const std::string other = edition == DedeBackend::Edition::Utf8 ? "gbk" : "utf-8";
        SCOPED_TRACE(charset);
        ProcessCookieStore().Clear();
        auto post = [&](const std::string& path, const Text& body) {
            HttpRequestArgs args;
            args.method = 1;
            args.postText = body;
            return FromCharset(HttpRequest(backend.Url(path), args), charset);
        };
        const Text article = ArticleFormBody("标题"_t, "正文"_t, "", "5", "", "2014-1-1 10:8", charset);

        // Not logged in: sent on to the login form.
        const Text refused = post("/dede/article_add.php", article);
        EXPECT_TRUE(Contains(refused, "name=\"userid\""));
        EXPECT_FALSE(Contains(refused, "成功发布文章"_t));
        EXPECT_TRUE(Contains(post("/dede/login.php", "dopost=login&userid=admin&pwd=nope"), "name=\"pwd\""));
        EXPECT_EQ(backend.AcceptedLogins(), 0);

        EXPECT_TRUE(Contains(post("/dede/login.php", "dopost=login&userid=admin&pwd=admin"), "成功登录"_t));
        EXPECT_TRUE(Contains(post("/dede/article_add.php", article), "成功发布文章"_t));
        EXPECT_TRUE(Contains(post("/dede/article_add.php", "dopost=save&title=x&cfg_dbhost=1"),
                             "Request var not allow!"));
        // Chinese in the other charset does not arrive as itself; a UTF-8 edition stores nothing for
        // bytes that are no UTF-8, so the article has no title.
        const Text crossed = post("/dede/article_add.php",
                                  ArticleFormBody("标题"_t, "正文"_t, "", "5", "", "2014-1-1 10:8", other));
        const auto articles = backend.Articles();
        ASSERT_GE(articles.size(), 1u);
        for (std::size_t i = 1; i < articles.size(); ++i)
            EXPECT_NE(articles[i].Field("title"), "标题");
        if (edition == DedeBackend::Edition::Utf8) {
            EXPECT_TRUE(Contains(crossed, "标题不能为空"_t));
            EXPECT_EQ(articles.size(), 1u);
        }
        EXPECT_EQ(articles[0].Field("title"), "标题");
        EXPECT_EQ(articles[0].Field("body"), "正文");
        EXPECT_EQ(articles[0].Field("typeid"), "5");
        const auto posts = backend.ArticlePosts();
        ASSERT_GE(posts.size(), 2u);
        EXPECT_FALSE(posts[0].loggedIn);
        EXPECT_TRUE(posts[1].loggedIn);
    }
}

} // namespace
} // namespace gleaner
