// Occurrences of repeating Date Book events, in a time zone with daylight saving.
#include <stdlib.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tablelib/record.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"

namespace {

int32_t Local(int year, int month, int day, int hour = 0, int minute = 0) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_isdst = -1;
  return static_cast<int32_t>(std::mktime(&t));
}

std::string Show(int32_t time) {
  std::time_t value = time;
  std::tm t{};
  localtime_r(&value, &t);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &t);
  return text;
}

class OccurrenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    ASSERT_EQ(table_.AppendBlankRecord(record_), kTblOk);
  }

  // The occurrences from `from` on, up to count of them, as "YYYY-MM-DD HH:MM".
  std::vector<std::string> Next(int32_t from, int count) {
    std::vector<std::string> found;
    for (int i = 0; i < count; ++i) {
      int32_t next = 0;
      if (record_.CalcNextOccurrance(from, next) != kTblOk) break;
      found.push_back(Show(next));
      from = Local(std::stoi(found.back().substr(0, 4)), std::stoi(found.back().substr(5, 2)),
                   std::stoi(found.back().substr(8, 2)) + 1);
    }
    return found;
  }

  CDateBkTable table_;
  CDateBkRecord record_{table_, 0};
};

TEST_F(OccurrenceTest, EachKindWithIntervalAboveOne) {
  struct Case {
    const char* name;
    int32_t start;
    std::unique_ptr<CRepeateDayInfo> rule;
    int32_t from;
    std::vector<std::string> expected;
  };
  std::vector<Case> cases;
  cases.push_back({"daily every 3 days",
                   Local(2024, 3, 1, 9),
                   std::make_unique<CDayName>(0, 3, -1, 0),
                   Local(2024, 3, 5),
                   {"2024-03-07 09:00", "2024-03-10 09:00", "2024-03-13 09:00"}});
  // Weeks counted from the start's week: with Sunday starts the Sunday after the start is in the
  // start's week, with Monday starts in the next (skipped) week.
  cases.push_back(
      {"weekly Sun+Mon every 2 weeks, weeks from Sunday",
       Local(2024, 1, 1, 9),
       std::make_unique<CWeekly>(0x03, 2, -1, 0),
       Local(2023, 12, 1),
       {"2024-01-01 09:00", "2024-01-14 09:00", "2024-01-15 09:00", "2024-01-28 09:00"}});
  cases.push_back(
      {"weekly Sun+Mon every 2 weeks, weeks from Monday",
       Local(2024, 1, 1, 9),
       std::make_unique<CWeekly>(0x03, 2, -1, 1),
       Local(2023, 12, 1),
       {"2024-01-01 09:00", "2024-01-07 09:00", "2024-01-15 09:00", "2024-01-21 09:00"}});
  cases.push_back({"weekly Mon+Wed every 2 weeks from a Wednesday",
                   Local(2024, 1, 3, 18, 30),
                   std::make_unique<CWeekly>(0x0A, 2, -1, 1),
                   Local(2024, 1, 4),
                   {"2024-01-15 18:30", "2024-01-17 18:30", "2024-01-29 18:30"}});
  cases.push_back({"last Friday every 2 months",
                   Local(2024, 1, 26, 9),
                   std::make_unique<CDayOfMonth>(4, 5, 2, -1, 0),
                   Local(2024, 1, 27),
                   {"2024-03-29 09:00", "2024-05-31 09:00", "2024-07-26 09:00"}});
  cases.push_back({"second Tuesday every 3 months",
                   Local(2024, 1, 9, 9),
                   std::make_unique<CDayOfMonth>(1, 2, 3, -1, 0),
                   Local(2024, 1, 10),
                   {"2024-04-09 09:00", "2024-07-09 09:00", "2024-10-08 09:00"}});
  // Months without a 31st are skipped, not moved to their last day.
  cases.push_back(
      {"the 31st every 2 months",
       Local(2024, 1, 31, 9),
       std::make_unique<CDateOfMonth>(31, 2, -1, 0),
       Local(2024, 2, 1),
       {"2024-03-31 09:00", "2024-05-31 09:00", "2024-07-31 09:00", "2025-01-31 09:00"}});
  cases.push_back({"29 February every 3 years",
                   Local(2024, 2, 29, 9),
                   std::make_unique<CDateOfYear>(1, 29, 3, -1, 0),
                   Local(2024, 3, 1),
                   {"2036-02-29 09:00"}});
  cases.push_back({"29 February every year",
                   Local(2024, 2, 29, 9),
                   std::make_unique<CDateOfYear>(1, 29, 1, -1, 0),
                   Local(2024, 2, 1),
                   {"2024-02-29 09:00", "2028-02-29 09:00", "2032-02-29 09:00"}});
  cases.push_back({"4 July every 2 years",
                   Local(2024, 7, 4, 12),
                   std::make_unique<CDateOfYear>(6, 4, 2, -1, 0),
                   Local(2024, 7, 5),
                   {"2026-07-04 12:00", "2028-07-04 12:00"}});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(record_.SetStartTime(c.start), kTblOk);
    int32_t set = kTblErrBadArgument;
    switch (c.rule->GetMyBrand()) {
      case kRepeatDaily:
        set = record_.SetRepDaily(static_cast<CDayName&>(*c.rule));
        break;
      case kRepeatWeekly:
        set = record_.SetRepWeekly(static_cast<CWeekly&>(*c.rule));
        break;
      case kRepeatMonthlyByDay:
        set = record_.SetRepMonthlyByDay(static_cast<CDayOfMonth&>(*c.rule));
        break;
      case kRepeatMonthlyByDate:
        set = record_.SetRepMonthlyByDate(static_cast<CDateOfMonth&>(*c.rule));
        break;
      case kRepeatYearlyByDate:
        set = record_.SetRepYearlyByDate(static_cast<CDateOfYear&>(*c.rule));
        break;
    }
    ASSERT_EQ(set, kTblOk);
    EXPECT_EQ(Next(c.from, static_cast<int>(c.expected.size())), c.expected);
  }
}

