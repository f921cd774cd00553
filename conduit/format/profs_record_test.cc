// CProfsRecord: content comparison, the host entry number and start days.
#include "conduit/format/profs_record.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "conduit/format/format_test_util.h"
#include "conduit/format/profs_table.h"
#include "tablelib/table_errors.h"

namespace {

using format_test::AddEvent;
using format_test::At;
using format_test::CEvent;

class ProfsRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { format_test::UseBerlinTime(); }

  static CEvent Base() {
    CEvent e;
    e.id = 7;
    e.host_entry = 3;
    e.start = At(2002, 6, 1, 9, 0);
    e.end = At(2002, 6, 1, 10, 0);
    e.alarm_advance = 5;
    e.description = "Dentist";
    e.note = "Bring card";
    e.category = 2;
    return e;
  }
};

TEST_F(ProfsRecordTest, EqualsComparesStartToRepeatKindOnly) {
  struct Case {
    const char* what;
    std::function<void(CProfsRecord&)> change;
    int32_t equals;
  } const kCases[] = {
      {"record ID (0)", [](CProfsRecord& r) { r.SetRecordId(99); }, 1},
      {"status (1)", [](CProfsRecord& r) { r.SetStatus(kStatusModified); }, 1},
      {"position (2)",
       [](CProfsRecord& r) { static_cast<CIntegerField*>(r.GetField(2))->SetValue(42); }, 1},
      {"host entry number (15)", [](CProfsRecord& r) { r.SetHostEntryNumber(4); }, 1},
      {"repeat rule only (14)", [](CProfsRecord& r) { r.SetRepDaily(CDayName(6, 2, -1, 0)); }, 1},
      {"start (3)", [](CProfsRecord& r) { r.SetStartTime(At(2002, 6, 1, 9, 1)); }, 0},
      {"end (4)", [](CProfsRecord& r) { r.SetEndTime(At(2002, 6, 1, 11, 0)); }, 0},
      {"description (5)", [](CProfsRecord& r) { r.SetDescription("Dentist!"); }, 0},
      {"alarm advance (6)", [](CProfsRecord& r) { r.SetAlarmAdvTime(6); }, 0},
      {"note (7)", [](CProfsRecord& r) { r.SetNote(""); }, 0},
      {"untimed (8)", [](CProfsRecord& r) { r.SetUnTimedFlag(1); }, 0},
      {"alarm set (9)", [](CProfsRecord& r) { r.SetAlarmFlag(0); }, 0},
      {"category (10)", [](CProfsRecord& r) { r.SetCategoryId(3); }, 0},
      {"private (11)", [](CProfsRecord& r) { r.SetPrivate(1); }, 0},
      {"alarm unit (12)", [](CProfsRecord& r) { r.SetAlarmAdvUnit(1); }, 0},
      {"repeat kind (13)", [](CProfsRecord& r) { r.SetRepWeekly(CWeekly(1, 1, -1, 0)); }, 0},
  };
  for (const Case& c : kCases) {
    CProfsTable table;
    CProfsRecord a(table, 0);
    CProfsRecord b(table, 0);
    AddEvent(table, Base(), a);
    AddEvent(table, Base(), b);
    // Both repeat daily, so that changing only the rule leaves the repeat kind alone.
    a.SetRepDaily(CDayName(6, 1, -1, 0));
    b.SetRepDaily(CDayName(6, 1, -1, 0));
    ASSERT_EQ(1, a.Equals(b)) << c.what;
    c.change(b);
    EXPECT_EQ(c.equals, a.Equals(b)) << c.what;
    EXPECT_EQ(c.equals, b.Equals(a)) << c.what;
  }
}

TEST_F(ProfsRecordTest, UnboundOrForeignRecordsAreNeverEqual) {
  CProfsTable table;
  CProfsRecord bound(table, 0);
  AddEvent(table, Base(), bound);
  CProfsRecord unbound(table, 0);
  EXPECT_EQ(0, bound.Equals(unbound));
  EXPECT_EQ(0, unbound.Equals(bound));
}

TEST_F(ProfsRecordTest, HostEntryNumberLivesInFieldSixteen) {
  CProfsTable table;
  CProfsRecord r(table, 0);
  int32_t number = 77;
  EXPECT_EQ(kTblErrBadRecord, r.GetHostEntryNumber(number));
  EXPECT_EQ(77, number);
  EXPECT_EQ(kTblErrBadRecord, r.SetHostEntryNumber(5));

  AddEvent(table, Base(), r);
  EXPECT_EQ(0, r.SetHostEntryNumber(4321));
  EXPECT_EQ(0, r.GetHostEntryNumber(number));
  EXPECT_EQ(4321, number);
  int32_t stored = 0;
  static_cast<CIntegerField*>(r.GetField(15))->GetValue(stored);
  EXPECT_EQ(4321, stored);

  // A Date Book table has no field 15.
  CDateBkTable plain;
  CProfsRecord other(plain, 0);
  ASSERT_EQ(0, plain.AppendBlankRecord(static_cast<CDateBkRecord&>(other)));
  number = 77;
  EXPECT_EQ(kTblErrBadRecord, other.GetHostEntryNumber(number));
  EXPECT_EQ(77, number);
  EXPECT_EQ(kTblErrBadRecord, other.SetHostEntryNumber(1));
}

TEST_F(ProfsRecordTest, StartDayDropsHourAndMinute) {
  CProfsTable table;
  CProfsRecord r(table, 0);
  CEvent e = Base();
  e.start = At(2002, 6, 1, 10, 30);
  AddEvent(table, e, r);
  int32_t day = 0;
  EXPECT_EQ(At(2002, 6, 1), r.GetStartDay(day));
  EXPECT_EQ(At(2002, 6, 1), day);

  // On the day the clock goes forward, 10:30 is only 9.5 hours after midnight; the hour and
  // minute are subtracted all the same (no correction), which lands one hour before midnight.
  r.SetStartTime(At(2000, 3, 26, 10, 30));
  EXPECT_EQ(At(2000, 3, 26) - 3600, r.GetStartDay(day));
}

TEST_F(ProfsRecordTest, CompareStartDaysOrdersByDay) {
  CProfsTable table;
  CProfsRecord untimed(table, 0);
  CProfsRecord late(table, 0);
  CEvent e = Base();
  e.untimed = true;
  e.start = At(2002, 6, 1);
  AddEvent(table, e, untimed);
  e.untimed = false;
  e.start = e.end = At(2002, 6, 1, 23, 59);
  AddEvent(table, e, late);
  EXPECT_EQ(kSameStartDay, untimed.CompareStartDays(late));
  EXPECT_EQ(kSameStartDay, late.CompareStartDays(untimed));
  late.SetStartTime(At(2002, 6, 2, 0, 0));
  EXPECT_EQ(kEarlierStartDay, untimed.CompareStartDays(late));
  EXPECT_EQ(kLaterStartDay, late.CompareStartDays(untimed));
}

}  // namespace
