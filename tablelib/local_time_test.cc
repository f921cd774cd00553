// Building and breaking down local times in a zone with daylight saving (Europe/Berlin, which
// goes forward at 02:00 on the last Sunday of March and back at 03:00 on the last Sunday of
// October).
#include "tablelib/local_time.h"

#include <stdlib.h>

#include <ctime>
#include <limits>

#include "gtest/gtest.h"

namespace {

class LocalTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
};

TEST_F(LocalTimeTest, BuildsClockChangeDaysDeterministically) {
  struct Case {
    const char* name;
    int32_t year, month, day, hour, minute;
    int32_t expected;
  };
  const Case kCases[] = {
      {"winter", 2024, 1, 1, 9, 0, 1704096000},
      {"summer", 2024, 7, 1, 9, 0, 1719817200},
      // 02:30 exists twice on 27 October 2024: the first is 00:30 UTC (summer time).
      {"repeated hour", 2024, 10, 27, 2, 30, 1729989000},
      // 02:30 does not exist on 31 March 2024: it moves on by the hour to 03:30 summer time.
      {"skipped hour", 2024, 3, 31, 2, 30, 1711848600},
      {"month 13 is January of the next year", 2024, 13, 31, 0, 0, 1738278000},
      {"day 0 is the last day of the month before", 2025, 1, 0, 0, 0, 1735599600},
  };
  // glibc's mktime guesses daylight saving for a repeated hour from its previous call; the
  // answer must not depend on what was built before, so each case runs after a winter and after
  // a summer reading.
  for (const Case& c : kCases) {
    for (int32_t month_before : {1, 7}) {
      int32_t before = 0;
      ASSERT_TRUE(tablelib::MakeLocalTime(2024, month_before, 15, 2, 30, 0, &before));
      int32_t built = 0;
      EXPECT_TRUE(tablelib::MakeLocalTime(c.year, c.month, c.day, c.hour, c.minute, 0, &built))
          << c.name;
      EXPECT_EQ(c.expected, built) << c.name << " after month " << month_before;
    }
  }
}

TEST_F(LocalTimeTest, OutOfRangeFailsWithTheNearestEnd) {
  int32_t out = 0;
  EXPECT_FALSE(tablelib::MakeLocalTime(2040, 1, 1, 0, 0, 0, &out));
  EXPECT_EQ(std::numeric_limits<int32_t>::max(), out);
  EXPECT_FALSE(tablelib::MakeLocalTime(1901, 1, 1, 0, 0, 0, &out));
  EXPECT_EQ(std::numeric_limits<int32_t>::min(), out);
  EXPECT_FALSE(tablelib::MakeLocalTime(2147483647, 1, 1, 0, 0, 0, &out));
  EXPECT_EQ(std::numeric_limits<int32_t>::max(), out);
  // The last representable second still builds.
  EXPECT_TRUE(tablelib::MakeLocalTime(2038, 1, 19, 4, 14, 7, &out));
  EXPECT_EQ(std::numeric_limits<int32_t>::max(), out);
}

TEST_F(LocalTimeTest, BreaksDownBothInstancesOfTheRepeatedHour) {
  tablelib::CLocalTime first;
  tablelib::CLocalTime second;
  ASSERT_TRUE(tablelib::BreakDownLocalTime(1729989000, &first));
  ASSERT_TRUE(tablelib::BreakDownLocalTime(1729992600, &second));
  for (const tablelib::CLocalTime* t : {&first, &second}) {
    EXPECT_EQ(2024, t->year);
    EXPECT_EQ(10, t->month);
    EXPECT_EQ(27, t->day);
    EXPECT_EQ(2, t->hour);
    EXPECT_EQ(30, t->minute);
    EXPECT_EQ(0, t->week_day);
  }
}

}  // namespace
