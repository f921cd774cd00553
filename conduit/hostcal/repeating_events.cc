// Repeating events: what the host did to the occurrence entries of the last synchronisation, and
// the expansion of a handheld event into one entry per occurrence inside the date window.
//
// Days are compared as local calendar dates, never as seconds, so that a day of 23 or 25 hours
// is one day like any other.
#include <algorithm>
#include <vector>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/hostcal/host_entry_index.h"
#include "conduit/hostcal/profs_monitor.h"
#include "conduit/result_codes.h"
#include "tablelib/iterator.h"
#include "tablelib/local_time.h"
#include "tablelib/table_errors.h"

namespace {

// The local calendar day (days since 1970) of a time.
int64_t LocalDay(int32_t time) {
  int64_t day = 0;
  if (!tablelib::LocalDayOf(time, &day)) day = time / 86400;
  return day;
}

// 00:00 local time of a calendar day (the first valid time of it when the clock jumps at
// midnight); false when it does not fit a time value.
bool DayStart(int64_t day, int32_t* time) {
  const tablelib::CCivilDate date = tablelib::CivilFromDays(day);
  return tablelib::MakeLocalTime(date.year, date.month, date.day, 0, 0, 0, time);
}

struct COccurrence {
  int64_t day;
  CTableRow* row;
  bool matched;
};

}  // namespace

int32_t CProfsMonitor::CompareOccurrenceGroups() {
  for (int32_t i = extract_groups_.First(); i >= 0; i = extract_groups_.Next(i)) {
    const COccurrenceGroup* backup =
        backup_groups_.At(FindBackupGroup(extract_groups_.At(i)->record_id));
    if (backup != nullptr) CompareGroupPair(extract_groups_.At(i), *backup);
  }
  // When the host deleted every occurrence of an event inside the window, the extract has no group
  // for it: its backup occurrences are compared with an empty group, so that their days become
  // exceptions instead of being written back by the next expansion.
  for (int32_t i = backup_groups_.First(); i >= 0; i = backup_groups_.Next(i)) {
    const COccurrenceGroup& backup = *backup_groups_.At(i);
    if (FindExtractGroup(backup.record_id) >= 0) continue;
    COccurrenceGroup empty;
    CompareGroupPair(&empty, backup);
    if (empty.exception_dates.empty()) continue;
    COccurrenceGroup* group = extract_groups_.At(extract_groups_.Append(backup.record_id));
    if (group != nullptr) group->exception_dates = std::move(empty.exception_dates);
  }
  return kOk;
}

// Only occurrences whose day lies inside the current window take part: the window moves forward
// every day, so yesterday's occurrence is missing from today's extract although nobody deleted it.
int32_t CProfsMonitor::CompareGroupPair(COccurrenceGroup* extract, const COccurrenceGroup& backup) {
  const int64_t first_day = LocalDay(window_start_);
  const int64_t last_day = LocalDay(window_end_);
  std::vector<COccurrence> occurrences;
  CProfsRecord a(*desktop_table_, 0);
  if (extract->table != nullptr) {
    CBaseIterator it(*extract->table);
    for (int32_t found = it.FindFirst(a, 0); found == kTblOk; found = it.FindNext(a, 0)) {
      int32_t start = 0;
      a.GetStartTime(start);
      occurrences.push_back(COccurrence{LocalDay(start), a.GetRow(), false});
    }
  }
  std::stable_sort(occurrences.begin(), occurrences.end(),
                   [](const COccurrence& x, const COccurrence& y) { return x.day < y.day; });

  CProfsRecord b(*desktop_table_, 0);
  CBaseIterator backup_it(*backup.table);
  for (int32_t found = backup_it.FindFirst(b, 0); found == kTblOk;
       found = backup_it.FindNext(b, 0)) {
    int32_t start = 0;
    b.GetStartTime(start);
    const int64_t day = LocalDay(start);
    if (day < first_day || day > last_day) continue;
    auto it = std::lower_bound(
        occurrences.begin(), occurrences.end(), day,
        [](const COccurrence& occurrence, int64_t d) { return occurrence.day < d; });
    while (it != occurrences.end() && it->day == day && it->matched) ++it;
    if (it != occurrences.end() && it->day == day) {
      it->matched = true;
      a.Bind(it->row);
      if (a.Equals(b)) continue;
      // The host user changed this occurrence: it becomes a single event of its own.
      AppendSingleFromOccurrence(a);
    }
    int32_t date = 0;
    if (!DayStart(day, &date)) date = start;
    extract->exception_dates.push_back(date);
  }
  // An occurrence that no backup occurrence accounts for was moved to its day, or copied there,
  // by the host user; it is kept as a single event rather than deleted with the others.
  for (const COccurrence& occurrence : occurrences) {
    if (occurrence.matched || occurrence.day < first_day || occurrence.day > last_day) continue;
    a.Bind(occurrence.row);
    AppendSingleFromOccurrence(a);
  }
  return kOk;
}

// A failed append is not reported: the occurrence's day still becomes an exception, and the
// entry stays deleted on the host.
int32_t CProfsMonitor::AppendSingleFromOccurrence(CProfsRecord& occurrence) {
  occurrence.StopRepeatingEvt();
  CProfsRecord copy(*desktop_table_, 0);
  const int32_t appended = desktop_table_->AppendDuplicateRecord(occurrence, copy, 1);
  if (appended != kTblOk) return appended;
  copy.SetRecordId(0);
  copy.SetStatus(kStatusAdded);
  copy.SetArchiveBit(false);
  if (new_host_entries_ != nullptr) new_host_entries_->Add(copy);
  return kOk;
}

int32_t CProfsMonitor::ExpandRepeatingEvent(CProfsRecord& event, CProfsRecord& desktop,
                                            CProfsRecord& remote) {
  uint32_t id = 0;
  event.GetRecordId(id);
  const bool gone = event.IsDeleted() || event.IsArchived();
  const int32_t index = FindExtractGroup(id);
  if (index >= 0) {
    const COccurrenceGroup& group = *extract_groups_.At(index);
    if (!gone) {
      for (int32_t date : group.exception_dates) {
        if (!event.IsException(date)) event.AddException(date);
      }
      if (!group.exception_dates.empty() &&
          remote_table_->AppendDuplicateRecord(event, remote, 1) == kTblOk) {
        remote.SetStatus(kStatusModified);
      }
    }
    extract_groups_.Remove(index);
  }
  expanded_events_.insert(id);
  if (gone) return kOk;

  const int64_t last_day = LocalDay(window_end_);
  int32_t search = window_start_;
  int64_t previous_day = LocalDay(window_start_) - 1;
  for (;;) {
    int32_t next = 0;
    if (event.CalcNextOccurrance(search, next) != kTblOk) return kOk;
    const int64_t day = LocalDay(next);
    // The search always moves on to a later day; a rule that answered an earlier one ends it.
    if (day > last_day || day <= previous_day) return kOk;
    previous_day = day;
    if (!DayStart(day + 1, &search)) return kOk;
    if (event.IsException(next)) continue;
    if (desktop_table_->AppendDuplicateRecord(event, desktop, 1) != kTblOk) return kErrCopyRecord;
    desktop.SetStatus(kStatusAdded);
    desktop.SetStartTime(next);
    desktop.SetArchiveBit(false);
  }
}
