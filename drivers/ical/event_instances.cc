#include "drivers/ical/event_instances.h"

#include <set>

#include "drivers/ical/local_clock.h"

namespace ical_driver {
namespace {

constexpr int kLastMinuteOfDay = 23 * 60 + 59;
constexpr time_t kDay = 86400;
// A rule that produces this many occurrences before reaching the window is given up on.
constexpr int kMaxRuleSteps = 200000;
constexpr char kPersonalMark[] = "PERS:";
constexpr char kConfidentialMark[] = "CONF:";
constexpr char kPersonalPrefix[] = "PERS: ";
constexpr char kConfidentialPrefix[] = "CONF: ";

std::string WithCrLf(const char* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\r') continue;
    if (*p == '\n') out += '\r';
    out += *p;
  }
  return out;
}

std::string Uid(icalcomponent* event) {
  const char* uid = icalcomponent_get_uid(event);
  return uid != nullptr ? uid : "";
}

// Alarm advance in whole minutes, fitted into the exchange file's two digits: the largest unit
// in which the advance is exact, else the smallest unit in which it fits, rounded up so that the
// alarm still rings no later than asked.
void FitAlarm(long minutes, CExchangeEntry* entry) {
  struct Unit {
    AlarmUnit unit;
    long minutes;
  };
  static const Unit kUnits[] = {
      {AlarmUnit::kDays, 1440}, {AlarmUnit::kHours, 60}, {AlarmUnit::kMinutes, 1}};
  for (const Unit& u : kUnits) {
    if (minutes % u.minutes == 0 && minutes / u.minutes <= kMaxAlarmAdvance) {
      entry->alarm_advance = static_cast<int>(minutes / u.minutes);
      entry->alarm_unit = u.unit;
      return;
    }
  }
  for (int i = 2; i >= 0; --i) {
    const long value = (minutes + kUnits[i].minutes - 1) / kUnits[i].minutes;
    if (value <= kMaxAlarmAdvance || i == 0) {
      entry->alarm_advance = static_cast<int>(value <= kMaxAlarmAdvance ? value : kMaxAlarmAdvance);
      entry->alarm_unit = kUnits[i].unit;
      return;
    }
  }
}

void DescribeAlarm(const CInstance& instance, CExchangeEntry* entry) {
  entry->alarm_advance = 0;
  entry->alarm_unit = AlarmUnit::kMinutes;
  icalcomponent* alarm = icalcomponent_get_first_component(instance.event, ICAL_VALARM_COMPONENT);
  if (alarm == nullptr) return;
  icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
  if (trigger == nullptr) return;
  const icaltriggertype value = icalproperty_get_trigger(trigger);
  time_t rings;
  if (!icaltime_is_null_time(value.time)) {
    rings = icaltime_as_timet_with_zone(value.time, icaltimezone_get_utc_timezone());
  } else {
    icalparameter* related = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
    const bool from_end =
        related != nullptr && icalparameter_get_related(related) == ICAL_RELATED_END;
    rings = (from_end ? instance.end_seconds : instance.start_seconds) +
            icaldurationtype_as_int(value.duration);
  }
  const long advance = static_cast<long>(instance.start_seconds - rings);
  // An alarm at or after the start has no advance the exchange file can carry.
  if (advance <= 0) return;
  FitAlarm((advance + 59) / 60, entry);
}

void DescribeText(const CInstance& instance, CExchangeEntry* entry) {
  entry->description = MarkedSummary(instance.event);
  entry->note = WithCrLf(icalcomponent_get_description(instance.event));
}

void Bookkeeping(icalcomponent* event, CInstance* instance) {
  instance->entry_number = EntryNumberOf(event);
  const std::optional<std::string> id = GetX(event, kRecordIdProp);
  instance->has_record_id = id && ParseRecordId(*id, &instance->record_id);
  const std::optional<std::string> repeat = GetX(event, kRepeatProp);
  instance->repeat = repeat && *repeat == "1";
}

// The starts of a recurring event's occurrences that lie in [from, to], by key: DTSTART, the
// RRULEs' and the RDATEs', less the EXDATEs.
bool ExpandRecurrence(icalcomponent* calendar, icalcomponent* event, const CZonedTime& dtstart,
                      time_t from, time_t to, std::map<std::string, CZonedTime>* starts,
                      std::string* error) {
  auto consider = [&](const CZonedTime& t) {
    const time_t seconds = ToSeconds(t);
    if (seconds >= from && seconds <= to) starts->emplace(OccurrenceKey(t), t);
  };
  consider(dtstart);
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
    const icalrecurrencetype rule = icalproperty_get_rrule(p);
    icalrecur_iterator* it = icalrecur_iterator_new(rule, dtstart.time);
    if (it == nullptr) {
      *error = "libical cannot expand the rule " +
               std::string(icalrecurrencetype_as_string(const_cast<icalrecurrencetype*>(&rule)));
      return false;
    }
    // A rule without COUNT may start its walk near the window instead of at DTSTART; two days of
    // margin cover every zone's offset.
    if (rule.count == 0 && ToSeconds(dtstart) < from - 2 * kDay) {
      CZonedTime near = InStyleOf(dtstart, from - 2 * kDay);
      if (dtstart.IsDate()) {
        near.time.is_date = 1;
        near.time.hour = near.time.minute = near.time.second = 0;
        near.time.zone = nullptr;
        near.zone = nullptr;
        near.tzid.clear();
      }
      icalrecur_iterator_set_start(it, near.time);
    }
    for (int step = 0; step < kMaxRuleSteps; ++step) {
      icaltimetype next = icalrecur_iterator_next(it);
      if (icaltime_is_null_time(next)) break;
      CZonedTime t = dtstart;
      t.time = next;
      t.time.zone = dtstart.zone;
      t.time.is_date = dtstart.time.is_date;
      if (ToSeconds(t) > to) break;
      consider(t);
    }
    icalrecur_iterator_free(it);
  }
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
    const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
    const icaltimetype time = icaltime_is_null_time(value.time) ? value.period.start : value.time;
    CZonedTime t;
    if (!ReadZonedTime(calendar, p, time, &t, error)) return false;
    consider(t);
  }
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
    CZonedTime t;
    if (!ReadZonedTime(calendar, p, icalproperty_get_exdate(p), &t, error)) return false;
    starts->erase(OccurrenceKey(t));
    // An EXDATE given as a date excludes that day's occurrence of a timed event as well.
    if (t.IsDate() && !dtstart.IsDate()) {
      for (auto it = starts->begin(); it != starts->end();) {
        const CLocalDate local = BreakDownLocal(ToSeconds(it->second));
        const bool same_day =
            local.year == t.time.year && local.month == t.time.month && local.day == t.time.day;
        it = same_day ? starts->erase(it) : std::next(it);
      }
    }
  }
  return true;
}

