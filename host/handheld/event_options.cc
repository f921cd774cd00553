#include "host/handheld/event_options.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "host/handheld/date_book.h"

namespace {

struct CKindName {
  int8_t kind;
  const char* name;
};
const CKindName kKindNames[] = {{kRawRepeatDaily, "daily"},
                                {kRawRepeatWeekly, "weekly"},
                                {kRawRepeatMonthlyByDay, "monthly-by-day"},
                                {kRawRepeatMonthlyByDate, "monthly-by-date"},
                                {kRawRepeatYearly, "yearly"}};

// Options that stand alone, and which of them edit alone accepts.
const char* const kFlagOptions[] = {"--private", "--public",           "--no-alarm", "--no-repeat",
                                    "--no-note", "--clear-exceptions", "--untimed"};
bool EditOnly(const std::string& option) {
  return option != "--private";
}

bool ParseNumber(const std::string& text, int32_t low, int32_t high, int32_t* value) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const int32_t n = static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
  if (n < low || n > high) return false;
  *value = n;
  return true;
}

bool ParseHandheldDate(const std::string& option, const std::string& text, CDate* date,
                       std::string* error) {
  if (!ParseDate(text, date)) {
    *error = option + ": " + text + " is not a day of the calendar (YYYY-MM-DD)";
    return false;
  }
  if (date->year < kDateWordFirstYear || date->year > kDateWordLastYear) {
    *error = option + ": " + text + " lies outside 1904 to 2031, the years the handheld holds";
    return false;
  }
  return true;
}

bool CheckText(const std::string& option, const std::string& text, std::string* error) {
  if (text.find('\0') != std::string::npos) {
    *error = option + ": the text holds a NUL byte, which ends a handheld text";
  } else if (text.find('\r') != std::string::npos) {
    *error = option + ": the text holds a carriage return; handheld lines end with a line feed";
  } else if (text.size() > kRawMaxTextLength) {
    *error = option + ": the text has " + std::to_string(text.size()) + " bytes, more than the " +
             std::to_string(kRawMaxTextLength) + " a handheld text holds";
  } else {
    return true;
  }
  return false;
}

// "N" with a unit m, h or d.
bool ParseAlarm(const std::string& text, uint8_t* advance, uint8_t* unit) {
  if (text.size() < 2) return false;
  const char letter = text.back();
  int32_t n = 0;
  if (!ParseNumber(text.substr(0, text.size() - 1), 0, 255, &n)) return false;
  if (letter == 'm') {
    *unit = kRawAlarmMinutes;
  } else if (letter == 'h') {
    *unit = kRawAlarmHours;
  } else if (letter == 'd') {
    *unit = kRawAlarmDays;
  } else {
    return false;
  }
  *advance = static_cast<uint8_t>(n);
  return true;
}

// "mon,wed,..." as week-day bits.
bool ParseDays(const std::string& text, uint8_t* days) {
  uint8_t bits = 0;
  size_t at = 0;
  while (true) {
    const size_t comma = text.find(',', at);
    int32_t day = 0;
    if (!ParseWeekDayName(text.substr(at, comma - at), &day)) return false;
    bits = static_cast<uint8_t>(bits | (1 << day));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  *days = bits;
  return true;
}

// Parses the value of one option into options; false with *error.
bool ParseValue(const std::string& option, const std::string& value, CEventOptions* o,
                std::string* error) {
  auto bad = [&](const char* what) {
    *error = option + ": " + value + " is not " + what;
    return false;
  };
  if (option == "--date") {
    o->has_date = true;
    return ParseHandheldDate(option, value, &o->date, error);
  }
  if (option == "--start" || option == "--end") {
    const bool start = option == "--start";
    (start ? o->has_start : o->has_end) = true;
    if (!ParseTime(value, start ? &o->start_hour : &o->end_hour,
                   start ? &o->start_minute : &o->end_minute)) {
      return bad("a time (HH:MM, 00:00 to 23:59)");
    }
    return true;
  }
  if (option == "--description" || option == "--note") {
    const bool description = option == "--description";
    (description ? o->has_description : o->has_note) = true;
    (description ? o->description : o->note) = value;
    return CheckText(option, value, error);
  }
  if (option == "--alarm") {
    o->has_alarm = true;
    if (!ParseAlarm(value, &o->alarm_advance, &o->alarm_unit)) {
      return bad("an alarm (0 to 255 followed by m, h or d)");
    }
    return true;
  }
  if (option == "--repeat") {
    o->has_repeat = true;
    for (const CKindName& k : kKindNames) {
      if (value == k.name) {
        o->repeat_kind = k.kind;
        return true;
      }
    }
    return bad("a repeat (daily, weekly, monthly-by-day, monthly-by-date or yearly)");
  }
  if (option == "--every") {
    o->has_every = true;
    int32_t n = 0;
    if (!ParseNumber(value, 1, 255, &n)) return bad("an interval (1 to 255)");
    o->every = static_cast<uint8_t>(n);
    return true;
  }
  if (option == "--days") {
    o->has_days = true;
    if (!ParseDays(value, &o->days)) return bad("a list of days (sun,mon,tue,wed,thu,fri,sat)");
    return true;
  }
  if (option == "--until") {
    o->has_until = true;
    return ParseHandheldDate(option, value, &o->until, error);
  }
  if (option == "--week-start") {
    o->has_week_start = true;
    if (value != "sun" && value != "mon") return bad("a first day of the week (sun or mon)");
    o->week_start = value == "mon" ? 1 : 0;
    return true;
  }
  if (option == "--except") {
    CDate date;
    if (!ParseHandheldDate(option, value, &date, error)) return false;
    o->exceptions.push_back(date);
    return true;
  }
  if (option == "--category") {
    o->has_category = true;
    o->category = value;
    return true;
  }
  *error = "unknown option " + option;
  return false;
}

bool Clash(const std::set<std::string>& seen, const char* a, const char* b, std::string* error) {
  if (seen.count(a) && seen.count(b)) {
    *error = std::string(a) + " and " + b + " cannot stand together";
    return true;
  }
  return false;
}

int32_t Minutes(int32_t hour, int32_t minute) {
  return hour * 60 + minute;
}

}  // namespace

