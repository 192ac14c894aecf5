#include "config/RulesFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

using namespace gleaner;
using gleaner::test::TempDir;
using gleaner::test::WriteFileBytes;

namespace {
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
} // namespace

TEST(RulesFile, PathIsTheRulesFileInTheProgramFolder) {
    EXPECT_EQ(RulesFile("/opt/gleaner").Path(), "/opt/gleaner/采集配置.txt");
    EXPECT_EQ(RulesFile("/opt/gleaner/").Path(), "/opt/gleaner/采集配置.txt");
}

TEST(RulesFile, ReadsTextAndIntegerKeys) {
    TempDir dir;
    const RulesFile rules(dir.Path());
    // GBK bytes of the keys as they stand in a real rules file.
    const Text file = "[起始页]1[/起始页]\r\n[结束页]5[/结束页]\r\n"
                      "[采集网址前面]http://127.0.0.1/list_[/采集网址前面]\r\n"
                      "[采集网址结尾].html[/采集网址结尾]\r\n"
                      "[延迟时间] 2[/延迟时间]\r\n"
                      "[模拟人工]２[/模拟人工]\r\n"
                      "[识别图片]abc[/识别图片]\r\n"
                      "[目录名]新闻[/目录名]\r\n"
                      "[采集二级页面][/采集二级页面]"_t;
    ASSERT_EQ(file.substr(0, 8), "[\xC6\xF0\xCA\xBC\xD2\xB3]"); // [起始页] in GBK
    WriteFileBytes(rules.Path(), file);

    EXPECT_EQ(rules.ReadRuleInt("起始页"_t), 1);
    EXPECT_EQ(rules.ReadRuleInt("结束页"_t), 5);
    EXPECT_EQ(rules.ReadRuleText("采集网址前面"_t), "http://127.0.0.1/list_");
    EXPECT_EQ(rules.ReadRuleText("采集网址结尾"_t), ".html");
    EXPECT_EQ(rules.ReadRuleText("延迟时间"_t), " 2");
    EXPECT_EQ(rules.ReadRuleInt("延迟时间"_t), 2);
    EXPECT_EQ(rules.ReadRuleInt("模拟人工"_t), 2); // full-width digit
    EXPECT_EQ(rules.ReadRuleInt("识别图片"_t), 0);
    EXPECT_EQ(rules.ReadRuleText("目录名"_t), "新闻"_t);
    EXPECT_EQ(rules.ReadRuleText("采集二级页面"_t), "");
    EXPECT_EQ(rules.ReadRuleInt("采集二级页面"_t), 0);
    EXPECT_EQ(rules.ReadRuleText("首页网址"_t), "");
    EXPECT_EQ(rules.ReadRuleInt("定时时间"_t), 0);
}

TEST(RulesFile, ValuesKeepLineBreaksAndTheFirstOfTwoKeysCounts) {
    TempDir dir;
    const RulesFile rules(dir.Path());
    WriteFileBytes(rules.Path(), "[采集网址前面]http://127.0.0.1/a\r\nb[/采集网址前面]\n"
                                 "[起始页]3[/起始页][起始页]9[/起始页]"_t);
    EXPECT_EQ(rules.ReadRuleText("采集网址前面"_t), "http://127.0.0.1/a\r\nb");
    EXPECT_EQ(rules.ReadRuleInt("起始页"_t), 3);
}

TEST(RulesFile, ReadsAfreshForEveryKey) {
    TempDir dir;
    const RulesFile rules(dir.Path());
    WriteFileBytes(rules.Path(), "[即时保存]0[/即时保存]"_t);
    EXPECT_EQ(rules.ReadRuleInt("即时保存"_t), 0);
    WriteFileBytes(rules.Path(), "[即时保存]1[/即时保存]"_t);
    EXPECT_EQ(rules.ReadRuleInt("即时保存"_t), 1);
}

TEST(RulesFile, MissingOrUnreadableFileReadsAsEmpty) {
    TempDir dir;
    const RulesFile missing(dir.Path());
    EXPECT_EQ(missing.ReadRuleText("起始页"_t), "");
    EXPECT_EQ(missing.ReadRuleInt("起始页"_t), 0);

    const RulesFile noFolder(dir.File("no/such"));
    EXPECT_EQ(noFolder.ReadRuleInt("结束页"_t), 0);

    // A folder where the file should be cannot be read as one.
    std::filesystem::create_directory(missing.Path());
    EXPECT_EQ(missing.ReadRuleText("起始页"_t), "");

    TempDir other;
    const RulesFile cut(other.Path());
    WriteFileBytes(cut.Path(), std::string("[起始页]1[/起始页]"_t) + std::string("\0", 1) + "[结束页]5[/结束页]"_t);
    EXPECT_EQ(cut.ReadRuleInt("起始页"_t), 1);
    EXPECT_EQ(cut.ReadRuleInt("结束页"_t), 0);
}

TEST(RulesFile, PageStepsNumbersAndWaits) {
    EXPECT_EQ(PageStepCount(1, 5), 4);
    EXPECT_EQ(PageStepCount(5, 5), 0);
    EXPECT_EQ(PageStepCount(5, 1), -4);
    EXPECT_EQ(PageStepCount(kMin, kMax), 4294967295LL);
    EXPECT_EQ(PageStepCount(kMax, kMin), -4294967295LL);
    EXPECT_EQ(PageStepCount(0, 0), 0);

    EXPECT_EQ(PageNumberText(1, 1), "1");
    EXPECT_EQ(PageNumberText(1, 4), "4");
    EXPECT_EQ(PageNumberText(-2, 1), "-2");
    EXPECT_EQ(PageNumberText(kMax, 1), "2147483647");
    EXPECT_EQ(PageNumberText(kMin, PageStepCount(kMin, kMax)), "2147483646");
    EXPECT_EQ(PageNumberText(kMax - 1, 2), "2147483647");

    EXPECT_EQ(WaitMilliseconds(2), 2000);
    EXPECT_EQ(WaitMilliseconds(0), 0);
    EXPECT_EQ(WaitMilliseconds(-3), 0);
    EXPECT_EQ(WaitMilliseconds(kMax), 2147483647000LL);
}
