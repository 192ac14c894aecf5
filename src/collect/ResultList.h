#pragma once
// The ResultList: the collected rows, 16 cells each ("ID", "1" .. "15"). Thread-safe: runs append
// from worker threads while the UI, the export and the publisher read.

#include "text/Text.h"

#include <functional>
#include <mutex>
#include <vector>

namespace gleaner {

class ResultList {
public:
    static constexpr int ColumnCount = 16;

    /// Appends an empty row, writes its RowNumber (the row count after the append) into column 0
    /// and returns its 0-based index.
    int AppendResultRow();
    /// Replaces one cell; out-of-range rows or columns are ignored.
    void SetCell(int row, int column, const Text& text);
    /// Sets all 15 group cells of a row at once (fewer given: the rest empty).
    void SetCells(int row, const std::vector<Text>& groups);
    int RowCount() const;
    /// The cell's text; empty for out-of-range rows or columns.
    Text Cell(int row, int column) const;
    /// The column titles: "ID", "1" .. "15".
    static Text ColumnTitle(int column);

    /// Called after every change, from the changing thread, outside the lock. The UI installs one
    /// that coalesces; it then asks TakeChanges for what changed since the last call.
    void SetChangeListener(std::function<void()> listener);
    struct Changes {
        int rowCount = 0;        // rows now
        int firstChanged = -1;   // first existing row whose cells changed (-1: none)
        int lastChanged = -1;
    };
    Changes TakeChanges();

private:
    struct Row {
        std::vector<Text> cells;
    };
    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    std::function<void()> listener_;
    int firstChanged_ = -1, lastChanged_ = -1;
};

} // namespace gleaner
