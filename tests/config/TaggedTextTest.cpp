#include "config/TaggedText.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>

using namespace gleaner;
using gleaner::test::ReadFileBytes;
using gleaner::test::TempDir;
using gleaner::test::WriteFileBytes;

namespace {

// "#引号" and a few Chinese characters in GBK bytes.
const std::string kQuote = "#\xD2\xFD\xBA\xC5";
const std::string kCai = "\xB2\xC9"; // 采
const std::string kJi = "\xBC\xAF";  // 集

struct BetweenCase {
    const char* name;
    std::string text, start, end;
    int startPosition;
    bool caseSensitive;
    std::string expected;
};

} // namespace

TEST(TextBetween, Cases) {
    const BetweenCase cases[] = {
        {"second field", "[a]1[/a]\r\n[b]2[/b]", "[b]", "[/b]", 0, false, "2"},
        {"missing key", "[a]1[/a]\r\n[b]2[/b]", "[c]", "[/c]", 0, false, ""},
        {"empty value", "[a][/a]", "[a]", "[/a]", 0, false, ""},
        {"no end marker", "[a]x", "[a]", "[/a]", 0, false, ""},
        {"case folds", "[A]x[/A]", "[a]", "[/a]", 0, false, "x"},
        {"case sensitive", "[A]x[/A]", "[a]", "[/a]", 0, true, ""},
        {"first field counts", "[a]1[/a][a]2[/a]", "[a]", "[/a]", 0, false, "1"},
        {"line break kept", "[a]line1\r\nline2[/a]", "[a]", "[/a]", 0, false, "line1\r\nline2"},
        {"quote marker", "<a href=\"abc\">", "href=" + kQuote, kQuote, 0, false, "abc"},
        {"quote marker twice", "x=\"\"v\"\"", kQuote + kQuote, kQuote, 0, false, "v"},
        {"quote marker only in markers", "[a]" + kQuote + "[/a]", "[a]", "[/a]", 0, false, kQuote},
        {"value cut at own end marker", "[a]x[/a]y[/a]", "[a]", "[/a]", 0, false, "x"},
        // C5 5B is one character, so the "[a]" inside it is no match; the next one is.
        {"no match from a second byte", "\xC5[a]x[/a][a]y[/a]", "[a]", "[/a]", 0, false, "y"},
        {"end marker not in a second byte", "[a]\xC5[/a]z[/a]", "[a]", "[/a]", 0, false, "\xC5[/a]z"},
        {"fold of a second byte", "\xB2\x41x\xB2\x42", "\xB2" "a", "\xB2" "b", 0, false, "x"},
        {"second byte exact when case sensitive", "\xB2\x41x\xB2\x42", "\xB2" "a", "\xB2" "b", 0, true, ""},
        {"chinese key", "[" + kCai + kJi + "]5[/" + kCai + kJi + "]", "[" + kCai + kJi + "]",
         "[/" + kCai + kJi + "]", 0, false, "5"},
        {"start position 2", "[a]1[/a][a]2[/a]", "[a]", "[/a]", 2, false, "2"},
        {"start position 1", "[a]1[/a][a]2[/a]", "[a]", "[/a]", 1, false, "1"},
        {"negative start position", "[a]1[/a][a]2[/a]", "[a]", "[/a]", -7, false, "1"},
        {"start position at the last field", "[a]1[/a][a]2[/a]", "[a]", "[/a]", 9, false, "2"},
        {"start position past the end", "[a]1[/a]", "[a]", "[/a]", 100, false, ""},
        {"huge start position", "[a]1[/a]", "[a]", "[/a]", std::numeric_limits<int>::max(), false, ""},
        {"empty start marker", "abc[/a]def[/a]", "", "[/a]", 0, false, "abc"},
        {"empty start marker, empty text", "", "", "[/a]", 0, false, ""},
        {"empty end marker", "[a]x[/a]", "[a]", "", 0, false, ""},
        {"both markers empty", "abc", "", "", 0, false, ""},
        {"empty text", "", "[a]", "[/a]", 0, false, ""},
        {"start marker longer than the text", "[a]", "[a]x", "]", 0, false, ""},
        {"end marker longer than the rest", "[a]x[/", "[a]", "[/a]", 0, false, ""},
        {"end marker directly behind", "[a][/a]x", "[a]", "[/a]", 0, false, ""},
        {"unpaired lead byte at the end", "[a]x\xB2", "[a]", "\xB2", 0, false, "x"},
        {"unpaired lead byte in a marker", "[a\xB2]", "[a\xB2", "]", 0, false, ""},
        {"zero bytes are ordinary", std::string("[a]x\0y[/a]", 10), "[a]", "[/a]", 0, false, std::string("x\0y", 3)},
    };
    for (const BetweenCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextBetween(c.text, c.start, c.end, c.startPosition, c.caseSensitive), c.expected);
    }
}

TEST(TextBetween, DefaultsSearchFromTheStartIgnoringCase) {
    EXPECT_EQ(TextBetween("[X]1[/x][x]2[/x]", "[x]", "[/X]"), "1");
}

