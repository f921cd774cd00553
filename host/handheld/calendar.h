// Dates and times as a person types them and as the handheld keeps them: civil dates without a
// time zone (the handheld's date word holds the day, not an instant).
#ifndef DBC_HOST_HANDHELD_CALENDAR_H_
#define DBC_HOST_HANDHELD_CALENDAR_H_

#include <stdint.h>

#include <string>

struct CDate {
  int32_t year = 0;
  int32_t month = 0;  // 1 to 12
  int32_t day = 0;    // 1 to 31
};

bool IsLeapYear(int32_t year);
int32_t DaysInMonth(int32_t year, int32_t month);
// 0 Sunday ... 6 Saturday.
int32_t WeekDay(const CDate& date);
bool operator<(const CDate& a, const CDate& b);

// "YYYY-MM-DD" of a date that exists; false for anything else (2025-02-29, 2025-1-5, 2025-13-01).
bool ParseDate(const std::string& text, CDate* date);
// "HH:MM" with HH 00 to 23 and MM 00 to 59; false for anything else (24:00, 10:60, 9:30).
bool ParseTime(const std::string& text, int32_t* hour, int32_t* minute);

// The date word of a date and back. The date must lie in 1904 to 2031.
uint16_t DateToWord(const CDate& date);
CDate WordToDate(uint16_t word);
// "YYYY-MM-DD" of any date word, also of one whose month or day is out of range (shown as it is).
std::string FormatDateWord(uint16_t word);
std::string FormatTime(int32_t hour, int32_t minute);

// "sun" ... "sat" for 0 to 6, "" otherwise; and back (false for anything else).
const char* WeekDayName(int32_t day);
bool ParseWeekDayName(const std::string& name, int32_t* day);

#endif  // DBC_HOST_HANDHELD_CALENDAR_H_