std::string EventError(icalcomponent* event, const std::string& why) {
  const char* summary = icalcomponent_get_summary(event);
  return "event \"" + std::string(summary != nullptr ? summary : "") + "\" (UID " + Uid(event) +
         "): " + why;
}

}  // namespace

bool HasPrivateMark(const std::string& text) {
  return text.compare(0, 5, kPersonalMark) == 0 || text.compare(0, 5, kConfidentialMark) == 0;
}

std::string MarkedSummary(icalcomponent* event) {
  const std::string summary = WithCrLf(icalcomponent_get_summary(event));
  std::string description;
  icalproperty* klass = icalcomponent_get_first_property(event, ICAL_CLASS_PROPERTY);
  if (klass != nullptr && !HasPrivateMark(summary)) {
    const icalproperty_class value = icalproperty_get_class(klass);
    if (value == ICAL_CLASS_PRIVATE) description = kPersonalPrefix;
    if (value == ICAL_CLASS_CONFIDENTIAL) description = kConfidentialPrefix;
  }
  return description + summary;
}

std::map<std::string, COccurrenceEntry> ReadOccurrenceEntries(icalcomponent* event) {
  std::map<std::string, COccurrenceEntry> entries;
  for (icalproperty* p : AllX(event, kOccurrenceProp)) {
    COccurrenceEntry entry;
    const char* value = icalproperty_get_x(p);
    if (value != nullptr && ParseOccurrenceEntry(value, &entry)) entries.emplace(entry.key, entry);
  }
  return entries;
}

