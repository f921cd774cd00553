#include "conduit/format/local_time.h"

#include <time.h>

#include <limits>

bool BreakDownLocalTime(int32_t time, CLocalTime* out) {
  const time_t value = static_cast<time_t>(time);
  struct tm parts {};
  if (localtime_r(&value, &parts) == nullptr) return false;
  out->year = parts.tm_year + 1900;
  out->month = parts.tm_mon + 1;
  out->day = parts.tm_mday;
  out->hour = parts.tm_hour;
  out->minute = parts.tm_min;
  out->second = parts.tm_sec;
  out->week_day = parts.tm_wday;
  return true;
}

int32_t MakeLocalTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second) {
  struct tm parts {};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  const int64_t value = static_cast<int64_t>(mktime(&parts));
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}
