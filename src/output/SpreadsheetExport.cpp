// The result list into a BIFF8 workbook: the cells are read and put into the shared string table
// row by row, then the stream goes into an OLE2 container that replaces the target file.

#include "output/SpreadsheetExport.h"

#include "output/Biff8Writer.h"
#include "output/OleFile.h"

#include <algorithm>

namespace gleaner {
namespace {

ExportResult Failed(Text error) {
    ExportResult r;
    r.error = std::move(error);
    return r;
}

} // namespace

std::vector<int> MainWindowExportColumns() {
    std::vector<int> columns{15};
    for (int c = 1; c <= 14; ++c)
        columns.push_back(c);
    return columns;
}

ExportResult ExportListToWorkbook(const ResultList& list, const std::optional<std::vector<int>>& columns,
                                  const std::string& file, const Text& sheet, const ExportProgress& progress) {
    std::vector<int> cols;
    if (columns) {
        cols = *columns;
    } else {
        for (int c = 0; c < ResultList::ColumnCount; ++c)
            cols.push_back(c);
    }
    if (cols.empty())
        return Failed("没有要导出的列"_t);
    if (static_cast<int>(cols.size()) > biff8::kMaxColumns)
        return Failed("导出的列超过 256 列"_t);
    for (int c : cols) {
        if (c < 0 || c >= ResultList::ColumnCount)
            return Failed("没有第 "_t + NumberText(c) + " 列"_t);
    }

    Text sheetName = sheet;
    if (sheetName.size() >= 2 && sheetName.front() == '[' && sheetName.back() == ']')
        sheetName = sheetName.substr(1, sheetName.size() - 2);
    const std::u16string sheet16 = ToUtf16(sheetName);
    if (!biff8::IsValidSheetName(sheet16))
        return Failed("工作表名称无效："_t + sheet);

    const int listRows = list.RowCount();
    const int rows = std::min(listRows, kWorkbookMaxListRows);
    ExportResult result;
    result.droppedRows = listRows - rows;

    biff8::Workbook book(sheet16, static_cast<int>(cols.size()));
    for (int c : cols)
        book.AddCell(ToUtf16(ResultList::ColumnTitle(c)));
    if (progress)
        progress(rows, 0);
    for (int r = 0; r < rows; ++r) {
        for (int c : cols) {
            if (book.AddCell(ToUtf16(list.Cell(r, c))))
                ++result.cutCells;
        }
        if (book.TooLarge())
            return Failed("导出的内容太多，超出了 Excel 97-2003 工作簿的容量"_t);
        if (progress)
            progress(rows, r + 1);
    }

    Text error;
    if (!WriteOleFile(
            file, "Workbook", [&](const OleStreamSink& sink) { return book.Write(sink); }, error))
        return Failed(error);
    result.ok = true;
    result.writtenRows = rows;
    return result;
}

Text ExportNotice(const ExportResult& result) {
    Text notice;
    if (result.droppedRows > 0)
        notice += "工作表最多容纳 "_t + NumberText(kWorkbookMaxListRows) + " 行数据，另有 "_t +
                  NumberText(result.droppedRows) + " 行未导出。"_t;
    if (result.cutCells > 0) {
        if (!notice.empty())
            notice += "\n";
        notice += "有 "_t + NumberText(result.cutCells) + " 个单元格超过 "_t + NumberText(kWorkbookMaxCellChars) +
                  " 个字符，已截断。"_t;
    }
    return notice;
}

} // namespace gleaner
