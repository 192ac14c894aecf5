// RegexObject: modes, numbering, character semantics over code-page bytes, failures, limits.

#include "page/RegexObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gleaner {
namespace {

std::vector<Text> AllMatches(const RegexObject& re) {
    std::vector<Text> out;
    for (int n = 1; n <= re.MatchCount(); ++n)
        out.push_back(re.GetMatch(n));
    return out;
}

std::vector<Text> Matches(const Text& pattern, const Text& subject, bool caseSensitive = false, bool multiLine = true,
                          bool global = true) {
    RegexObject re;
    EXPECT_TRUE(re.FindAll(pattern, subject, caseSensitive, multiLine, global)) << pattern << " " << re.ErrorText();
    return AllMatches(re);
}

using List = std::vector<Text>;

TEST(RegexObjectTest, DefaultsIgnoreCaseAnchorEveryLineAndFindAll) {
    EXPECT_EQ(Matches("abc", "ABC abc aBc"), (List{"ABC", "abc", "aBc"}));
    EXPECT_EQ(Matches("^\\w+$", "one\ntwo\nthree"), (List{"one", "two", "three"}));
    EXPECT_EQ(Matches("^x", "x\nx\nax"), (List{"x", "x"}));
}

TEST(RegexObjectTest, OptionsChangeTheModes) {
    EXPECT_EQ(Matches("abc", "ABC abc", /*caseSensitive=*/true), (List{"abc"}));
    EXPECT_EQ(Matches("^\\w+$", "one\ntwo", false, /*multiLine=*/false), List{});
    EXPECT_EQ(Matches("^\\w+", "one\ntwo", false, /*multiLine=*/false), (List{"one"}));
    // Without multi-line, $ is the very end only, not before a final line feed.
    EXPECT_EQ(Matches("o$", "two\n", false, false), List{});
    EXPECT_EQ(Matches("o$", "two", false, false), (List{"o"}));
    EXPECT_EQ(Matches("\\d", "1 2 3", false, true, /*global=*/false), (List{"1"}));
}

TEST(RegexObjectTest, DotStopsAtLineFeedOnly) {
    EXPECT_EQ(Matches("a.+", "abc\nade"), (List{"abc", "ade"}));
    EXPECT_EQ(Matches("a.c", "a\rc"), (List{"a\rc"}));
    EXPECT_EQ(Matches("a.c", "a\nc"), List{});
}

TEST(RegexObjectTest, EcmaScriptDialect) {
    struct Case {
        const char* pattern;
        Text subject;
        List expected;
    };
    const std::vector<Case> cases = {
        {"\\u4E2D", "中文中"_t, {"中"_t, "中"_t}},
        {"a[^]b", "a\nb", {"a\nb"}},
        {"a[]b", "ab", {}},
        {"<b>(.*?)</b>", "<b>1</b><b>2</b>", {"<b>1</b>", "<b>2</b>"}},
        {"\\w+(?=!)", "no yes! fine!", {"yes", "fine"}},
        {"\\w+(?!\\w|!)", "no yes!", {"no"}},
        {"(a)?\\1b", "b", {"b"}},        // a back-reference to a group that did not take part matches empty
        {"\\y\\-\\/", "y-/", {"y-/"}},   // identity escapes
        {"a\\C", "ac aC", {"ac", "aC"}}, // \C is the letter, never a single byte of a character
        {"\\x41\\u0042", "AB", {"AB"}},
        {"\\d+", "a12b3", {"12", "3"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Matches(c.pattern, c.subject), c.expected) << c.pattern;
}

TEST(RegexObjectTest, EmptyMatchesAdvanceOneCharacter) {
    EXPECT_EQ(Matches("", "ab"), (List{"", "", ""}));
    EXPECT_EQ(Matches("a*", "baa"), (List{"", "aa", ""}));
    // Lazy empty match at 0, then the search goes on after the 'a', as in JavaScript.
    EXPECT_EQ(Matches("a??", "a"), (List{"", ""}));
    // One step is one character, so an empty match never cuts a Chinese character.
    EXPECT_EQ(Matches("x*", "中文"_t), (List{"", "", ""}));
    RegexObject re;
    ASSERT_TRUE(re.FindAll("x*", "中a"_t));
    ASSERT_EQ(re.MatchCount(), 3);
    EXPECT_EQ(re.ReplaceMatches("-"), "-中-a-"_t);
}

TEST(RegexObjectTest, ChineseCharacterIsOneCharacter) {
    RegexObject re;
    ASSERT_TRUE(re.FindAll("(.)", "中文"_t));
    ASSERT_EQ(re.MatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(1, 1), "\xD6\xD0");
    EXPECT_EQ(re.GetSubMatch(2, 1), "\xCE\xC4");
    EXPECT_EQ(Matches("^.{3}$", "网页采"_t), (List{"网页采"_t}));
    EXPECT_EQ(Matches("[采集]+"_t, "网页采集器"_t), (List{"采集"_t}));
    // A four-byte GB18030 character is one character too.
    const Text emoji = "😀"_t;
    ASSERT_EQ(emoji.size(), 4u);
    EXPECT_EQ(Matches("^.$", emoji), (List{emoji}));
    // Letters beyond ASCII fold as well.
    EXPECT_EQ(Matches("α"_t, "Α"_t), (List{"Α"_t}));
}

TEST(RegexObjectTest, BytesComeBackExactlyWhateverTheEncoding) {
    // 0x80 and 0xFF start no GBK character; a lead byte at the end has no trail.
    const Text subject = "<i>\x80\xFF\xD6\xD0</i><i>\xD6</i>";
    RegexObject re;
    ASSERT_TRUE(re.FindAll("<i>(.*?)</i>", subject));
    ASSERT_EQ(re.MatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(1, 1), "\x80\xFF\xD6\xD0");
    EXPECT_EQ(re.GetSubMatch(2, 1), "\xD6");
    EXPECT_EQ(re.GetSubMatch(1, 1).size(), 4u);

    // A UTF-8 page read as bytes: ASCII patterns still cut out its exact bytes.
    const Text utf8Page = "<a href=\"/x\">\xE4\xB8\xAD\xE6\x96\x87</a>";
    ASSERT_TRUE(re.FindAll("<a href=\"([^\"]+)\">(.*?)</a>", utf8Page));
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.GetSubMatch(1, 1), "/x");
    EXPECT_EQ(re.GetSubMatch(1, 2), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(re.ReplaceMatches("[$2]"), "[\xE4\xB8\xAD\xE6\x96\x87]");
}

TEST(RegexObjectTest, QuoteMarker) {
    const Text pattern = "href=#引号(\\w+)#引号"_t;
    RegexObject re;
    ASSERT_TRUE(re.FindAll(pattern, "<a href=\"one\"> <a href=\"two\">", false, true, true, /*quoteMarker=*/true));
    EXPECT_EQ(re.GetPattern(), "href=\"(\\w+)\"");
    ASSERT_EQ(re.MatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(2, 1), "two");

    // Off: the marker is matched as written.
    ASSERT_TRUE(re.FindAll(pattern, "href=#引号ab#引号 href=\"cd\""_t));
    EXPECT_EQ(re.GetPattern(), pattern);
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.GetSubMatch(1, 1), "ab");

    // Exact comparison: a near miss stays.
    ASSERT_TRUE(re.FindAll("#引#引号"_t, "x", false, true, true, true));
    EXPECT_EQ(re.GetPattern(), "#引\""_t);
}

TEST(RegexObjectTest, ValidPatternWithoutMatchGivesEmptySet) {
    RegexObject re;
    EXPECT_TRUE(re.FindAll("zzz", "abc"));
    EXPECT_EQ(re.MatchCount(), 0);
    EXPECT_EQ(re.SubMatchCount(), 0);
    EXPECT_EQ(re.GetMatch(1), "");
    EXPECT_EQ(re.ReplaceMatches("x"), "abc");
    EXPECT_EQ(re.ErrorText(), "");
}

TEST(RegexObjectTest, RejectedPatternAnswersEmpty) {
    for (const char* bad : {"(abc", "a)", "[a", "a{2,1}", "a**"}) {
        RegexObject re;
        EXPECT_FALSE(re.FindAll(bad, "abc (abc a) [a")) << bad;
        EXPECT_EQ(re.MatchCount(), 0);
        EXPECT_EQ(re.SubMatchCount(), 0);
        EXPECT_EQ(re.GetMatch(1), "");
        EXPECT_EQ(re.GetSubMatch(1, 1), "");
        EXPECT_EQ(re.ReplaceMatches("x"), "");
        EXPECT_EQ(re.GetPattern(), bad);
        EXPECT_NE(re.ErrorText(), "") << bad;
    }
    RegexObject re;
    EXPECT_FALSE(re.FindAll("中(文"_t, "x"));
    EXPECT_NE(re.ErrorText().find("at character 4"), Text::npos) << re.ErrorText();
}

TEST(RegexObjectTest, NumberingIsOneBasedAndBounded) {
    RegexObject re;
    EXPECT_EQ(re.MatchCount(), 0);
    EXPECT_EQ(re.GetMatch(1), "");
    EXPECT_EQ(re.GetPattern(), "");
    EXPECT_EQ(re.ReplaceMatches("x"), "");

    ASSERT_TRUE(re.FindAll("(\\w)(\\d)", "a1 b2"));
    ASSERT_EQ(re.MatchCount(), 2);
    EXPECT_EQ(re.SubMatchCount(), 2);
    EXPECT_EQ(re.GetMatch(1), "a1");
    EXPECT_EQ(re.GetMatch(2), "b2");
    EXPECT_EQ(re.GetSubMatch(2, 1), "b");
    EXPECT_EQ(re.GetSubMatch(2, 2), "2");
    for (int bad : {0, -1, 3, 1000})
        EXPECT_EQ(re.GetMatch(bad), "") << bad;
    const std::vector<std::pair<int, int>> outside = {{0, 1}, {-1, 1}, {3, 1}, {1, 0}, {1, -1}, {1, 3}, {1, 100}};
    for (const auto& [n, m] : outside)
        EXPECT_EQ(re.GetSubMatch(n, m), "") << n << "," << m;

    ASSERT_TRUE(re.FindAll("a\\d", "a1"));
    EXPECT_EQ(re.SubMatchCount(), 0);
    EXPECT_EQ(re.GetSubMatch(1, 1), "");

    // Non-capturing groups do not count; numbering follows the opening parentheses.
    ASSERT_TRUE(re.FindAll("(?:x)((a)(b))", "xab"));
    EXPECT_EQ(re.SubMatchCount(), 3);
    EXPECT_EQ(re.GetSubMatch(1, 1), "ab");
    EXPECT_EQ(re.GetSubMatch(1, 2), "a");
    EXPECT_EQ(re.GetSubMatch(1, 3), "b");
}

TEST(RegexObjectTest, GroupThatDidNotTakePartIsEmpty) {
    RegexObject re;
    ASSERT_TRUE(re.FindAll("(a)|(b)", "ab"));
    ASSERT_EQ(re.MatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(1, 1), "a");
    EXPECT_EQ(re.GetSubMatch(1, 2), "");
    EXPECT_EQ(re.GetSubMatch(2, 1), "");
    EXPECT_EQ(re.GetSubMatch(2, 2), "b");
    EXPECT_EQ(re.ReplaceMatches("[$1|$2]"), "[a|][|b]");
}

TEST(RegexObjectTest, SecondFindAllReplacesTheFirst) {
    RegexObject re;
    ASSERT_TRUE(re.FindAll("(\\d)", "1 2 3"));
    ASSERT_EQ(re.MatchCount(), 3);
    ASSERT_TRUE(re.FindAll("([a-z])([a-z])", "ab"));
    EXPECT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.GetSubMatch(1, 2), "b");
    EXPECT_EQ(re.GetSubMatch(2, 1), "");
    EXPECT_EQ(re.GetPattern(), "([a-z])([a-z])");
    EXPECT_EQ(re.ReplaceMatches("$2$1"), "ba");
    // A failing search leaves nothing of the one before.
    EXPECT_FALSE(re.FindAll("(", "ab"));
    EXPECT_EQ(re.MatchCount(), 0);
    EXPECT_EQ(re.GetSubMatch(1, 1), "");
}

TEST(RegexObjectTest, CopiesShareResultsAndKeepThemApart) {
    RegexObject original;
    ASSERT_TRUE(original.FindAll("(\\w+)", "one two"));
    RegexObject copy(original);
    EXPECT_EQ(copy.MatchCount(), 2);
    EXPECT_EQ(copy.GetSubMatch(2, 1), "two");
    EXPECT_EQ(copy.GetPattern(), "(\\w+)");

    ASSERT_TRUE(original.FindAll("x", "y"));
    EXPECT_EQ(original.MatchCount(), 0);
    EXPECT_EQ(copy.MatchCount(), 2);
    EXPECT_EQ(copy.GetSubMatch(1, 1), "one");
    EXPECT_EQ(copy.ReplaceMatches("<$1>"), "<one> <two>");

    RegexObject assigned;
    assigned = copy;
    copy = original;
    EXPECT_EQ(copy.MatchCount(), 0);
    EXPECT_EQ(assigned.GetMatch(2), "two");
}

TEST(RegexObjectTest, ReplaceMatchesFollowsEcmaScript) {
    struct Case {
        const char* pattern;
        const char* subject;
        const char* replacement;
        const char* expected;
        bool global;
    };
    const std::vector<Case> cases = {
        {"(\\w+)@(\\w+)", "a@b c@d", "$2@$1", "b@a d@c", true},
        {"o", "foo", "0", "f00", true},
        {"o", "foo", "0", "f0o", false},
        {"b", "abc", "[$&|$`|$']", "a[b|a|c]c", true},
        {"b", "abc", "$$ $x $ $0 $9", "a$ $x $ $0 $9c", true},
        {"(a)", "a", "$11 $01", "a1 a", true}, // $11 falls back to $1 and a literal 1
        {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "abcdefghijk", "$11-$10-$1", "k-j-a", true},
        {"x", "", "y", "", true},
        {"", "ab", "-", "-a-b-", true},
    };
    for (const Case& c : cases) {
        RegexObject re;
        ASSERT_TRUE(re.FindAll(c.pattern, c.subject, false, true, c.global)) << c.pattern;
        EXPECT_EQ(re.ReplaceMatches(c.replacement), c.expected) << c.pattern << " / " << c.replacement;
    }
    RegexObject re;
    ASSERT_TRUE(re.FindAll("(标题)"_t, "新闻标题一"_t));
    EXPECT_EQ(re.ReplaceMatches("《$1》"_t), "新闻《标题》一"_t);
}

TEST(RegexObjectTest, RunawayPatternStopsAtTheLimitAndCountsAsNoMatch) {
    const Text subject = std::string(40, 'a') + "b";
    // 2^40 ways to split the a's: without the match limit this would not end for hours.
    RegexObject re;
    EXPECT_FALSE(re.FindAll("(a+)+$", subject));
    EXPECT_EQ(re.MatchCount(), 0);
    EXPECT_EQ(re.GetSubMatch(1, 1), "");
    EXPECT_EQ(re.ErrorText(), "match limit exceeded");

    // The object is still usable for the next page.
    ASSERT_TRUE(re.FindAll("(a+)b", subject));
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.GetSubMatch(1, 1), std::string(40, 'a'));
    EXPECT_EQ(re.ErrorText(), "");
}