bool WriteOccurrenceEntries(icalcomponent* event,
                            const std::map<std::string, COccurrenceEntry>& entries) {
  std::vector<std::string> old;
  for (icalproperty* p : AllX(event, kOccurrenceProp)) {
    const char* value = icalproperty_get_x(p);
    old.push_back(value != nullptr ? value : "");
  }
  std::vector<std::string> now;
  for (const auto& kv : entries) now.push_back(FormatOccurrenceEntry(kv.second));
  if (old == now) return false;
  RemoveX(event, kOccurrenceProp);
  for (const std::string& value : now) {
    icalproperty* p = icalproperty_new_x(value.c_str());
    icalproperty_set_x_name(p, kOccurrenceProp);
    icalcomponent_add_property(event, p);
  }
  return true;
}

bool IsRecurring(icalcomponent* event) {
  return !IsOverride(event) &&
         (icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) != nullptr ||
          icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr);
}

bool IsOverride(icalcomponent* event) {
  return icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY) != nullptr;
}

bool ReadEventTimes(icalcomponent* calendar, icalcomponent* event, CZonedTime* start,
                    time_t* length, std::string* error) {
  icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
  if (dtstart == nullptr) {
    *error = EventError(event, "it has no DTSTART");
    return false;
  }
  std::string why;
  if (!ReadZonedTime(calendar, dtstart, icalproperty_get_dtstart(dtstart), start, &why)) {
    *error = EventError(event, why);
    return false;
  }
  const time_t start_seconds = ToSeconds(*start);
  *length = start->IsDate() ? kDay : 0;
  if (icalproperty* dtend = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
    CZonedTime end;
    if (!ReadZonedTime(calendar, dtend, icalproperty_get_dtend(dtend), &end, &why)) {
      *error = EventError(event, why);
      return false;
    }
    *length = ToSeconds(end) - start_seconds;
  } else if (icalproperty* duration =
                 icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
    *length = icaldurationtype_as_int(icalproperty_get_duration(duration));
  }
  if (*length < 0) *length = 0;
  return true;
}

bool CollectInstances(icalcomponent* calendar, time_t from, time_t to,
                      std::vector<CInstance>* instances, std::string* error) {
  // Occurrences that have an override are replaced by it, wherever the override moved them.
  std::map<std::string, std::set<std::string>> overridden;
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    icalproperty* rid = icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY);
    if (rid == nullptr) continue;
    CZonedTime t;
    std::string why;
    if (!ReadZonedTime(calendar, rid, icalproperty_get_recurrenceid(rid), &t, &why)) {
      *error = EventError(e, why);
      return false;
    }
    overridden[Uid(e)].insert(OccurrenceKey(t));
  }

  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    if (icalcomponent_get_first_property(e, ICAL_DTSTART_PROPERTY) == nullptr) continue;
    CZonedTime start;
    time_t length = 0;
    if (!ReadEventTimes(calendar, e, &start, &length, error)) return false;
    if (!IsRecurring(e)) {
      // A cancelled occurrence is one the host user deleted.
      if (IsOverride(e) && icalcomponent_get_status(e) == ICAL_STATUS_CANCELLED) continue;
      CInstance instance;
      if (!EventInstance(calendar, e, &instance, error)) return false;
      if (instance.start_seconds >= from && instance.start_seconds <= to) {
        instances->push_back(instance);
      }
      continue;
    }
    std::map<std::string, CZonedTime> starts;
    std::string why;
    if (!ExpandRecurrence(calendar, e, start, from, to, &starts, &why)) {
      *error = EventError(e, why);
      return false;
    }
    const std::set<std::string>& skip = overridden[Uid(e)];
    const std::map<std::string, COccurrenceEntry> entries = ReadOccurrenceEntries(e);
    for (const auto& kv : starts) {
      if (skip.count(kv.first) != 0) continue;
      CInstance instance;
      instance.kind = InstanceKind::kOccurrence;
      instance.event = e;
      instance.key = kv.first;
      instance.start = kv.second;
      instance.start_seconds = ToSeconds(kv.second);
      instance.end_seconds = instance.start_seconds + length;
      auto found = entries.find(kv.first);
      if (found != entries.end()) {
        instance.entry_number = found->second.number;
        instance.has_record_id = found->second.has_record_id;
        instance.record_id = found->second.record_id;
      }
      instances->push_back(instance);
    }
  }
  return true;
}

