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
