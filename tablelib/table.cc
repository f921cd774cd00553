#include "tablelib/table.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "tablelib/record.h"
#include "tablelib/sort_cache.h"
#include "tablelib/table_errors.h"

CBaseTable::CBaseTable() : sort_cache_(new (std::nothrow) SortCache()) {}

CBaseTable::~CBaseTable() {
  // Records that outlive the table must not reach its rows.
  for (CBaseRecord* record : bound_records_) {
    record->row_ = nullptr;
    record->bound_table_ = nullptr;
  }
}

void CBaseTable::SetSchema(std::unique_ptr<CBaseSchema> schema) {
  schema_ = std::move(schema);
}

int32_t CBaseTable::ConstructProperField(uint16_t type, std::unique_ptr<CBaseField>& field) {
  switch (type) {
    case kFieldInteger:
    case kFieldDate:
    case kFieldString:
    case kFieldBoolean:
    case kFieldRepeat:
      field = CreateField(type);
      return field != nullptr ? kTblOk : kTblErrNoMemory;
    default:
      field.reset();
      return kTblErrSchema;
  }
}

void CBaseTable::InitBlankRow(CTableRow& /*row*/) {}

std::unique_ptr<CTableRow> CBaseTable::NewRow(int32_t* error) {
  if (schema_ == nullptr) {
    *error = kTblErrSchema;
    return nullptr;
  }
  std::unique_ptr<CTableRow> row(new (std::nothrow) CTableRow());
  if (row == nullptr) {
    *error = kTblErrNoMemory;
    return nullptr;
  }
  const std::vector<uint16_t>& types = schema_->m_FieldTypeList;
  try {
    row->fields.reserve(types.size());
    for (uint16_t type : types) {
      std::unique_ptr<CBaseField> field;
      const int32_t made = ConstructProperField(type, field);
      if (made != kTblOk) {
        *error = made;
        return nullptr;
      }
      if (field == nullptr) {
        *error = kTblErrNoMemory;
        return nullptr;
      }
      row->fields.push_back(std::move(field));
    }
  } catch (const std::bad_alloc&) {
    *error = kTblErrNoMemory;
    return nullptr;
  }
  *error = kTblOk;
  return row;
}

int32_t CBaseTable::AppendRow(std::unique_ptr<CTableRow> row, CBaseRecord& record) {
  row->owner = this;
  row->seq = next_seq_;
  CTableRow* added = row.get();
  try {
    rows_.push_back(std::move(row));
  } catch (const std::bad_alloc&) {
    return kTblErrNoMemory;
  }
  ++next_seq_;
  if (sort_cache_ != nullptr) {
    for (int32_t order = 0; order < kSortOrderCount; ++order) {
      SortCache::Order& cache = sort_cache_->orders[order];
      if (!cache.built) continue;
      try {
        cache.pending.push_back(added);
        added->sort_slots[order].pending = true;
      } catch (const std::bad_alloc&) {
        DropOrder(order);  // rebuilt in full when next used
      }
    }
  }
  record.Bind(added);
  return kTblOk;
}

int32_t CBaseTable::AppendBlankRecord(CBaseRecord& record) {
  int32_t error = kTblOk;
  std::unique_ptr<CTableRow> row = NewRow(&error);
  if (row == nullptr) return error;
  InitBlankRow(*row);
  return AppendRow(std::move(row), record);
}

int32_t CBaseTable::AppendDuplicateRecord(CBaseRecord& source, CBaseRecord& target,
                                          int32_t /*flag*/) {
  const CTableRow* from = source.GetRow();
  if (from == nullptr) return kTblErrBadRecord;
  int32_t error = kTblOk;
  std::unique_ptr<CTableRow> row = NewRow(&error);
  if (row == nullptr) return error;
  InitBlankRow(*row);
  const size_t shared = std::min(row->fields.size(), from->fields.size());
  for (size_t i = 0; i < shared; ++i) {
    CBaseField* mine = row->fields[i].get();
    const CBaseField* theirs = from->fields[i].get();
    if (theirs == nullptr || mine->GetType() != theirs->GetType()) continue;
    const int32_t copied = mine->CopyFrom(*theirs);
    if (copied != kTblOk) return copied;
  }
  row->archived = from->archived;
  return AppendRow(std::move(row), target);
}

