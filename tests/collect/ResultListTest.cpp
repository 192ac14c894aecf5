#include "collect/ResultList.h"

#include <gtest/gtest.h>

#include <thread>

using namespace gleaner;

TEST(ResultList, RowNumbersCountOnFromTheRowsPresent) {
    ResultList list;
    for (int i = 0; i < 57; ++i)
        list.AppendResultRow();
    const int row = list.AppendResultRow({"a", "b"});
    EXPECT_EQ(row, 57);
    EXPECT_EQ(list.Cell(row, 0), "58");
    EXPECT_EQ(list.Cell(row, 1), "a");
    EXPECT_EQ(list.Cell(row, 2), "b");
    EXPECT_EQ(list.Cell(row, 3), "");
    EXPECT_EQ(list.RowCount(), 58);
}

TEST(ResultList, CellsChangeOneByOneOrAllGroupsAtOnce) {
    ResultList list;
    const int row = list.AppendResultRow({"1", "2", "3"});
    list.SetCell(row, 2, std::string(100000, 'x'));
    list.SetCell(row, 15, "last");
    list.SetCell(row, 16, "ignored");
    list.SetCell(5, 1, "ignored");
    EXPECT_EQ(list.Cell(row, 1), "1");
    EXPECT_EQ(list.Cell(row, 2).size(), 100000u);
    EXPECT_EQ(list.Cell(row, 3), "3");
    EXPECT_EQ(list.Cell(row, 15), "last");
    EXPECT_EQ(list.Cell(row, 16), "");
    EXPECT_EQ(list.Cell(-1, 0), "");

    list.SetCells(row, {"only"});
    EXPECT_EQ(list.Cell(row, 0), "1") << "the RowNumber stays";
    EXPECT_EQ(list.Cell(row, 1), "only");
    for (int c = 2; c < ResultList::ColumnCount; ++c)
        EXPECT_EQ(list.Cell(row, c), "") << c;

    const ResultList::Changes changes = list.TakeChanges();
    EXPECT_EQ(changes.rowCount, 1);
    EXPECT_EQ(changes.firstChanged, 0);
    EXPECT_EQ(list.TakeChanges().firstChanged, -1);
}

TEST(ResultList, CellsKeepZeroBytesAndEmptyNeighbours) {
    ResultList list;
    const std::string withZero("a\0b", 3);
    const int row = list.AppendResultRow({"", withZero, ""});
    EXPECT_EQ(list.Cell(row, 2), withZero);
    EXPECT_EQ(list.Cell(row, 1), "");
    int visited = 0;
    list.VisitRows([&](const ResultList::RowView& cells) {
        ++visited;
        EXPECT_EQ(cells[0], "1");
        EXPECT_EQ(cells[2], withZero);
    });
    EXPECT_EQ(visited, 1);
}

TEST(ResultList, AppendsFromSeveralThreadsNumberEveryRowOnce) {
    ResultList list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&list, t] {
            for (int i = 0; i < 500; ++i)
                list.AppendResultRow({std::to_string(t)});
        });
    for (std::thread& t : threads)
        t.join();
    ASSERT_EQ(list.RowCount(), 2000);
    int expected = 1;
    list.VisitRows([&](const ResultList::RowView& cells) {
        EXPECT_EQ(cells[0], std::to_string(expected++));
        EXPECT_EQ(cells[1].size(), 1u) << "a row is never seen half filled";
    });
}
