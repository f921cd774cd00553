// Local times for tests that need clock changes: the Berlin time zone, and instants given by their
// local date and time in it.
#ifndef DBC_TESTS_SUPPORT_BERLIN_TIME_H_
#define DBC_TESTS_SUPPORT_BERLIN_TIME_H_

#include <stdint.h>
#include <stdlib.h>
#include <time.h>

#include "tablelib/local_time.h"

namespace test_support {

// Local time in Berlin, which has clock changes (last Sunday of March and of October).
inline void UseBerlinTime() {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
}

// The instant of a local date and time (the first of the two in a repeated hour).
inline int32_t At(int year, int month, int day, int hour = 0, int minute = 0) {
  int32_t time = 0;
  tablelib::MakeLocalTime(year, month, day, hour, minute, 0, &time);
  return time;
}

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_BERLIN_TIME_H_
