#include "text/Text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

// The checkpoints must map every character boundary back exactly, by the rule they promise: in a
// plain block, count ASCII bytes once and lead bytes twice from the checkpoint; a marked block gives
// the position itself. Pages mix long plain stretches with rare four-byte codes and stray bytes, so
// that plain and marked blocks meet; one set of buffers serves every page, larger and smaller.
TEST(Codepage, CheckpointsMapEveryCharacterBoundaryBack) {
    const std::vector<std::string> common = {"a", "<", "\n", "\xD6\xD0", "\xA1\xA4", "\xB2\xC9"}; // ASCII, two-byte
    const std::vector<std::string> rare = {"\x81\x30\x81\x30", "\x95\x32\x82\x36", "\x80", "\xFF", "\x81",
                                           "\x84\x31\xA4\x39", "\xFE\x39\xFE\x39", "\x81\x7F"};
    std::mt19937 rng(777);
    std::string utf8;
    std::vector<std::uint32_t> checkpoints, exact;
    int markedBlocks = 0, plainBlocks = 0;
    for (int round = 0; round < 300; ++round) {
        const int rareEvery = round % 3 == 0 ? 0 : round % 3 == 1 ? 200 : 3; // none, seldom, often
        Text text;
        const std::size_t pieces = rng() % (round % 10 == 0 ? 4000 : 300);
        for (std::size_t k = 0; k < pieces; ++k) {
            if (rareEvery != 0 && rng() % rareEvery == 0)
                text += rare[rng() % rare.size()];
            else if (rng() % 3 == 0)
                text += std::string(1 + rng() % 40, static_cast<char>('a' + rng() % 26)); // ASCII runs
            else
                text += common[rng() % common.size()];
        }
        ToUtf8WithCheckpoints(text, utf8, checkpoints, exact);
        std::vector<std::uint32_t> positions;
        ASSERT_EQ(utf8, ToUtf8Mapped(text, positions));
        ASSERT_EQ(checkpoints.size(), utf8.size() / kUtf8CheckpointStep + 1);
        for (std::size_t u = 0; u <= utf8.size(); ++u) {
            const bool boundary = u == utf8.size() || (static_cast<unsigned char>(utf8[u]) & 0xC0) != 0x80;
            const std::size_t k = u / kUtf8CheckpointStep, from = k * kUtf8CheckpointStep;
            const std::uint32_t entry = checkpoints[k];
            std::uint32_t mapped;
            if (entry & kUtf8CheckpointExact) {
                const std::size_t j = entry & ~kUtf8CheckpointExact;
                ASSERT_LT(j * kUtf8CheckpointStep + (u - from), exact.size());
                mapped = exact[j * kUtf8CheckpointStep + (u - from)];
                ASSERT_EQ(mapped, positions[u]) << "round " << round << " byte " << u; // every byte, as documented
            } else {
                if (!boundary)
                    continue;
                mapped = entry;
                for (std::size_t b = from; b < u; ++b) {
                    const auto c = static_cast<unsigned char>(utf8[b]);
                    mapped += c < 0x80 ? 1 : c >= 0xC0 ? 2 : 0;
                }
            }
            if (boundary) {
                ASSERT_EQ(mapped, positions[u]) << "round " << round << " boundary " << u;
            }
        }
        for (std::uint32_t entry : checkpoints)
            ++((entry & kUtf8CheckpointExact) ? markedBlocks : plainBlocks);
    }
    // Both kinds of block were really exercised.
    EXPECT_GT(markedBlocks, 100);
    EXPECT_GT(plainBlocks, 1000);
}

TEST(Codepage, CheckpointsOfEmptyAndTinyTexts) {
    std::string utf8 = "left over";
    std::vector<std::uint32_t> checkpoints = {7, 7}, exact = {1};
    ToUtf8WithCheckpoints("", utf8, checkpoints, exact);
    EXPECT_EQ(utf8, "");
    EXPECT_EQ(checkpoints, std::vector<std::uint32_t>{0});
    EXPECT_TRUE(exact.empty());
    ToUtf8WithCheckpoints("\x80", utf8, checkpoints, exact); // one stray byte: a marked block
    EXPECT_EQ(utf8, ToUtf8("\x80"));
    ASSERT_EQ(checkpoints.size(), 1u);
    ASSERT_TRUE(checkpoints[0] & kUtf8CheckpointExact);
    const std::size_t j = checkpoints[0] & ~kUtf8CheckpointExact;
    EXPECT_EQ(exact[j * kUtf8CheckpointStep + 0], 0u);
    EXPECT_EQ(exact[j * kUtf8CheckpointStep + 4], 1u); // the end of the UTF-8 is the end of the text
}
