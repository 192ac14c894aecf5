// The workbook export, read back with xlrd (tests/output/read_xls.py) as an independent reader.

#include "output/SpreadsheetExport.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace gleaner;
using gleaner::test::FileExists;
using gleaner::test::ReadFileBytes;
using gleaner::test::TempDir;
using gleaner::test::WriteFileBytes;

namespace {

// --- a small JSON reader for the script's output (ASCII with \u escapes) ---------------------

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    double number = 0;
    std::u16string string;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json& operator[](const std::string& key) const {
        static const Json none;
        auto it = members.find(key);
        return it == members.end() ? none : it->second;
    }
};

class JsonParser {
public:
    explicit JsonParser(std::string_view s) : s_(s) {}
    bool Parse(Json& out) {
        if (!Value(out))
            return false;
        Skip();
        return i_ == s_.size();
    }

private:
    void Skip() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_])))
            ++i_;
    }
    bool Literal(std::string_view word) {
        if (s_.substr(i_, word.size()) != word)
            return false;
        i_ += word.size();
        return true;
    }
    bool Str(std::u16string& out) {
        if (s_[i_++] != '"')
            return false;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (c != '\\') {
                out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
                continue;
            }
            if (i_ >= s_.size())
                return false;
            c = s_[i_++];
            switch (c) {
            case 'n':
                out.push_back(u'\n');
                break;
            case 'r':
                out.push_back(u'\r');
                break;
            case 't':
                out.push_back(u'\t');
                break;
            case 'b':
                out.push_back(u'\b');
                break;
            case 'f':
                out.push_back(u'\f');
                break;
            case 'u':
                if (i_ + 4 > s_.size())
                    return false;
                out.push_back(static_cast<char16_t>(std::stoul(std::string(s_.substr(i_, 4)), nullptr, 16)));
                i_ += 4;
                break;
            default:
                out.push_back(static_cast<char16_t>(c));
            }
        }
        return i_++ < s_.size();
    }
    bool Value(Json& out) {
        Skip();
        if (i_ >= s_.size())
            return false;
        const char c = s_[i_];
        if (c == '"') {
            out.kind = Json::String;
            return Str(out.string);
        }
        if (c == '[') {
            out.kind = Json::Array;
            ++i_;
            Skip();
            if (i_ < s_.size() && s_[i_] == ']')
                return ++i_, true;
            for (;;) {
                out.items.emplace_back();
                if (!Value(out.items.back()))
                    return false;
                Skip();
                if (i_ >= s_.size())
                    return false;
                if (s_[i_++] == ']')
                    return true;
            }
        }
        if (c == '{') {
            out.kind = Json::Object;
            ++i_;
            Skip();
            if (i_ < s_.size() && s_[i_] == '}')
                return ++i_, true;
            for (;;) {
                Skip();
                std::u16string key;
                if (i_ >= s_.size() || !Str(key))
                    return false;
                Skip();
                if (i_ >= s_.size() || s_[i_++] != ':')
                    return false;
                Json& v = out.members[std::string(key.begin(), key.end())];
                if (!Value(v))
                    return false;
                Skip();
                if (i_ >= s_.size())
                    return false;
                if (s_[i_++] == '}')
                    return true;
            }
        }
        if (Literal("null"))
            return true;
        if (Literal("true") || Literal("false")) {
            out.kind = Json::Bool;
            out.number = s_[i_ - 2] == 'u'; // "tru|e"
            return true;
        }
        out.kind = Json::Number;
        std::size_t used = 0;
        out.number = std::stod(std::string(s_.substr(i_, 32)), &used);
        i_ += used;
        return used > 0;
    }

    std::string_view s_;
    std::size_t i_ = 0;
};

// --- the workbook as xlrd sees it -------------------------------------------------------------

using Cell = std::optional<std::u16string>; // nullopt: blank
using Rows = std::vector<std::vector<Cell>>;

struct Sheet {
    std::u16string name;
    Rows rows;
};

struct Workbook {
    std::string error; // the reader's complaint; empty when it read the file
    int codepage = 0;
    int biff = 0;
    int stringsRead = 0; // strings xlrd decoded from the table
    int sstTotal = 0;    // the table's declared counts
    int sstUnique = 0;
    int longestRecord = 0;
    bool streamEndOk = false; // the records tile the stream exactly
    bool extSstOk = false;    // the string table's index points into it
    std::u16string log;
    std::vector<Sheet> sheets;
};

