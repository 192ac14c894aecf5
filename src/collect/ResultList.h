#pragma once
// The ResultList: the collected rows, 16 cells each ("ID", "1" .. "15"). Thread-safe: runs append
// from worker threads while the UI, the export and the publisher read.

#include "text/Text.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <vector>

namespace gleaner {

class ResultList {
public:
    static constexpr int ColumnCount = 16;

    /// Appends an empty row, writes its RowNumber (the row count after the append) into column 0
    /// and returns its 0-based index.
    int AppendResultRow();
    /// Appends a row whose group cells 1 .. 15 are `groups` (fewer given: the rest empty) in one
    /// step, so no reader ever sees the row half filled. Returns its 0-based index.
    int AppendResultRow(const std::vector<Text>& groups);
    /// Replaces one cell; out-of-range rows or columns are ignored.
    void SetCell(int row, int column, const Text& text);
    /// Sets all 15 group cells of a row at once (fewer given: the rest empty).
    void SetCells(int row, const std::vector<Text>& groups);
    int RowCount() const;
    /// The cell's text; empty for out-of-range rows or columns.
    Text Cell(int row, int column) const;
    /// The column titles: "ID", "1" .. "15".
    static Text ColumnTitle(int column);

    /// The 16 cells of one row as views into the list's storage.
    using RowView = std::array<std::string_view, ColumnCount>;
    /// Calls visit for every row in order, all under one lock, so the rows form one consistent
    /// state. The views are valid only during the call; visit must not call back into the list.
    void VisitRows(const std::function<void(const RowView& cells)>& visit) const;

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
    // One row is one byte block: 16 end offsets, then the cells' bytes back to back. A million
    // rows of short cells stay near 100 bytes each plus their text.
    using Row = std::string;
    static Row MakeRow(const std::array<std::string_view, ColumnCount>& cells);
    static RowView Cells(const Row& row);
    void MarkChanged(int row);
    void Notify();

    mutable std::mutex mutex_;
    std::deque<Row> rows_; // a deque grows without copying every row at once
    std::function<void()> listener_;
    int firstChanged_ = -1, lastChanged_ = -1;
};

} // namespace gleaner
