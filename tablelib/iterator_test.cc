// Iterators: table order with deleted rows, appends and purges during walks, the sorted orders and
// FindByRecordId, also after appends and changes made after a sort.
#include "tablelib/iterator.h"

#include <vector>

#include "gtest/gtest.h"
#include "tablelib/record.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"

namespace {

struct Row {
  uint32_t id;
  int32_t status;
  int32_t category;
};

class IteratorTest : public ::testing::Test {
 protected:
  void Fill(const std::vector<Row>& rows) {
    CDateBkRecord record(table_, 0);
    for (const Row& row : rows) {
      ASSERT_EQ(table_.AppendBlankRecord(record), kTblOk);
      record.SetRecordId(row.id);
      record.SetStatus(row.status);
      record.SetCategoryId(row.category);
    }
  }

  // The record IDs in the iterator's order.
  std::vector<uint32_t> Walk(CBaseIterator& iterator) {
    std::vector<uint32_t> ids;
    CDateBkRecord record(table_, 0);
    for (int32_t r = iterator.FindFirst(record, 0); r == kTblOk; r = iterator.FindNext(record, 0)) {
      uint32_t id = 0;
      record.GetRecordId(id);
      ids.push_back(id);
    }
    return ids;
  }

  CDateBkTable table_;
};

TEST_F(IteratorTest, SortedOrdersKeepTableOrderWithinEqualKeys) {
  Fill({{30, kStatusDeleted, 2},
        {10, kStatusUnchanged, 0},
        {0x80000001u, kStatusPending, 2},
        {20, kStatusAdded, 1},
        {5, kStatusDeleted, 0},
        {25, kStatusModified, 2}});
  CBaseIterator iterator(table_);
  EXPECT_EQ(Walk(iterator), (std::vector<uint32_t>{30, 10, 0x80000001u, 20, 5, 25}));
  ASSERT_EQ(iterator.SortByRecordId(), kTblOk);
  EXPECT_EQ(Walk(iterator), (std::vector<uint32_t>{5, 10, 20, 25, 30, 0x80000001u}));
  ASSERT_EQ(iterator.SortByRecordStatus(), kTblOk);
  EXPECT_EQ(Walk(iterator), (std::vector<uint32_t>{10, 20, 25, 30, 5, 0x80000001u}));
  ASSERT_EQ(iterator.SortByCatId(), kTblOk);
  EXPECT_EQ(Walk(iterator), (std::vector<uint32_t>{10, 5, 20, 30, 0x80000001u, 25}));
  ASSERT_EQ(iterator.UnSort(), kTblOk);
  EXPECT_EQ(Walk(iterator), (std::vector<uint32_t>{30, 10, 0x80000001u, 20, 5, 25}));

  CDateBkTable empty;
  CBaseIterator none(empty);
  CDateBkRecord record(empty, 0);
  EXPECT_EQ(none.FindFirst(record, 0), kTblErrNotFound);
  ASSERT_EQ(none.SortByRecordId(), kTblOk);
  EXPECT_EQ(none.FindFirst(record, 0), kTblErrNotFound);
  EXPECT_EQ(none.FindByRecordId(1, record, 0), kTblErrNotFound);
}

TEST_F(IteratorTest, FindByRecordIdFollowsAppendsAndChangesAfterTheSort) {
  Fill({{7, 0, 0}, {3, 0, 0}, {9, 0, 0}});
  CBaseIterator iterator(table_);
  CDateBkRecord record(table_, 0);
  EXPECT_EQ(iterator.FindByRecordId(3, record, 0), kTblErrNotFound);  // not sorted by ID
  ASSERT_EQ(iterator.SortByRecordId(), kTblOk);
  ASSERT_EQ(iterator.FindByRecordId(3, record, 0), kTblOk);
  EXPECT_EQ(record.GetRow(), table_.RowAt(1));
  EXPECT_EQ(iterator.FindByRecordId(4, record, 0), kTblErrNotFound);

  Fill({{4, 0, 0}});
  ASSERT_EQ(iterator.FindByRecordId(4, record, 0), kTblOk);
  EXPECT_EQ(record.GetRow(), table_.RowAt(3));
  ASSERT_EQ(record.SetRecordId(11), kTblOk);
  ASSERT_EQ(iterator.SortByRecordId(), kTblOk);
  EXPECT_EQ(iterator.FindByRecordId(4, record, 0), kTblErrNotFound);
  ASSERT_EQ(iterator.FindByRecordId(11, record, 0), kTblOk);
  EXPECT_EQ(record.GetRow(), table_.RowAt(3));
  EXPECT_EQ(Walk(iterator), (std::vector<uint32_t>{3, 7, 9, 11}));

  // After a purge the order holds only the rows left.
  record.SetStatus(kStatusDeleted);
  ASSERT_EQ(table_.PurgeDeletedRecords(), kTblOk);
  EXPECT_EQ(iterator.FindByRecordId(11, record, 0), kTblErrNotFound);
  EXPECT_EQ(Walk(iterator), (std::vector<uint32_t>{3, 7, 9}));
}

TEST_F(IteratorTest, WalksSurviveAppendsPurgesAndKeyChanges) {
  Fill({{1, kStatusDeleted, 0}, {2, 0, 0}, {3, kStatusDeleted, 0}, {4, 0, 0}});
  CBaseIterator iterator(table_);
  CDateBkRecord record(table_, 0), first(table_, 0);
  std::vector<uint32_t> seen;
  // Table order: rows appended during the walk are visited, and records bound earlier keep
  // reading their own rows while the table grows.
  ASSERT_EQ(iterator.FindFirst(first, 0), kTblOk);
  for (int32_t r = iterator.FindFirst(record, 0); r == kTblOk; r = iterator.FindNext(record, 0)) {
    uint32_t id = 0;
    record.GetRecordId(id);
    seen.push_back(id);
    if (id == 2) {
      CDateBkRecord added(table_, 0);
      for (uint32_t n = 0; n < 1000; ++n) {
        ASSERT_EQ(table_.AppendBlankRecord(added), kTblOk);
        added.SetRecordId(100 + n);
      }
    }
    if (id == 3) {
      ASSERT_EQ(table_.PurgeDeletedRecords(), kTblOk);  // removes 1 and 3
    }
  }
  ASSERT_EQ(seen.size(), 1004u);
  EXPECT_EQ(seen[4], 100u);
  EXPECT_EQ(seen.back(), 1099u);
  EXPECT_FALSE(first.IsBound());  // its row (ID 1) was purged

  // Sorted by ID: giving each visited row a new, higher ID does not make the walk visit it again.
  ASSERT_EQ(iterator.SortByRecordId(), kTblOk);
  size_t visits = 0;
  for (int32_t r = iterator.FindFirst(record, 0); r == kTblOk; r = iterator.FindNext(record, 0)) {
    uint32_t id = 0;
    record.GetRecordId(id);
    record.SetRecordId(id + 5000);
    ++visits;
  }
  EXPECT_EQ(visits, 1002u);
  ASSERT_EQ(iterator.SortByRecordId(), kTblOk);
  ASSERT_EQ(iterator.FindFirst(record, 0), kTblOk);
  uint32_t lowest = 0;
  record.GetRecordId(lowest);
  EXPECT_EQ(lowest, 5002u);

  // Sorted by category, moving each visited record to category 0 (as archiving does) visits every
  // record once, in category order.
  Fill({{1, 0, 3}, {2, 0, 1}, {3, 0, 3}});
  ASSERT_EQ(iterator.SortByCatId(), kTblOk);
  std::vector<uint32_t> moved;
  for (int32_t r = iterator.FindFirst(record, 0); r == kTblOk; r = iterator.FindNext(record, 0)) {
    int32_t category = 0;
    record.GetCategoryId(category);
    if (category == 0) continue;
    uint32_t id = 0;
    record.GetRecordId(id);
    moved.push_back(id);
    record.SetCategoryId(0);
  }
  EXPECT_EQ(moved, (std::vector<uint32_t>{2, 1, 3}));
}

}  // namespace
