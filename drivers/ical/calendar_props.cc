#include "drivers/ical/calendar_props.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "drivers/ical/exchange_file.h"
#include "drivers/ical/local_clock.h"

namespace ical_driver {

std::vector<icalproperty*> AllX(icalcomponent* c, const char* name) {
  std::vector<icalproperty*> found;
  for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
       p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
    const char* x_name = icalproperty_get_x_name(p);
    if (x_name != nullptr && strcasecmp(x_name, name) == 0) found.push_back(p);
  }
  return found;
}

std::optional<std::string> GetX(icalcomponent* c, const char* name) {
  const std::vector<icalproperty*> found = AllX(c, name);
  if (found.empty()) return std::nullopt;
  const char* value = icalproperty_get_x(found.front());
  return std::string(value != nullptr ? value : "");
}

bool RemoveX(icalcomponent* c, const char* name) {
  const std::vector<icalproperty*> found = AllX(c, name);
  for (icalproperty* p : found) {
    icalcomponent_remove_property(c, p);
    icalproperty_free(p);
  }
  return !found.empty();
}

bool SetX(icalcomponent* c, const char* name, const std::string& value) {
  const std::vector<icalproperty*> found = AllX(c, name);
  if (found.size() == 1) {
    const char* old = icalproperty_get_x(found.front());
    if (old != nullptr && value == old) return false;
  }
  RemoveX(c, name);
  icalproperty* p = icalproperty_new_x(value.c_str());
  icalproperty_set_x_name(p, name);
  icalcomponent_add_property(c, p);
  return true;
}

std::string FormatRecordId(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(id));
  return text;
}

bool ParseRecordId(const std::string& text, uint32_t* id) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  *id = value;
  return true;
}

namespace {

bool ParseNumber(const std::string& text, int* number) {
  if (text.empty() || text.size() > 4) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *number = value;
  return true;
}

}  // namespace

int EntryNumberOf(icalcomponent* c) {
  const std::optional<std::string> value = GetX(c, kEntryProp);
  int number = -1;
  if (!value || !ParseNumber(*value, &number) || number > kMaxEntryNumber) return -1;
  return number;
}

bool ParseOccurrenceEntry(const std::string& value, COccurrenceEntry* out) {
  char key[32], number[16], id[16];
  const int n = std::sscanf(value.c_str(), "%31s %15s %15s", key, number, id);
  if (n < 2 || !ParseNumber(number, &out->number) || out->number > kMaxEntryNumber) return false;
  out->key = key;
  out->has_record_id = n == 3 && ParseRecordId(id, &out->record_id);
  return n == 2 || out->has_record_id;
}

std::string FormatOccurrenceEntry(const COccurrenceEntry& entry) {
  std::string text = entry.key + " " + std::to_string(entry.number);
  if (entry.has_record_id) text += " " + FormatRecordId(entry.record_id);
  return text;
}

bool ReadZonedTime(icalcomponent* calendar, icalproperty* prop, icaltimetype value, CZonedTime* out,
                   std::string* error) {
  out->time = value;
  out->zone = nullptr;
  out->tzid.clear();
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (value.year < 1 || value.month < 1 || value.month > 12 || value.day < 1 ||
      value.day > kDays[value.month - 1] || value.hour > 23 || value.minute > 59 ||
      value.second > 60) {
    *error = std::string("the time ") + icaltime_as_ical_string(value) + " does not exist";
    return false;
  }
  if (value.is_date) {
    out->time.zone = nullptr;
    return true;
  }
  icalparameter* param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
  if (param != nullptr && icalparameter_get_tzid(param) != nullptr) {
    out->tzid = icalparameter_get_tzid(param);
    icaltimezone* zone = icalcomponent_get_timezone(calendar, out->tzid.c_str());
    if (zone == nullptr) zone = icaltimezone_get_builtin_timezone_from_tzid(out->tzid.c_str());
    if (zone == nullptr) zone = icaltimezone_get_builtin_timezone(out->tzid.c_str());
    if (zone == nullptr) {
      *error = "the time zone \"" + out->tzid + "\" is neither in the calendar nor known here";
      return false;
    }
    out->zone = zone;
  } else if (icaltime_is_utc(value)) {
    out->zone = icaltimezone_get_utc_timezone();
  }
  out->time.zone = out->zone;
  return true;
}