const char* RepeatKindName(int8_t kind) {
  for (const CKindName& k : kKindNames) {
    if (k.kind == kind) return k.name;
  }
  return "";
}

bool ParseEventOptions(const std::vector<std::string>& args, bool for_add, CEventOptions* options,
                       std::string* error) {
  CEventOptions o;
  std::set<std::string> seen;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option != "--except" && seen.count(option)) {
      *error = option + " is given twice";
      return false;
    }
    seen.insert(option);
    const auto flag = std::find(std::begin(kFlagOptions), std::end(kFlagOptions), option);
    if (flag != std::end(kFlagOptions)) {
      if (for_add && EditOnly(option)) {
        *error = option + " belongs to edit, not to add";
        return false;
      }
      o.has_private = o.has_private || option == "--private" || option == "--public";
      o.is_private = o.is_private || option == "--private";
      o.no_alarm = o.no_alarm || option == "--no-alarm";
      o.no_repeat = o.no_repeat || option == "--no-repeat";
      o.no_note = o.no_note || option == "--no-note";
      o.clear_exceptions = o.clear_exceptions || option == "--clear-exceptions";
      o.untimed = o.untimed || option == "--untimed";
      continue;
    }
    if (option.rfind("--", 0) != 0) {
      *error = "unexpected argument " + option;
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = option + " needs a value";
      return false;
    }
    if (!ParseValue(option, args[++i], &o, error)) return false;
  }
  if (Clash(seen, "--private", "--public", error) || Clash(seen, "--alarm", "--no-alarm", error) ||
      Clash(seen, "--note", "--no-note", error) || Clash(seen, "--repeat", "--no-repeat", error) ||
      Clash(seen, "--untimed", "--start", error) || Clash(seen, "--untimed", "--end", error)) {
    return false;
  }
  if (for_add) {
    if (!o.has_date || !o.has_description) {
      *error = std::string("add needs ") + (o.has_date ? "--description" : "--date");
      return false;
    }
    if (o.has_start != o.has_end) {
      *error = std::string(o.has_start ? "--start" : "--end") + " needs " +
               (o.has_start ? "--end" : "--start");
      return false;
    }
  }
  *options = o;
  return true;
}

