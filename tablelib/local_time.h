// Local-time and civil-date helpers of the table library. Times are signed 32-bit seconds since
// 1970; days are counted from 1 January 1970 in the proleptic Gregorian calendar, so that day
// arithmetic never passes through a clock change.
#ifndef DBC_TABLELIB_LOCAL_TIME_H_
#define DBC_TABLELIB_LOCAL_TIME_H_

#include <stdint.h>

#include <ctime>

namespace tablelib {

struct CCivilDate {
  int32_t year = 1970;
  int32_t month = 1;  // 1 to 12
  int32_t day = 1;    // 1 to 31
};

// Breaks a time value down in local time; false when the platform cannot.
bool BreakDownLocal(int32_t time, std::tm* out);
// Builds a local time from its parts, letting the platform decide daylight saving; false when the
// result does not fit a signed 32-bit time value.
bool BuildLocal(const CCivilDate& date, int32_t hour, int32_t minute, int32_t second, int32_t* out);

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
