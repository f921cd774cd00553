// Occurrence groups: the host's entries of one repeating handheld event, collected by record ID.
//
// The exchange files carry no repeat rules, only a mark that an entry belongs to a repeating
// event, so every occurrence inside the date window reaches the host as an entry of its own that
// carries the event's record ID. At the next synchronisation the monitor collects those entries,
// from the extract and from the backup, into one group per record ID, compares the two and turns
// what the host deleted or changed into exception days of the event.
#ifndef DBC_CONDUIT_HOSTCAL_OCCURRENCE_GROUPS_H_
#define DBC_CONDUIT_HOSTCAL_OCCURRENCE_GROUPS_H_

#include <stdint.h>

#include <memory>
#include <unordered_map>
#include <vector>

class CBaseRecord;
class CProfsRecord;
class CProfsTable;

// One group: copies of the occurrence entries with one record ID, in the order they were added,
// and the days (00:00 local time) of occurrences that the host deleted or changed.
struct COccurrenceGroup {
  std::unique_ptr<CProfsTable> table;
  uint32_t record_id = 0;
  std::vector<int32_t> exception_dates;

  COccurrenceGroup();
  ~COccurrenceGroup();
};

// An ordered array of groups, at most one per record ID. Looking a group up by ID costs O(1), and
// removing one keeps the order of the others without moving them.
class COccurrenceGroups {
 public:
  COccurrenceGroups();
  ~COccurrenceGroups();
  COccurrenceGroups(const COccurrenceGroups&) = delete;
  COccurrenceGroups& operator=(const COccurrenceGroups&) = delete;

  // The index of the group with this record ID, or -1.
  int32_t Find(uint32_t record_id) const;
  // The group at an index that Find or First answered; null when there is none.
  COccurrenceGroup* At(int32_t index) const;
  // The index of the first group still held, or -1 when none is left.
  int32_t First() const;
  // The index after `index` of the next group still held, or -1.
  int32_t Next(int32_t index) const;
  bool Empty() const { return count_ == 0; }
  int32_t Count() const { return count_; }

  // Appends a copy of record to the group of its record ID, making the group (at the end) when
  // there is none; out is left on the copy. 0, or the table library's code (out null, and a group
  // made for it removed again).
  int32_t Add(CBaseRecord& record, std::unique_ptr<CProfsRecord>& out);
  // Appends an empty group for record_id (which no group may have); its index, or -1 when it could
  // not be made.
  int32_t Append(uint32_t record_id);
  // Releases the group at index with its table and exception days.
  void Remove(int32_t index);
  void Clear();

 private:
  std::vector<std::unique_ptr<COccurrenceGroup>> groups_;  // removed groups leave null
  std::unordered_map<uint32_t, int32_t> by_id_;
  int32_t count_ = 0;
  int32_t first_ = 0;  // no group is held below this index
};

#endif  // DBC_CONDUIT_HOSTCAL_OCCURRENCE_GROUPS_H_