bool ApplyEventOptions(const CEventOptions& o, const CCategoryBlock& categories,
                       CRawDateBkRecord* raw, DeviceRecord* record, std::string* error) {
  CRawDateBkRecord r = *raw;
  uint8_t attributes = static_cast<uint8_t>(record->attributes | kRecAttrDirty);
  uint8_t category = record->category;
  if (o.has_category) {
    const int32_t index = FindCategory(categories, o.category);
    if (index < 0) {
      *error =
          "--category: the handheld has no category " + o.category + " (see handheld categories)";
      return false;
    }
    category = static_cast<uint8_t>(index);
  }
  if (o.has_private) {
    attributes = static_cast<uint8_t>(o.is_private ? attributes | kRecAttrPrivate
                                                   : attributes & ~kRecAttrPrivate);
  }
  if (o.has_date) r.date = DateToWord(o.date);
  const CDate date = WordToDate(r.date);

  if (o.untimed) {
    r.start_hour = r.start_minute = r.end_hour = r.end_minute = kRawUntimed;
  } else if (o.has_start || o.has_end) {
    if (r.IsUntimed() && o.has_start != o.has_end) {
      *error = std::string(o.has_start ? "--start" : "--end") + ": the event is untimed; give " +
               (o.has_start ? "--end" : "--start") + " too";
      return false;
    }
    if (o.has_start) {
      r.start_hour = static_cast<uint8_t>(o.start_hour);
      r.start_minute = static_cast<uint8_t>(o.start_minute);
    }
    if (o.has_end) {
      r.end_hour = static_cast<uint8_t>(o.end_hour);
      r.end_minute = static_cast<uint8_t>(o.end_minute);
    }
    if (Minutes(r.end_hour, r.end_minute) < Minutes(r.start_hour, r.start_minute)) {
      *error = std::string(o.has_end ? "--end: " : "--start: ") + "the end " +
               FormatTime(r.end_hour, r.end_minute) + " lies before the start " +
               FormatTime(r.start_hour, r.start_minute);
      return false;
    }
  }

  if (o.has_description) {
    r.flags |= kRawFlagDescription;
    r.description = o.description;
  }
  if (o.has_note) {
    r.flags |= kRawFlagNote;
    r.note = o.note;
  } else if (o.no_note) {
    r.flags &= static_cast<uint8_t>(~kRawFlagNote);
    r.note.clear();
  }
  if (o.has_alarm) {
    r.flags |= kRawFlagAlarm;
    r.alarm_advance = o.alarm_advance;
    r.alarm_unit = o.alarm_unit;
  } else if (o.no_alarm) {
    r.flags &= static_cast<uint8_t>(~kRawFlagAlarm);
  }

  if (o.no_repeat) {
    r.flags &= static_cast<uint8_t>(~(kRawFlagRepeat | kRawFlagExceptions));
    r.exceptions.clear();
  }
  if (o.has_repeat) {
    const bool repeated = (r.flags & kRawFlagRepeat) != 0;
    if (!repeated) {
      r.repeat_end = kRawNoEndDate;
      r.interval = 1;
      r.first_day_of_week = 0;
    }
    // A new weekly rule repeats on the event's weekday unless --days says otherwise.
    if (!repeated || r.repeat_kind != kRawRepeatWeekly) {
      r.repeat_on = static_cast<uint8_t>(1 << WeekDay(date));
    }
    r.flags |= kRawFlagRepeat;
    r.repeat_kind = o.repeat_kind;
  }
  const bool repeats = (r.flags & kRawFlagRepeat) != 0;
  const char* needs_repeat = o.has_every             ? "--every"
                             : o.has_days            ? "--days"
                             : o.has_until           ? "--until"
                             : o.has_week_start      ? "--week-start"
                             : !o.exceptions.empty() ? "--except"
                                                     : nullptr;
  if (!repeats && needs_repeat != nullptr) {
    *error = std::string(needs_repeat) + ": the event does not repeat (give --repeat)";
    return false;
  }
  if (repeats) {
    if (o.has_every) r.interval = o.every;
    if (o.has_until) r.repeat_end = DateToWord(o.until);
    if (o.has_days) {
      if (r.repeat_kind != kRawRepeatWeekly) {
        *error = "--days: only a weekly repeat has days";
        return false;
      }
      r.repeat_on = o.days;
    }
    if (o.has_week_start) {
      if (r.repeat_kind == kRawRepeatDaily) {
        *error = "--week-start: a daily repeat has no first day of the week";
        return false;
      }
      r.first_day_of_week = o.week_start;
    }
    if (r.repeat_kind == kRawRepeatDaily) r.first_day_of_week = 0;
    if (r.repeat_kind == kRawRepeatMonthlyByDay) {
      // The week and weekday come from the date; days 29 to 31 lie in the last week.
      const int32_t week = std::min<int32_t>((date.day - 1) / kRawDaysPerWeek, kRawLastWeek);
      r.repeat_on = static_cast<uint8_t>(week * kRawDaysPerWeek + WeekDay(date));
    } else if (r.repeat_kind != kRawRepeatWeekly) {
      r.repeat_on = 0;
    }
    if (r.repeat_end != kRawNoEndDate && WordToDate(r.repeat_end) < date) {
      *error = std::string(o.has_until ? "--until: " : "--date: ") + "the repeat ends on " +
               FormatDateWord(r.repeat_end) + ", before the event's date " + FormatDateWord(r.date);
      return false;
    }
  }

  if (o.clear_exceptions) {
    r.exceptions.clear();
    r.flags &= static_cast<uint8_t>(~kRawFlagExceptions);
  }
  if (!o.exceptions.empty()) {
    std::set<uint16_t> days(r.exceptions.begin(), r.exceptions.end());
    for (const CDate& d : o.exceptions) days.insert(DateToWord(d));
    r.exceptions.assign(days.begin(), days.end());
    r.flags |= kRawFlagExceptions;
  }

  std::vector<uint8_t> data = EncodeRawDateBkRecord(r);
  if (data.size() > kRawMaxRecordSize) {
    *error = std::string(o.has_note          ? "--note: "
                         : o.has_description ? "--description: "
                                             : "") +
             "the record would take " + std::to_string(data.size()) + " bytes, more than the " +
             std::to_string(kRawMaxRecordSize) + " a handheld record holds";
    return false;
  }
  *raw = r;
  record->attributes = attributes;
  record->category = category;
  record->data = std::move(data);
  return true;
}
