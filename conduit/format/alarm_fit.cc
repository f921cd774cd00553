#include "conduit/format/alarm_fit.h"

namespace {

constexpr int32_t kMinutesPerHour = 60;
constexpr int32_t kHoursPerDay = 24;

}  // namespace

void FitAlarmAdvance(int32_t max_advance, int32_t* advance, int32_t* unit) {
  if (*advance < 0) {
    *advance = 0;
    return;
  }
  if (*advance > max_advance && *unit == kAlarmUnitMinutes && *advance % kMinutesPerHour == 0) {
    *advance /= kMinutesPerHour;
    *unit = kAlarmUnitHours;
  }
  if (*advance > max_advance && *unit == kAlarmUnitHours && *advance % kHoursPerDay == 0) {
    *advance /= kHoursPerDay;
    *unit = kAlarmUnitDays;
  }
  if (*advance > max_advance) *advance = max_advance;
}
