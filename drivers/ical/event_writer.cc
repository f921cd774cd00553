#include "drivers/ical/event_writer.h"

#include <random>

#include "drivers/ical/calendar_props.h"
#include "drivers/ical/local_clock.h"

namespace ical_driver {
namespace {

constexpr char kUidDomain[] = "@datebook-conduit";
constexpr char kAlarmText[] = "Reminder";
constexpr int kUnitSeconds[] = {60, 3600, 86400};

icaltimetype UtcNow() {
  return icaltime_from_timet_with_zone(time(nullptr), 0, icaltimezone_get_utc_timezone());
}

std::string NewUid() {
  std::random_device random;
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%08x-%08x-%08x", random(), random(), random(), random());
  return std::string(text) + kUidDomain;
}

std::string WithoutReturns(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

std::string StripMark(const std::string& description) {
  if (!HasPrivateMark(description)) return description;
  std::string rest = description.substr(5);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  return rest;
}

icalproperty_class MarkClass(const std::string& description) {
  if (description.compare(0, 5, "PERS:") == 0) return ICAL_CLASS_PRIVATE;
  if (description.compare(0, 5, "CONF:") == 0) return ICAL_CLASS_CONFIDENTIAL;
  return ICAL_CLASS_NONE;
}

bool SameTimes(const CExchangeEntry& a, const CExchangeEntry& b) {
  if (a.untimed != b.untimed || a.year != b.year || a.month != b.month || a.day != b.day) {
    return false;
  }
  return a.untimed || (a.start_minute == b.start_minute && a.end_minute == b.end_minute);
}

bool SameAlarm(const CExchangeEntry& a, const CExchangeEntry& b) {
  return a.alarm_advance == b.alarm_advance &&
         (a.alarm_advance == 0 || a.alarm_unit == b.alarm_unit);
}

CZonedTime Date(int year, int month, int day) {
  CZonedTime t;
  t.time = icaltime_null_date();
  t.time.year = year;
  t.time.month = month;
  t.time.day = day;
  return t;
}

CZonedTime DaysLater(const CZonedTime& date, int days) {
  CZonedTime t = date;
  icaltime_adjust(&t.time, days, 0, 0, 0);
  return t;
}

// Writes DTSTART and DTEND. `style` is the start the event had (its zone is kept); `length`,
// when positive, is used for the end instead of the entry's end time.
void WriteTimes(icalcomponent* event, const CZonedTime& style, const CExchangeEntry& entry,
                time_t length) {
  RemoveProperties(event, ICAL_DURATION_PROPERTY);
  if (entry.untimed) {
    const CZonedTime start = Date(entry.year, entry.month, entry.day);
    WriteTimeProperty(event, ICAL_DTSTART_PROPERTY, start);
    WriteTimeProperty(event, ICAL_DTEND_PROPERTY, DaysLater(start, 1));
    return;
  }
  const time_t start = MakeLocal(entry.year, entry.month, entry.day, entry.start_minute);
  time_t end =
      length > 0 ? start + length : MakeLocal(entry.year, entry.month, entry.day, entry.end_minute);
  if (end < start) end = start;
  WriteTimeProperty(event, ICAL_DTSTART_PROPERTY, InStyleOf(style, start));
  if (end > start) {
    WriteTimeProperty(event, ICAL_DTEND_PROPERTY, InStyleOf(style, end));
  } else {
    // A time without a length ends when it starts; DTEND would have to be later.
    RemoveProperties(event, ICAL_DTEND_PROPERTY);
  }
}

void WriteAlarm(icalcomponent* event, const CExchangeEntry& entry) {
  if (entry.alarm_advance == 0) {
    for (icalcomponent* a = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
         a != nullptr; a = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT)) {
      icalcomponent_remove_component(event, a);
      icalcomponent_free(a);
    }
    return;
  }
  icaltriggertype trigger;
  trigger.time = icaltime_null_time();
  trigger.duration = icaldurationtype_from_int(-entry.alarm_advance *
                                               kUnitSeconds[static_cast<int>(entry.alarm_unit)]);
  icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
  if (alarm == nullptr) {
    alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
    icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icalcomponent_add_property(alarm, icalproperty_new_description(kAlarmText));
    icalcomponent_add_component(event, alarm);
  }
  RemoveProperties(alarm, ICAL_TRIGGER_PROPERTY);
  icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
}

void WriteSummary(icalcomponent* event, const std::string& summary) {
  if (summary.empty()) {
    RemoveProperties(event, ICAL_SUMMARY_PROPERTY);
  } else {
    icalcomponent_set_summary(event, ToUtf8(WithoutReturns(summary)).c_str());
  }
}

void WriteNote(icalcomponent* event, const std::string& note) {
  if (note.empty()) {
    RemoveProperties(event, ICAL_DESCRIPTION_PROPERTY);
  } else {
    icalcomponent_set_description(event, ToUtf8(WithoutReturns(note)).c_str());
  }
}

void WriteClass(icalcomponent* event, icalproperty_class value) {
  RemoveProperties(event, ICAL_CLASS_PROPERTY);
  if (value != ICAL_CLASS_NONE) icalcomponent_add_property(event, icalproperty_new_class(value));
}

void WriteBookkeeping(icalcomponent* event, const CExchangeEntry& entry, bool* changed) {
  if (entry.has_record_id) *changed |= SetX(event, kRecordIdProp, FormatRecordId(entry.record_id));
  *changed |= entry.repeat ? SetX(event, kRepeatProp, "1") : RemoveX(event, kRepeatProp);
}

bool EndLiesOnLaterDay(const CInstance& instance) {
  if (instance.start.IsDate() || instance.end_seconds <= instance.start_seconds) return false;
  const CLocalDate start = BreakDownLocal(instance.start_seconds);
  const CLocalDate end = BreakDownLocal(instance.end_seconds);
  return start.year != end.year || start.month != end.month || start.day != end.day;
}

}  // namespace

// Whether text is well-formed UTF-8.
static bool IsUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra;
    if (c < 0x80) {
      extra = 0;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
    }
    i += extra + 1;
  }
  return true;
}

