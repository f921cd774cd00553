// The sorted orders a table keeps for its iterators. Each order files the rows under (key, row
// sequence number), so rows of equal key stay in table order. Appends and changes of a key field
// only queue the row; the next PrepareOrder files the k queued rows in O(k log n), and an
// unchanged order costs nothing to prepare again.
#ifndef DBC_TABLELIB_SORT_CACHE_H_
#define DBC_TABLELIB_SORT_CACHE_H_

#include <stdint.h>

#include <map>
#include <utility>
#include <vector>

#include "tablelib/table.h"

using CSortKey = std::pair<int64_t, uint64_t>;  // the key value, the row's sequence number

struct CBaseTable::SortCache {
  struct Order {
    std::map<CSortKey, CTableRow*> rows;
    std::vector<CTableRow*> pending;  // rows to (re)file before the order is used
    bool built = false;
  };
  Order orders[kSortOrderCount];
};

#endif  // DBC_TABLELIB_SORT_CACHE_H_
