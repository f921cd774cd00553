// Local time for the driver: the conduit reads and writes the exchange files in the local time
// of the machine, so the driver converts every calendar time to and from that zone.
#ifndef DBC_DRIVERS_ICAL_LOCAL_CLOCK_H_
#define DBC_DRIVERS_ICAL_LOCAL_CLOCK_H_

#include <time.h>

#include <string>

namespace ical_driver {

struct CLocalDate {
  int year = 1970, month = 1, day = 1;
  int minute_of_day = 0;  // hour * 60 + minute
};

// Breaks a time down into the local date and minute of the day.
CLocalDate BreakDownLocal(time_t time);

// Builds a time from a local date and minute of the day. A time that exists twice (clocks going
// back) is the first of the two; one that does not exist (clocks going forward) moves on by the
// length of the jump, as the conduit builds its times.
time_t MakeLocal(int year, int month, int day, int minute_of_day);

// 00:00 local time of the day `days` days after the day that starts at `day_start`: on the local
// calendar, so a window across a clock change still ends at midnight.
time_t StartOfDayAfter(time_t day_start, int days);

// 00:00 local time of today. The environment variable DATEBOOK_DRIVER_TODAY (YYYYMMDD), which the
// conduit never sets, stands in for today in tests.
time_t StartOfToday();

}  // namespace ical_driver

#endif  // DBC_DRIVERS_ICAL_LOCAL_CLOCK_H_
