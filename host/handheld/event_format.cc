#include "host/handheld/event_format.h"

#include <cstdio>

#include "host/handheld/calendar.h"
#include "host/handheld/date_book.h"
#include "host/handheld/event_options.h"
#include "host/support/json_text.h"
#include "sdk/date_book_record.h"

namespace {

const char* const kAlarmUnits[] = {"minutes", "hours", "days"};

bool Parse(const DeviceRecord& record, CRawDateBkRecord* raw) {
  return ParseRawDateBkRecord(record.data.data(), record.data.size(), raw);
}

bool Has(uint8_t attributes, uint8_t bit) {
  return (attributes & bit) != 0;
}

const char* Bool(bool value) {
  return value ? "true" : "false";
}

// A text on one line: line feeds as \n, backslashes doubled.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

std::string RepeatJson(const CRawDateBkRecord& raw) {
  const char* kind = RepeatKindName(raw.repeat_kind);
  std::string out = "{\"kind\":";
  out += *kind != '\0' ? JsonQuote(kind) : std::to_string(raw.repeat_kind);
  out += ",\"every\":" + std::to_string(raw.interval) + ",\"until\":";
  out += raw.repeat_end == kRawNoEndDate ? "null" : JsonQuote(FormatDateWord(raw.repeat_end));
  if (raw.repeat_kind == kRawRepeatWeekly) {
    out += ",\"days\":[";
    bool first = true;
    for (int32_t day = 0; day < 7; ++day) {
      if (!(raw.repeat_on & (1 << day))) continue;
      out += std::string(first ? "" : ",") + "\"" + WeekDayName(day) + "\"";
      first = false;
    }
    out += "]";
  }
  if (raw.repeat_kind == kRawRepeatMonthlyByDay) {
    const int32_t week = raw.repeat_on / kRawDaysPerWeek;
    out += ",\"week\":" + std::to_string(week < kRawLastWeek ? week + 1 : kRawLastWeek + 1);
    out += ",\"weekday\":" + JsonQuote(WeekDayName(raw.repeat_on % kRawDaysPerWeek));
  }
  out += ",\"week_start\":";
  const char* week_start = WeekDayName(raw.first_day_of_week);
  out += *week_start != '\0' ? JsonQuote(week_start) : std::to_string(raw.first_day_of_week);
  return out + "}";
}

}  // namespace

std::string FormatEventLine(const DeviceRecord& record) {
  std::string out = std::to_string(record.id) + "  ";
  out += Has(record.attributes, kRecAttrDirty) ? 'D' : '-';
  out += Has(record.attributes, kRecAttrDeleted) ? 'X' : '-';
  out += Has(record.attributes, kRecAttrArchived) ? 'A' : '-';
  const bool is_private = Has(record.attributes, kRecAttrPrivate);
  if (Has(record.attributes, kRecAttrDeleted) && !Has(record.attributes, kRecAttrArchived)) {
    return out + "  (deleted)";
  }
  CRawDateBkRecord raw;
  if (!Parse(record, &raw)) {
    return out + "  (malformed record, " + std::to_string(record.data.size()) + " bytes)";
  }
  out += "  " + FormatDateWord(raw.date) + "  ";
  out += raw.IsUntimed() ? "untimed"
                         : FormatTime(raw.start_hour, raw.start_minute) + "-" +
                               FormatTime(raw.end_hour, raw.end_minute);
  out += "  " + OneLine(raw.description);
  std::string marks;
  if (raw.flags & kRawFlagRepeat) marks += " repeat";
  if (raw.flags & kRawFlagAlarm) marks += " alarm";
  if (raw.flags & kRawFlagNote) marks += " note";
  if (is_private) marks += " private";
  if (!marks.empty()) out += "  [" + marks.substr(1) + "]";
  return out;
}

std::string FormatEventJson(const DeviceRecord& record, const CCategoryBlock& categories) {
  const std::string name = CategoryName(categories, record.category);
  std::string out = "{\"id\":" + std::to_string(record.id);
  out += std::string(",\"dirty\":") + Bool(Has(record.attributes, kRecAttrDirty));
  out += std::string(",\"deleted\":") + Bool(Has(record.attributes, kRecAttrDeleted));
  out += std::string(",\"archived\":") + Bool(Has(record.attributes, kRecAttrArchived));
  out += std::string(",\"private\":") + Bool(Has(record.attributes, kRecAttrPrivate));
  out += ",\"category\":" + (name.empty() ? std::string("null") : JsonQuote(name));
  if (Has(record.attributes, kRecAttrDeleted) && !Has(record.attributes, kRecAttrArchived)) {
    return out + "}";
  }
  out += ",\"category_index\":" + std::to_string(record.category);
  CRawDateBkRecord raw;
  if (!Parse(record, &raw)) return out + ",\"malformed\":true}";
  out += ",\"date\":" + JsonQuote(FormatDateWord(raw.date));
  if (raw.IsUntimed()) {
    out += ",\"start\":null,\"end\":null";
  } else {
    out += ",\"start\":" + JsonQuote(FormatTime(raw.start_hour, raw.start_minute));
    out += ",\"end\":" + JsonQuote(FormatTime(raw.end_hour, raw.end_minute));
  }
  out += ",\"alarm\":";
  if (raw.flags & kRawFlagAlarm) {
    out += "{\"advance\":" + std::to_string(raw.alarm_advance) + ",\"unit\":";
    out += raw.alarm_unit <= kRawAlarmDays ? JsonQuote(kAlarmUnits[raw.alarm_unit])
                                           : std::to_string(raw.alarm_unit);
    out += "}";
  } else {
    out += "null";
  }
  out += ",\"repeat\":" + ((raw.flags & kRawFlagRepeat) ? RepeatJson(raw) : std::string("null"));
  out += ",\"exceptions\":[";
  for (size_t i = 0; i < raw.exceptions.size(); ++i) {
    out += (i == 0 ? "" : ",") + JsonQuote(FormatDateWord(raw.exceptions[i]));
  }
  out += "],\"description\":" + JsonQuote(raw.description);
  out += ",\"note\":" + ((raw.flags & kRawFlagNote) ? JsonQuote(raw.note) : std::string("null"));
  return out + "}";
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

bool FromHex(const std::string& text, std::vector<uint8_t>* bytes) {
  if (text.size() % 2 != 0) return false;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<uint8_t> out;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  *bytes = std::move(out);
  return true;
}
