// The table model over the ResultList: rows from worker threads arrive in batches (one insert per
// batch, one ranged change), the model stays consistent for QAbstractItemModelTester, and cells show
// as text from the code page.

#include "app/ResultListModel.h"
#include "text/Text.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace gleaner;

namespace {

void AppendRows(ResultList& list, int count, const std::string& prefix = "row") {
    for (int i = 0; i < count; ++i) {
        const int row = list.AppendResultRow();
        list.SetCells(row, {prefix + std::to_string(row), "标题"_t});
    }
}

} // namespace

class ResultListModelQTest : public QObject {
    Q_OBJECT

private slots:
    void headersAndCells() {
        ResultList list;
        ResultListModel model(list);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.columnCount(), 16);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
        QCOMPARE(model.headerData(15, Qt::Horizontal).toString(), QStringLiteral("15"));
        const int row = list.AppendResultRow();
        list.SetCells(row, {"采集结果"_t, std::string("a\xff" "b")});
        QTRY_COMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1"));
        QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("采集结果"));
        // A byte that is no character survives the way back to the code page.
        QCOMPARE(FromUtf16(model.data(model.index(0, 2)).toString().toStdU16String()), std::string("a\xff" "b"));
        QCOMPARE(model.data(model.index(0, 3)).toString(), QString());
    }

    void rowsFromAWorkerArriveAsOneBatch() {
        ResultList list;
        ResultListModel model(list);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        std::thread worker([&] { AppendRows(list, 5000); });
        worker.join();
        QCOMPARE(model.rowCount(), 0); // nothing reaches the view outside the UI thread's loop
        QTRY_COMPARE(model.rowCount(), 5000);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        QCOMPARE(inserted.at(0).at(2).toInt(), 4999);
        QCOMPARE(changed.count(), 0); // fresh rows need no change notice
        QCOMPARE(model.data(model.index(4999, 1)).toString(), QStringLiteral("row4999"));

        // Changes to rows the view has: one ranged notice from the first changed row on.
        inserted.clear();
        std::thread editor([&] {
            list.SetCell(700, 3, "x"_t);
            list.SetCell(20, 4, "y"_t);
            AppendRows(list, 10);
        });
        editor.join();
        QTRY_COMPARE(model.rowCount(), 5010);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(changed.count(), 1);
        const QModelIndex first = changed.at(0).at(0).value<QModelIndex>();
        const QModelIndex last = changed.at(0).at(1).value<QModelIndex>();
        QCOMPARE(first.row(), 20);
        // The list keeps one range of changed rows, so the new rows' cells stretch it; the notice
        // still stops at the rows the view had.
        QVERIFY(last.row() >= 700);
        QVERIFY(last.row() <= 4999);
        QCOMPARE(first.column(), 0);
        QCOMPARE(last.column(), 15);
        QCOMPARE(model.data(model.index(700, 3)).toString(), QStringLiteral("x"));
    }

    void staysConsistentWhileAWorkerStreams() {
        ResultList list;
        ResultListModel model(list);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::atomic<bool> done{false};
        std::thread worker([&] {
            for (int i = 0; i < 200; ++i) {
                AppendRows(list, 100);
                if (i > 0)
                    list.SetCell(i * 50, 5, "changed"_t);
                std::this_thread::yield();
            }
            done = true;
        });
        int refreshesSeen = 0;
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++refreshesSeen; });
        while (!done)
            QCoreApplication::processEvents();
        worker.join();
        QTRY_COMPARE(model.rowCount(), 20000);
        QVERIFY(refreshesSeen >= 1);
        QVERIFY(refreshesSeen < 20000);
        QCOMPARE(model.data(model.index(199 * 50, 5)).toString(), QStringLiteral("changed"));
    }

    void workerOutlivesTheModel() {
        ResultList list;
        std::atomic<bool> stop{false};
        std::thread worker([&] {
            while (!stop)
                AppendRows(list, 10);
        });
        for (int round = 0; round < 20; ++round) {
            auto model = std::make_unique<ResultListModel>(list);
            QTest::qWait(5);
            QVERIFY(model->rowCount() <= list.RowCount());
        }
        stop = true;
        worker.join();
        ResultListModel last(list);
        QCOMPARE(last.rowCount(), list.RowCount()); // a new model starts with every row
    }
};

QTEST_MAIN(ResultListModelQTest)
#include "ResultListModelQTest.moc"