TEST(TextToInt, Cases) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const struct {
        std::string text;
        std::int32_t expected;
    } cases[] = {
        {"\xA3\xB1\xA3\xB2", 12},           // full-width 1 2
        {" 7 ", 7},
        {"-3", -3},
        {"\xA3\xAD\xA3\xB3", -3},           // full-width minus 3
        {"\xA3\xAB\xA3\xB5", 5},            // full-width plus 5
        {"abc", 0},
        {"", 0},
        {"3" + kCai, 3},
        {"\xA1\xA1" "5", 5},                // full-width blank
        {"\xA3\xA0" "5", 0},                // A3A0 is no full-width form
        {"\t\r\n 42x", 42},
        {"0012", 12},
        {"+8", 8},
        {"- 8", 0},
        {"+-1", 0},
        {"\xA3\xC1" "1", 0},                // full-width A
        {"1\xA3\xB2" "3", 123},
        {"\xB2", 0},                        // unpaired lead byte
        {"1\xA3", 1},
        {std::string("4\0" "5", 3), 4},
        {"2147483647", kMax},
        {"2147483648", kMax},
        {"99999999999999999999999999", kMax},
        {"-2147483648", kMin},
        {"-2147483649", kMin},
        {"-99999999999999999999999999", kMin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TextToInt(c.text), c.expected);
    }
}

TEST(TaggedField, ReadsKeyWithItsBrackets) {
    const std::string text = "note\r\n[b]2[/b]\r\n[a]1[/a]";
    EXPECT_EQ(TaggedField(text, "a"), "1");
    EXPECT_EQ(TaggedField(text, "b"), "2");
    EXPECT_EQ(TaggedField(text, "c"), "");
    EXPECT_EQ(TaggedField("[" + kCai + "ID]9[/" + kCai + "id]", kCai + "Id"), "9");
}

TEST(ReadTaggedField, MissingEmptyAndUnreadableFilesGiveEmptyText) {
    TempDir dir;
    EXPECT_EQ(ReadTaggedField(dir.File("none.txt"), "a"), "");
    WriteFileBytes(dir.File("empty.txt"), "");
    EXPECT_EQ(ReadTaggedField(dir.File("empty.txt"), "a"), "");
    std::filesystem::create_directory(dir.File("folder.txt"));
    EXPECT_EQ(ReadTaggedField(dir.File("folder.txt"), "a"), "");
    EXPECT_EQ(ReadTaggedField("", "a"), "");
}

TEST(ReadTaggedField, TextEndsAtTheFirstZeroByte) {
    TempDir dir;
    WriteFileBytes(dir.File("z.txt"), std::string("[b]2[/b]\0[a]1[/a]", 17));
    EXPECT_EQ(ReadTaggedField(dir.File("z.txt"), "b"), "2");
    EXPECT_EQ(ReadTaggedField(dir.File("z.txt"), "a"), "");
    WriteFileBytes(dir.File("y.txt"), std::string("[a]1\0[/a]", 9));
    EXPECT_EQ(ReadTaggedField(dir.File("y.txt"), "a"), "");
}

TEST(ReadTaggedField, ReadsTheFileAfreshEachCall) {
    TempDir dir;
    const std::string path = dir.File("s.txt");
    WriteFileBytes(path, "[a]old[/a]");
    EXPECT_EQ(ReadTaggedField(path, "a"), "old");
    WriteFileBytes(path, "[a]new[/a]");
    EXPECT_EQ(ReadTaggedField(path, "a"), "new");
    std::filesystem::remove(path);
    EXPECT_EQ(ReadTaggedField(path, "a"), "");
}

TEST(WriteTaggedText, JoinsFieldsWithCrLfAndNoTrailingBreak) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    WriteFileBytes(path, "an earlier, much longer content that must not survive");
    const std::string key = kCai + kJi;
    ASSERT_TRUE(WriteTaggedText(path, {{"a", "1"}, {key, "x\r\ny"}, {"c", ""}}));
    EXPECT_EQ(ReadFileBytes(path), "[a]1[/a]\r\n[" + key + "]x\r\ny[/" + key + "]\r\n[c][/c]");
    EXPECT_EQ(ReadTaggedField(path, key), "x\r\ny");
    EXPECT_EQ(ReadTaggedField(path, "c"), "");

    ASSERT_TRUE(WriteTaggedText(path, {}));
    EXPECT_EQ(ReadFileBytes(path), "");
    // Only the written file is left: no temporary sibling.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
}

TEST(WriteTaggedText, FailsWhereNoFileCanBeWritten) {
    TempDir dir;
    EXPECT_FALSE(WriteTaggedText(dir.File("no/such/folder.txt"), {{"a", "1"}}));
    std::filesystem::create_directory(dir.File("taken"));
    EXPECT_FALSE(WriteTaggedText(dir.File("taken"), {{"a", "1"}}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken")));
}
