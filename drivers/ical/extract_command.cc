#include <algorithm>
#include <map>
#include <set>

#include "drivers/ical/calendar_file.h"
#include "drivers/ical/commands.h"
#include "drivers/ical/entry_numbers.h"
#include "drivers/ical/event_instances.h"
#include "drivers/ical/exchange_file.h"
#include "drivers/ical/local_clock.h"

namespace ical_driver {
namespace {

// Gives every instance an entry number that no other instance of this extract has, and keeps the
// numbers in the calendar. A number already written stays; an override that has none takes the
// one its occurrence had. Answers whether the calendar changed; *exhausted is set when the numbers
// ran out.
bool NumberInstances(icalcomponent* calendar, time_t from, time_t to,
                     std::vector<CInstance>* instances, bool* exhausted) {
  bool changed = false;
  *exhausted = false;
  CEntryNumbers numbers(calendar);
  std::map<icalcomponent*, std::map<std::string, COccurrenceEntry>> occurrences;
  std::map<std::string, icalcomponent*> recurring_by_uid;
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    if (!IsRecurring(e)) continue;
    occurrences[e] = ReadOccurrenceEntries(e);
    const char* uid = icalcomponent_get_uid(e);
    if (uid != nullptr) recurring_by_uid.emplace(uid, e);
  }

  // An override that lacks a number takes its occurrence's entry from the recurring event.
  for (CInstance& instance : *instances) {
    if (instance.kind != InstanceKind::kOverride || instance.entry_number >= 0) continue;
    const char* uid = icalcomponent_get_uid(instance.event);
    auto master = recurring_by_uid.find(uid != nullptr ? uid : "");
    if (master == recurring_by_uid.end()) continue;
    auto& entries = occurrences[master->second];
    auto found = entries.find(instance.key);
    if (found == entries.end()) continue;
    instance.entry_number = found->second.number;
    SetX(instance.event, kEntryProp, std::to_string(instance.entry_number));
    if (!instance.has_record_id && found->second.has_record_id) {
      instance.has_record_id = true;
      instance.record_id = found->second.record_id;
      SetX(instance.event, kRecordIdProp, FormatRecordId(instance.record_id));
    }
    entries.erase(found);
    changed = true;
  }

  std::set<int> seen;
  size_t needed = 0;
  for (const CInstance& instance : *instances) {
    if (instance.entry_number < 0 || !seen.insert(instance.entry_number).second) ++needed;
  }
  // When too few numbers are free, those of single events that ended before the window go back.
  if (needed > static_cast<size_t>(numbers.FreeCount())) {
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
      CInstance past;
      std::string ignored;
      if (IsRecurring(e) || EntryNumberOf(e) < 0 || !EventInstance(calendar, e, &past, &ignored) ||
          std::max(past.start_seconds, past.end_seconds) >= from) {
        continue;
      }
      numbers.Release(EntryNumberOf(e));
      RemoveX(e, kEntryProp);
      changed = true;
    }
  }

  seen.clear();
  for (CInstance& instance : *instances) {
    if (instance.entry_number >= 0 && seen.insert(instance.entry_number).second) continue;
    // A number copied along with its event (or never given) is replaced.
    instance.entry_number = numbers.Allocate();
    if (instance.entry_number < 0) {
      *exhausted = true;
      return changed;
    }
    seen.insert(instance.entry_number);
    if (instance.kind == InstanceKind::kOccurrence) {
      COccurrenceEntry& entry = occurrences[instance.event][instance.key];
      entry.key = instance.key;
      entry.number = instance.entry_number;
    } else {
      SetX(instance.event, kEntryProp, std::to_string(instance.entry_number));
    }
    changed = true;
  }

  // An event outside the window that holds a number of this extract (a copy of an event, made by
  // another program) loses it, so that the update finds the number only where the extract put it.
  std::set<icalcomponent*> extracted;
  for (const CInstance& instance : *instances) {
    if (instance.kind != InstanceKind::kOccurrence) extracted.insert(instance.event);
  }
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    if (extracted.count(e) == 0 && seen.count(EntryNumberOf(e)) != 0) {
      RemoveX(e, kEntryProp);
      changed = true;
    }
  }

  // A recurring event keeps the entries of the occurrences in this window and of later ones;
  // those of past occurrences, and of occurrences that no longer exist, are dropped.
  std::map<icalcomponent*, std::set<std::string>> current;
  for (const CInstance& instance : *instances) {
    if (instance.kind == InstanceKind::kOccurrence) current[instance.event].insert(instance.key);
  }
  for (auto& kv : occurrences) {
    CZonedTime dtstart;
    time_t length = 0;
    std::string ignored;
    ReadEventTimes(calendar, kv.first, &dtstart, &length, &ignored);
    for (auto it = kv.second.begin(); it != kv.second.end();) {
      CZonedTime t;
      const bool in_window = current[kv.first].count(it->first) != 0;
      const bool keep = in_window || (TimeOfOccurrenceKey(it->first, dtstart, &t) &&
                                      ToSeconds(t) > to && seen.count(it->second.number) == 0);
      it = keep ? std::next(it) : kv.second.erase(it);
    }
    changed |= WriteOccurrenceEntries(kv.first, kv.second);
  }
  changed |= numbers.Store();
  return changed;
}

}  // namespace

bool RunExtract(const CDriverRequest& request, CDriverFailure* failure) {
  CCalendarFile calendar(request.calendar_path);
  std::string error;
  if (!calendar.Lock(&error)) return Fail(failure, kExitCalendar, error);
  switch (calendar.Load(&error)) {
    case CCalendarFile::LoadResult::kLoaded:
      break;
    case CCalendarFile::LoadResult::kMissing:
      return Fail(failure, kExitCalendar,
                  "the calendar " + request.calendar_path +
                      " does not exist; the install command creates it");
    case CCalendarFile::LoadResult::kFailed:
      return Fail(failure, kExitCalendar, error);
  }
  const time_t from = StartOfToday();
  // The conduit's window: from 00:00 today to 00:00 of the day `days` days later.
  const time_t to = StartOfDayAfter(from, request.days);
  std::vector<CInstance> instances;
  if (!CollectInstances(calendar.Calendar(), from, to, &instances, &error)) {
    return Fail(failure, kExitCalendar,
                "the calendar " + request.calendar_path + " cannot be read: " + error);
  }
  // Ascending start: the conduit expects the occurrences of a repeating event in day order.
  std::stable_sort(instances.begin(), instances.end(), [](const CInstance& a, const CInstance& b) {
    return a.start_seconds < b.start_seconds;
  });
  bool exhausted = false;
  if (NumberInstances(calendar.Calendar(), from, to, &instances, &exhausted) && !exhausted &&
      !calendar.Save({}, &error)) {
    return Fail(failure, kExitWrite, error);
  }
  if (exhausted) {
    return Fail(failure, kExitCalendar,
                "more than " + std::to_string(kMaxEntryNumber + 1) +
                    " events of the calendar need a host entry number");
  }
  std::vector<CExchangeEntry> entries(instances.size());
  for (size_t i = 0; i < instances.size(); ++i) DescribeInstance(instances[i], &entries[i]);
  std::string bytes;
  if (!FormatExchangeFile(entries, &bytes, &error)) return Fail(failure, kExitCalendar, error);
  if (!WriteFileAtomically(request.folder + request.file, bytes, &error)) {
    return Fail(failure, kExitWrite, error);
  }
  return true;
}

}  // namespace ical_driver
