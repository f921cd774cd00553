// Fitting an alarm advance into a field that holds at most a given number.
#ifndef DBC_CONDUIT_FORMAT_ALARM_FIT_H_
#define DBC_CONDUIT_FORMAT_ALARM_FIT_H_

#include <stdint.h>

// Alarm advance units, the table library's and the handheld's codes.
enum : int32_t {
  kAlarmUnitMinutes = 0,
  kAlarmUnitHours = 1,
  kAlarmUnitDays = 2,
};

// Brings *advance into 0 to max_advance. An advance above the limit is first expressed in a
// coarser unit when that is exact (120 minutes become 2 hours, 48 hours 2 days), so that the alarm
// still rings at the same moment; what still does not fit is clamped to max_advance. A negative
// advance becomes 0.
void FitAlarmAdvance(int32_t max_advance, int32_t* advance, int32_t* unit);

#endif  // DBC_CONDUIT_FORMAT_ALARM_FIT_H_
