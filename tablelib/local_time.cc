#include "tablelib/local_time.h"

#include <ctime>
#include <limits>

#include "tablelib/system.h"

namespace tablelib {

namespace {

constexpr int64_t kMinTime = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxTime = std::numeric_limits<int32_t>::max();

// The local wall-clock reading of an instant, as seconds since 1970-01-01 00:00 of that clock.
bool WallClockOf(int64_t instant, int64_t* wall) {
  std::tm t{};
  if (!SystemLocalTime(instant, &t)) return false;
  CCivilDate date;
  date.year = t.tm_year + 1900;
  date.month = t.tm_mon + 1;
  date.day = t.tm_mday;
  *wall = DaysFromCivil(date) * kSecondsPerDay + t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec;
  return true;
}

// The zone's offset from UTC at an instant.
bool OffsetAt(int64_t instant, int64_t* offset) {
  int64_t wall = 0;
  if (!WallClockOf(instant, &wall)) return false;
  *offset = wall - instant;
  return true;
}

// The instant whose local reading is `wall`. Zone offsets differ by less than a day and clock
// changes lie more than two days apart, so the offsets two days either side of the reading are
// the only ones that can apply to it.
bool InstantOfWallClock(int64_t wall, int64_t* instant) {
  int64_t before = 0;
  int64_t after = 0;
  if (!OffsetAt(wall - 2 * kSecondsPerDay, &before) ||
      !OffsetAt(wall + 2 * kSecondsPerDay, &after)) {
    return false;
  }
  const int64_t candidates[2] = {wall - before, wall - after};
  bool found = false;
  for (int64_t candidate : candidates) {
    int64_t offset = 0;
    if (!OffsetAt(candidate, &offset) || candidate + offset != wall) continue;
    // A reading that exists twice is the earlier instant.
    if (!found || candidate < *instant) *instant = candidate;
    found = true;
  }
  // A reading in the gap of a clock going forward: read it with the offset before the jump,
  // which lands as far after the jump as the reading lies after its start.
  if (!found) *instant = wall - before;
  return true;
}

}  // namespace

bool BreakDownLocalTime(int32_t time, CLocalTime* out) {
  std::tm t{};
  if (!SystemLocalTime(time, &t)) return false;
  out->year = t.tm_year + 1900;
  out->month = t.tm_mon + 1;
  out->day = t.tm_mday;
  out->hour = t.tm_hour;
  out->minute = t.tm_min;
  out->second = t.tm_sec;
  out->week_day = t.tm_wday;
  return true;
}

bool MakeLocalTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                   int32_t second, int32_t* out) {
  // Normalise the month into its year, then count everything else in seconds of the wall clock.
  int64_t months = static_cast<int64_t>(month) - 1;
  int64_t whole_year =
      static_cast<int64_t>(year) + (months >= 0 ? months / 12 : -((11 - months) / 12));
  months -= (whole_year - year) * 12;
  // Years that far out cannot give a 32-bit time; keeping them small keeps the arithmetic exact.
  if (whole_year < 1000 || whole_year > 3000) {
    *out = static_cast<int32_t>(whole_year < 1970 ? kMinTime : kMaxTime);
    return false;
  }
  CCivilDate first;
  first.year = static_cast<int32_t>(whole_year);
  first.month = static_cast<int32_t>(months + 1);
  first.day = 1;
  const int64_t wall = (DaysFromCivil(first) + day - 1) * kSecondsPerDay +
                       static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 +
                       second;
  int64_t instant = 0;
  if (!InstantOfWallClock(wall, &instant)) {
    *out = static_cast<int32_t>(wall < 0 ? kMinTime : kMaxTime);
    return false;
  }
  if (instant < kMinTime || instant > kMaxTime) {
    *out = static_cast<int32_t>(instant < kMinTime ? kMinTime : kMaxTime);
    return false;
  }
  *out = static_cast<int32_t>(instant);
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
  CLocalTime local;
  if (!BreakDownLocalTime(time, &local)) return false;
  CCivilDate date;
  date.year = local.year;
  date.month = local.month;
  date.day = local.day;
  *day = DaysFromCivil(date);
  return true;
}

bool StartOfLocalDay(int32_t time, int32_t* out) {
  int64_t day = 0;
  if (!LocalDayOf(time, &day)) return false;
  const CCivilDate date = CivilFromDays(day);
  return MakeLocalTime(date.year, date.month, date.day, 0, 0, 0, out);
}

}  // namespace tablelib
