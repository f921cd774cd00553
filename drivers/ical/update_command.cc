#include <algorithm>
#include <map>
#include <set>

#include "drivers/ical/calendar_file.h"
#include "drivers/ical/commands.h"
#include "drivers/ical/event_instances.h"
#include "drivers/ical/event_writer.h"
#include "drivers/ical/exchange_file.h"
#include "drivers/ical/local_clock.h"

namespace ical_driver {
namespace {

// Where an entry number leads: a single event or an override, or an occurrence of a recurring
// event.
struct CTarget {
  icalcomponent* event = nullptr;
  std::string key;  // occurrence key, for an occurrence without override
  bool occurrence = false;
};

std::map<int, CTarget> IndexEntryNumbers(icalcomponent* calendar) {
  std::map<int, CTarget> index;
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    if (IsRecurring(e)) {
      for (const auto& kv : ReadOccurrenceEntries(e)) {
        index.emplace(kv.second.number, CTarget{e, kv.first, true});
      }
    } else if (EntryNumberOf(e) >= 0) {
      index.emplace(EntryNumberOf(e), CTarget{e, "", false});
    }
  }
  return index;
}

std::string Uid(icalcomponent* event) {
  const char* uid = icalcomponent_get_uid(event);
  return uid != nullptr ? uid : "";
}

icalcomponent* RecurringEventOf(icalcomponent* calendar, const std::string& uid) {
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    if (IsRecurring(e) && Uid(e) == uid) return e;
  }
  return nullptr;
}

std::string Named(const CExchangeEntry& entry, size_t index) {
  return "record " + std::to_string(index + 1) + " (\"" + entry.description + "\" on " +
         std::to_string(entry.year * 10000 + entry.month * 100 + entry.day) + ")";
}

class CUpdate {
 public:
  CUpdate(icalcomponent* calendar, const std::vector<CExchangeEntry>& entries)
      : calendar_(calendar), entries_(entries), index_(IndexEntryNumbers(calendar)) {}