TEST(RegexObjectTest, LazyGroupsOverALargePage) {
    // One item long enough that the JIT stack runs out: the interpreter must take over, not drop it.
    const std::string body(1'500'000, 'x');
    const Text subject = "<p>" + body + "</p><p>中</p>"_t;
    RegexObject re;
    ASSERT_TRUE(re.FindAll("<p>((?:x|中)*?)</p>"_t, subject)) << re.ErrorText();
    ASSERT_EQ(re.MatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(1, 1).size(), body.size());
    EXPECT_EQ(re.GetSubMatch(2, 1), "中"_t);
}

TEST(RegexObjectTest, EveryCharacterOfArbitraryBytesMapsBackExactly) {
    // Bytes of every kind: ASCII and digits, valid and invalid two-byte pairs, four-byte forms (BMP
    // and supplementary), lone lead bytes, 0x80 and 0xFF. Each "[^]" match must be one character as
    // the code page cuts it, and the matches together must give the subject back.
    const std::vector<std::string> pieces = {
        "a",    "7",        "\n",       "\xD6\xD0",         "\x81\x30\x81\x30", "\x95\x32\x82\x36", "\x80",     "\xFF",
        "\x81", "\x81\x7F", "\xA1\x40", "\x84\x31\xA4\x39", "\xE3\x32\x9A\x35", "\xFE\x39\xFE\x39", "\xA6\xA1", "#"};
    std::uint32_t seed = 12345;
    for (int round = 0; round < 100; ++round) {
        // Even rounds use ASCII and two-byte characters only (the common page), odd rounds all kinds.
        const std::size_t kinds = round % 2 == 0 ? 4 : pieces.size();
        Text subject;
        for (int k = 0; k < 20 + round; ++k) {
            seed = seed * 1103515245u + 12345u;
            subject += pieces[(seed >> 16) % kinds];
        }
        std::vector<std::uint32_t> positions;
        ASSERT_EQ(ToUtf8Mapped(subject, positions), ToUtf8(subject));
        std::vector<std::uint32_t> starts; // where the code page starts each character
        for (std::uint32_t p : positions)
            if (starts.empty() || starts.back() != p)
                starts.push_back(p);

        RegexObject re;
        ASSERT_TRUE(re.FindAll("[^]", subject));
        ASSERT_EQ(static_cast<std::size_t>(re.MatchCount()) + 1, starts.size());
        Text joined;
        for (int n = 1; n <= re.MatchCount(); ++n) {
            const Text one = re.GetMatch(n);
            ASSERT_EQ(one, subject.substr(starts[n - 1], starts[n] - starts[n - 1])) << "round " << round << " n " << n;
            joined += one;
        }
        EXPECT_EQ(joined, subject);
        // Groups ahead of and behind the match position map back as well.
        ASSERT_TRUE(re.FindAll("(?<=([^]))([^])(?=([^]))", subject));
        ASSERT_EQ(static_cast<std::size_t>(re.MatchCount()) + 3, starts.size());
        for (int n = 1; n <= re.MatchCount(); ++n) {
            ASSERT_EQ(re.GetSubMatch(n, 1), subject.substr(starts[n - 1], starts[n] - starts[n - 1]));
            ASSERT_EQ(re.GetSubMatch(n, 3), subject.substr(starts[n + 1], starts[n + 2] - starts[n + 1]));
        }
    }
}

