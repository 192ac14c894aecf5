#include "config/FileIo.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace gleaner;
using gleaner::test::FileExists;
using gleaner::test::ReadFileBytes;
using gleaner::test::TempDir;
using gleaner::test::WriteFileBytes;

namespace fs = std::filesystem;

TEST(FileIo, ReadsWholeFilesWithZeroBytes) {
    TempDir dir;
    const std::string bytes("a\0\xFF\xB2\r\n", 6);
    WriteFileBytes(dir.File("b.bin"), bytes);
    Bytes out = "stale";
    ASSERT_TRUE(ReadWholeFile(dir.File("b.bin"), out));
    EXPECT_EQ(out, bytes);
    EXPECT_EQ(ReadTextFile(dir.File("b.bin")), "a");

    EXPECT_FALSE(ReadWholeFile(dir.File("none"), out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(ReadWholeFile(dir.Path(), out)); // a folder
    EXPECT_EQ(ReadTextFile(dir.File("none")), "");
}

TEST(FileIo, WriteReplacesWholeAndKeepsTheMode) {
    TempDir dir;
    const std::string path = dir.File("采集.txt");
    WriteFileBytes(path, std::string(100000, 'x'));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteWholeFile(path, "short"));
    EXPECT_EQ(ReadFileBytes(path), "short");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_TRUE(WriteWholeFile(path, ""));
    EXPECT_EQ(ReadFileBytes(path), "");
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

    EXPECT_FALSE(WriteWholeFile(dir.File("missing/x.txt"), "x"));
    EXPECT_FALSE(WriteWholeFile("", "x"));
}

TEST(FileIo, CopyReplacesTheTargetAndNeedsASource) {
    TempDir dir;
    WriteFileBytes(dir.File("from"), std::string("1\0" "2", 3));
    WriteFileBytes(dir.File("to"), "old and longer");
    ASSERT_TRUE(CopyWholeFile(dir.File("from"), dir.File("to")));
    EXPECT_EQ(ReadFileBytes(dir.File("to")), std::string("1\0" "2", 3));

    EXPECT_FALSE(CopyWholeFile(dir.File("none"), dir.File("new")));
    EXPECT_FALSE(FileExists(dir.File("new")));
    EXPECT_FALSE(CopyWholeFile(dir.File("from"), dir.File("missing/to")));
}

TEST(FileIo, JoinPath) {
    EXPECT_EQ(JoinPath("/a/b", "c.txt"), "/a/b/c.txt");
    EXPECT_EQ(JoinPath("/a/b/", "c.txt"), "/a/b/c.txt");
    EXPECT_EQ(JoinPath("/", "c"), "/c");
    EXPECT_EQ(JoinPath("", "c"), "c");
    EXPECT_EQ(JoinPath("下载网页", "新闻"), "下载网页/新闻");
}
