// Desktop record -> raw record -> desktop record keeps every field the handheld carries.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "conduit/format/date_bk_converter.h"
#include "conduit/format/format_test_util.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "tablelib/repeat.h"

namespace {

using format_test::AddEvent;
using format_test::At;
using format_test::CEvent;

std::vector<int32_t> Exceptions(CProfsRecord& record) {
  std::vector<int32_t> days;
  CDateException exception;
  for (int32_t f = record.FindFirstException(exception); f == 0;
       f = record.FindNextException(exception)) {
    days.push_back(exception.GetDate());
  }
  return days;
}

TEST(DateBkRoundTripTest, HandheldFieldsSurviveBothConversions) {
  format_test::UseBerlinTime();
  // Tuesday 19 January 1999, the third Tuesday of the month.
  const int32_t kStart = At(1999, 1, 19, 18, 0);
  const int32_t kEnd = At(1999, 1, 19, 19, 45);
  const std::string k60(60, 's');
  struct Case {
    const char* what;
    bool untimed;
    int32_t alarm, unit;
    bool is_private, archived;
    int32_t status;
    std::string description, note;
    std::function<void(CProfsRecord&)> repeat;
  } const kCases[] = {
      {"untimed plain", true, -1, 0, false, false, kStatusUnchanged, "", "", nullptr},
      {"alarm private archived", false, 15, 0, true, true, kStatusModified, "PERS: x", "", nullptr},
      {"alarm in days", false, 255, 2, false, false, kStatusUnchanged, "Due", "", nullptr},
      {"daily with exceptions", false, -1, 0, false, false, kStatusUnchanged, "Run", "",
       [](CProfsRecord& r) {
         r.SetRepDaily(CDayName(2, 3, At(1999, 4, 1), 0));
         r.AddException(At(1999, 1, 22));
         r.AddException(At(1999, 1, 25));
       }},
      {"weekly", false, 5, 1, false, false, kStatusUnchanged, "Gym", "",
       [](CProfsRecord& r) { r.SetRepWeekly(CWeekly(0x15, 1, maxDate(), 1)); }},
      {"monthly by day", false, -1, 0, false, false, kStatusUnchanged, "Club", "",
       [](CProfsRecord& r) { r.SetRepMonthlyByDay(CDayOfMonth(2, 2, 1, maxDate(), 0)); }},
      {"monthly by day, last week", false, -1, 0, false, false, kStatusUnchanged, "Club", "",
       [](CProfsRecord& r) { r.SetRepMonthlyByDay(CDayOfMonth(4, 2, 2, maxDate(), 1)); }},
      {"monthly by date", false, -1, 0, false, false, kStatusUnchanged, "Rent", "",
       [](CProfsRecord& r) { r.SetRepMonthlyByDate(CDateOfMonth(19, 1, At(2000, 1, 1), 0)); }},
      {"yearly", false, -1, 0, false, false, kStatusUnchanged, "Birthday", "",
       [](CProfsRecord& r) {
         r.SetRepYearlyByDate(CDateOfYear(0, 19, 1, maxDate(), 0));
         r.AddException(At(2001, 1, 19));
       }},
      {"note with line breaks and ;", false, -1, 0, false, false, kStatusModified, "Trip",
       "a;b\r\n\r\nc;\r\n", nullptr},
      {"texts of 60 and 61", false, -1, 0, false, false, kStatusUnchanged, k60, k60 + "t", nullptr},
      {"texts of 70", false, -1, 0, false, false, kStatusUnchanged, std::string(70, 'd'),
       std::string(70, 'n'), nullptr},
  };
  for (const Case& c : kCases) {
    CProfsTable table;
    CProfsRecord desktop(table, 0);
    CEvent e;
    e.id = 0xABCDEF;
    e.start = c.untimed ? At(1999, 1, 19) : kStart;
    e.end = c.untimed ? At(1999, 1, 19) : kEnd;
    e.untimed = c.untimed;
    e.alarm_advance = c.alarm;
    e.alarm_unit = c.unit;
    e.is_private = c.is_private;
    e.archived = c.archived;
    e.status = c.status;
    e.category = 5;
    e.description = c.description;
    e.note = c.note;
    AddEvent(table, e, desktop);
    if (c.repeat) c.repeat(desktop);

    CDateBkConverter converter;
    std::vector<uint8_t> buffer(4480, 0);
    RecordRequest request{};
    request.buffer = buffer.data();
    request.buffer_size = static_cast<uint16_t>(buffer.size());
    ASSERT_EQ(0, converter.ConvertToRemote(desktop, &request)) << c.what;
    CProfsRecord back(table, 0);
    ASSERT_EQ(0, table.AppendBlankRecord(static_cast<CDateBkRecord&>(back)));
    ASSERT_EQ(0, converter.ConvertFromRemote(back, &request)) << c.what;

    EXPECT_EQ(1, desktop.Equals(back)) << c.what;
    uint32_t id = 0;
    int32_t status = -1;
    std::string description, note;
    back.GetRecordId(id);
    back.GetStatus(status);
    back.GetDescription(description);
    back.GetNote(note);
    EXPECT_EQ(0xABCDEFu, id) << c.what;
    EXPECT_EQ(c.status, status) << c.what;
    EXPECT_EQ(c.archived, back.IsArchived()) << c.what;
    EXPECT_EQ(c.description, description) << c.what;
    EXPECT_EQ(c.note, note) << c.what;
    EXPECT_EQ(Exceptions(desktop), Exceptions(back)) << c.what;
    const CRepeateDayInfo* rule = desktop.GetRepeateInfo();
    const CRepeateDayInfo* rule_back = back.GetRepeateInfo();
    ASSERT_EQ(rule == nullptr, rule_back == nullptr) << c.what;
    if (rule != nullptr) {
      EXPECT_TRUE(rule->SameAs(*rule_back)) << c.what;
    }
  }
}

}  // namespace
