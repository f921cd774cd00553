#include "conduit/hostcal/occurrence_groups.h"

#include <new>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "tablelib/table_errors.h"

COccurrenceGroup::COccurrenceGroup() = default;
COccurrenceGroup::~COccurrenceGroup() = default;

COccurrenceGroups::COccurrenceGroups() = default;
COccurrenceGroups::~COccurrenceGroups() = default;

int32_t COccurrenceGroups::Find(uint32_t record_id) const {
  auto it = by_id_.find(record_id);
  return it == by_id_.end() ? -1 : it->second;
}

COccurrenceGroup* COccurrenceGroups::At(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= groups_.size()) return nullptr;
  return groups_[static_cast<size_t>(index)].get();
}

int32_t COccurrenceGroups::First() const {
  return Next(first_ - 1);
}

int32_t COccurrenceGroups::Next(int32_t index) const {
  for (size_t i = static_cast<size_t>(index < first_ ? first_ : index + 1); i < groups_.size();
       ++i) {
    if (groups_[i] != nullptr) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t COccurrenceGroups::Append(uint32_t record_id) {
  if (by_id_.count(record_id) != 0) return -1;
  std::unique_ptr<COccurrenceGroup> group(new (std::nothrow) COccurrenceGroup());
  if (group == nullptr) return -1;
  group->table.reset(new (std::nothrow) CProfsTable());
  if (group->table == nullptr) return -1;
  group->record_id = record_id;
  const int32_t index = static_cast<int32_t>(groups_.size());
  groups_.push_back(std::move(group));
  by_id_[record_id] = index;
  ++count_;
  return index;
}

int32_t COccurrenceGroups::Add(CBaseRecord& record, std::unique_ptr<CProfsRecord>& out) {
  out.reset();
  uint32_t id = 0;
  record.GetRecordId(id);
  int32_t index = Find(id);
  const bool made = index < 0;
  if (made) index = Append(id);
  COccurrenceGroup* group = At(index);
  if (group == nullptr) return kTblErrNoMemory;
  std::unique_ptr<CProfsRecord> copy(new (std::nothrow) CProfsRecord(*group->table, 0));
  int32_t result =
      copy == nullptr ? kTblErrNoMemory : group->table->AppendDuplicateRecord(record, *copy, 1);
  if (result != kTblOk) {
    if (made) Remove(index);
    return result;
  }
  out = std::move(copy);
  return kTblOk;
}

void COccurrenceGroups::Remove(int32_t index) {
  COccurrenceGroup* group = At(index);
  if (group == nullptr) return;
  by_id_.erase(group->record_id);
  groups_[static_cast<size_t>(index)].reset();
  --count_;
  // The first-group cursor keeps the second pass's "take the first group" at O(1) per group.
  while (static_cast<size_t>(first_) < groups_.size() &&
         groups_[static_cast<size_t>(first_)] == nullptr) {
    ++first_;
  }
}

void COccurrenceGroups::Clear() {
  groups_.clear();
  by_id_.clear();
  count_ = 0;
  first_ = 0;
}