TEST_F(OccurrenceTest, OnAClockChangeDayTheTimeOfDayStays) {
  record_.SetStartTime(Local(2024, 3, 29, 9));
  ASSERT_EQ(record_.SetRepDaily(CDayName(0, 1, -1, 0)), kTblOk);
  int32_t before = 0, change = 0, after = 0;
  ASSERT_EQ(record_.CalcNextOccurrance(Local(2024, 3, 30), before), kTblOk);
  ASSERT_EQ(record_.CalcNextOccurrance(Local(2024, 3, 31), change), kTblOk);
  ASSERT_EQ(record_.CalcNextOccurrance(Local(2024, 10, 27, 5), after), kTblOk);
  EXPECT_EQ(Show(change), "2024-03-31 09:00");
  EXPECT_EQ(change - before, 23 * 3600);  // the night of the change is an hour short
  EXPECT_EQ(Show(after), "2024-10-27 09:00");
  EXPECT_EQ(after, Local(2024, 10, 27, 9));

  // A weekly event on Sundays, computed from before the autumn change, lands at 09:00 after it.
  record_.SetStartTime(Local(2024, 10, 20, 9));
  ASSERT_EQ(record_.SetRepWeekly(CWeekly(0x01, 1, -1, 0)), kTblOk);
  int32_t next = 0;
  ASSERT_EQ(record_.CalcNextOccurrance(Local(2024, 10, 21), next), kTblOk);
  EXPECT_EQ(Show(next), "2024-10-27 09:00");
  EXPECT_EQ(next - Local(2024, 10, 20, 9), 7 * 24 * 3600 + 3600);
}

// An event at 02:30 meets the hour that the clock shows twice: the occurrence is the first of
// the two (summer time, 00:30 UTC), whatever the rule's end and whatever was computed before.
TEST_F(OccurrenceTest, InTheRepeatedHourTheFirstInstanceIsTaken) {
  const int32_t kFirst = 1729989000;  // 2024-10-27 02:30 CEST
  record_.SetStartTime(Local(2024, 10, 20, 2, 30));
  struct Case {
    const char* name;
    int32_t end_date;
  };
  const Case kCases[] = {{"no end date", -1}, {"end date after the change", Local(2024, 11, 30)}};
  for (const Case& c : kCases) {
    ASSERT_EQ(record_.SetRepWeekly(CWeekly(0x01, 1, c.end_date, 0)), kTblOk) << c.name;
    // A winter and a summer time computed just before must not change the answer.
    for (int32_t month_before : {1, 7}) {
      Local(2024, month_before, 15, 2, 30);
      int32_t next = 0;
      ASSERT_EQ(record_.CalcNextOccurrance(Local(2024, 10, 21), next), kTblOk) << c.name;
      EXPECT_EQ(kFirst, next) << c.name << " after month " << month_before;
    }
  }
}

TEST_F(OccurrenceTest, EndDateIsInclusiveAndMaxDateMeansNoEnd) {
  record_.SetStartTime(Local(2024, 3, 1, 9));
  ASSERT_EQ(record_.SetRepDaily(CDayName(0, 1, Local(2024, 3, 10), 0)), kTblOk);
  EXPECT_EQ(Next(Local(2024, 3, 10), 3), std::vector<std::string>{"2024-03-10 09:00"});
  int32_t next = 12345;
  EXPECT_NE(record_.CalcNextOccurrance(Local(2024, 3, 11), next), kTblOk);
  EXPECT_EQ(next, 12345);

  ASSERT_EQ(record_.SetRepDaily(CDayName(0, 1, maxDate(), 0)), kTblOk);
  EXPECT_EQ(Next(Local(2032, 1, 5), 1), std::vector<std::string>{"2032-01-05 09:00"});

  // Monthly on the 31st with an end before the next month that has one.
  ASSERT_EQ(record_.SetRepMonthlyByDate(CDateOfMonth(31, 1, Local(2024, 3, 30, 23), 0)), kTblOk);
  EXPECT_NE(record_.CalcNextOccurrance(Local(2024, 3, 2), next), kTblOk);
}

