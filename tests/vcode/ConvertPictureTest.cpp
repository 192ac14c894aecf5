// ConvertPicture: the five formats, its failures, saving, and the size bound.

#include "collect/ConvertPicture.h"

#include "Pictures.h"
#include "support/TestSupport.h"

#include <leptonica/allheaders.h>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

namespace gleaner::test {
namespace {

int FormatOf(const std::string& bytes) {
    l_int32 format = IFF_UNKNOWN;
    findFileFormatBuffer(reinterpret_cast<const l_uint8*>(bytes.data()), &format);
    return format;
}

bool IsTiff(int f) {
    return f == IFF_TIFF || f == IFF_TIFF_LZW || f == IFF_TIFF_ZIP || f == IFF_TIFF_G4 || f == IFF_TIFF_PACKBITS ||
           f == IFF_TIFF_RLE || f == IFF_TIFF_G3 || f == IFF_TIFF_JPEG;
}

// A 1-bit picture, which some writers do not take as it is.
std::string OneBitPng() {
    PIX* pix = pixCreate(90, 30, 1);
    pixSetAll(pix);
    l_uint8* data = nullptr;
    size_t size = 0;
    pixWriteMem(&data, &size, pix, IFF_PNG);
    std::string out(reinterpret_cast<const char*>(data), size);
    lept_free(data);
    pixDestroy(&pix);
    return out;
}

TEST(ConvertPicture, EachFormatRoundTripsFromEveryKindOfSource) {
    const struct {
        const char* name;
        std::string bytes;
        int width, height;
    } sources[] = {
        {"PNG colour", DrawnText("4827", "PNG"), 160, 60},
        {"JPEG", DrawnText("4827", "JPEG", 120, 50), 120, 50},
        {"GIF colour map", DrawnText("4827", "GIF", 100, 40), 100, 40},
        {"BMP", DrawnText("4827", "BMP", 70, 30), 70, 30},
        {"PNG 1 bit", OneBitPng(), 90, 30},
    };
    const struct {
        int format;
        bool (*is)(int);
    } targets[] = {
        {1, [](int f) { return f == IFF_BMP; }},
        {2, [](int f) { return f == IFF_JFIF_JPEG; }},
        {3, [](int f) { return f == IFF_GIF; }},
        {4, IsTiff},
        {5, [](int f) { return f == IFF_PNG; }},
    };
    for (const auto& source : sources) {
        for (const auto& target : targets) {
            SCOPED_TRACE(std::string(source.name) + " -> " + std::to_string(target.format));
            Bytes converted;
            ASSERT_TRUE(ConvertPicture(source.bytes, target.format, "", converted));
            EXPECT_TRUE(target.is(FormatOf(converted)));
            int w = 0, h = 0;
            ASSERT_TRUE(DecodedSize(converted, w, h));
            EXPECT_EQ(w, source.width);
            EXPECT_EQ(h, source.height);
        }
    }
}

TEST(ConvertPicture, FailuresLeaveTheOutArgumentAlone) {
    const std::string png = DrawnText("4827", "PNG");
    const struct {
        const char* name;
        std::string bytes;
        int format;
    } cases[] = {
        {"format 6", png, 6},
        {"format 0", png, 0},
        {"format -1", png, -1},
        {"empty", "", 1},
        {"not a picture", "<html>moved</html>", 1},
        {"truncated", png.substr(0, 40), 1},
        {"header claiming 20000x20000", PngHeaderOnly(20000, 20000), 5},
        {"GIF frame claiming 60000x60000", WithHugeSecondFrame("GIF89a\x01\x00\x01\x00\x00\x00\x00", 60000, 60000), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes converted = "previous";
        EXPECT_FALSE(ConvertPicture(c.bytes, c.format, "", converted));
        EXPECT_EQ(converted, "previous");
    }
}

TEST(ConvertPicture, AnimatedGifGivesItsFirstFrame) {
    const std::string animated = AnimatedGif({DrawnText("4827", "GIF", 100, 40), DrawnText("K3M9", "GIF", 160, 60)});
    Bytes converted;
    ASSERT_TRUE(ConvertPicture(animated, 5, "", converted));
    int w = 0, h = 0;
    ASSERT_TRUE(DecodedSize(converted, w, h));
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 40);
}

// Cut downloads are common; every prefix must fail cleanly or give a picture that decodes again.
TEST(ConvertPicture, CutPicturesNeverCrash) {
    const std::string pictures[] = {
        DrawnText("4827", "PNG", 60, 24),
        AnimatedGif({DrawnText("48", "GIF", 40, 20), DrawnText("K3", "GIF", 40, 20)}),
        DrawnText("4827", "BMP", 40, 20),
    };
    for (const std::string& picture : pictures) {
        for (std::size_t n = 0; n < picture.size(); n += 3) {
            SCOPED_TRACE(n);
            Bytes converted = "previous";
            int w = 0, h = 0;
            if (ConvertPicture(picture.substr(0, n), 1, "", converted))
                EXPECT_TRUE(DecodedSize(converted, w, h));
            else
                EXPECT_EQ(converted, "previous");
        }
    }
}

TEST(ConvertPicture, SavesToTheTrimmedPathInTheCodePage) {
    TempDir dir;
    const std::string png = DrawnText("4827", "JPEG");
    // Blanks and a full-width blank (A1 A1) around a name in Chinese.
    const Text path = "  "_t + FromUtf8(dir.Path()) + "/图片.png　"_t;
    Bytes converted;
    ASSERT_TRUE(ConvertPicture(png, 5, path, converted));
    const std::string saved = ReadFileBytes(dir.File("图片.png"));
    EXPECT_EQ(saved, converted);
    EXPECT_EQ(FormatOf(saved), IFF_PNG);

    Bytes untouched = "previous";
    EXPECT_FALSE(ConvertPicture(png, 5, FromUtf8(dir.Path()) + "/no/such/folder/a.png", untouched));
    EXPECT_EQ(untouched, "previous");

    Bytes blankPath;
    EXPECT_TRUE(ConvertPicture(png, 1, "　 ", blankPath));
}

// A real 49-megapixel picture (it compresses to a few hundred kilobytes) must be refused before
// decoding; decoding it would take about 200 MB. Measured in a fresh child process.
TEST(ConvertPictureDeathTest, RefusesLargePicturesBeforeDecoding) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string bomb = BlackPng(7000, 7000);
    EXPECT_EXIT(
        {
            Bytes converted;
            const bool ok = ConvertPicture(bomb, 1, "", converted);
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            _exit(!ok && usage.ru_maxrss < 120 * 1024 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    // Just under the bound is converted.
    Bytes converted;
    EXPECT_TRUE(ConvertPicture(BlackPng(2000, 1500), 5, "", converted));
}

} // namespace
} // namespace gleaner::test
