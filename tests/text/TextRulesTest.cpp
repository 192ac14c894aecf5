#include "text/Text.h"

#include <gtest/gtest.h>

#include <climits>

using namespace gleaner;

namespace {
const std::string kCai = "\xB2\xC9"; // 采
const std::string kJi = "\xBC\xAF";  // 集
const std::string kBlank = "\xA1\xA1"; // full-width blank
} // namespace

TEST(TextRules, Find) {
    const struct {
        const char* name;
        std::string text, what;
        int start;
        bool ignoreCase;
        int expected;
    } cases[] = {
        {"first occurrence", "abcabc", "bc", 1, false, 2},
        {"from a start position", "abcabc", "bc", 3, false, 5},
        {"start at the match", "abcabc", "bc", 5, false, 5},
        {"start below 2", "abc", "a", -3, false, 1},
        {"start past the end", "abc", "a", 10, false, -1},
        {"huge start", "abc", "a", INT_MAX, false, -1},
        {"not found", "abc", "d", 1, false, -1},
        {"case matters", "ABC", "b", 1, false, -1},
        {"ignore case", "ABC", "b", 1, true, 2},
        {"ignore case both ways", "abc", "BC", 1, true, 2},
        {"longer than the text", "ab", "abc", 1, false, -1},
        {"at the very end", "xxab", "ab", 1, false, 3},
        {"after a chinese char", kCai + "a", "a", 1, false, 3},
        // C5 5B is one character: the "[" in it is no match.
        {"not from a second byte", "\xC5[x[", "[", 1, false, 4},
        {"chinese in chinese", kCai + kJi + kCai, kJi, 1, false, 3},
        {"no straddling match", "a" + kCai + kJi, "\xC9\xBC", 1, false, -1},
        {"second byte folds when ignoring case", "\xB2\x41", "\xB2\x61", 1, true, 1},
        {"second byte exact otherwise", "\xB2\x41", "\xB2\x61", 1, false, -1},
        {"start inside a char moves on", kCai + "a" + kCai, kCai, 2, false, 4},
        {"unpaired lead byte at the end", "ab\xB2", "\xB2", 1, false, 3},
        {"zero byte", std::string("a\0b", 3), std::string("\0b", 2), 1, false, 2},
        {"empty what", "abc", "", 2, false, 2},
        {"empty what in empty text", "", "", 1, false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Find(c.text, c.what, c.start, c.ignoreCase), c.expected);
    }
    EXPECT_EQ(FindLast("a:b:c", ":"), 4);
    EXPECT_EQ(FindLast("abc", ":"), -1);
    EXPECT_EQ(FindLast("\xC5:x", ":"), -1);
    EXPECT_EQ(FindLast(kCai + kCai, kCai), 3);
    EXPECT_TRUE(Contains("http://x", "http://"));
    EXPECT_FALSE(Contains("HTTP://x", "http://"));
    EXPECT_TRUE(Contains("", ""));
}

TEST(TextRules, LowerCasingTouchesAsciiLettersOnly) {
    EXPECT_EQ(ToLowerAscii("AbC-Z@[`z09"), "abc-z@[`z09");
    // Second bytes in A..Z belong to Chinese characters and stay as they are.
    EXPECT_EQ(ToLowerAscii("\xB2\x41" "A\xA3\xC1"), "\xB2\x41" "a\xA3\xC1");
    EXPECT_EQ(ToLowerAscii("A\xB2"), "a\xB2");
    EXPECT_EQ(ToLowerAscii(std::string("A\0B", 3)), std::string("a\0b", 3));
}