TEST_F(OccurrenceTest, ExceptionsAreSkippedAndKeptByDay) {
  record_.SetStartTime(Local(2024, 3, 1, 9));
  ASSERT_EQ(record_.SetRepDaily(CDayName(0, 1, Local(2024, 3, 5), 0)), kTblOk);
  ASSERT_EQ(record_.AddException(Local(2024, 3, 3, 15)), kTblOk);
  ASSERT_EQ(record_.AddException(Local(2024, 3, 2)), kTblOk);
  ASSERT_EQ(record_.AddException(Local(2024, 3, 3, 7)), kTblOk);  // the same day again
  ASSERT_EQ(record_.AddException(Local(2024, 3, 5, 23, 59)), kTblOk);
  EXPECT_EQ(record_.GetNumExceptions(), 3);
  std::vector<int32_t> walked;
  CDateException exception;
  for (int32_t r = record_.FindFirstException(exception); r == kTblOk;
       r = record_.FindNextException(exception)) {
    walked.push_back(exception.GetDate());
  }
  EXPECT_EQ(walked,
            (std::vector<int32_t>{Local(2024, 3, 2), Local(2024, 3, 3), Local(2024, 3, 5)}));
  EXPECT_TRUE(record_.IsException(Local(2024, 3, 3, 22)));
  EXPECT_FALSE(record_.IsException(Local(2024, 3, 4, 0)));

  EXPECT_EQ(Next(Local(2024, 3, 2), 5), std::vector<std::string>{"2024-03-04 09:00"});
  int32_t next = 0;
  EXPECT_NE(record_.CalcNextOccurrance(Local(2024, 3, 5), next), kTblOk);  // the last day is out

  // Changing the rule keeps the exceptions; stopping the repetition drops them.
  ASSERT_EQ(record_.SetRepWeekly(CWeekly(0x7F, 1, -1, 0)), kTblOk);
  EXPECT_EQ(record_.GetNumExceptions(), 3);
  ASSERT_EQ(record_.StopRepeatingEvt(), kTblOk);
  EXPECT_FALSE(record_.IsRepeatingEvt());
  EXPECT_EQ(record_.GetNumExceptions(), 0);
}

TEST_F(OccurrenceTest, NeverBeforeTheStartDay) {
  // A weekly Monday event that starts on a Wednesday first occurs on the following Monday.
  record_.SetStartTime(Local(2024, 1, 3, 9));
  ASSERT_EQ(record_.SetRepWeekly(CWeekly(0x02, 1, -1, 0)), kTblOk);
  EXPECT_EQ(Next(Local(2023, 6, 1), 1), std::vector<std::string>{"2024-01-08 09:00"});

  // A single event occurs once, on its start day (any time of that day counts).
  ASSERT_EQ(record_.StopRepeatingEvt(), kTblOk);
  int32_t next = 0;
  ASSERT_EQ(record_.CalcNextOccurrance(Local(2024, 1, 3, 23), next), kTblOk);
  EXPECT_EQ(next, Local(2024, 1, 3, 9));
  EXPECT_EQ(record_.CalcNextOccurrance(Local(2024, 1, 4), next), kTblErrNotFound);
}

TEST_F(OccurrenceTest, RulesOutOfRangeAreRefused) {
  record_.SetStartTime(Local(2024, 1, 3, 9));
  ASSERT_EQ(record_.SetRepDaily(CDayName(0, 2, -1, 0)), kTblOk);
  EXPECT_EQ(record_.SetRepDaily(CDayName(0, 0, -1, 0)), kTblErrBadArgument);
  EXPECT_EQ(record_.SetRepMonthlyByDay(CDayOfMonth(5, 1, 1, -1, 0)), kTblErrBadArgument);
  EXPECT_EQ(record_.SetRepMonthlyByDate(CDateOfMonth(32, 1, -1, 0)), kTblErrBadArgument);
  EXPECT_EQ(record_.SetRepYearlyByDate(CDateOfYear(1, 30, 1, -1, 0)), kTblErrBadArgument);
  EXPECT_EQ(record_.SetRepWeekly(CWeekly(0x01, 1, -1, 7)), kTblErrBadArgument);
  // The rule the record had stays.
  ASSERT_NE(record_.GetRepeateInfo(), nullptr);
  EXPECT_EQ(record_.GetRepeateInfo()->GetMyBrand(), kRepeatDaily);
  EXPECT_EQ(record_.GetRepeateInfo()->GetInterval(), 2);
}

TEST(MaxDateTest, IsTheLastSecondOf2031) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  EXPECT_EQ(maxDate(), Local(2031, 12, 31, 23, 59) + 59);
}

}  // namespace