void CBaseTable::DumpRecords() {
  std::fprintf(stderr, "table %p: %d rows\n", static_cast<void*>(this), GetRecordCount());
  for (const auto& row : rows_) {
    std::fprintf(stderr, "  row %llu%s:", static_cast<unsigned long long>(row->seq),
                 row->archived ? " (archived)" : "");
    for (const auto& field : row->fields) {
      switch (field->GetType()) {
        case kFieldInteger: {
          int32_t value = 0;
          static_cast<const CIntegerField&>(*field).GetValue(value);
          std::fprintf(stderr, " %d", static_cast<int>(value));
          break;
        }
        case kFieldDate:
          std::fprintf(stderr, " @%d",
                       static_cast<int>(static_cast<CDateField&>(*field).GetTime()));
          break;
        case kFieldString:
          std::fprintf(stderr, " \"%s\"", static_cast<CStringField&>(*field).GetText().c_str());
          break;
        case kFieldBoolean:
          std::fprintf(stderr, " %s", static_cast<CBooleanField&>(*field).GetValue() ? "T" : "F");
          break;
        case kFieldRepeat: {
          const CRepeatEventField& repeat = static_cast<CRepeatEventField&>(*field);
          std::fprintf(stderr, " rule:%d/%zu",
                       repeat.GetRule() ? static_cast<int>(repeat.GetRule()->GetMyBrand()) : 0,
                       repeat.GetExceptions().size());
          break;
        }
        default:
          std::fprintf(stderr, " ?");
          break;
      }
    }
    std::fprintf(stderr, "\n");
  }
}

template <class Pred>
void CBaseTable::RemoveRows(Pred doomed) {
  // A row is marked for removal by clearing its owner.
  bool any = false;
  for (const auto& row : rows_) {
    if (doomed(*row)) {
      row->owner = nullptr;
      any = true;
    }
  }
  if (!any) return;
  for (auto it = bound_records_.begin(); it != bound_records_.end();) {
    CBaseRecord* record = *it;
    if (record->row_ != nullptr && record->row_->owner == nullptr) {
      record->row_ = nullptr;
      record->bound_table_ = nullptr;
      it = bound_records_.erase(it);
    } else {
      ++it;
    }
  }
  if (sort_cache_ != nullptr) {
    for (SortCache::Order& cache : sort_cache_->orders) {
      if (!cache.built) continue;
      for (const auto& row : rows_) {
        if (row->owner != nullptr) continue;
        const int32_t order = static_cast<int32_t>(&cache - sort_cache_->orders);
        const CTableRow::SortSlot& slot = row->sort_slots[order];
        if (slot.filed) cache.rows.erase(CSortKey(slot.key, row->seq));
      }
      cache.pending.erase(
          std::remove_if(cache.pending.begin(), cache.pending.end(),
                         [](const CTableRow* row) { return row->owner == nullptr; }),
          cache.pending.end());
    }
  }
  rows_.erase(
      std::remove_if(rows_.begin(), rows_.end(),
                     [](const std::unique_ptr<CTableRow>& row) { return row->owner == nullptr; }),
      rows_.end());
}

int32_t CBaseTable::PurgeAllRecords() {
  DestroyAllFields();
  return kTblOk;
}

