#include "conduit/hostcal/host_entry_index.h"

#include <stdio.h>

#include "tablelib/iterator.h"
#include "tablelib/record.h"
#include "tablelib/schema.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"

namespace {

constexpr int32_t kFirstContentField = CDateBkSchema::kStart;
constexpr int32_t kLastContentField = CDateBkSchema::kRepeatKind;

int32_t IntegerField(const CBaseRecord& record, int32_t index) {
  const CBaseField* field = record.GetField(index);
  int32_t value = 0;
  if (field != nullptr && field->GetType() == kFieldInteger) {
    static_cast<const CIntegerField*>(field)->GetValue(value);
  }
  return value;
}

// A text that two records share exactly when SameHostContent holds for them.
std::string ContentKey(const CDateBkRecord& record) {
  int32_t start = 0;
  int32_t end = 0;
  int32_t advance = -1;
  int32_t unit = 0;
  record.GetStartTime(start);
  record.GetEndTime(end);
  record.GetAlarmAdvTime(advance);
  record.GetAlarmAdvUnit(unit);
  char head[128];
  snprintf(head, sizeof head, "%d %d %d %d %d %d %d %d|", static_cast<int>(start),
           static_cast<int>(end), record.IsUnTimed() ? 1 : 0, record.IsAlarmSet() ? 1 : 0,
           static_cast<int>(advance), static_cast<int>(unit), record.IsPrivate() ? 1 : 0,
           static_cast<int>(IntegerField(record, CDateBkSchema::kRepeatKind)));
  std::string description;
  std::string note;
  record.GetDescription(description);
  record.GetNote(note);
  std::string key(head);
  key += description;
  key += '\0';
  key += note;
  return key;
}

// An entry that the desktop pass would add to the handheld as a new record.
bool IsNewEntry(const CBaseRecord& record) {
  uint32_t id = 0;
  record.GetRecordId(id);
  return id == 0 && (record.IsPending() || record.IsAdded());
}

}  // namespace

bool SameHostContent(const CBaseRecord& a, const CBaseRecord& b) {
  for (int32_t i = kFirstContentField; i <= kLastContentField; ++i) {
    if (i == CDateBkSchema::kCategory) continue;
    const CBaseField* mine = a.GetField(i);
    const CBaseField* theirs = b.GetField(i);
    if (mine == nullptr || theirs == nullptr || mine->Compare(*theirs) != 0) return false;
  }
  return true;
}

void CHostEntryIndex::Build(CBaseTable& desktop) {
  rows_.clear();
  CDateBkRecord record(desktop, 0);
  CBaseIterator iterator(desktop);
  for (int32_t found = iterator.FindFirst(record, 0); found == kTblOk;
       found = iterator.FindNext(record, 0)) {
    Add(record);
  }
}

void CHostEntryIndex::Add(const CDateBkRecord& record) {
  if (record.GetRow() == nullptr || !IsNewEntry(record)) return;
  rows_[ContentKey(record)].push_back(record.GetRow());
}

CTableRow* CHostEntryIndex::Take(const CDateBkRecord& record) {
  auto it = rows_.find(ContentKey(record));
  if (it == rows_.end()) return nullptr;
  std::vector<CTableRow*>& rows = it->second;
  CDateBkRecord probe(record.GetTable(), 0);
  while (!rows.empty()) {
    CTableRow* row = rows.front();
    rows.erase(rows.begin());
    probe.Bind(row);
    // The entry may have been given an ID or a status since it was taken in.
    if (IsNewEntry(probe)) return row;
  }
  return nullptr;
}
