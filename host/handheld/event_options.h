// The options of `handheld add` and `handheld edit`, and how they change a raw Date Book record as
// the handheld's own application would.
#ifndef DBC_HOST_HANDHELD_EVENT_OPTIONS_H_
#define DBC_HOST_HANDHELD_EVENT_OPTIONS_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "host/device/device_control.h"
#include "host/handheld/calendar.h"
#include "sdk/category_block.h"
#include "sdk/date_book_record.h"

// What the command line asked for; a has_* or no_* member says whether an option was given.
struct CEventOptions {
  bool has_date = false;
  CDate date;
  bool has_start = false;
  int32_t start_hour = 0;
  int32_t start_minute = 0;
  bool has_end = false;
  int32_t end_hour = 0;
  int32_t end_minute = 0;
  bool untimed = false;  // edit: --untimed
  bool has_description = false;
  std::string description;
  bool has_note = false;
  std::string note;
  bool no_note = false;
  bool has_alarm = false;
  uint8_t alarm_advance = 0;
  uint8_t alarm_unit = 0;
  bool no_alarm = false;
  bool has_repeat = false;
  int8_t repeat_kind = 0;
  bool no_repeat = false;
  bool has_every = false;
  uint8_t every = 1;
  bool has_days = false;
  uint8_t days = 0;
  bool has_until = false;
  CDate until;
  bool has_week_start = false;
  uint8_t week_start = 0;
  std::vector<CDate> exceptions;
  bool clear_exceptions = false;
  bool has_private = false;
  bool is_private = false;
  bool has_category = false;
  std::string category;
};

// The repeat kinds as the command line names them: "daily", "weekly", "monthly-by-day",
// "monthly-by-date", "yearly"; "" for other kinds.
const char* RepeatKindName(int8_t kind);

// Parses the options of add (`for_add`) or edit. False with *error a one-line message naming the
// option when an option is unknown, lacks its value, is given twice where it may not be, clashes
// with another, or has a value that cannot be (a date or time that does not exist, a year before
// 1904 or after 2031, an interval of 0 or above 255, an alarm above 255, a text holding a NUL or a
// carriage return); add also needs --date and --description.
bool ParseEventOptions(const std::vector<std::string>& args, bool for_add, CEventOptions* options,
                       std::string* error);

// Applies options to `record` (whose attributes and category are set as well, the record marked
// dirty) and to its raw record `raw`, which holds the record's present content (a default
// CRawDateBkRecord for add). False with *error naming the option, nothing changed that matters to
// the caller, when the result cannot be: an unknown category, an end before the start, a start or
// end without the other on an untimed event, repeat options on an event that does not repeat,
// --days on a rule that is not weekly, --week-start on a daily rule, a repeat end before the
// event's date, a text too long for the record.
bool ApplyEventOptions(const CEventOptions& options, const CCategoryBlock& categories,
                       CRawDateBkRecord* raw, DeviceRecord* record, std::string* error);

#endif  // DBC_HOST_HANDHELD_EVENT_OPTIONS_H_
