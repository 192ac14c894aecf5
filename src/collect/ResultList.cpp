#include "collect/ResultList.h"

namespace gleaner {

int ResultList::AppendResultRow() {
    int index;
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index = static_cast<int>(rows_.size());
        Row row;
        row.cells.resize(ColumnCount);
        row.cells[0] = NumberText(index + 1);
        rows_.push_back(std::move(row));
        listener = listener_;
    }
    if (listener)
        listener();
    return index;
}

void ResultList::SetCell(int row, int column, const Text& text) {
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= ColumnCount)
            return;
        rows_[row].cells[column] = text;
        if (firstChanged_ < 0 || row < firstChanged_)
            firstChanged_ = row;
        if (row > lastChanged_)
            lastChanged_ = row;
        listener = listener_;
    }
    if (listener)
        listener();
}

void ResultList::SetCells(int row, const std::vector<Text>& groups) {
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return;
        for (int c = 1; c < ColumnCount; ++c)
            rows_[row].cells[c] = c - 1 < static_cast<int>(groups.size()) ? groups[c - 1] : Text();
        if (firstChanged_ < 0 || row < firstChanged_)
            firstChanged_ = row;
        if (row > lastChanged_)
            lastChanged_ = row;
        listener = listener_;
    }
    if (listener)
        listener();
}

int ResultList::RowCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(rows_.size());
}

Text ResultList::Cell(int row, int column) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= ColumnCount)
        return {};
    return rows_[row].cells[column];
}

Text ResultList::ColumnTitle(int column) {
    if (column == 0)
        return "ID";
    if (column > 0 && column < ColumnCount)
        return NumberText(column);
    return {};
}

void ResultList::SetChangeListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
}

ResultList::Changes ResultList::TakeChanges() {
    std::lock_guard<std::mutex> lock(mutex_);
    Changes c{static_cast<int>(rows_.size()), firstChanged_, lastChanged_};
    firstChanged_ = lastChanged_ = -1;
    return c;
}

} // namespace gleaner
