#include "tablelib/repeat_codec.h"

#include <new>

#include "tablelib/table_errors.h"
#include "tablelib/table_stream.h"

namespace tablelib {

namespace {

bool InRange(int32_t value, int32_t low, int32_t high) {
  return value >= low && value <= high;
}

}  // namespace

bool IsValidRule(const CRepeateDayInfo& rule) {
  if (rule.GetInterval() < 1 || !InRange(rule.GetFirstDayOfWeek(), 0, 6)) return false;
  switch (rule.GetMyBrand()) {
    case kRepeatDaily:
      return true;
    case kRepeatWeekly:
      return (static_cast<const CWeekly&>(rule).GetWeekDays() & 0x80) == 0;
    case kRepeatMonthlyByDay: {
      const CDayOfMonth& r = static_cast<const CDayOfMonth&>(rule);
      return InRange(r.GetWeekIndex(), 0, 4) && InRange(r.GetDayOfWeek(), 0, 6);
    }
    case kRepeatMonthlyByDate:
      return InRange(static_cast<const CDateOfMonth&>(rule).GetDayOfMonth(), 1, 31);
    case kRepeatYearlyByDate: {
      static const int32_t kLongest[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      const CDateOfYear& r = static_cast<const CDateOfYear&>(rule);
      return InRange(r.GetMonth(), 0, 11) && InRange(r.GetDayOfMonth(), 1, kLongest[r.GetMonth()]);
    }
    default:
      return false;
  }
}

void PutRule(CTableCodec& codec, const CRepeateDayInfo* rule) {
  if (rule == nullptr) {
    codec.PutU8(kRepeatNone);
    return;
  }
  codec.PutU8(static_cast<uint8_t>(rule->GetMyBrand()));
  codec.PutI32(rule->GetInterval());
  codec.PutI32(rule->GetEndDate());
  codec.PutI32(rule->GetFirstDayOfWeek());
  switch (rule->GetMyBrand()) {
    case kRepeatDaily:
      codec.PutI32(static_cast<const CDayName*>(rule)->GetDayIndex());
      break;
    case kRepeatWeekly:
      codec.PutI32(static_cast<const CWeekly*>(rule)->GetWeekDays());
      break;
    case kRepeatMonthlyByDay:
      codec.PutI32(static_cast<const CDayOfMonth*>(rule)->GetWeekIndex());
      codec.PutI32(static_cast<const CDayOfMonth*>(rule)->GetDayOfWeek());
      break;
    case kRepeatMonthlyByDate:
      codec.PutI32(static_cast<const CDateOfMonth*>(rule)->GetDayOfMonth());
      break;
    case kRepeatYearlyByDate:
      codec.PutI32(static_cast<const CDateOfYear*>(rule)->GetMonth());
      codec.PutI32(static_cast<const CDateOfYear*>(rule)->GetDayOfMonth());
      break;
    default:
      codec.Stream().SetError(kTblErrBadArgument);
      break;
  }
}

bool GetRule(CTableCodec& codec, std::unique_ptr<CRepeateDayInfo>* rule) {
  uint8_t brand = 0;
  if (!codec.GetU8(&brand)) return false;
  rule->reset();
  if (brand == kRepeatNone) return true;
  int32_t interval = 0, end = 0, first_day = 0, a = 0, b = 0;
  if (!codec.GetI32(&interval) || !codec.GetI32(&end) || !codec.GetI32(&first_day) ||
      !codec.GetI32(&a)) {
    return false;
  }
  if ((brand == kRepeatMonthlyByDay || brand == kRepeatYearlyByDate) && !codec.GetI32(&b)) {
    return false;
  }
  switch (brand) {
    case kRepeatDaily:
      rule->reset(new (std::nothrow) CDayName(a, interval, end, first_day));
      break;
    case kRepeatWeekly:
      if (a < 0 || a > 0x7F) return codec.Fail();
      rule->reset(new (std::nothrow) CWeekly(static_cast<uint8_t>(a), interval, end, first_day));
      break;
    case kRepeatMonthlyByDay:
      rule->reset(new (std::nothrow) CDayOfMonth(a, b, interval, end, first_day));
      break;
    case kRepeatMonthlyByDate:
      rule->reset(new (std::nothrow) CDateOfMonth(a, interval, end, first_day));
      break;
    case kRepeatYearlyByDate:
      rule->reset(new (std::nothrow) CDateOfYear(a, b, interval, end, first_day));
      break;
    default:
      return codec.Fail();
  }
  if (*rule == nullptr) {
    codec.Stream().SetError(kTblErrNoMemory);
    return false;
  }
  if (!IsValidRule(**rule)) {
    rule->reset();
    return codec.Fail();
  }
  return true;
}

}  // namespace tablelib