  // Checks that every change names an entry the calendar holds.
  bool Check(std::string* error) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
      const CExchangeEntry& e = entries_[i];
      if (e.status != EntryStatus::kModified) continue;
      if (e.entry_number < 0) {
        *error = Named(e, i) + " is a change without a host entry number";
        return false;
      }
      if (index_.count(e.entry_number) == 0) {
        *error = Named(e, i) + " changes host entry " + std::to_string(e.entry_number) +
                 ", which is not in the calendar";
        return false;
      }
    }
    return true;
  }

  bool Apply(std::string* error) {
    for (const CExchangeEntry& e : entries_) {
      if (e.status == EntryStatus::kModified && !Modify(e, error)) return false;
    }
    if (!Add(error)) return false;
    for (const CExchangeEntry& e : entries_) {
      if (e.status == EntryStatus::kDeleted) Delete(e);
    }
    return true;
  }

  bool Changed() const { return changed_; }
  // The events that must pass libical's checks before the calendar is written.
  const std::vector<icalcomponent*>& Checked() const { return checked_; }

 private:
  // Notes an event before the update changes it: it will be checked after the change if it
  // passed before. (A host event that libical faults already is not made the update's failure.)
  void Before(icalcomponent* event) {
    if (!seen_.insert(event).second) return;
    std::string ignored;
    if (PassesRestrictions(event, &ignored)) checked_.push_back(event);
  }
  void Created(icalcomponent* event) {
    seen_.insert(event);
    checked_.push_back(event);
    changed_ = true;
  }

  bool Modify(const CExchangeEntry& update, std::string* error) {
    const CTarget& target = index_.at(update.entry_number);
    CInstance instance;
    if (target.occurrence) {
      if (!OccurrenceInstance(calendar_, target.event, target.key, &instance, error)) return false;
    } else if (!EventInstance(calendar_, target.event, &instance, error)) {
      return false;
    }
    CExchangeEntry current;
    DescribeInstance(instance, &current);
    if (!target.occurrence) {
      Before(target.event);
      changed_ |= ApplyEntry(target.event, instance, current, update);
      return true;
    }
    std::map<std::string, COccurrenceEntry> entries = ReadOccurrenceEntries(target.event);
    COccurrenceEntry& entry = entries[target.key];
    if (ReadsAs(current, update) && !update.repeat) {
      // The occurrence is as it was: only its handheld record ID is new.
      if (update.has_record_id) {
        entry.has_record_id = true;
        entry.record_id = update.record_id;
      }
      if (WriteOccurrenceEntries(target.event, entries)) changed_ = true;
      return true;
    }
    // A changed occurrence becomes an override that carries its entry number.
    icalcomponent* override_event = NewOverride(instance);
    SetX(override_event, kEntryProp, std::to_string(entry.number));
    if (entry.has_record_id) SetX(override_event, kRecordIdProp, FormatRecordId(entry.record_id));
    icalcomponent_add_component(calendar_, override_event);
    entries.erase(target.key);
    WriteOccurrenceEntries(target.event, entries);
    CInstance moved;
    if (!EventInstance(calendar_, override_event, &moved, error)) return false;
    CExchangeEntry as_is;
    DescribeInstance(moved, &as_is);
    ApplyEntry(override_event, moved, as_is, update);
    index_[update.entry_number] = CTarget{override_event, "", false};
    Created(override_event);
    return true;
  }

  // Adds the added entries. An entry that an earlier run of this update already added is found
  // again instead of added twice: an occurrence of a repeating handheld event by its record ID and
  // day (the conduit deletes and re-adds those at every synchronisation, so the event of the
  // deleted entry is kept and rewritten), any other entry by its record ID and content.
  bool Add(std::string* error) {
    std::map<std::string, std::vector<icalcomponent*>> by_record;
    for (icalcomponent* e = icalcomponent_get_first_component(calendar_, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar_, ICAL_VEVENT_COMPONENT)) {
      if (IsRecurring(e) || IsOverride(e)) continue;
      by_record[GetX(e, kRecordIdProp).value_or("")].push_back(e);
    }
    std::set<icalcomponent*> used;
    for (const CExchangeEntry& update : entries_) {
      if (update.status != EntryStatus::kAdded) continue;
      const std::string key = update.has_record_id ? FormatRecordId(update.record_id) : "";
      icalcomponent* match = nullptr;
      CInstance instance;
      CExchangeEntry current;
      for (icalcomponent* candidate : by_record[key]) {
        if (used.count(candidate) != 0) continue;
        if (!EventInstance(calendar_, candidate, &instance, error)) return false;
        if (instance.repeat != update.repeat) continue;
        DescribeInstance(instance, &current);
        const bool same_day = current.year == update.year && current.month == update.month &&
                              current.day == update.day;
        if (update.repeat ? (update.has_record_id && same_day) : ReadsAs(current, update)) {
          match = candidate;
          break;
        }
      }
      if (match == nullptr) {
        icalcomponent* event = NewEvent(update);
        icalcomponent_add_component(calendar_, event);
        Created(event);
        used.insert(event);
        continue;
      }
      used.insert(match);
      if (instance.entry_number >= 0) kept_.insert(instance.entry_number);
      Before(match);
      changed_ |= ApplyEntry(match, instance, current, update);
    }
    return true;
  }

  void Delete(const CExchangeEntry& update) {
    if (update.entry_number < 0 || kept_.count(update.entry_number) != 0) return;
    auto found = index_.find(update.entry_number);
    // An entry that is not there was deleted by an earlier run of this update, or on the host.
    if (found == index_.end()) return;
    const CTarget target = found->second;
    index_.erase(found);
    if (target.occurrence) {
      std::map<std::string, COccurrenceEntry> entries = ReadOccurrenceEntries(target.event);
      entries.erase(target.key);
      Before(target.event);
      WriteOccurrenceEntries(target.event, entries);
      AddExdate(calendar_, target.event, target.key);
      changed_ = true;
      return;
    }
    if (IsOverride(target.event)) {
      CInstance instance;
      std::string ignored;
      icalcomponent* recurring = RecurringEventOf(calendar_, Uid(target.event));
      if (recurring != nullptr && EventInstance(calendar_, target.event, &instance, &ignored)) {
        Before(recurring);
        AddExdate(calendar_, recurring, instance.key);
      }
    }
    checked_.erase(std::remove(checked_.begin(), checked_.end(), target.event), checked_.end());
    icalcomponent_remove_component(calendar_, target.event);
    icalcomponent_free(target.event);
    changed_ = true;
  }

  icalcomponent* calendar_;
  const std::vector<CExchangeEntry>& entries_;
  std::map<int, CTarget> index_;
  std::set<int> kept_;  // entry numbers whose event an added entry took over
  std::set<icalcomponent*> seen_;
  std::vector<icalcomponent*> checked_;
  bool changed_ = false;
};

}  // namespace

bool RunUpdate(const CDriverRequest& request, CDriverFailure* failure) {
  CCalendarFile calendar(request.calendar_path);
  std::string error;
  if (!calendar.Lock(&error)) return Fail(failure, kExitCalendar, error);
  const std::string update_path = request.folder + request.file;
  std::string bytes;
  bool missing = false;
  if (!ReadWholeFile(update_path, &bytes, &missing, &error)) {
    return Fail(failure, kExitExchange, "the update file cannot be read: " + error);
  }
  std::vector<CExchangeEntry> entries;
  if (!ParseExchangeFile(bytes, &entries, &error)) {
    return Fail(failure, kExitExchange,
                "the update file " + update_path + " is damaged, nothing was applied: " + error);
  }
  switch (calendar.Load(&error)) {
    case CCalendarFile::LoadResult::kLoaded:
      break;
    case CCalendarFile::LoadResult::kMissing:
      return Fail(failure, kExitCalendar,
                  "the calendar " + request.calendar_path + " does not exist");
    case CCalendarFile::LoadResult::kFailed:
      return Fail(failure, kExitCalendar, error);
  }
  CUpdate update(calendar.Calendar(), entries);
  if (!update.Check(&error)) {
    return Fail(failure, kExitExchange,
                "the update cannot be applied, the calendar was left unchanged: " + error);
  }
  if (!update.Apply(&error)) {
    return Fail(failure, kExitCalendar,
                "the update cannot be applied, the calendar was left unchanged: " + error);
  }
  if (update.Changed() && !calendar.Save(update.Checked(), &error)) {
    return Fail(failure, kExitWrite, error);
  }
  return true;
}

}  // namespace ical_driver
