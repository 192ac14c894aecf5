// The recognition library through its two C entry points, on pictures drawn with known texts.

#include "vcode/VcodeApi.h"

#include "Pictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace gleaner::test {
namespace {

const std::string kBlanks(32, ' ');

std::string DefaultCds() { return SourceDir() + "/src/vcode/zived.cds"; }

// The text GetVcodeFromBuffer leaves in a buffer of 32 blanks.
std::string Read(int handle, const std::string& picture, int* returned = nullptr) {
    char buffer[33];
    std::memset(buffer, ' ', 32);
    buffer[32] = '\0';
    const int r = GetVcodeFromBuffer(handle, reinterpret_cast<const unsigned char*>(picture.data()),
                                     static_cast<int>(picture.size()), buffer);
    if (returned != nullptr)
        *returned = r;
    return std::string(buffer);
}

class VcodeLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = LoadCdsFromFile(DefaultCds().c_str(), "");
        ASSERT_NE(handle_, -1);
    }
    int handle_ = -1;
};

TEST_F(VcodeLibrary, ReadsDrawnTextsInEveryFormat) {
    for (const char* format : {"PNG", "JPEG", "GIF", "BMP"}) {
        for (const char* text : {"4827", "K3M9", "70315", "XB62"}) {
            SCOPED_TRACE(std::string(format) + " " + text);
            int returned = 0;
            EXPECT_EQ(Read(handle_, DrawnText(text, format), &returned), text);
            EXPECT_EQ(returned, static_cast<int>(std::strlen(text)));
        }
    }
}

TEST_F(VcodeLibrary, ReadsSmallAndLightOnDarkPictures) {
    // 80x24 needs the enlargement; a 24-pixel picture is typical of login forms.
    EXPECT_EQ(Read(handle_, DrawnText("5931", "PNG", 80, 24)), "5931");
    EXPECT_EQ(Read(handle_, DrawnText("K3M9", "PNG", 160, 60, true)), "K3M9");
}

TEST_F(VcodeLibrary, NothingRecognisedLeavesTheBufferUntouched) {
    int returned = -2;
    EXPECT_EQ(Read(handle_, BlankPicture("PNG"), &returned), kBlanks);
    EXPECT_EQ(returned, 0);
}

TEST_F(VcodeLibrary, BadPicturesWriteNothing) {
    const std::string png = DrawnText("4827", "PNG");
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"truncated", png.substr(0, png.size() / 2)},
        {"not a picture", "<html><body>404 Not Found</body></html>"},
        {"header claiming 20000x20000", PngHeaderOnly(20000, 20000)},
        {"real picture over the bound", BlackPng(7000, 7000)},
        {"GIF signature only", "GIF89a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int returned = 0;
        EXPECT_EQ(Read(handle_, c.bytes, &returned), kBlanks);
        EXPECT_LE(returned, 0);
    }
    EXPECT_EQ(Read(-1, png), kBlanks);
    EXPECT_EQ(Read(handle_ + 1000, png), kBlanks);
    EXPECT_EQ(GetVcodeFromBuffer(handle_, reinterpret_cast<const unsigned char*>(png.data()),
                                 static_cast<int>(png.size()), nullptr),
              -1);
}

TEST_F(VcodeLibrary, AnimatedGifReadsItsFirstFrameOnly) {
    const std::string animated = AnimatedGif({DrawnText("4827", "GIF"), DrawnText("K3M9", "GIF")});
    EXPECT_EQ(Read(handle_, animated), "4827");
    // A later frame claiming 60000x60000 must not be decoded at all.
    EXPECT_EQ(Read(handle_, WithHugeSecondFrame(DrawnText("K3M9", "GIF"), 60000, 60000)), "K3M9");
}

TEST_F(VcodeLibrary, ResultStaysWithin32Bytes) {
    const std::string text = "1234567890123456789012345678901234567890";
    int returned = 0;
    const std::string read = Read(handle_, DrawnText(text, "PNG", 1400, 60), &returned);
    EXPECT_EQ(read.size(), 32u);
    EXPECT_EQ(returned, 32);
    EXPECT_EQ(read, text.substr(0, 32));
}

TEST_F(VcodeLibrary, ConcurrentReadsAreSafe) {
    const std::vector<std::string> texts = {"4827", "K3M9", "70315", "XB62"};
    std::vector<std::string> pictures;
    for (const auto& t : texts)
        pictures.push_back(DrawnText(t, "PNG"));
    std::vector<int> wrong(texts.size(), 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < texts.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const int handle = LoadCdsFromFile(DefaultCds().c_str(), "");
                if (Read(handle, pictures[t]) != texts[t])
                    ++wrong[t];
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong, std::vector<int>(texts.size(), 0));
}

// --- recognition files -------------------------------------------------------------------------

