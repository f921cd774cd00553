#include "tablelib/local_time.h"

#include <limits>

namespace tablelib {

bool BreakDownLocal(int32_t time, std::tm* out) {
  const std::time_t value = static_cast<std::time_t>(time);
#if defined(_WIN32)
  return localtime_s(out, &value) == 0;
#else
  return localtime_r(&value, out) != nullptr;
#endif
}

bool BuildLocal(const CCivilDate& date, int32_t hour, int32_t minute, int32_t second,
                int32_t* out) {
  std::tm t{};
  t.tm_year = date.year - 1900;
  t.tm_mon = date.month - 1;
  t.tm_mday = date.day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  t.tm_wday = -1;  // mktime sets it on success; -1 is also a valid time value
  const std::time_t value = std::mktime(&t);
  if (t.tm_wday < 0) return false;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *out = static_cast<int32_t>(value);
  return true;
}

// Days from 1970-01-01 to a civil date, after Howard Hinnant's days_from_civil.
int64_t DaysFromCivil(const CCivilDate& date) {
  const int64_t y = static_cast<int64_t>(date.year) - (date.month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (date.month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + date.day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CCivilDate CivilFromDays(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CCivilDate date;
  date.day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  date.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  date.year = static_cast<int32_t>(yoe + era * 400 + (date.month <= 2 ? 1 : 0));
  return date;
}

int32_t WeekdayOfDays(int64_t days) {
  // 1 January 1970 was a Thursday.
  const int64_t weekday = (days + 4) % 7;
  return static_cast<int32_t>(weekday < 0 ? weekday + 7 : weekday);
}

bool IsLeapYear(int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t DaysInMonth(int32_t year, int32_t month) {
  static const int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

bool LocalDayOf(int32_t time, int64_t* day) {
  std::tm t{};
  if (!BreakDownLocal(time, &t)) return false;
  CCivilDate date;
  date.year = t.tm_year + 1900;
  date.month = t.tm_mon + 1;
  date.day = t.tm_mday;
  *day = DaysFromCivil(date);
  return true;
}

bool StartOfLocalDay(int32_t time, int32_t* out) {
  int64_t day = 0;
  if (!LocalDayOf(time, &day)) return false;
  return BuildLocal(CivilFromDays(day), 0, 0, 0, out);
}

}  // namespace tablelib
