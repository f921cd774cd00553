#include "host/handheld/calendar.h"

#include <cstdio>

#include "sdk/date_book_record.h"

namespace {

const char* const kWeekDayNames[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

// The digits of text[at, at + count) as a number; false when one of them is not a digit.
bool Digits(const std::string& text, size_t at, size_t count, int32_t* value) {
  *value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    *value = *value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

bool IsLeapYear(int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t DaysInMonth(int32_t year, int32_t month) {
  static const int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

int32_t WeekDay(const CDate& date) {
  // Days since 1 March of year 0, from which 1 January 1970 (a Thursday) is a known distance.
  int32_t y = date.year - (date.month <= 2 ? 1 : 0);
  const int32_t era = (y >= 0 ? y : y - 399) / 400;
  const int32_t year_of_era = y - era * 400;
  const int32_t month = date.month + (date.month > 2 ? -3 : 9);
  const int32_t day_of_year = (153 * month + 2) / 5 + date.day - 1;
  const int32_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  const int64_t days = static_cast<int64_t>(era) * 146097 + day_of_era - 719468;
  return static_cast<int32_t>(((days % 7) + 7 + 4) % 7);
}

bool operator<(const CDate& a, const CDate& b) {
  if (a.year != b.year) return a.year < b.year;
  if (a.month != b.month) return a.month < b.month;
  return a.day < b.day;
}

bool ParseDate(const std::string& text, CDate* date) {
  CDate d;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, &d.year) ||
      !Digits(text, 5, 2, &d.month) || !Digits(text, 8, 2, &d.day)) {
    return false;
  }
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month)) {
    return false;
  }
  *date = d;
  return true;
}

bool ParseTime(const std::string& text, int32_t* hour, int32_t* minute) {
  int32_t h = 0;
  int32_t m = 0;
  if (text.size() != 5 || text[2] != ':' || !Digits(text, 0, 2, &h) || !Digits(text, 3, 2, &m) ||
      h > 23 || m > 59) {
    return false;
  }
  *hour = h;
  *minute = m;
  return true;
}

uint16_t DateToWord(const CDate& date) {
  return MakeDateWord(date.year, date.month, date.day);
}

CDate WordToDate(uint16_t word) {
  CDate date;
  date.year = DateWordYear(word);
  date.month = DateWordMonth(word);
  date.day = DateWordDay(word);
  return date;
}

std::string FormatDateWord(uint16_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", static_cast<int>(DateWordYear(word)),
                static_cast<int>(DateWordMonth(word)), static_cast<int>(DateWordDay(word)));
  return text;
}

std::string FormatTime(int32_t hour, int32_t minute) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(hour), static_cast<int>(minute));
  return text;
}

const char* WeekDayName(int32_t day) {
  return day >= 0 && day < 7 ? kWeekDayNames[day] : "";
}

bool ParseWeekDayName(const std::string& name, int32_t* day) {
  for (int32_t i = 0; i < 7; ++i) {
    if (name == kWeekDayNames[i]) {
      *day = i;
      return true;
    }
  }
  return false;
}
