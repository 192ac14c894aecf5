#pragma once
// The table model of "超级列表框1" over the core ResultList. Workers append rows from their threads;
// the model learns of them in batches: the list's change listener only raises a flag and posts one
// queued refresh, and the refresh inserts every new row at once and marks changed rows in one range.

#include "collect/ResultList.h"

#include <QAbstractTableModel>

#include <atomic>
#include <memory>
#include <mutex>

namespace gleaner {

class ResultListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultListModel(ResultList& list, QObject* parent = nullptr);
    ~ResultListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// Brings the model up to the list now (what the posted refresh does).
    void Refresh();

private:
    // Shared with the listener, which may run on a worker after the model is gone.
    struct Link {
        std::mutex mutex;
        ResultListModel* model = nullptr;
        std::atomic<bool> pending{false};
    };

    ResultList& list_;
    std::shared_ptr<Link> link_;
    int rows_ = 0; // the rows the view has been told of
};

} // namespace gleaner