// Tagged text in the code page, as the program ships it.
std::string Cds(const std::string& language, const std::string& extra = "") {
    return "[\xD3\xEF\xD1\xD4]" + language + "[/\xD3\xEF\xD1\xD4]" + extra;
}
const std::string kPassword = "[\xC3\xDC\xC2\xEB]"; // [密码]
const std::string kPasswordEnd = "[/\xC3\xDC\xC2\xEB]";
const std::string kMode = "[\xC4\xA3\xCA\xBD]";     // [模式]
const std::string kModeEnd = "[/\xC4\xA3\xCA\xBD]";

TEST(RecognitionFile, UnusableFilesGiveMinusOne) {
    TempDir dir;
    ::mkdir(dir.File("folder.cds").c_str(), 0755);
    const struct {
        const char* name;
        const char* content; // null: the file is not created
        std::string bytes;
    } cases[] = {
        {"missing", nullptr, ""},
        {"empty", "", ""},
        {"no keys", "x", "just some text"},
        {"language not closed", "x", "[\xD3\xEF\xD1\xD4]eng"},
        {"language not installed", "x", Cds("xyz")},
        {"language that is a path", "x", Cds("../../../tmp/eng")},
        {"mode not a number", "x", Cds("eng", kMode + "seven" + kModeEnd)},
        {"mode without text", "x", Cds("eng", kMode + "0" + kModeEnd)},
        {"mode out of range", "x", Cds("eng", kMode + "14" + kModeEnd)},
        {"wrong password", "x", Cds("eng", kPassword + "secret" + kPasswordEnd)},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("case" + std::to_string(++n) + ".cds");
        if (c.content != nullptr)
            WriteFileBytes(path, c.bytes);
        EXPECT_EQ(LoadCdsFromFile(path.c_str(), ""), -1);
    }
    EXPECT_EQ(LoadCdsFromFile(dir.File("folder.cds").c_str(), ""), -1);
    EXPECT_EQ(LoadCdsFromFile(nullptr, ""), -1);
    EXPECT_EQ(LoadCdsFromFile("", ""), -1);
}

TEST(RecognitionFile, PasswordMustMatch) {
    TempDir dir;
    const std::string path = dir.File("zived.cds");
    WriteFileBytes(path, Cds("eng", kPassword + "secret" + kPasswordEnd));
    EXPECT_EQ(LoadCdsFromFile(path.c_str(), "wrong"), -1);
    EXPECT_NE(LoadCdsFromFile(path.c_str(), "secret"), -1);
    WriteFileBytes(dir.File("open.cds"), Cds("eng"));
    EXPECT_EQ(LoadCdsFromFile(dir.File("open.cds").c_str(), "secret"), -1);
    EXPECT_NE(LoadCdsFromFile(dir.File("open.cds").c_str(), nullptr), -1);
}

TEST(RecognitionFile, SameUnchangedFileGivesSameHandle) {
    TempDir dir;
    const std::string path = dir.File("zived.cds");
    WriteFileBytes(path, ReadFileBytes(DefaultCds()));
    const int first = LoadCdsFromFile(path.c_str(), "");
    ASSERT_NE(first, -1);
    EXPECT_EQ(LoadCdsFromFile(path.c_str(), ""), first);
    EXPECT_EQ(LoadCdsFromFile((dir.Path() + "/./zived.cds").c_str(), ""), first);

    // Digits only now: a new handle that reads by the new file, while the old one still works.
    WriteFileBytes(path, Cds("eng", "[\xD7\xD6\xB7\xFB]0123456789[/\xD7\xD6\xB7\xFB]"));
    const int changed = LoadCdsFromFile(path.c_str(), "");
    ASSERT_NE(changed, -1);
    EXPECT_NE(changed, first);
    EXPECT_EQ(LoadCdsFromFile(path.c_str(), ""), changed);
    EXPECT_EQ(Read(changed, DrawnText("4827", "PNG")), "4827");
    EXPECT_EQ(Read(first, DrawnText("K3M9", "PNG")), "K3M9");
}

TEST(RecognitionFile, AcceptsUtf8AndOptionalKeys) {
    TempDir dir;
    const std::string path = dir.File("utf8.cds");
    WriteFileBytes(path, "\xEF\xBB\xBF[语言] eng [/语言]\r\n[字符]ABCKM 3579[/字符][模式]8[/模式][放大]3[/放大][阈值]140[/阈值]");
    const int handle = LoadCdsFromFile(path.c_str(), "");
    ASSERT_NE(handle, -1);
    EXPECT_EQ(Read(handle, DrawnText("K3M9", "PNG")), "K3M9");
    WriteFileBytes(dir.File("bad.cds"), "[语言]eng[/语言][放大]20[/放大]");
    EXPECT_EQ(LoadCdsFromFile(dir.File("bad.cds").c_str(), ""), -1);
}

} // namespace
} // namespace gleaner::test
