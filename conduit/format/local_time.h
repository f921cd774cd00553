// Local-time conversion for the exchange files and the record converter.
//
// Times are signed 32-bit seconds since 1970, broken down and built in the local time zone. This is
// the one place in format/ that calls the C library's local-time functions.
#ifndef DBC_CONDUIT_FORMAT_LOCAL_TIME_H_
#define DBC_CONDUIT_FORMAT_LOCAL_TIME_H_

#include <stdint.h>

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

// Breaks time down into local time. Answers false (and leaves *out as it was) when the C library
// cannot represent the time.
bool BreakDownLocalTime(int32_t time, CLocalTime* out);

// Builds a time from local date and time parts. Daylight saving is decided by the system and
// out-of-range parts (day 0, hour 255, month 13) are normalised the way mktime does. A result
// outside the signed 32-bit range is clamped to that range.
int32_t MakeLocalTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second);

#endif  // DBC_CONDUIT_FORMAT_LOCAL_TIME_H_