int32_t CBaseTable::PurgeDeletedRecords() {
  const int32_t status_pos = schema_ != nullptr ? schema_->m_RecordStatusPos : -1;
  RemoveRows([status_pos](const CTableRow& row) {
    if (status_pos < 0 || static_cast<size_t>(status_pos) >= row.fields.size()) return false;
    const CBaseField& field = *row.fields[static_cast<size_t>(status_pos)];
    if (field.GetType() != kFieldInteger) return false;
    int32_t status = 0;
    static_cast<const CIntegerField&>(field).GetValue(status);
    return status == kStatusDeleted;
  });
  return kTblOk;
}

void CBaseTable::DestroyAllFields() {
  for (CBaseRecord* record : bound_records_) {
    record->row_ = nullptr;
    record->bound_table_ = nullptr;
  }
  bound_records_.clear();
  rows_.clear();
  if (sort_cache_ != nullptr) {
    for (SortCache::Order& cache : sort_cache_->orders) {
      cache.rows.clear();
      cache.pending.clear();
      cache.built = false;
    }
  }
}

CTableRow* CBaseTable::RowAt(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= rows_.size()) return nullptr;
  return rows_[static_cast<size_t>(index)].get();
}

int32_t CBaseTable::IndexOfRow(const CTableRow* row) const {
  if (row == nullptr || row->owner != this) return -1;
  // Rows stay in ascending sequence order, so the row is found by binary search.
  auto it = std::lower_bound(
      rows_.begin(), rows_.end(), row->seq,
      [](const std::unique_ptr<CTableRow>& r, uint64_t seq) { return r->seq < seq; });
  if (it == rows_.end() || it->get() != row) return -1;
  return static_cast<int32_t>(it - rows_.begin());
}

void CBaseTable::NoteRowChanged(CTableRow* row, int32_t field) {
  if (row == nullptr || row->owner != this || schema_ == nullptr || sort_cache_ == nullptr) return;
  const int32_t positions[kSortOrderCount] = {schema_->m_RecordIdPos, schema_->m_RecordStatusPos,
                                              schema_->m_CategoryIdPos};
  for (int32_t order = 0; order < kSortOrderCount; ++order) {
    if (positions[order] != field) continue;
    SortCache::Order& cache = sort_cache_->orders[order];
    CTableRow::SortSlot& slot = row->sort_slots[order];
    if (!cache.built || slot.pending) continue;
    try {
      cache.pending.push_back(row);
      slot.pending = true;
    } catch (const std::bad_alloc&) {
      DropOrder(order);
    }
  }
}

void CBaseTable::RegisterRecord(CBaseRecord* record) {
  try {
    bound_records_.insert(record);
  } catch (const std::bad_alloc&) {
    // Without the entry a purge could not unbind the record; leave it unbound instead.
    record->row_ = nullptr;
    record->bound_table_ = nullptr;
  }
}

void CBaseTable::UnregisterRecord(CBaseRecord* record) {
  bound_records_.erase(record);
}

CDateBkTable::CDateBkTable() {
  std::unique_ptr<CDateBkSchema> schema(new (std::nothrow) CDateBkSchema());
  if (schema != nullptr) schema->DefineSchema();
  SetSchema(std::move(schema));
}

CDateBkTable::~CDateBkTable() = default;

int32_t CDateBkTable::ConstructProperField(uint16_t type, std::unique_ptr<CBaseField>& field) {
  return CBaseTable::ConstructProperField(type, field);
}

int32_t CDateBkTable::AppendDuplicateRecord(CBaseRecord& source, CBaseRecord& target,
                                            int32_t flag) {
  return CBaseTable::AppendDuplicateRecord(source, target, flag);
}

int32_t CDateBkTable::AppendBlankRecord(CDateBkRecord& record) {
  return CBaseTable::AppendBlankRecord(record);
}

void CDateBkTable::InitBlankRow(CTableRow& row) {
  if (row.fields.size() <= static_cast<size_t>(CDateBkSchema::kAlarmAdvance)) return;
  CBaseField& field = *row.fields[CDateBkSchema::kAlarmAdvance];
  if (field.GetType() == kFieldInteger) static_cast<CIntegerField&>(field).SetValue(-1);
}
