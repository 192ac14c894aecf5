#include "collect/SavedFiles.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace gleaner;
using gleaner::test::FileExists;
using gleaner::test::ReadFileBytes;
using gleaner::test::TempDir;
using gleaner::test::WriteFileBytes;

namespace {

class FixedClock final : public Clock {
public:
    explicit FixedClock(LocalTime t) : time_(t) {}
    LocalTime Now() const override { return time_; }

private:
    LocalTime time_;
};

const FixedClock kMarchFirst({2014, 3, 1, 9, 5, 0});

void AddRow(ResultList& list, const std::string& prefix) {
    std::vector<Text> groups;
    for (int c = 1; c <= 15; ++c)
        groups.push_back(prefix + std::to_string(c));
    list.AppendResultRow(groups);
}

} // namespace

TEST(TimeStampName, DropsTrailingZeroTimeParts) {
    struct Case {
        LocalTime time;
        const char* name;
    } cases[] = {
        {{2014, 3, 1, 9, 5, 0}, "2014年3月1日9时5分"},
        {{2014, 3, 1, 9, 0, 0}, "2014年3月1日9时"},
        {{2014, 3, 1, 0, 0, 0}, "2014年3月1日"},
        {{2014, 3, 1, 0, 0, 7}, "2014年3月1日0时0分7秒"},
        {{2014, 3, 1, 0, 5, 0}, "2014年3月1日0时5分"},
        {{2014, 12, 31, 23, 59, 59}, "2014年12月31日23时59分59秒"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToUtf8(TimeStampName(c.time)), c.name);
}

TEST(IsSafeFolderName, RefusesAbsoluteNamesAndParentSteps) {
    struct Case {
        Text name;
        bool safe;
    } cases[] = {
        {"news", true},
        {"", true},
        {"新闻"_t, true},
        {"a/b", true},
        {"...", true},
        {"..a", true},
        {"a..", true},
        {"..", false},
        {"../evil", false},
        {"a/../../b", false},
        {"a/..", false},
        {"/etc", false},
        {"\\share", false},
        {"..\\evil", false},
        {"a\\..\\..\\b", false},
        // GBK 0x95 0x5C is one character whose second byte is a backslash: not a separator.
        {"\x95\x5c..", true},
        {"\x95\x5c\\..", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSafeFolderName(c.name), c.safe) << ToUtf8(c.name);
}

TEST(ImmediateSaveText, SingleLevelWritesOneLinePerColumnOneToNine) {
    ResultList list;
    AddRow(list, "a");
    AddRow(list, "b");
    Text expected;
    for (int k = 1; k <= 9; ++k)
        expected += "a" + std::to_string(k) + "|,|b" + std::to_string(k) + "|,|\r\n";
    expected += "\r\n";
    EXPECT_EQ(ImmediateSaveText(list, SaveForm::SingleLevel), expected);
}

TEST(ImmediateSaveText, TwoLevelWritesColumnOneOnOneLine) {
    ResultList list;
    list.AppendResultRow({"x"});
    list.AppendResultRow({"y", "not written"});
    EXPECT_EQ(ImmediateSaveText(list, SaveForm::TwoLevel), "x|,|y|,|");
}

TEST(ImmediateSaveText, EmptyList) {
    ResultList list;
    EXPECT_EQ(ImmediateSaveText(list, SaveForm::SingleLevel), "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
    EXPECT_EQ(ImmediateSaveText(list, SaveForm::TwoLevel), "");
}

class RunFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CreateProgramFolders(dir.Path())); }
    RunFiles Files(const Text& folderName) const { return RunFiles(dir.Path(), dir.Path(), folderName, kMarchFirst); }

    TempDir dir;
};

TEST_F(RunFilesTest, PathsGoThroughTheProgramFolderInUtf8) {
    const RunFiles files = Files("新闻"_t);
    EXPECT_EQ(files.PageFolder(), dir.File("下载网页/新闻"));
    EXPECT_EQ(files.ResultTextPath(), dir.File("下载网页/新闻/新闻.txt"));
    const RunFiles unnamed = Files("");
    EXPECT_EQ(unnamed.PageFolder(), dir.File("下载网页"));
    EXPECT_EQ(unnamed.ResultTextPath(), dir.File("下载网页/.txt"));
}

TEST_F(RunFilesTest, CreatePageFolderUsesTheWorkingFolder) {
    TempDir working;
    ASSERT_TRUE(CreateProgramFolders(working.Path()));
    const RunFiles files(dir.Path(), working.Path(), "news", kMarchFirst);
    EXPECT_TRUE(files.CreatePageFolder());
    EXPECT_TRUE(std::filesystem::is_directory(working.File("下载网页/news")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("下载网页/news")));
    // The page itself is addressed through the program folder, which has no such folder.
    EXPECT_FALSE(files.SavePage("1", "x"));
    EXPECT_TRUE(files.CreatePageFolder()) << "an existing folder is fine";
}

