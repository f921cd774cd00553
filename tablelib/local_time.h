// Local time and civil dates, for the table library and the conduit alike. Times are signed 32-bit
// seconds since 1970, broken down and built in the local time zone; days are counted from
// 1 January 1970 in the proleptic Gregorian calendar, so that day arithmetic never passes through
// a clock change.
//
// Building a local time is deterministic: a time of day that exists twice (the clocks go back) is
// the first of the two instants, and one that does not exist (the clocks go forward) moves on by
// the length of the jump (02:30 in a one-hour gap at 02:00 is 03:30).
#ifndef DBC_TABLELIB_LOCAL_TIME_H_
#define DBC_TABLELIB_LOCAL_TIME_H_

#include <stdint.h>

namespace tablelib {

constexpr int32_t kSecondsPerDay = 86400;

struct CCivilDate {
  int32_t year = 1970;
  int32_t month = 1;  // 1 to 12
  int32_t day = 1;    // 1 to 31
};

// A time broken down into local time.
struct CLocalTime {
  int32_t year = 1970;  // e.g. 1999
  int32_t month = 1;    // 1 January ... 12 December
  int32_t day = 1;      // 1 ... 31
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t week_day = 4;  // 0 Sunday ... 6 Saturday
};

// Breaks time down into local time. Answers false, leaving *out as it was, when the system cannot.
bool BreakDownLocalTime(int32_t time, CLocalTime* out);

// Builds a time from local date and time parts. Out-of-range parts (day 0, hour 25, month 13) are
// normalised the way mktime does. Answers true with the time in *out; false when the result does
// not fit a signed 32-bit time value (or the system cannot convert it), with *out set to the
// nearest end of that range, so that callers that must refuse check the answer and callers that
// may clamp use *out.
bool MakeLocalTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                   int32_t second, int32_t* out);

int64_t DaysFromCivil(const CCivilDate& date);
CCivilDate CivilFromDays(int64_t days);
// 0 Sunday ... 6 Saturday.
int32_t WeekdayOfDays(int64_t days);
bool IsLeapYear(int32_t year);
int32_t DaysInMonth(int32_t year, int32_t month);

// The local day (days since 1970) of a time value; false when it cannot be broken down.
bool LocalDayOf(int32_t time, int64_t* day);
// 00:00 local time of a time value's day (the first valid time of the day when the clock jumps at
// midnight).
bool StartOfLocalDay(int32_t time, int32_t* out);

}  // namespace tablelib

#endif  // DBC_TABLELIB_LOCAL_TIME_H_