Workbook ReadWorkbook(const std::string& path) {
    Workbook book;
    const std::string script = gleaner::test::SourceDir() + "/tests/output/read_xls.py";
    const std::string command = "/usr/bin/python3 '" + script + "' '" + path + "'";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        ::pclose(pipe);
    }
    Json json;
    if (!JsonParser(output).Parse(json)) {
        book.error = "unreadable reader output: " + output.substr(0, 500);
        return book;
    }
    if (json["error"].kind == Json::String) {
        book.error = std::string(json["error"].string.begin(), json["error"].string.end());
        return book;
    }
    book.codepage = static_cast<int>(json["codepage"].number);
    book.biff = static_cast<int>(json["biff"].number);
    book.stringsRead = static_cast<int>(json["strings_read"].number);
    book.sstTotal = static_cast<int>(json["sst_total"].number);
    book.sstUnique = static_cast<int>(json["sst_unique"].number);
    book.longestRecord = static_cast<int>(json["longest_record"].number);
    book.streamEndOk = json["stream_end_ok"].number != 0;
    book.extSstOk = json["extsst_ok"].number != 0;
    book.log = json["log"].string;
    for (const Json& s : json["sheets"].items) {
        Sheet sheet;
        sheet.name = s["name"].string;
        for (const Json& r : s["rows"].items) {
            std::vector<Cell> row;
            for (const Json& c : r.items)
                row.push_back(c.kind == Json::String ? Cell(c.string) : std::nullopt);
            sheet.rows.push_back(std::move(row));
        }
        book.sheets.push_back(std::move(sheet));
    }
    return book;
}

// What every good export has: a clean read, records within the limit, consistent string counts.
void ExpectSound(const Workbook& book) {
    EXPECT_EQ(book.error, "");
    EXPECT_EQ(book.log, u"");
    EXPECT_TRUE(book.streamEndOk);
    EXPECT_TRUE(book.extSstOk);
    EXPECT_LE(book.longestRecord, 8224);
    EXPECT_EQ(book.stringsRead, book.sstUnique);
}

// Reads the file and checks it is sound, with one sheet of the given name.
Sheet ReadSheet(const std::string& path, const std::u16string& name = u"Sheet1") {
    const Workbook book = ReadWorkbook(path);
    ExpectSound(book);
    EXPECT_EQ(book.biff, 80);
    EXPECT_EQ(book.codepage, 1200);
    EXPECT_EQ(book.sheets.size(), 1u);
    if (book.sheets.empty())
        return {};
    EXPECT_EQ(book.sheets[0].name, name);
    return book.sheets[0];
}

std::vector<Cell> MainHeader() {
    std::vector<Cell> header{u"15"};
    for (int c = 1; c <= 14; ++c) {
        const std::string n = std::to_string(c);
        header.push_back(std::u16string(n.begin(), n.end()));
    }
    return header;
}

std::u16string U16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

} // namespace

TEST(SpreadsheetExport, MainWindowColumnsWithChineseTextsAndApostrophes) {
    ResultList list;
    // Row 1: GBK bytes straight from a page; row 2: literals, an apostrophe and blank cells.
    const int r1 = list.AppendResultRow();
    for (int c = 1; c <= 15; ++c)
        list.SetCell(r1, c, "\xB2\xC9\xBC\xAF" + NumberText(c)); // 采集<c>
    const int r2 = list.AppendResultRow();
    list.SetCell(r2, 15, "网页采集器"_t);
    list.SetCell(r2, 1, "it's \"quoted\" 'twice'");
    list.SetCell(r2, 2, "第一行\r\n第二行"_t);
    TempDir dir;
    const std::string file = dir.File("结果.xls");

    std::vector<std::pair<int, int>> calls;
    const ExportResult result =
        ExportListToWorkbook(list, MainWindowExportColumns(), file, "[Sheet1]",
                             [&](int maximum, int position) { calls.emplace_back(maximum, position); });
    ASSERT_TRUE(result) << ToUtf8(result.error);
    EXPECT_EQ(result.writtenRows, 2);
    EXPECT_EQ(result.droppedRows, 0);
    EXPECT_EQ(result.cutCells, 0);
    EXPECT_EQ(ExportNotice(result), "");
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 0}, {2, 1}, {2, 2}}));

    const Sheet sheet = ReadSheet(file);
    ASSERT_EQ(sheet.rows.size(), 3u);
    EXPECT_EQ(sheet.rows[0], MainHeader());
    std::vector<Cell> row1{u"采集15"};
    for (int c = 1; c <= 14; ++c)
        row1.push_back(u"采集" + U16(std::to_string(c)));
    EXPECT_EQ(sheet.rows[1], row1);
    std::vector<Cell> row2(15, std::nullopt);
    row2[0] = u"网页采集器";
    row2[1] = u"it's \"quoted\" 'twice'";
    row2[2] = u"第一行\r\n第二行";
    EXPECT_EQ(sheet.rows[2], row2);
}

