// Exchange files: the bytes a table is saved as and what loading them gives.
#include <gtest/gtest.h>

#include <string>

#include "conduit/format/format_test_util.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "tablelib/iterator.h"
#include "tablelib/table_errors.h"

namespace {

using format_test::AddEvent;
using format_test::At;
using format_test::CEvent;
using format_test::ReadBytes;
using format_test::WriteBytes;

// A file holding only the staff meeting of 5 January 1999 (kStaffMeeting).
const char kStaffMeetingFile[] =
    "0001"
    "0000001A00121999010509:0010:30005000020Staff meeting;Room 4\r\n";

CEvent StaffMeeting() {
  CEvent e;
  e.id = 0x1A;
  e.host_entry = 12;
  e.start = At(1999, 1, 5, 9, 0);
  e.end = At(1999, 1, 5, 10, 30);
  e.alarm_advance = 5;
  e.alarm_unit = 0;
  e.description = "Staff meeting";
  e.note = "Room 4";
  return e;
}

class ExchangeFileTest : public ::testing::Test {
 protected:
  void SetUp() override { format_test::UseBerlinTime(); }

  // Saves a table holding the events; answers the file's bytes.
  std::string Save(const std::vector<CEvent>& events) {
    CProfsTable table;
    CProfsRecord record(table, 0);
    for (const CEvent& e : events) AddEvent(table, e, record);
    const std::string path = folder_.Path("desktop.dat");
    EXPECT_EQ(0, table.SaveTo(path));
    return ReadBytes(path);
  }
  // The record line of a one-event file, without header and line end.
  std::string SaveLine(const CEvent& event) {
    const std::string bytes = Save({event});
    EXPECT_EQ("0001", bytes.substr(0, 4));
    EXPECT_EQ("\r\n", bytes.substr(bytes.size() - 2));
    return bytes.substr(4, bytes.size() - 6);
  }
  // Loads bytes as an exchange file into table and puts record on its first row.
  int32_t Load(const std::string& bytes, CProfsTable& table, CProfsRecord& record) {
    const std::string path = folder_.Path("load.dat");
    WriteBytes(path, bytes);
    const int32_t result = table.LoadFromFile(path);
    CBaseIterator iterator(table);
    iterator.FindFirst(record, 0);
    return result;
  }

