#include "app/ResultListModel.h"

#include <algorithm>

namespace gleaner {

ResultListModel::ResultListModel(ResultList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), link_(std::make_shared<Link>()) {
    link_->model = this;
    std::weak_ptr<Link> weak = link_;
    list_.SetChangeListener([weak] {
        const std::shared_ptr<Link> link = weak.lock();
        if (!link || link->pending.exchange(true))
            return;
        std::lock_guard<std::mutex> lock(link->mutex);
        if (link->model)
            QMetaObject::invokeMethod(link->model, &ResultListModel::Refresh, Qt::QueuedConnection);
    });
    list_.TakeChanges();
    rows_ = list_.RowCount();
}

ResultListModel::~ResultListModel() {
    {
        std::lock_guard<std::mutex> lock(link_->mutex);
        link_->model = nullptr;
    }
    list_.SetChangeListener({});
}

int ResultListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ResultList::ColumnCount;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= ResultList::ColumnCount)
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    return QString::fromStdU16String(ToUtf16(list_.Cell(index.row(), index.column())));
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return QString::fromStdU16String(ToUtf16(ResultList::ColumnTitle(section)));
    return section + 1;
}

void ResultListModel::Refresh() {
    // Cleared before taking the changes: a change after this point posts a fresh refresh.
    link_->pending.store(false);
    const ResultList::Changes changes = list_.TakeChanges();
    const int oldRows = rows_;
    if (changes.rowCount > oldRows) {
        beginInsertRows({}, oldRows, changes.rowCount - 1);
        rows_ = changes.rowCount;
        endInsertRows();
    }
    // Rows only just inserted are read fresh by the view; the rest are marked in one range.
    if (changes.firstChanged >= 0 && changes.firstChanged < oldRows) {
        const int last = std::min(changes.lastChanged, oldRows - 1);
        emit dataChanged(index(changes.firstChanged, 0), index(last, ResultList::ColumnCount - 1),
                         {Qt::DisplayRole, Qt::ToolTipRole});
    }
}

} // namespace gleaner