TEST(SpreadsheetExport, DefaultColumnsAndSheetNames) {
    ResultList list;
    list.SetCell(list.AppendResultRow(), 3, "x");
    list.AppendResultRow();
    struct Case {
        Text sheet;
        std::u16string expected;
    };
    const Case cases[] = {{"[Sheet1]", u"Sheet1"}, {"Data", u"Data"}, {"[数据 2024]"_t, u"数据 2024"}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.sheet));
        const std::string file = dir.File("all.xls");
        const ExportResult result = ExportListToWorkbook(list, std::nullopt, file, c.sheet);
        ASSERT_TRUE(result) << ToUtf8(result.error);
        const Sheet sheet = ReadSheet(file, c.expected);
        ASSERT_EQ(sheet.rows.size(), 3u);
        std::vector<Cell> header{u"ID"};
        for (int col = 1; col <= 15; ++col)
            header.push_back(U16(std::to_string(col)));
        EXPECT_EQ(sheet.rows[0], header);
        std::vector<Cell> row1(16, std::nullopt), row2(16, std::nullopt);
        row1[0] = u"1";
        row1[3] = u"x";
        row2[0] = u"2";
        EXPECT_EQ(sheet.rows[1], row1);
        EXPECT_EQ(sheet.rows[2], row2);
    }
}

TEST(SpreadsheetExport, EmptyListGivesTheHeaderRowOnly) {
    ResultList list;
    TempDir dir;
    std::vector<std::pair<int, int>> calls;
    const ExportResult result = ExportListToWorkbook(list, MainWindowExportColumns(), dir.File("empty.xls"), "[Sheet1]",
                                                     [&](int m, int p) { calls.emplace_back(m, p); });
    ASSERT_TRUE(result) << ToUtf8(result.error);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 0}}));
    const Sheet sheet = ReadSheet(dir.File("empty.xls"));
    ASSERT_EQ(sheet.rows.size(), 1u);
    EXPECT_EQ(sheet.rows[0], MainHeader());
}

// Enough strings, of every length and both character widths, to cross many CONTINUE records at
// every kind of boundary: between strings, inside a string's characters, inside a surrogate pair.
TEST(SpreadsheetExport, StringsAcrossContinueRecordsSurviveIntact) {
    ResultList list;
    std::vector<std::vector<std::u16string>> expected;
    const std::u16string chinese = u"网页采集器导出内容测试";
    for (int i = 0; i < 3000; ++i) {
        std::u16string a, b;
        const int len = 1 + i % 37;
        for (int k = 0; k < len; ++k) {
            a.push_back(chinese[(i + k) % chinese.size()]);
            b.push_back(static_cast<char16_t>(u'a' + (i + k) % 26));
        }
        a += U16(std::to_string(i));
        b += U16(std::to_string(i));
        if (i % 5 == 0)
            b += u"é"; // Latin-1: still one byte a character
        if (i % 7 == 0)
            a += u"\U00020000"; // a supplementary character, two code units
        const int row = list.AppendResultRow();
        list.SetCell(row, 1, FromUtf16(a));
        list.SetCell(row, 2, FromUtf16(b));
        list.SetCell(row, 3, "重复"_t); // the same text on every row shares one string
        expected.push_back({a, b, u"重复"});
    }
    std::u16string longWide, longLatin, longPairs;
    for (int k = 0; k < 20000; ++k) {
        longWide.push_back(chinese[k % chinese.size()]);
        longLatin.push_back(static_cast<char16_t>(u'A' + k % 26));
    }
    for (int k = 0; k < 6000; ++k)
        longPairs += (k % 3 == 0) ? std::u16string(u"\U0002A6A5") : std::u16string(u"字");
    for (const std::u16string* s : {&longWide, &longLatin, &longPairs}) {
        const int row = list.AppendResultRow();
        list.SetCell(row, 1, FromUtf16(*s));
        list.SetCell(row, 2, FromUtf16(*s + u"!"));
        list.SetCell(row, 3, "重复"_t);
        expected.push_back({*s, *s + u"!", u"重复"});
    }

    TempDir dir;
    const std::string file = dir.File("long.xls");
    const ExportResult result = ExportListToWorkbook(list, std::vector<int>{1, 2, 3}, file);
    ASSERT_TRUE(result) << ToUtf8(result.error);
    const Workbook book = ReadWorkbook(file);
    ExpectSound(book);
    ASSERT_EQ(book.error, "");
    // 3 titles + 2 distinct texts per row + the one shared text.
    EXPECT_EQ(book.sstUnique, 3 + 2 * 3003 + 1);
    EXPECT_EQ(book.sstTotal, 3 + 3 * 3003);
    ASSERT_EQ(book.sheets.size(), 1u);
    const Rows& rows = book.sheets[0].rows;
    ASSERT_EQ(rows.size(), expected.size() + 1);
    EXPECT_EQ(rows[0], (std::vector<Cell>{u"1", u"2", u"3"}));
    for (std::size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(rows[r + 1].size(), 3u);
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(rows[r + 1][c], expected[r][c]) << "row " << r + 1 << " column " << c;
    }
}

