#include "tablelib/repeat.h"

#include <new>

#include "tablelib/local_time.h"

int32_t maxDate() {
  int32_t time = 0;
  tablelib::MakeLocalTime(2031, 12, 31, 23, 59, 59, &time);
  return time;
}

bool CRepeateDayInfo::SameAs(const CRepeateDayInfo& other) const {
  return GetMyBrand() == other.GetMyBrand() && interval_ == other.interval_ &&
         end_date_ == other.end_date_ && first_day_of_week_ == other.first_day_of_week_;
}

namespace {

template <class R>
std::unique_ptr<CRepeateDayInfo> CloneRule(const R& rule) {
  return std::unique_ptr<CRepeateDayInfo>(new (std::nothrow) R(rule));
}

}  // namespace

std::unique_ptr<CRepeateDayInfo> CDayName::Clone() const {
  return CloneRule(*this);
}

bool CDayName::SameAs(const CRepeateDayInfo& other) const {
  return CRepeateDayInfo::SameAs(other) &&
         day_index_ == static_cast<const CDayName&>(other).day_index_;
}

std::unique_ptr<CRepeateDayInfo> CWeekly::Clone() const {
  return CloneRule(*this);
}

bool CWeekly::SameAs(const CRepeateDayInfo& other) const {
  return CRepeateDayInfo::SameAs(other) &&
         week_days_ == static_cast<const CWeekly&>(other).week_days_;
}

std::unique_ptr<CRepeateDayInfo> CDayOfMonth::Clone() const {
  return CloneRule(*this);
}

bool CDayOfMonth::SameAs(const CRepeateDayInfo& other) const {
  if (!CRepeateDayInfo::SameAs(other)) return false;
  const CDayOfMonth& theirs = static_cast<const CDayOfMonth&>(other);
  return week_index_ == theirs.week_index_ && day_of_week_ == theirs.day_of_week_;
}

std::unique_ptr<CRepeateDayInfo> CDateOfMonth::Clone() const {
  return CloneRule(*this);
}

bool CDateOfMonth::SameAs(const CRepeateDayInfo& other) const {
  return CRepeateDayInfo::SameAs(other) &&
         day_of_month_ == static_cast<const CDateOfMonth&>(other).day_of_month_;
}

std::unique_ptr<CRepeateDayInfo> CDateOfYear::Clone() const {
  return CloneRule(*this);
}

bool CDateOfYear::SameAs(const CRepeateDayInfo& other) const {
  if (!CRepeateDayInfo::SameAs(other)) return false;
  const CDateOfYear& theirs = static_cast<const CDateOfYear&>(other);
  return month_ == theirs.month_ && day_of_month_ == theirs.day_of_month_;
}
