// CDateBkRecord::CalcNextOccurrance: the occurrences of a Date Book event.
//
// Every step works on civil days (days since 1970), never on seconds, so that a day on which the
// clock changes is one day like any other; the occurrence's time is built at the end from its day
// and the event's start time of day in local time (MakeLocalTime: a repeated hour is its first
// instance, a skipped one moves on by the jump).
#include <algorithm>
#include <limits>
#include <vector>

#include "tablelib/local_time.h"
#include "tablelib/record.h"
#include "tablelib/repeat_codec.h"
#include "tablelib/table_errors.h"

namespace {

using tablelib::CCivilDate;
using tablelib::CivilFromDays;
using tablelib::DaysFromCivil;
using tablelib::DaysInMonth;
using tablelib::WeekdayOfDays;

constexpr int64_t kNoDay = std::numeric_limits<int64_t>::max();

int64_t CeilDiv(int64_t a, int64_t b) {
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}
int64_t FloorMod(int64_t a, int64_t b) {
  return ((a % b) + b) % b;
}

// A month counted from year 0: year * 12 + (month - 1).
int64_t MonthNumber(const CCivilDate& date) {
  return int64_t{date.year} * 12 + date.month - 1;
}

CCivilDate MonthStart(int64_t month_number) {
  CCivilDate date;
  date.year = static_cast<int32_t>(month_number / 12);
  date.month = static_cast<int32_t>(month_number % 12) + 1;
  date.day = 1;
  return date;
}

// The day of a month's week_index-th (0 to 3) or last (4) weekday.
int64_t NthWeekdayOfMonth(int64_t month_number, int32_t week_index, int32_t weekday) {
  CCivilDate date = MonthStart(month_number);
  const int64_t first = DaysFromCivil(date);
  if (week_index >= 4) {
    const int64_t last = first + DaysInMonth(date.year, date.month) - 1;
    return last - FloorMod(WeekdayOfDays(last) - weekday, 7);
  }
  return first + FloorMod(weekday - WeekdayOfDays(first), 7) + 7 * int64_t{week_index};
}

// Finds the first day in [from, last] on which the rule occurs and that is no exception day.
// start is the event's own start day; every candidate is at or after it because from is.
class COccurrenceFinder {
 public:
  COccurrenceFinder(const CRepeateDayInfo& rule, int64_t start, int64_t last,
                    const std::vector<int64_t>& exceptions)
      : rule_(rule),
        start_(start),
        last_(last),
        exceptions_(exceptions),
        interval_(std::max<int32_t>(rule.GetInterval(), 1)) {}

  int64_t Find(int64_t from) const {
    // Each candidate that is an exception day moves the search past it, so the loop ends after at
    // most one step per exception beyond the first candidate.
    for (int64_t day = from; day <= last_;) {
      const int64_t candidate = Candidate(day);
      if (candidate == kNoDay || candidate > last_) return kNoDay;
      if (!std::binary_search(exceptions_.begin(), exceptions_.end(), candidate)) {
        return candidate;
      }
      day = candidate + 1;
    }
    return kNoDay;
  }

 private:
  // The first day at or after day on which the rule occurs (exceptions not considered).
  int64_t Candidate(int64_t day) const {
    switch (rule_.GetMyBrand()) {
      case kRepeatDaily:
        return start_ + CeilDiv(day - start_, interval_) * interval_;
      case kRepeatWeekly:
        return Weekly(day);
      case kRepeatMonthlyByDay:
      case kRepeatMonthlyByDate:
        return Monthly(day);
      case kRepeatYearlyByDate:
        return Yearly(day);
      default:
        return kNoDay;
    }
  }

  int64_t Weekly(int64_t day) const {
    const CWeekly& rule = static_cast<const CWeekly&>(rule_);
    uint8_t bits = rule.GetWeekDays() & 0x7F;
    // A rule without days repeats on the start's weekday.
    if (bits == 0) bits = static_cast<uint8_t>(1u << WeekdayOfDays(start_));
    const int32_t first_day = rule.GetFirstDayOfWeek();
    const int64_t base_week = start_ - FloorMod(WeekdayOfDays(start_) - first_day, 7);
    while (day <= last_) {
      const int64_t week = day - FloorMod(WeekdayOfDays(day) - first_day, 7);
      const int64_t weeks = (week - base_week) / 7;
      if (weeks % interval_ != 0) {
        day = base_week + CeilDiv(weeks, interval_) * interval_ * 7;
        continue;
      }
      for (int64_t d = day; d < week + 7; ++d) {
        if (bits & (1u << WeekdayOfDays(d))) return d;
      }
      day = week + int64_t{interval_} * 7;
    }
    return kNoDay;
  }