TEST(SpreadsheetExport, OverlongCellsAreCutAndCounted) {
    std::u16string over(40000, u'长');
    std::u16string exact(32767, u'满');
    std::u16string pairAtLimit = std::u16string(32766, u'a') + u"\U00020000" + u"tail";
    ResultList list;
    const int row = list.AppendResultRow();
    list.SetCell(row, 1, FromUtf16(over));
    list.SetCell(row, 2, FromUtf16(exact));
    list.SetCell(row, 3, FromUtf16(pairAtLimit));
    TempDir dir;
    const ExportResult result = ExportListToWorkbook(list, std::vector<int>{1, 2, 3}, dir.File("cut.xls"));
    ASSERT_TRUE(result) << ToUtf8(result.error);
    EXPECT_EQ(result.cutCells, 2);
    EXPECT_NE(ExportNotice(result).find("2 个单元格"_t), std::string::npos) << ToUtf8(ExportNotice(result));
    const Sheet sheet = ReadSheet(dir.File("cut.xls"));
    ASSERT_EQ(sheet.rows.size(), 2u);
    EXPECT_EQ(sheet.rows[1][0], over.substr(0, 32767));
    EXPECT_EQ(sheet.rows[1][1], exact);
    // The pair would straddle the limit, so the cut falls before it.
    EXPECT_EQ(sheet.rows[1][2], std::u16string(32766, u'a'));
}

TEST(SpreadsheetExport, RowsPastOneSheetAreLeftOutAndReported) {
    ResultList list;
    for (int i = 0; i < kWorkbookMaxListRows + 2; ++i)
        list.AppendResultRow(); // column 0 numbers the rows
    TempDir dir;
    int lastMaximum = -1, lastPosition = -1;
    const ExportResult result =
        ExportListToWorkbook(list, std::vector<int>{0}, dir.File("full.xls"), "[Sheet1]", [&](int m, int p) {
            lastMaximum = m;
            lastPosition = p;
        });
    ASSERT_TRUE(result) << ToUtf8(result.error);
    EXPECT_EQ(result.writtenRows, kWorkbookMaxListRows);
    EXPECT_EQ(result.droppedRows, 2);
    EXPECT_EQ(lastMaximum, kWorkbookMaxListRows);
    EXPECT_EQ(lastPosition, kWorkbookMaxListRows);
    EXPECT_NE(ExportNotice(result).find("2 行未导出"_t), std::string::npos) << ToUtf8(ExportNotice(result));
    const Sheet sheet = ReadSheet(dir.File("full.xls"));
    ASSERT_EQ(sheet.rows.size(), 65536u);
    EXPECT_EQ(sheet.rows[1], std::vector<Cell>{u"1"});
    EXPECT_EQ(sheet.rows[65535], std::vector<Cell>{u"65535"});
}