  format_test::CScratchFolder folder_;
};

TEST_F(ExchangeFileTest, WorkedExampleIsWrittenByteForByte) {
  const std::string bytes = Save({StaffMeeting()});
  EXPECT_EQ(65u, bytes.size());
  EXPECT_EQ(kStaffMeetingFile, bytes);
}

TEST_F(ExchangeFileTest, WorkedExampleLoadsEveryField) {
  CProfsTable table;
  CProfsRecord r(table, 0);
  ASSERT_EQ(0, Load(kStaffMeetingFile, table, r));
  ASSERT_EQ(1, table.GetRecordCount());
  uint32_t id = 0;
  int32_t entry = 0, start = 0, end = 0, advance = 0, unit = -1;
  std::string description, note;
  r.GetRecordId(id);
  r.GetHostEntryNumber(entry);
  r.GetStartTime(start);
  r.GetEndTime(end);
  r.GetAlarmAdvTime(advance);
  r.GetAlarmAdvUnit(unit);
  r.GetDescription(description);
  r.GetNote(note);
  EXPECT_EQ(0x1Au, id);
  EXPECT_EQ(12, entry);
  EXPECT_EQ(At(1999, 1, 5, 9, 0), start);
  EXPECT_EQ(At(1999, 1, 5, 10, 30), end);
  EXPECT_FALSE(r.IsUnTimed());
  EXPECT_FALSE(r.IsAdded() || r.IsModified() || r.IsDeleted());
  EXPECT_TRUE(r.IsAlarmSet());
  EXPECT_EQ(5, advance);
  EXPECT_EQ(0, unit);
  EXPECT_FALSE(r.IsRepeatingEvt());
  EXPECT_FALSE(r.IsPrivate());
  EXPECT_EQ("Staff meeting", description);
  EXPECT_EQ("Room 4", note);
}

TEST_F(ExchangeFileTest, EmptyTableIsFourZeros) {
  EXPECT_EQ("0000", Save({}));
  CProfsTable table;
  CProfsRecord r(table, 0);
  EXPECT_EQ(0, Load("0000", table, r));
  EXPECT_EQ(0, table.GetRecordCount());
}

TEST_F(ExchangeFileTest, FieldsAreWrittenInTheirFixedColumns) {
  CEvent untimed = StaffMeeting();
  untimed.untimed = true;
  untimed.start = At(1999, 1, 5);
  untimed.alarm_advance = -1;
  untimed.description = "";
  untimed.note = "";
  EXPECT_EQ("0000001A001219990105          000000000", SaveLine(untimed));

  CEvent zero_alarm = untimed;
  zero_alarm.alarm_advance = 0;
  zero_alarm.alarm_unit = 2;
  EXPECT_EQ("0000001A001219990105          000200000", SaveLine(zero_alarm));

  struct StatusCase {
    int32_t status;
    char byte;
  } const kStatuses[] = {{kStatusUnchanged, '0'},
                         {kStatusAdded, '1'},
                         {kStatusDeleted, '2'},
                         {kStatusModified, '3'},
                         {kStatusPending, '0'}};
  for (const StatusCase& c : kStatuses) {
    CEvent e = untimed;
    e.status = c.status;
    EXPECT_EQ(c.byte, SaveLine(e)[30]) << "status " << c.status;
  }

  CEvent private_empty = untimed;
  private_empty.is_private = true;
  EXPECT_EQ("0006PERS: ", SaveLine(private_empty).substr(35));
}

// A record line with the given fields after the record ID and host entry number.
std::string Line(const std::string& date_times, char status, const std::string& alarm, char repeat,
                 const std::string& text) {
  char length[8];
  std::snprintf(length, sizeof length, "%04d", static_cast<int>(text.size()));
  return "0001" + std::string("0000000200031999010") + date_times + status + alarm + repeat +
         length + text + "\r\n";
}

TEST_F(ExchangeFileTest, ReadingRulesForTimesStatusAlarmAndRepeat) {
  struct Case {
    const char* what;
    std::string file;
    bool untimed;
    int32_t start, end;
    int32_t status;
    int32_t alarm;  // -1: none
    int32_t unit;
    bool repeating;
  } const kCases[] = {
      {"timed", Line("509:3010:15", '1', "101", '0', ""), false, At(1999, 1, 5, 9, 30),
       At(1999, 1, 5, 10, 15), kStatusAdded, 10, 1, false},
      {"untimed", Line("5          ", '2', "00 ", '1', ""), true, At(1999, 1, 5), At(1999, 1, 5),
       kStatusDeleted, -1, 0, true},
      {"blank end", Line("508:45     ", '3', "052", '0', ""), false, At(1999, 1, 5, 8, 45),
       At(1999, 1, 5, 8, 45), kStatusModified, 5, 2, false},
      {"alarm 00 whatever the unit", Line("508:4509:00", 'x', "002", '0', ""), false,
       At(1999, 1, 5, 8, 45), At(1999, 1, 5, 9, 0), kStatusUnchanged, -1, 0, false},
      {"odd unit byte", Line("508:4509:00", '0', "07x", 'y', ""), false, At(1999, 1, 5, 8, 45),
       At(1999, 1, 5, 9, 0), kStatusUnchanged, 7, 0, false},
      {"mktime normalises", Line("525:0025:30", '0', "000", '0', ""), false, At(1999, 1, 6, 1, 0),
       At(1999, 1, 6, 1, 30), kStatusUnchanged, -1, 0, false},
  };
  for (const Case& c : kCases) {
    CProfsTable table;
    CProfsRecord r(table, 0);
    ASSERT_EQ(0, Load(c.file, table, r)) << c.what;
    ASSERT_EQ(1, table.GetRecordCount()) << c.what;
    int32_t start = 0, end = 0, status = -1, advance = 0, unit = -1, entry = 0;
    uint32_t id = 0;
    r.GetStartTime(start);
    r.GetEndTime(end);
    r.GetStatus(status);
    r.GetAlarmAdvTime(advance);
    r.GetAlarmAdvUnit(unit);
    r.GetRecordId(id);
    r.GetHostEntryNumber(entry);
    EXPECT_EQ(2u, id) << c.what;
    EXPECT_EQ(3, entry) << c.what;
    EXPECT_EQ(c.untimed, r.IsUnTimed()) << c.what;
    EXPECT_EQ(c.start, start) << c.what;
    EXPECT_EQ(c.end, end) << c.what;
    EXPECT_EQ(c.status, status) << c.what;
    EXPECT_EQ(c.alarm >= 0, r.IsAlarmSet()) << c.what;
    if (c.alarm >= 0) {
      EXPECT_EQ(c.alarm, advance) << c.what;
    }
    EXPECT_EQ(c.unit, unit) << c.what;
    EXPECT_EQ(c.repeating, r.IsRepeatingEvt()) << c.what;
    if (c.repeating) {
      const CRepeateDayInfo* rule = r.GetRepeateInfo();
      ASSERT_NE(nullptr, rule);
      EXPECT_EQ(kRepeatDaily, rule->GetMyBrand());
      EXPECT_EQ(1, rule->GetInterval());
    }
  }
}

TEST_F(ExchangeFileTest, TextsComeBackByTheFoldingRules) {
  const std::string k60(60, 'd');
  struct Case {
    const char* what;
    bool is_private;
    std::string description, note;
    std::string folded;  // the text as written
    bool private_back;
    std::string description_back, note_back;
  } const kCases[] = {
      {"nothing", false, "", "", "", false, "", ""},
      {"note with break and semicolon", false, "Lunch", "Bring:\r\nbread; wine",
       "Lunch;Bring:;bread: wine", false, "Lunch", "Bring:\r\nbread: wine"},
      {"60 bytes", false, k60, "", k60, false, k60, ""},
      {"61 bytes", false, k60 + "e", "", k60 + ";e", false, k60, "e"},
      {"70 bytes", false, k60 + "0123456789", "", k60 + ";0123456789", false, k60, "0123456789"},
      {"60 bytes and a note", false, k60, "n", k60 + ";;n", false, k60, "\r\nn"},
      {"empty description and a note", false, "", "n", ";n", false, "", "n"},
      {"private gets a prefix", true, "Doctor", "", "PERS: Doctor", true, "PERS: Doctor", ""},
      {"private keeps CONF", true, "CONF:x", "", "CONF:x", true, "CONF:x", ""},
      {"PERS makes private", false, "PERS:y", "", "PERS:y", true, "PERS:y", ""},
      {"lower case is no mark", false, "pers:y", "", "pers:y", false, "pers:y", ""},
  };
  for (const Case& c : kCases) {
    CEvent e = StaffMeeting();
    e.is_private = c.is_private;
    e.description = c.description;
    e.note = c.note;
    const std::string line = SaveLine(e);
    char length[8];
    std::snprintf(length, sizeof length, "%04d", static_cast<int>(c.folded.size()));
    EXPECT_EQ(std::string(length) + c.folded, line.substr(35)) << c.what;

    CProfsTable table;
    CProfsRecord r(table, 0);
    ASSERT_EQ(0, Load("0001" + line + "\r\n", table, r)) << c.what;
    std::string description = "unset", note;
    r.GetDescription(description);
    r.GetNote(note);
    EXPECT_EQ(c.private_back, r.IsPrivate()) << c.what;
    EXPECT_EQ(c.description_back, description) << c.what;
    EXPECT_EQ(c.note_back, note) << c.what;
  }
}

TEST_F(ExchangeFileTest, SeveralRecordsRoundTripInOrder) {
  std::vector<CEvent> events;
  for (int i = 0; i < 3; ++i) {
    CEvent e = StaffMeeting();
    e.id = 100 + i;
    e.host_entry = 7 * i;
    e.start = At(2000, 3, 25 + i, 1 + i, 59);  // across the clock change of 26 March
    e.end = At(2000, 3, 25 + i, 3 + i, 1);
    e.untimed = i == 1;
    e.status = i == 2 ? kStatusModified : kStatusAdded;
    events.push_back(e);
  }
  const std::string bytes = Save(events);
  CProfsTable table;
  CProfsRecord r(table, 0);
  ASSERT_EQ(0, Load(bytes, table, r));
  ASSERT_EQ(3, table.GetRecordCount());
  // Saving what was loaded gives the same bytes.
  const std::string path = folder_.Path("again.dat");
  ASSERT_EQ(0, table.SaveTo(path));
  EXPECT_EQ(bytes, ReadBytes(path));
  CBaseIterator iterator(table);
  int i = 0;
  for (int32_t found = iterator.FindFirst(r, 0); found == 0; found = iterator.FindNext(r, 0), ++i) {
    int32_t entry = -1, start = 0;
    r.GetHostEntryNumber(entry);
    r.GetStartTime(start);
    EXPECT_EQ(7 * i, entry);
    EXPECT_EQ(events[i].untimed ? At(2000, 3, 25 + i) : events[i].start, start);
  }
  EXPECT_EQ(3, i);
}

}  // namespace
