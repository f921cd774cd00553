// The iCalendar driver keeps its own codec of the exchange files (it does not link the conduit).
// These tests hold the two codecs together: a file the driver writes loads into the conduit's
// table with the fields the driver meant, and a file the conduit saves parses in the driver as
// the conduit's own reader reads it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>
#include <vector>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "drivers/ical/event_instances.h"
#include "drivers/ical/exchange_file.h"
#include "tablelib/iterator.h"
#include "tests/support/test_files.h"

namespace {

using ical_driver::AlarmUnit;
using ical_driver::CExchangeEntry;
using ical_driver::EntryStatus;

CExchangeEntry Entry(const std::string& description, const std::string& note) {
  CExchangeEntry e;
  e.year = 2024, e.month = 3, e.day = 31;  // Berlin moves to summer time at 02:00
  e.start_minute = 1 * 60 + 30;
  e.end_minute = 3 * 60 + 15;
  e.description = description;
  e.note = note;
  return e;
}

std::vector<CExchangeEntry> Cases() {
  std::vector<CExchangeEntry> cases;
  cases.push_back(Entry("Staff meeting", "Room 4\r\nBring; slides"));
  cases.push_back(Entry("PERS: Dentist", ""));
  cases.push_back(Entry("CONF: " + std::string(70, 'c'), "tail"));
  cases.push_back(Entry(std::string(60, 's'), "after an exact line"));
  cases.push_back(Entry("", std::string(130, 'n')));
  CExchangeEntry e = Entry("Untimed", "");
  e.untimed = true;
  e.has_record_id = true;
  e.record_id = 0x00ABCDEF;
  e.entry_number = 9999;
  e.status = EntryStatus::kModified;
  e.alarm_advance = 99;
  e.alarm_unit = AlarmUnit::kDays;
  e.repeat = true;
  cases.push_back(e);
  e = Entry("Alarm", "");
  e.entry_number = 0;
  e.status = EntryStatus::kDeleted;
  e.alarm_advance = 15;
  cases.push_back(e);
  e.status = EntryStatus::kAdded;
  e.alarm_unit = AlarmUnit::kHours;
  cases.push_back(e);
  return cases;
}

class IcalExchangeCompatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  test_support::CScratchFolder scratch_{"compat"};
};

TEST_F(IcalExchangeCompatTest, ConduitReadsWhatTheDriverWrites) {
  const std::vector<CExchangeEntry> cases = Cases();
  std::string bytes, error;
  ASSERT_TRUE(ical_driver::FormatExchangeFile(cases, &bytes, &error)) << error;
  const std::string path = scratch_.Data("desk.dat");
  test_support::WriteFile(path, bytes);
  CProfsTable table;
  ASSERT_EQ(0, table.LoadFromFile(path));
  ASSERT_EQ(static_cast<int32_t>(cases.size()), table.GetRecordCount());

  CProfsRecord r(table, 0);
  CBaseIterator it(table);
  size_t i = 0;
  for (int32_t found = it.FindFirst(r, 0); found == 0; found = it.FindNext(r, 0), ++i) {
    SCOPED_TRACE(i);
    CExchangeEntry want = cases[i];
    ical_driver::ReadBackText(&want);
    std::string description, note;
    r.GetDescription(description);
    r.GetNote(note);
    EXPECT_EQ(want.description, description);
    EXPECT_EQ(want.note, note);
    EXPECT_EQ(ical_driver::HasPrivateMark(want.description), r.IsPrivate());
    uint32_t id = 0;
    r.GetRecordId(id);
    if (want.has_record_id) {
      EXPECT_EQ(want.record_id, id);
    }
    int32_t entry = -1;
    r.GetHostEntryNumber(entry);
    if (want.entry_number >= 0) {
      EXPECT_EQ(want.entry_number, entry);
    }
    int32_t start = 0, end = 0;
    r.GetStartTime(start);
    r.GetEndTime(end);
    struct tm local {};
    time_t t = start;
    localtime_r(&t, &local);
    EXPECT_EQ(want.day, local.tm_mday);
    EXPECT_EQ(want.untimed, r.IsUnTimed());
    if (!want.untimed) {
      // 01:30 exists; 03:15 comes after the jump, so the event lasts 45 minutes.
      EXPECT_EQ(want.start_minute, local.tm_hour * 60 + local.tm_min);
      EXPECT_EQ(45 * 60, end - start);
    }
    EXPECT_EQ(want.alarm_advance != 0, r.IsAlarmSet());
    if (want.alarm_advance != 0) {
      int32_t advance = 0, unit = 0;
      r.GetAlarmAdvTime(advance);
      r.GetAlarmAdvUnit(unit);
      EXPECT_EQ(want.alarm_advance, advance);
      EXPECT_EQ(static_cast<int32_t>(want.alarm_unit), unit);
    }
    EXPECT_EQ(want.repeat, r.IsRepeatingEvt());
    EXPECT_EQ(want.status == EntryStatus::kAdded, r.IsAdded());
    EXPECT_EQ(want.status == EntryStatus::kModified, r.IsModified());
    EXPECT_EQ(want.status == EntryStatus::kDeleted, r.IsDeleted());
  }
  EXPECT_EQ(cases.size(), i);

  // Saved back by the conduit, the file parses in the driver to what the conduit holds.
  const std::string saved = scratch_.Data("update.dat");
  ASSERT_EQ(0, table.SaveTo(saved));
  std::vector<CExchangeEntry> parsed;
  ASSERT_TRUE(ical_driver::ParseExchangeFile(test_support::ReadFile(saved), &parsed, &error))
      << error;
  ASSERT_EQ(cases.size(), parsed.size());
  it.FindFirst(r, 0);
  for (size_t k = 0; k < parsed.size(); ++k, it.FindNext(r, 0)) {
    SCOPED_TRACE(k);
    CExchangeEntry twice;
    r.GetDescription(twice.description);
    r.GetNote(twice.note);
    ical_driver::ReadBackText(&twice);
    EXPECT_EQ(twice.description, parsed[k].description);
    EXPECT_EQ(twice.note, parsed[k].note);
    EXPECT_EQ(cases[k].status, parsed[k].status);
    EXPECT_EQ(cases[k].repeat, parsed[k].repeat);
    EXPECT_EQ(cases[k].untimed, parsed[k].untimed);
  }
}

}  // namespace