  int64_t Monthly(int64_t day) const {
    const int64_t base = MonthNumber(CivilFromDays(start_));
    int64_t month = MonthNumber(CivilFromDays(day));
    month = base + CeilDiv(month - base, interval_) * interval_;
    for (;; month += interval_) {
      const CCivilDate first = MonthStart(month);
      if (DaysFromCivil(first) > last_) return kNoDay;
      int64_t candidate = kNoDay;
      if (rule_.GetMyBrand() == kRepeatMonthlyByDay) {
        const CDayOfMonth& rule = static_cast<const CDayOfMonth&>(rule_);
        candidate = NthWeekdayOfMonth(month, rule.GetWeekIndex(), rule.GetDayOfWeek());
      } else {
        const int32_t wanted = static_cast<const CDateOfMonth&>(rule_).GetDayOfMonth();
        // Months without that day are skipped.
        if (wanted <= DaysInMonth(first.year, first.month)) {
          candidate = DaysFromCivil(first) + wanted - 1;
        }
      }
      if (candidate != kNoDay && candidate >= day) return candidate;
    }
  }

  int64_t Yearly(int64_t day) const {
    const CDateOfYear& rule = static_cast<const CDateOfYear&>(rule_);
    const int32_t base = CivilFromDays(start_).year;
    int64_t year = CivilFromDays(day).year;
    year = base + CeilDiv(year - base, interval_) * interval_;
    for (;; year += interval_) {
      CCivilDate date;
      date.year = static_cast<int32_t>(year);
      date.month = rule.GetMonth() + 1;
      date.day = 1;
      if (DaysFromCivil(date) > last_) return kNoDay;
      // 29 February exists only in leap years.
      if (rule.GetDayOfMonth() > DaysInMonth(date.year, date.month)) continue;
      date.day = rule.GetDayOfMonth();
      const int64_t candidate = DaysFromCivil(date);
      if (candidate >= day) return candidate;
    }
  }

  const CRepeateDayInfo& rule_;
  const int64_t start_;
  const int64_t last_;
  const std::vector<int64_t>& exceptions_;
  const int32_t interval_;
};

// The last day any occurrence may have: the rule's end day, and never past the last day a signed
// 32-bit time value reaches, so that every search ends.
int64_t LastDay(const CRepeateDayInfo& rule) {
  int64_t horizon = 0;
  tablelib::LocalDayOf(std::numeric_limits<int32_t>::max(), &horizon);
  const int32_t end = rule.GetEndDate();
  int64_t end_day = 0;
  int64_t max_day = 0;
  if (end == -1 || !tablelib::LocalDayOf(end, &end_day)) return horizon;
  if (tablelib::LocalDayOf(maxDate(), &max_day) && end_day >= max_day) return horizon;
  return std::min(end_day, horizon);
}

}  // namespace

int32_t CDateBkRecord::CalcNextOccurrance(int32_t from, int32_t& next) const {
  int32_t start = 0;
  if (GetStartTime(start) != kTblOk) return kTblErrBadRecord;
  tablelib::CLocalTime start_local;
  int64_t from_day = 0;
  if (!tablelib::BreakDownLocalTime(start, &start_local) ||
      !tablelib::LocalDayOf(from, &from_day)) {
    return kTblErrBadArgument;
  }
  CCivilDate start_date;
  start_date.year = start_local.year;
  start_date.month = start_local.month;
  start_date.day = start_local.day;
  const int64_t start_day = DaysFromCivil(start_date);
  const int64_t first = std::max(from_day, start_day);

  int64_t day = kNoDay;
  const CRepeateDayInfo* rule = GetRepeateInfo();
  if (rule == nullptr) {
    if (start_day >= from_day) {
      next = start;
      return kTblOk;
    }
    return kTblErrNotFound;
  }
  if (!tablelib::IsValidRule(*rule)) return kTblErrBadArgument;
  std::vector<int64_t> exceptions;
  const CRepeatEventField* field = RepeatField();
  try {
    exceptions.reserve(field->GetExceptions().size());
    for (int32_t exception : field->GetExceptions()) {
      int64_t exception_day = 0;
      if (tablelib::LocalDayOf(exception, &exception_day)) exceptions.push_back(exception_day);
    }
  } catch (const std::bad_alloc&) {
    return kTblErrNoMemory;
  }
  std::sort(exceptions.begin(), exceptions.end());
  day = COccurrenceFinder(*rule, start_day, LastDay(*rule), exceptions).Find(first);
  if (day == kNoDay) return kTblErrNotFound;
  int32_t time = 0;
  const CCivilDate date = CivilFromDays(day);
  if (!tablelib::MakeLocalTime(date.year, date.month, date.day, start_local.hour,
                               start_local.minute, start_local.second, &time)) {
    return kTblErrNotFound;
  }
  next = time;
  return kTblOk;
}