TEST(TextRules, TrimRemovesBlankAndFullWidthBlankOnly) {
    const struct {
        std::string text, trimmed, spaceless;
    } cases[] = {
        {"  a b  ", "a b", "ab"},
        {kBlank + "a" + kBlank + "b" + kBlank, "a" + kBlank + "b", "ab"},
        {"\ta\r\n", "\ta\r\n", "\ta\r\n"},
        {"", "", ""},
        {"   ", "", ""},
        {kBlank + kBlank, "", ""},
        {"\xA1", "\xA1", "\xA1"},                          // a lone A1 is no blank
        {"a\xA1", "a\xA1", "a\xA1"},
        {"\xB2\xA1\xA1", "\xB2\xA1\xA1", "\xB2\xA1\xA1"},   // B2 A1 is one char, then a lone A1
        {" " + kCai + " ", kCai, kCai},
        {"\xA1\xA1\xA1", "\xA1", "\xA1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Trim(c.text), c.trimmed);
        EXPECT_EQ(RemoveSpaces(c.text), c.spaceless);
    }
}

TEST(TextRules, SplitKeepsInnerEmptiesAndDropsAnEmptyRest) {
    using V = std::vector<Text>;
    const struct {
        std::string text, separator;
        V expected;
    } cases[] = {
        {"a;;b", ";", V{"a", "", "b"}},
        {"a;", ";", V{"a"}},
        {"a;;", ";", V{"a", ""}},
        {";a", ";", V{"", "a"}},
        {";", ";", V{""}},
        {"", ";", V{}},
        {"abc", "", V{"abc"}},
        {"a; b; c", "; ", V{"a", "b", "c"}},
        {"a;b", "; ", V{"a;b"}},
        {"x" + kCai + "y", "\xC9", V{"x" + kCai + "y"}},   // never inside a character
        {kCai + ";" + kJi, ";", V{kCai, kJi}},
        {"\xC5;a;b", ";", V{"\xC5;a", "b"}},                 // C5 3B steps as one
        {"a;\xB2", ";", V{"a", "\xB2"}},
        {std::string("a\0;b", 4), ";", V{std::string("a\0", 2), "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Split(c.text, c.separator), c.expected);
    }
    EXPECT_EQ(Join({"a", "", "b"}, "; "), "a; ; b");
    EXPECT_EQ(Join({}, ";"), "");
}

TEST(TextRules, SplitOfALongTextFindsEveryEntry) {
    Text text;
    for (int k = 0; k < 200000; ++k)
        text += kCai + "\r\n";
    const std::vector<Text> lines = Split(text, "\r\n");
    ASSERT_EQ(lines.size(), 200000u);
    EXPECT_EQ(lines.front(), kCai);
    EXPECT_EQ(lines.back(), kCai);
}

TEST(TextRules, LeftAndRightNeverCutACharacter) {
    const std::string t = "a" + kCai + "b";  // 4 bytes: a, 采, b
    const struct {
        int n;
        std::string left, right;
    } cases[] = {
        {0, "", ""},
        {-5, "", ""},
        {1, "a", "b"},
        {2, "a", "b"},               // 2 bytes would cut 采 either way
        {3, "a" + kCai, kCai + "b"},
        {4, t, t},
        {100, t, t},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(Left(t, c.n), c.left);
        EXPECT_EQ(Right(t, c.n), c.right);
    }
    EXPECT_EQ(Left("ab\xB2", 3), "ab\xB2");   // an unpaired lead byte at the end is one step
    EXPECT_EQ(Right("ab\xB2", 1), "\xB2");
    EXPECT_EQ(Right(kCai + kCai, 1), "");
    EXPECT_EQ(Left("", 3), "");
}

TEST(TextRules, SmallHelpers) {
    EXPECT_EQ(CutAtZero(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(CutAtZero(std::string("\0", 1)), "");
    EXPECT_EQ(CutAtZero("abc"), "abc");
    EXPECT_EQ(NumberText(0), "0");
    EXPECT_EQ(NumberText(-42), "-42");
    EXPECT_EQ(NumberText(LLONG_MIN), "-9223372036854775808");
    EXPECT_EQ(StepAt("\xB2\xC9", 0), 2u);
    EXPECT_EQ(StepAt("a\xB2", 1), 1u);
    EXPECT_EQ(StepAt("ab", 0), 1u);
    EXPECT_TRUE(IsLeadByte(0x80));
    EXPECT_FALSE(IsLeadByte(0x7F));
    EXPECT_EQ("采集"_t, kCai + kJi);
}
