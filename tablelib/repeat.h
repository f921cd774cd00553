// Repeat rules of Date Book events and their exceptions.
//
// Times are signed 32-bit seconds since 1970, broken down and built in local time. A rule's end
// date is the time value of a day (any time of that day); the end day is inclusive. An end date of
// -1, or one on the day of maxDate() or later, means the rule has no end.
//
// Occurrences (CDateBkRecord::CalcNextOccurrance) fall on days; each occurrence is that day plus
// the event's start time of day, in local time, so an occurrence at 09:00 stays at 09:00 on a day
// on which the clock changes (a time that the clock skips moves on by the length of the jump, one
// that the clock shows twice is the first of the two). Days are counted on the civil calendar,
// never in seconds. No occurrence falls before the event's start day or on an exception day. The
// kinds (intervals are at least 1):
//   1 daily        every interval days from the start day.
//   2 weekly       on the days of the week_days bits (bit 0 Sunday ... bit 6 Saturday), every
//                  interval weeks; weeks are counted from the week that holds the start day, and a
//                  week begins on first_day_of_week (0 Sunday, 1 Monday; any weekday 0 to 6 is
//                  accepted). This is iCalendar's FREQ=WEEKLY with INTERVAL, BYDAY and WKST. A rule
//                  without day bits repeats on the start day's weekday.
//   3 monthly/day  the week_index-th (0 to 3: first to fourth; 4: last) day_of_week of the month,
//                  every interval months from the start month.
//   4 monthly/date day_of_month of every interval-th month from the start month; months without
//                  that day are skipped.
//   5 yearly/date  month (0 January ... 11 December) and day_of_month every interval years from
//                  the start year; 29 February only in leap years.
// Record setters refuse rules whose values are out of range (kTblErrBadArgument).
#ifndef DBC_TABLELIB_REPEAT_H_
#define DBC_TABLELIB_REPEAT_H_

#include <stdint.h>

#include <memory>

// Repeat kinds, as GetMyBrand answers them.
enum : int32_t {
  kRepeatNone = 0,
  kRepeatDaily = 1,
  kRepeatWeekly = 2,
  kRepeatMonthlyByDay = 3,
  kRepeatMonthlyByDate = 4,
  kRepeatYearlyByDate = 5,
};

// The last moment the handheld's 16-bit date word can carry: 31 December 2031, 23:59:59 local
// time.
int32_t maxDate();

// The common part of every repeat rule.
class CRepeateDayInfo {
 public:
  virtual ~CRepeateDayInfo() = default;
  virtual int32_t GetMyBrand() const = 0;
  virtual std::unique_ptr<CRepeateDayInfo> Clone() const = 0;
  // True when both rules are of the same kind with the same values.
  virtual bool SameAs(const CRepeateDayInfo& other) const;

  int32_t GetEndDate() const { return end_date_; }
  int32_t GetInterval() const { return interval_; }
  int32_t GetFirstDayOfWeek() const { return first_day_of_week_; }

 protected:
  CRepeateDayInfo(int32_t interval, int32_t end_date, int32_t first_day_of_week)
      : interval_(interval), end_date_(end_date), first_day_of_week_(first_day_of_week) {}

  int32_t interval_;
  int32_t end_date_;
  int32_t first_day_of_week_;
};

// Daily. day_index is kept but plays no part in the occurrences.
class CDayName : public CRepeateDayInfo {
 public:
  CDayName(int32_t day_index, int32_t interval, int32_t end_date, int32_t first_day_of_week)
      : CRepeateDayInfo(interval, end_date, first_day_of_week), day_index_(day_index) {}
  int32_t GetMyBrand() const override { return kRepeatDaily; }
  std::unique_ptr<CRepeateDayInfo> Clone() const override;
  bool SameAs(const CRepeateDayInfo& other) const override;
  int32_t GetDayIndex() const { return day_index_; }

 private:
  int32_t day_index_;
};

class CWeekly : public CRepeateDayInfo {
 public:
  CWeekly(uint8_t week_days, int32_t interval, int32_t end_date, int32_t first_day_of_week)
      : CRepeateDayInfo(interval, end_date, first_day_of_week), week_days_(week_days) {}
  int32_t GetMyBrand() const override { return kRepeatWeekly; }
  std::unique_ptr<CRepeateDayInfo> Clone() const override;
  bool SameAs(const CRepeateDayInfo& other) const override;
  // Bit 0 Sunday ... bit 6 Saturday.
  uint8_t GetWeekDays() const { return week_days_; }

 private:
  uint8_t week_days_;
};

class CDayOfMonth : public CRepeateDayInfo {
 public:
  CDayOfMonth(int32_t week_index, int32_t day_of_week, int32_t interval, int32_t end_date,
              int32_t first_day_of_week)
      : CRepeateDayInfo(interval, end_date, first_day_of_week),
        week_index_(week_index),
        day_of_week_(day_of_week) {}
  int32_t GetMyBrand() const override { return kRepeatMonthlyByDay; }
  std::unique_ptr<CRepeateDayInfo> Clone() const override;
  bool SameAs(const CRepeateDayInfo& other) const override;
  int32_t GetWeekIndex() const { return week_index_; }   // 0 to 3, 4 the last
  int32_t GetDayOfWeek() const { return day_of_week_; }  // 0 Sunday ... 6 Saturday
  // week_index * 7 + day_of_week.
  int32_t CalcDayMultiple() const { return week_index_ * 7 + day_of_week_; }

 private:
  int32_t week_index_;
  int32_t day_of_week_;
};

class CDateOfMonth : public CRepeateDayInfo {
 public:
  CDateOfMonth(int32_t day_of_month, int32_t interval, int32_t end_date, int32_t first_day_of_week)
      : CRepeateDayInfo(interval, end_date, first_day_of_week), day_of_month_(day_of_month) {}
  int32_t GetMyBrand() const override { return kRepeatMonthlyByDate; }
  std::unique_ptr<CRepeateDayInfo> Clone() const override;
  bool SameAs(const CRepeateDayInfo& other) const override;
  int32_t GetDayOfMonth() const { return day_of_month_; }

 private:
  int32_t day_of_month_;
};

class CDateOfYear : public CRepeateDayInfo {
 public:
  CDateOfYear(int32_t month, int32_t day_of_month, int32_t interval, int32_t end_date,
              int32_t first_day_of_week)
      : CRepeateDayInfo(interval, end_date, first_day_of_week),
        month_(month),
        day_of_month_(day_of_month) {}
  int32_t GetMyBrand() const override { return kRepeatYearlyByDate; }
  std::unique_ptr<CRepeateDayInfo> Clone() const override;
  bool SameAs(const CRepeateDayInfo& other) const override;
  int32_t GetMonth() const { return month_; }  // 0 January ... 11 December
  int32_t GetDayOfMonth() const { return day_of_month_; }

 private:
  int32_t month_;
  int32_t day_of_month_;
};

// A day on which a repeating event does not occur. The date is the time value of that day at
// 00:00 local time.
class CDateException {
 public:
  CDateException() = default;
  explicit CDateException(int32_t date) : date_(date) {}
  int32_t GetDate() const { return date_; }
  void SetDate(int32_t date) { date_ = date; }

 private:
  int32_t date_ = 0;
};

#endif  // DBC_TABLELIB_REPEAT_H_