std::string ToUtf8(const std::string& text) {
  if (IsUtf8(text)) return text;
  std::string out;
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool ReadsAs(const CExchangeEntry& current, const CExchangeEntry& update) {
  if (!SameTimes(current, update) || !SameAlarm(current, update)) return false;
  CExchangeEntry once = current;
  ReadBackText(&once);
  if (once.description == update.description && once.note == update.note) return true;
  ReadBackText(&once);
  return once.description == update.description && once.note == update.note;
}

bool ApplyEntry(icalcomponent* event, const CInstance& current, const CExchangeEntry& current_entry,
                const CExchangeEntry& update) {
  bool changed = false;
  if (!SameTimes(current_entry, update)) {
    // An end that the exchange file had to cut keeps the event's length when only the start moved.
    const bool keep_length = !update.untimed && !current_entry.untimed &&
                             update.end_minute == current_entry.end_minute &&
                             EndLiesOnLaterDay(current);
    WriteTimes(event, current.start, update,
               keep_length ? current.end_seconds - current.start_seconds : 0);
    changed = true;
  }
  if (!SameAlarm(current_entry, update)) {
    WriteAlarm(event, update);
    changed = true;
  }
  CExchangeEntry once = current_entry, twice;
  ReadBackText(&once);
  twice = once;
  ReadBackText(&twice);
  if (MarkClass(once.description) != MarkClass(update.description)) {
    WriteClass(event, MarkClass(update.description));
    changed = true;
  }
  const bool same_summary = StripMark(once.description) == StripMark(update.description);
  if (!same_summary) {
    WriteSummary(event, StripMark(update.description));
    changed = true;
  }
  if (update.note != once.note && update.note != twice.note) {
    std::string note = update.note;
    if (same_summary) {
      // A SUMMARY too long for the description reads back with its tail at the head of the note
      // (after an empty line when the conduit wrote it back once more).
      std::string head, tail;
      NormaliseText(current_entry.description, "", &head, &tail);
      const size_t skip =
          note.compare(0, 2, "\r\n") == 0 && tail.compare(0, 2, "\r\n") != 0 ? 2 : 0;
      if (!tail.empty() && note.compare(skip, tail.size(), tail) == 0) {
        note.erase(0, skip + tail.size());
        if (note.compare(0, 2, "\r\n") == 0) note.erase(0, 2);
      }
    }
    WriteNote(event, note);
    changed = true;
  }
  WriteBookkeeping(event, update, &changed);
  if (changed) {
    RemoveProperties(event, ICAL_LASTMODIFIED_PROPERTY);
    icalcomponent_add_property(event, icalproperty_new_lastmodified(UtcNow()));
  }
  return changed;
}

icalcomponent* NewEvent(const CExchangeEntry& entry) {
  icalcomponent* event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
  icalcomponent_add_property(event, icalproperty_new_uid(NewUid().c_str()));
  icalcomponent_add_property(event, icalproperty_new_dtstamp(UtcNow()));
  CZonedTime utc;
  utc.zone = icaltimezone_get_utc_timezone();
  WriteTimes(event, utc, entry, 0);
  WriteSummary(event, StripMark(entry.description));
  WriteNote(event, entry.note);
  if (MarkClass(entry.description) != ICAL_CLASS_NONE) {
    WriteClass(event, MarkClass(entry.description));
  }
  if (entry.alarm_advance > 0) WriteAlarm(event, entry);
  bool changed = false;
  WriteBookkeeping(event, entry, &changed);
  return event;
}

icalcomponent* NewOverride(const CInstance& occurrence) {
  icalcomponent* event = icalcomponent_new_clone(occurrence.event);
  static const icalproperty_kind kRecurrence[] = {ICAL_RRULE_PROPERTY,    ICAL_RDATE_PROPERTY,
                                                  ICAL_EXDATE_PROPERTY,   ICAL_EXRULE_PROPERTY,
                                                  ICAL_DURATION_PROPERTY, ICAL_DTSTAMP_PROPERTY};
  for (icalproperty_kind kind : kRecurrence) RemoveProperties(event, kind);
  RemoveX(event, kOccurrenceProp);
  RemoveX(event, kEntryProp);
  RemoveX(event, kRecordIdProp);
  icalcomponent_add_property(event, icalproperty_new_dtstamp(UtcNow()));
  WriteTimeProperty(event, ICAL_RECURRENCEID_PROPERTY, occurrence.start);
  WriteTimeProperty(event, ICAL_DTSTART_PROPERTY, occurrence.start);
  const time_t length = occurrence.end_seconds - occurrence.start_seconds;
  if (occurrence.start.IsDate()) {
    const int days = static_cast<int>((length + 43200) / 86400);
    WriteTimeProperty(event, ICAL_DTEND_PROPERTY, DaysLater(occurrence.start, days > 0 ? days : 1));
  } else if (length > 0) {
    WriteTimeProperty(event, ICAL_DTEND_PROPERTY,
                      InStyleOf(occurrence.start, occurrence.end_seconds));
  } else {
    RemoveProperties(event, ICAL_DTEND_PROPERTY);
  }
  return event;
}

bool AddExdate(icalcomponent* calendar, icalcomponent* event, const std::string& key) {
  CZonedTime dtstart;
  time_t length = 0;
  std::string error;
  if (!ReadEventTimes(calendar, event, &dtstart, &length, &error)) return false;
  CZonedTime excluded;
  if (!TimeOfOccurrenceKey(key, dtstart, &excluded)) return false;
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
    CZonedTime t;
    if (ReadZonedTime(calendar, p, icalproperty_get_exdate(p), &t, &error) &&
        OccurrenceKey(t) == key) {
      return true;
    }
  }
  icalcomponent_add_property(event, NewTimeProperty(ICAL_EXDATE_PROPERTY, excluded));
  return true;
}

}  // namespace ical_driver