TEST(RegexObjectTest, LongPagesWithRareOddBytesMapBackExactly) {
    // Long stretches of ASCII and two-byte text with a four-byte code or a stray byte now and then,
    // as real pages have them; one object serves pages that shrink, as in a collection run. Every
    // group must be the very bytes of the subject between its neighbours.
    const std::vector<std::string> common = {"ab", "<b>", "\xD6\xD0\xCE\xC4", "\xA1\xA4", "x=1;", "\n"};
    const std::vector<std::string> rare = {"\x81\x30\x81\x30", "\x95\x32\x82\x36", "\x80", "\xFF", "\x81\x7F"};
    std::uint32_t seed = 99;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    RegexObject re;
    for (int page = 0; page < 12; ++page) {
        Text subject;
        std::vector<Text> items;
        for (int k = 0; k < 400 - 30 * page; ++k) {
            Text item;
            for (std::uint32_t n = 1 + next() % 20; n > 0; --n)
                item += next() % 60 == 0 ? rare[next() % rare.size()] : common[next() % common.size()];
            items.push_back(item);
            subject += "[" + item + "]";
        }
        ASSERT_TRUE(re.FindAll(R"(\[([^\]]*)\])", subject)) << re.ErrorText();
        ASSERT_EQ(re.MatchCount(), static_cast<int>(items.size()));
        for (int n = 1; n <= re.MatchCount(); ++n) {
            ASSERT_EQ(re.GetSubMatch(n, 1), items[n - 1]) << "page " << page << " item " << n;
            ASSERT_EQ(re.GetMatch(n), "[" + items[n - 1] + "]");
        }
    }
}

} // namespace
} // namespace gleaner