TEST_F(RunFilesTest, SavePageWritesTheBytesExactlyAndReplaces) {
    const RunFiles files = Files("news");
    ASSERT_TRUE(files.CreatePageFolder());
    const Text page = "<html>\r\n标题\xff\x80</html>"_t;
    ASSERT_TRUE(files.SavePage("7", "old page, longer than the new one"));
    ASSERT_TRUE(files.SavePage("7", page));
    EXPECT_EQ(ReadFileBytes(dir.File("下载网页/news/7.html")), page);
    EXPECT_TRUE(files.SavePage("1212", ""));
    EXPECT_TRUE(FileExists(dir.File("下载网页/news/1212.html")));
}

TEST_F(RunFilesTest, ImmediateSaveRewritesTheWholeFile) {
    const RunFiles files = Files("news");
    ASSERT_TRUE(files.CreatePageFolder());
    ResultList list;
    AddRow(list, "甲"_t);
    ASSERT_TRUE(files.ImmediateSave(list, SaveForm::TwoLevel));
    const std::string first = ReadFileBytes(files.ResultTextPath());
    EXPECT_EQ(first, "甲1|,|"_t);
    ASSERT_TRUE(files.ImmediateSave(list, SaveForm::TwoLevel));
    EXPECT_EQ(ReadFileBytes(files.ResultTextPath()), first) << "two saves of one list are identical";
    AddRow(list, "乙"_t);
    ASSERT_TRUE(files.ImmediateSave(list, SaveForm::TwoLevel));
    EXPECT_EQ(ReadFileBytes(files.ResultTextPath()), "甲1|,|乙1|,|"_t);
}

TEST_F(RunFilesTest, BackupsCopyTheResultFileUnderTheTimeStampName) {
    const RunFiles files = Files("news");
    ASSERT_TRUE(files.CreatePageFolder());
    EXPECT_FALSE(files.StartBackup()) << "no result file yet: no copy";
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("采集前保存备份")));

    WriteFileBytes(files.ResultTextPath(), "a|,|");
    EXPECT_TRUE(files.StartBackup());
    WriteFileBytes(files.ResultTextPath(), "a|,|b|,|");
    EXPECT_TRUE(files.EndBackup());
    EXPECT_EQ(ReadFileBytes(dir.File("采集前保存备份/2014年3月1日9时5分.txt")), "a|,|");
    EXPECT_EQ(ReadFileBytes(dir.File("采集完保存备份/2014年3月1日9时5分.txt")), "a|,|b|,|");

    // The same second again replaces the earlier copy.
    WriteFileBytes(files.ResultTextPath(), "c|,|");
    EXPECT_TRUE(files.EndBackup());
    EXPECT_EQ(ReadFileBytes(dir.File("采集完保存备份/2014年3月1日9时5分.txt")), "c|,|");
}

TEST_F(RunFilesTest, MissingFoldersFailQuietly) {
    TempDir bare; // no program folders at all
    const RunFiles files(bare.Path(), bare.Path(), "news", kMarchFirst);
    EXPECT_FALSE(files.CreatePageFolder());
    EXPECT_FALSE(files.SavePage("1", "x"));
    ResultList list;
    EXPECT_FALSE(files.ImmediateSave(list, SaveForm::SingleLevel));
    EXPECT_FALSE(files.StartBackup());
    EXPECT_TRUE(std::filesystem::is_empty(bare.Path()));
}

TEST_F(RunFilesTest, SavesWhileRowsArriveAlwaysLeaveAWholeState) {
    const RunFiles files = Files("news");
    ASSERT_TRUE(files.CreatePageFolder());
    ResultList list;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i)
            list.AppendResultRow({"r" + std::to_string(i)});
        done = true;
    });
    std::thread saver([&] {
        while (!done)
            files.ImmediateSave(list, SaveForm::TwoLevel);
    });
    writer.join();
    saver.join();
    // A save that starts after the last row holds every row; the earlier ones are whole prefixes.
    ASSERT_TRUE(files.ImmediateSave(list, SaveForm::TwoLevel));
    const std::string text = ReadFileBytes(files.ResultTextPath());
    EXPECT_EQ(text, ImmediateSaveText(list, SaveForm::TwoLevel));
    EXPECT_EQ(text.substr(0, 8), "r0|,|r1|");
}

TEST(CreateProgramFolders, MakesTheThreeFoldersAndKeepsExistingContent) {
    TempDir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("下载网页")));
    WriteFileBytes(dir.File("下载网页/keep.txt"), "kept");
    EXPECT_TRUE(CreateProgramFolders(dir.Path()));
    for (const char* name : {"下载网页", "采集前保存备份", "采集完保存备份"})
        EXPECT_TRUE(std::filesystem::is_directory(dir.File(name))) << name;
    EXPECT_EQ(ReadFileBytes(dir.File("下载网页/keep.txt")), "kept");
    std::filesystem::remove_all(dir.File("采集完保存备份"));
    WriteFileBytes(dir.File("采集完保存备份"), "not a folder");
    EXPECT_FALSE(CreateProgramFolders(dir.Path()));
}
