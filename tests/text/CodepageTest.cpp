#include "text/Text.h"

#include <gtest/gtest.h>

#include <random>

using namespace gleaner;

TEST(Codepage, ChineseRoundTripsThroughUtf8AndUtf16) {
    const std::string utf8 = "采集已停止 abc \xF0\x9F\x98\x80";
    const Text gb = FromUtf8(utf8);
    EXPECT_EQ(gb.substr(0, 4), "\xB2\xC9\xBC\xAF"); // 采集 in GBK
    EXPECT_EQ(ToUtf8(gb), utf8);
    EXPECT_EQ(FromUtf16(ToUtf16(gb)), gb);
}

TEST(Codepage, RandomBytesSurviveEveryRoundTrip) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 2000; ++round) {
        Bytes b(rng() % 64, '\0');
        for (char& c : b)
            c = static_cast<char>(rng() % 4 == 0 ? rng() % 0x80 : 0x80 + rng() % 0x80);
        ASSERT_EQ(FromUtf8(ToUtf8(b)), b);
        ASSERT_EQ(FromUtf16(ToUtf16(b)), b);
        std::vector<std::uint32_t> pos;
        std::string u = ToUtf8Mapped(b, pos);
        ASSERT_EQ(u, ToUtf8(b));
        ASSERT_EQ(pos.size(), u.size() + 1);
        ASSERT_EQ(pos.back(), b.size());
    }
}

// Every two-byte and every four-byte BMP sequence must survive both round trips, valid or not,
// also when a character follows that could pair with a stray byte.
TEST(Codepage, EveryMultiByteSequenceRoundTrips) {
    int failures = 0;
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
        for (unsigned trail = 0; trail <= 0xFF; ++trail) {
            const Text b = {static_cast<char>(lead), static_cast<char>(trail), 'x'};
            if (FromUtf16(ToUtf16(b)) != b || FromUtf8(ToUtf8(b)) != b) {
                if (++failures <= 10)
                    ADD_FAILURE() << std::hex << lead << " " << trail;
            }
        }
    }
    for (unsigned b1 = 0x81; b1 <= 0x84; ++b1)
        for (unsigned b2 = 0x30; b2 <= 0x39; ++b2)
            for (unsigned b3 = 0x81; b3 <= 0xFE; ++b3)
                for (unsigned b4 = 0x30; b4 <= 0x39; ++b4) {
                    const Text b = {static_cast<char>(b1), static_cast<char>(b2), static_cast<char>(b3),
                                    static_cast<char>(b4)};
                    if (FromUtf16(ToUtf16(b)) != b || FromUtf8(ToUtf8(b)) != b) {
                        if (++failures <= 20)
                            ADD_FAILURE() << std::hex << b1 << " " << b2 << " " << b3 << " " << b4;
                    }
                }
    EXPECT_EQ(failures, 0);
}

TEST(Codepage, KnownCharactersAndEscapes) {
    EXPECT_EQ(ToUtf8("\xB2\xC9\xBC\xAF"), "采集");
    EXPECT_EQ(ToUtf16("\xA1\xA1"), u"\u3000");
    EXPECT_EQ(ToUtf16("\xA3\xB1"), u"\uFF11");
    EXPECT_EQ(ToUtf8("\x81\x30\x81\x30"), "\xC2\x80");       // first four-byte code: U+0080
    EXPECT_EQ(ToUtf8("\x90\x30\x81\x30"), "\xF0\x90\x80\x80"); // first supplementary: U+10000
    EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), "\x94\x39\xFC\x36"); // U+1F600
    EXPECT_EQ(ToUtf16(std::string("\x80", 1)), u"\U0010FF80");   // 0x80 is no character: escaped
    EXPECT_EQ(ToUtf16(std::string("\xFF", 1)), u"\U0010FFFF");
    EXPECT_EQ(ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(FromUtf8(""), "");
}

TEST(Codepage, MalformedUnicodeInputBecomesReplacementNotGarbage) {
    const Text replacement = FromUtf8("\xEF\xBF\xBD");
    EXPECT_EQ(FromUtf8("a\xC3"), "a" + replacement);            // cut sequence at the end
    EXPECT_EQ(FromUtf8("\xC0\xAF"), replacement + replacement); // overlong
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), replacement + replacement + replacement); // surrogate
    EXPECT_EQ(FromUtf16(std::u16string(1, char16_t(0xD800))), replacement);
    EXPECT_EQ(FromUtf16(u"\xDC00" "a"), replacement + "a");
}

// GB18030 covers all of Unicode: every code point must come back from the code page unchanged.
TEST(Codepage, EveryBmpCodePointRoundTripsThroughTheCodePage) {
    int failures = 0;
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const std::u16string u(1, static_cast<char16_t>(cp));
        if (ToUtf16(FromUtf16(u)) != u && ++failures <= 10)
            ADD_FAILURE() << std::hex << static_cast<unsigned>(cp);
    }
    EXPECT_EQ(failures, 0);
}
