// Iterators: walk a table's rows in table order or in a sorted order.
//
// Sorted orders are kept by the table, so sorting an unchanged table again costs O(1) and sorting
// after k appends (or k changes of record IDs, statuses or categories) O(k log n). FindFirst and
// FindByRecordId also take in rows appended or changed since the sort; FindNext does not, so a walk
// visits each row once by the place it had when the walk began, even when the caller changes the
// sort field of the rows it visits. Rows appended during a walk in table order are visited;
// rows removed during a walk are skipped. FindByRecordId needs SortByRecordId first and costs
// O(log n).
#ifndef DBC_TABLELIB_ITERATOR_H_
#define DBC_TABLELIB_ITERATOR_H_

#include <stdint.h>

#include "tablelib/table.h"

class CBaseRecord;

class CBaseIterator {
 public:
  explicit CBaseIterator(CBaseTable& table);

  // Bind record to the first / next row of the iterator's order (deleted rows included): 0 while
  // a row was found, kTblErrNotFound at the end. flag is accepted and has no effect.
  int32_t FindFirst(CBaseRecord& record, int32_t flag);
  int32_t FindNext(CBaseRecord& record, int32_t flag);

  // Each sets the order for the next FindFirst; 0, or a code when the order cannot be built.
  int32_t SortByRecordId();
  // Ascending status value, table order within a status.
  int32_t SortByRecordStatus();
  // Ascending category index, table order within a category.
  int32_t SortByCatId();
  int32_t UnSort();

  // After SortByRecordId: binds record to the first row (in table order) with that record ID and
  // answers 0, else kTblErrNotFound (also when the order is not by record ID). A FindNext that
  // follows goes on after the row found.
  int32_t FindByRecordId(uint32_t id, CBaseRecord& record, int32_t flag);

 private:
  enum Order { kTableOrder, kById, kByStatus, kByCategory };

  int32_t Visit(CTableRow* row, CBaseRecord& record);
  int32_t SortOrder() const;

  CBaseTable& table_;
  Order order_ = kTableOrder;
  // The row visited last: its sort key and sequence number, and in table order its index.
  bool started_ = false;
  int64_t last_key_ = 0;
  uint64_t last_seq_ = 0;
  size_t last_index_ = 0;
};

#endif  // DBC_TABLELIB_ITERATOR_H_
