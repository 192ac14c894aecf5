#include "collect/ResultList.h"

#include <cstring>

namespace gleaner {

namespace {
constexpr std::size_t kHeaderBytes = ResultList::ColumnCount * sizeof(std::uint32_t);
}

ResultList::Row ResultList::MakeRow(const std::array<std::string_view, ColumnCount>& cells) {
    std::size_t total = kHeaderBytes;
    for (const std::string_view cell : cells)
        total += cell.size();
    Row row;
    row.resize(total);
    std::uint32_t end = 0;
    char* data = row.data() + kHeaderBytes;
    for (int c = 0; c < ColumnCount; ++c) {
        std::memcpy(data + end, cells[c].data(), cells[c].size());
        end += static_cast<std::uint32_t>(cells[c].size());
        std::memcpy(row.data() + c * sizeof(std::uint32_t), &end, sizeof end);
    }
    return row;
}

ResultList::RowView ResultList::Cells(const Row& row) {
    RowView view;
    const char* data = row.data() + kHeaderBytes;
    std::uint32_t begin = 0;
    for (int c = 0; c < ColumnCount; ++c) {
        std::uint32_t end;
        std::memcpy(&end, row.data() + c * sizeof(std::uint32_t), sizeof end);
        view[c] = std::string_view(data + begin, end - begin);
        begin = end;
    }
    return view;
}

void ResultList::MarkChanged(int row) {
    if (firstChanged_ < 0 || row < firstChanged_)
        firstChanged_ = row;
    if (row > lastChanged_)
        lastChanged_ = row;
}

void ResultList::Notify() {
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listener = listener_;
    }
    if (listener)
        listener();
}

int ResultList::AppendResultRow() { return AppendResultRow(std::vector<Text>()); }

int ResultList::AppendResultRow(const std::vector<Text>& groups) {
    int index;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index = static_cast<int>(rows_.size());
        const Text number = NumberText(index + 1);
        RowView cells{};
        cells[0] = number;
        for (int c = 1; c < ColumnCount && c - 1 < static_cast<int>(groups.size()); ++c)
            cells[c] = groups[c - 1];
        rows_.push_back(MakeRow(cells));
    }
    Notify();
    return index;
}

void ResultList::SetCell(int row, int column, const Text& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= ColumnCount)
            return;
        RowView cells = Cells(rows_[row]);
        cells[column] = text;
        Row replaced = MakeRow(cells); // built before the old block goes, the views point into it
        rows_[row] = std::move(replaced);
        MarkChanged(row);
    }
    Notify();
}

void ResultList::SetCells(int row, const std::vector<Text>& groups) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return;
        RowView cells = Cells(rows_[row]);
        for (int c = 1; c < ColumnCount; ++c)
            cells[c] = c - 1 < static_cast<int>(groups.size()) ? std::string_view(groups[c - 1]) : std::string_view();
        Row replaced = MakeRow(cells);
        rows_[row] = std::move(replaced);
        MarkChanged(row);
    }
    Notify();
}

int ResultList::RowCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(rows_.size());
}

Text ResultList::Cell(int row, int column) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= ColumnCount)
        return {};
    return Text(Cells(rows_[row])[column]);
}

void ResultList::VisitRows(const std::function<void(const RowView& cells)>& visit) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Row& row : rows_)
        visit(Cells(row));
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
