#pragma once
// Export of the result list to an Excel 97-2003 workbook (.xls) with one sheet of text cells:
// a header row of the exported columns' titles, then one row per list row, in list order.

#include "collect/ResultList.h"
#include "text/Text.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gleaner {

/// One sheet holds 65,536 rows; the header takes one.
constexpr int kWorkbookMaxListRows = 65535;
/// Longest cell text, in UTF-16 code units.
constexpr int kWorkbookMaxCellChars = 32767;

/// How an export went. When ok is false nothing was written (a file already at the path is left as
/// it was) and error says why. When ok is true the workbook is complete, but droppedRows list rows
/// past the sheet's limit were left out and cutCells cells were cut to kWorkbookMaxCellChars;
/// ExportNotice words that for the user.
struct ExportResult {
    bool ok = false;
    Text error;
    int writtenRows = 0; // list rows in the sheet, the header not counted
    int droppedRows = 0;
    int cutCells = 0;
    explicit operator bool() const { return ok; }
};

/// Called with position 0 before the first row, then with position j after row j.
using ExportProgress = std::function<void(int maximum, int position)>;

/// Writes the list's rows to the workbook `file` (a UTF-8 path), replacing any file there
/// atomically.
/// - columns: 0-based list columns in export order; std::nullopt exports all, 0 to 15. An empty
///   list of columns, an index outside 0..15 or more than 256 columns is refused.
/// - sheet: "[Sheet1]" names the sheet Sheet1 (surrounding brackets are stripped); a name Excel
///   does not accept (empty, over 31 characters, one of : \ / ? * [ ], a leading or trailing
///   apostrophe) is refused.
/// The row count is read once at the start; rows appended meanwhile are not exported. Rows past
/// kWorkbookMaxListRows are not written and are counted in droppedRows; the first ones still are.
/// Empty cell texts leave their cells blank.
ExportResult ExportListToWorkbook(const ResultList& list, const std::optional<std::vector<int>>& columns,
                                  const std::string& file, const Text& sheet = "[Sheet1]",
                                  const ExportProgress& progress = {});

/// The main window's export columns: 15 first, then 1 to 14 ("ID" is left out).
std::vector<int> MainWindowExportColumns();

/// The warning to show beside success: rows left out, cells cut. Empty when there is none.
Text ExportNotice(const ExportResult& result);

} // namespace gleaner