TEST(SpreadsheetExport, RowsAddedDuringTheExportAreNotExported) {
    ResultList list;
    list.SetCell(list.AppendResultRow(), 1, "a");
    list.SetCell(list.AppendResultRow(), 1, "b");
    TempDir dir;
    const ExportResult result =
        ExportListToWorkbook(list, std::vector<int>{1}, dir.File("snap.xls"), "[Sheet1]", [&](int, int position) {
            if (position == 1)
                list.SetCell(list.AppendResultRow(), 1, "late");
        });
    ASSERT_TRUE(result) << ToUtf8(result.error);
    EXPECT_EQ(result.writtenRows, 2);
    EXPECT_EQ(ReadSheet(dir.File("snap.xls")).rows, (Rows{{u"1"}, {u"a"}, {u"b"}}));
}

TEST(SpreadsheetExport, SecondExportReplacesTheFirstWhole) {
    TempDir dir;
    const std::string file = dir.File("again.xls");
    ResultList big;
    for (int i = 0; i < 500; ++i)
        big.SetCell(big.AppendResultRow(), 1, "第一次"_t + NumberText(i));
    ASSERT_TRUE(ExportListToWorkbook(big, MainWindowExportColumns(), file));
    const auto firstSize = std::filesystem::file_size(file);

    ResultList small;
    small.SetCell(small.AppendResultRow(), 1, "第二次"_t);
    ASSERT_TRUE(ExportListToWorkbook(small, MainWindowExportColumns(), file));
    EXPECT_LT(std::filesystem::file_size(file), firstSize);
    const Sheet sheet = ReadSheet(file);
    ASSERT_EQ(sheet.rows.size(), 2u);
    EXPECT_EQ(sheet.rows[1][1], u"第二次");
    // No temporary file is left beside it.
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"again.xls"});
}

TEST(SpreadsheetExport, RefusedExportsSayWhyAndLeaveTheFileAlone) {
    ResultList list;
    list.SetCell(list.AppendResultRow(), 1, "x");
    TempDir dir;
    const std::string existing = dir.File("keep.xls");
    WriteFileBytes(existing, "old content");
    ::mkdir(dir.File("folder.xls").c_str(), 0777);

    struct Case {
        const char* name;
        std::string file;
        std::optional<std::vector<int>> columns;
        Text sheet;
        Text reasonPart; // a part of the error text
    };
    const Case cases[] = {
        {"missing folder", dir.File("no/such/folder/x.xls"), std::nullopt, "[Sheet1]", "文件夹不存在"_t},
        {"path is a folder", dir.File("folder.xls"), std::nullopt, "[Sheet1]", "文件夹"_t},
        {"no file name", dir.Path() + "/", std::nullopt, "[Sheet1]", "文件名"_t},
        {"empty sheet", existing, std::nullopt, "[]", "工作表"_t},
        {"sheet with a slash", existing, std::nullopt, "[a/b]", "工作表"_t},
        {"sheet with a bracket", existing, std::nullopt, "[a[b]", "工作表"_t},
        {"sheet with a colon", existing, std::nullopt, "a:b", "工作表"_t},
        {"sheet quoted", existing, std::nullopt, "'x'", "工作表"_t},
        {"sheet too long", existing, std::nullopt, Text(32, 'n'), "工作表"_t},
        {"no columns", existing, std::vector<int>{}, "[Sheet1]", "列"_t},
        {"column 16", existing, std::vector<int>{1, 16}, "[Sheet1]", "16"},
        {"column -1", existing, std::vector<int>{-1}, "[Sheet1]", "-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ExportResult result = ExportListToWorkbook(list, c.columns, c.file, c.sheet);
        EXPECT_FALSE(result);
        EXPECT_NE(result.error.find(c.reasonPart), std::string::npos) << ToUtf8(result.error);
        EXPECT_EQ(ReadFileBytes(existing), "old content");
    }
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 2u); // keep.xls and folder.xls only
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder.xls")));

    if (::geteuid() != 0) { // the superuser writes anywhere
        ::mkdir(dir.File("locked").c_str(), 0555);
        const ExportResult result = ExportListToWorkbook(list, std::nullopt, dir.File("locked/x.xls"));
        EXPECT_FALSE(result);
        EXPECT_NE(result.error.find("没有写入权限"_t), std::string::npos) << ToUtf8(result.error);
    }
}
