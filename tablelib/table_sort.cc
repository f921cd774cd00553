// The sorted orders of a table (sort_cache.h).
#include <limits>
#include <new>

#include "tablelib/sort_cache.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"

int64_t CBaseTable::SortKeyOf(const CTableRow& row, int32_t order) const {
  if (schema_ == nullptr) return 0;
  int32_t position = -1;
  switch (order) {
    case kSortOrderById:
      position = schema_->m_RecordIdPos;
      break;
    case kSortOrderByStatus:
      position = schema_->m_RecordStatusPos;
      break;
    case kSortOrderByCategory:
      position = schema_->m_CategoryIdPos;
      break;
    default:
      return 0;
  }
  if (position < 0 || static_cast<size_t>(position) >= row.fields.size()) return 0;
  const CBaseField& field = *row.fields[static_cast<size_t>(position)];
  if (field.GetType() != kFieldInteger) return 0;
  int32_t value = 0;
  static_cast<const CIntegerField&>(field).GetValue(value);
  // Record IDs are unsigned 32-bit numbers and sort as such.
  if (order == kSortOrderById) return static_cast<int64_t>(static_cast<uint32_t>(value));
  return value;
}

void CBaseTable::DropOrder(int32_t order) {
  SortCache::Order& cache = sort_cache_->orders[order];
  cache.rows.clear();
  cache.pending.clear();
  cache.pending.shrink_to_fit();
  cache.built = false;
  for (const auto& row : rows_) row->sort_slots[order] = CTableRow::SortSlot();
}

int32_t CBaseTable::PrepareOrder(int32_t order) {
  if (order < 0 || order >= kSortOrderCount) return kTblErrBadArgument;
  if (sort_cache_ == nullptr) return kTblErrNoMemory;
  SortCache::Order& cache = sort_cache_->orders[order];
  try {
    if (!cache.built) {
      DropOrder(order);
      for (const auto& row : rows_) {
        CTableRow::SortSlot& slot = row->sort_slots[order];
        slot.key = SortKeyOf(*row, order);
        // Rows come in ascending sequence order, so each key is placed near the previous one
        // when the keys rise with table order (the common case of IDs handed out in turn).
        cache.rows.emplace_hint(cache.rows.end(), CSortKey(slot.key, row->seq), row.get());
        slot.filed = true;
      }
      cache.built = true;
      return kTblOk;
    }
    for (CTableRow* row : cache.pending) {
      CTableRow::SortSlot& slot = row->sort_slots[order];
      slot.pending = false;
      if (slot.filed) {
        cache.rows.erase(CSortKey(slot.key, row->seq));
        slot.filed = false;
      }
      slot.key = SortKeyOf(*row, order);
      cache.rows.emplace(CSortKey(slot.key, row->seq), row);
      slot.filed = true;
    }
    cache.pending.clear();
  } catch (const std::bad_alloc&) {
    DropOrder(order);
    return kTblErrNoMemory;
  }
  return kTblOk;
}

CTableRow* CBaseTable::FirstInOrder(int32_t order, int64_t key, uint64_t seq, bool after) {
  if (order < 0 || order >= kSortOrderCount || sort_cache_ == nullptr) return nullptr;
  SortCache::Order& cache = sort_cache_->orders[order];
  if (!cache.built && PrepareOrder(order) != kTblOk) return nullptr;
  const CSortKey at(key, seq);
  auto it = after ? cache.rows.upper_bound(at) : cache.rows.lower_bound(at);
  return it == cache.rows.end() ? nullptr : it->second;
}