bool EventInstance(icalcomponent* calendar, icalcomponent* event, CInstance* out,
                   std::string* error) {
  time_t length = 0;
  if (!ReadEventTimes(calendar, event, &out->start, &length, error)) return false;
  out->kind = IsOverride(event) ? InstanceKind::kOverride : InstanceKind::kSingle;
  out->event = event;
  out->start_seconds = ToSeconds(out->start);
  out->end_seconds = out->start_seconds + length;
  if (out->kind == InstanceKind::kOverride) {
    icalproperty* rid = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
    CZonedTime t;
    std::string why;
    if (!ReadZonedTime(calendar, rid, icalproperty_get_recurrenceid(rid), &t, &why)) {
      *error = EventError(event, why);
      return false;
    }
    out->key = OccurrenceKey(t);
  }
  Bookkeeping(event, out);
  return true;
}

bool OccurrenceInstance(icalcomponent* calendar, icalcomponent* event, const std::string& key,
                        CInstance* out, std::string* error) {
  CZonedTime dtstart;
  time_t length = 0;
  if (!ReadEventTimes(calendar, event, &dtstart, &length, error)) return false;
  out->kind = InstanceKind::kOccurrence;
  out->event = event;
  out->key = key;
  if (!TimeOfOccurrenceKey(key, dtstart, &out->start)) {
    *error = EventError(event, "its occurrence entry \"" + key + "\" is damaged");
    return false;
  }
  out->start_seconds = ToSeconds(out->start);
  out->end_seconds = out->start_seconds + length;
  const std::map<std::string, COccurrenceEntry> entries = ReadOccurrenceEntries(event);
  auto found = entries.find(key);
  if (found != entries.end()) {
    out->entry_number = found->second.number;
    out->has_record_id = found->second.has_record_id;
    out->record_id = found->second.record_id;
  }
  return true;
}

void DescribeInstance(const CInstance& instance, CExchangeEntry* entry) {
  entry->has_record_id = instance.has_record_id;
  entry->record_id = instance.record_id;
  entry->entry_number = instance.entry_number;
  entry->repeat = instance.repeat;
  entry->untimed = instance.start.IsDate();
  if (entry->untimed) {
    entry->year = instance.start.time.year;
    entry->month = instance.start.time.month;
    entry->day = instance.start.time.day;
    entry->start_minute = entry->end_minute = 0;
  } else {
    const CLocalDate start = BreakDownLocal(instance.start_seconds);
    entry->year = start.year;
    entry->month = start.month;
    entry->day = start.day;
    entry->start_minute = start.minute_of_day;
    entry->end_minute = start.minute_of_day;
    if (instance.end_seconds > instance.start_seconds) {
      const CLocalDate end = BreakDownLocal(instance.end_seconds);
      const bool same_day =
          end.year == start.year && end.month == start.month && end.day == start.day;
      // The exchange file holds one day: a later end is cut to the start's day.
      entry->end_minute = same_day ? end.minute_of_day : kLastMinuteOfDay;
    }
  }
  DescribeAlarm(instance, entry);
  DescribeText(instance, entry);
}

}  // namespace ical_driver
