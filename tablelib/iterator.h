// Iterators: walk a table's rows in table order or in a sorted order.
//
// Sorted orders are kept by the table, so sorting an unchanged table again costs O(1) and sorting
// after k appends O(k log n). FindByRecordId needs SortByRecordId first and costs O(log n).
#ifndef DBC_TABLELIB_ITERATOR_H_
#define DBC_TABLELIB_ITERATOR_H_

#include <stdint.h>

#include <vector>

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

  // After SortByRecordId: binds record to a row with that record ID and answers 0, else
  // kTblErrNotFound (also when the order is not by record ID).
  int32_t FindByRecordId(uint32_t id, CBaseRecord& record, int32_t flag);

 private:
  enum Order { kTableOrder, kById, kByStatus, kByCategory };

  CBaseTable& table_;
  Order order_ = kTableOrder;
  std::vector<CTableRow*> sorted_;  // the rows in order, for the sorted orders
  size_t next_ = 0;
};

#endif  // DBC_TABLELIB_ITERATOR_H_
