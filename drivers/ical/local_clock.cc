#include "drivers/ical/local_clock.h"

#include <cstdio>
#include <cstdlib>

namespace ical_driver {

CLocalDate BreakDownLocal(time_t time) {
  struct tm parts {};
  localtime_r(&time, &parts);
  CLocalDate out;
  out.year = parts.tm_year + 1900;
  out.month = parts.tm_mon + 1;
  out.day = parts.tm_mday;
  out.minute_of_day = parts.tm_hour * 60 + parts.tm_min;
  return out;
}

time_t MakeLocal(int year, int month, int day, int minute_of_day) {
  struct tm parts {};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = minute_of_day / 60;
  parts.tm_min = minute_of_day % 60;
  parts.tm_isdst = -1;
  return mktime(&parts);
}

time_t StartOfDayAfter(time_t day_start, int days) {
  const CLocalDate day = BreakDownLocal(day_start);
  return MakeLocal(day.year, day.month, day.day + days, 0);
}

time_t StartOfToday() {
  const char* today = std::getenv("DATEBOOK_DRIVER_TODAY");
  int year = 0, month = 0, day = 0;
  if (today != nullptr && std::sscanf(today, "%4d%2d%2d", &year, &month, &day) == 3) {
    return MakeLocal(year, month, day, 0);
  }
  const CLocalDate now = BreakDownLocal(time(nullptr));
  return MakeLocal(now.year, now.month, now.day, 0);
}

}  // namespace ical_driver
