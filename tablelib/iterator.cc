#include "tablelib/iterator.h"

#include <algorithm>
#include <limits>

#include "tablelib/record.h"
#include "tablelib/table_errors.h"

CBaseIterator::CBaseIterator(CBaseTable& table) : table_(table) {}

int32_t CBaseIterator::SortOrder() const {
  switch (order_) {
    case kById:
      return kSortOrderById;
    case kByStatus:
      return kSortOrderByStatus;
    case kByCategory:
      return kSortOrderByCategory;
    default:
      return -1;
  }
}

int32_t CBaseIterator::Visit(CTableRow* row, CBaseRecord& record) {
  if (row == nullptr) {
    started_ = false;
    return kTblErrNotFound;
  }
  started_ = true;
  last_seq_ = row->seq;
  const int32_t order = SortOrder();
  if (order >= 0) last_key_ = row->sort_slots[order].key;
  record.Bind(row);
  return kTblOk;
}

int32_t CBaseIterator::FindFirst(CBaseRecord& record, int32_t /*flag*/) {
  const int32_t order = SortOrder();
  if (order < 0) {
    last_index_ = 0;
    return Visit(table_.RowAt(0), record);
  }
  const int32_t prepared = table_.PrepareOrder(order);
  if (prepared != kTblOk) return prepared;
  return Visit(table_.FirstInOrder(order, std::numeric_limits<int64_t>::min(), 0, false), record);
}

int32_t CBaseIterator::FindNext(CBaseRecord& record, int32_t flag) {
  if (!started_) return FindFirst(record, flag);
  const int32_t order = SortOrder();
  if (order >= 0) return Visit(table_.FirstInOrder(order, last_key_, last_seq_, true), record);
  // The row visited last is usually still where it was; after a purge the next row is found by
  // its sequence number, which rises with table order.
  const auto& rows = table_.rows_;
  size_t next = last_index_ + 1;
  if (last_index_ >= rows.size() || rows[last_index_]->seq != last_seq_) {
    next = static_cast<size_t>(
        std::upper_bound(
            rows.begin(), rows.end(), last_seq_,
            [](uint64_t seq, const std::unique_ptr<CTableRow>& row) { return seq < row->seq; }) -
        rows.begin());
  }
  last_index_ = next;
  return Visit(next < rows.size() ? rows[next].get() : nullptr, record);
}

int32_t CBaseIterator::SortByRecordId() {
  order_ = kById;
  started_ = false;
  return table_.PrepareOrder(kSortOrderById);
}

int32_t CBaseIterator::SortByRecordStatus() {
  order_ = kByStatus;
  started_ = false;
  return table_.PrepareOrder(kSortOrderByStatus);
}

int32_t CBaseIterator::SortByCatId() {
  order_ = kByCategory;
  started_ = false;
  return table_.PrepareOrder(kSortOrderByCategory);
}

int32_t CBaseIterator::UnSort() {
  order_ = kTableOrder;
  started_ = false;
  return kTblOk;
}

int32_t CBaseIterator::FindByRecordId(uint32_t id, CBaseRecord& record, int32_t /*flag*/) {
  if (order_ != kById) return kTblErrNotFound;
  const int32_t prepared = table_.PrepareOrder(kSortOrderById);
  if (prepared != kTblOk) return prepared;
  const int64_t key = static_cast<int64_t>(id);
  CTableRow* row = table_.FirstInOrder(kSortOrderById, key, 0, false);
  if (row == nullptr || row->sort_slots[kSortOrderById].key != key) return kTblErrNotFound;
  return Visit(row, record);
}