time_t ToSeconds(const CZonedTime& t) {
  if (t.time.is_date) return MakeLocal(t.time.year, t.time.month, t.time.day, 0);
  if (t.zone == nullptr) {
    return MakeLocal(t.time.year, t.time.month, t.time.day, t.time.hour * 60 + t.time.minute) +
           t.time.second;
  }
  return icaltime_as_timet_with_zone(t.time, t.zone);
}

CZonedTime InStyleOf(const CZonedTime& like, time_t seconds) {
  CZonedTime out;
  if (like.IsFloating()) {
    struct tm parts {};
    localtime_r(&seconds, &parts);
    out.time = icaltime_null_time();
    out.time.year = parts.tm_year + 1900;
    out.time.month = parts.tm_mon + 1;
    out.time.day = parts.tm_mday;
    out.time.hour = parts.tm_hour;
    out.time.minute = parts.tm_min;
    out.time.second = parts.tm_sec;
    return out;
  }
  if (like.IsDate() || like.zone == icaltimezone_get_utc_timezone()) {
    out.zone = icaltimezone_get_utc_timezone();
  } else {
    out.zone = like.zone;
    out.tzid = like.tzid;
  }
  out.time = icaltime_from_timet_with_zone(seconds, 0, out.zone);
  return out;
}

std::string OccurrenceKey(const CZonedTime& t) {
  char text[32];
  if (t.IsDate()) {
    std::snprintf(text, sizeof text, "%04d%02d%02d", t.time.year, t.time.month, t.time.day);
    return text;
  }
  if (t.IsFloating()) {
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d", t.time.year, t.time.month,
                  t.time.day, t.time.hour, t.time.minute, t.time.second);
    return text;
  }
  const icaltimetype utc = icaltime_convert_to_zone(t.time, icaltimezone_get_utc_timezone());
  std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second);
  return text;
}

bool TimeOfOccurrenceKey(const std::string& key, const CZonedTime& like, CZonedTime* out) {
  icaltimetype t = icaltime_null_time();
  int n = 0;
  if (key.size() == 8) {
    n = std::sscanf(key.c_str(), "%4d%2d%2d", &t.year, &t.month, &t.day);
    if (n != 3) return false;
    t.is_date = 1;
    out->time = t;
    out->zone = nullptr;
    out->tzid.clear();
    return true;
  }
  n = std::sscanf(key.c_str(), "%4d%2d%2dT%2d%2d%2d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                  &t.second);
  if (n != 6 || (key.size() != 15 && key.size() != 16)) return false;
  if (key.size() == 15) {
    out->time = t;
    out->zone = nullptr;
    out->tzid.clear();
    return true;
  }
  t.zone = icaltimezone_get_utc_timezone();
  *out = InStyleOf(like, icaltime_as_timet_with_zone(t, t.zone));
  return true;
}

icalproperty* NewTimeProperty(icalproperty_kind kind, const CZonedTime& t) {
  icaltimetype value = t.time;
  // A time in a named zone is written as its wall-clock time with the TZID parameter.
  if (!t.tzid.empty()) value.zone = nullptr;
  icalproperty* p = icalproperty_new(kind);
  switch (kind) {
    case ICAL_DTSTART_PROPERTY:
      icalproperty_set_dtstart(p, value);
      break;
    case ICAL_DTEND_PROPERTY:
      icalproperty_set_dtend(p, value);
      break;
    case ICAL_RECURRENCEID_PROPERTY:
      icalproperty_set_recurrenceid(p, value);
      break;
    case ICAL_EXDATE_PROPERTY:
      icalproperty_set_exdate(p, value);
      break;
    default:
      break;
  }
  if (t.IsDate()) icalproperty_set_parameter(p, icalparameter_new_value(ICAL_VALUE_DATE));
  if (!t.tzid.empty()) icalproperty_set_parameter(p, icalparameter_new_tzid(t.tzid.c_str()));
  return p;
}

void WriteTimeProperty(icalcomponent* c, icalproperty_kind kind, const CZonedTime& t) {
  RemoveProperties(c, kind);
  icalcomponent_add_property(c, NewTimeProperty(kind, t));
}

void RemoveProperties(icalcomponent* c, icalproperty_kind kind) {
  for (icalproperty* p = icalcomponent_get_first_property(c, kind); p != nullptr;
       p = icalcomponent_get_first_property(c, kind)) {
    icalcomponent_remove_property(c, p);
    icalproperty_free(p);
  }
}

}  // namespace ical_driver
