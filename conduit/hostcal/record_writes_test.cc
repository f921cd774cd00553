// The one-line description of a Date Book record in the HotSync log.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/hostcal/profs_monitor.h"
#include "conduit/platform/fake_os_services.h"
#include "conduit/resources/string_table.h"
#include "tablelib/local_time.h"

namespace {

int32_t Local(int year, int month, int day, int hour, int minute) {
  int32_t time = 0;
  tablelib::MakeLocalTime(year, month, day, hour, minute, 0, &time);
  return time;
}

TEST(FormatRecordForLogTest, DescriptionDateAndTime) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  CFakeOsServices os;
  HotSyncProps props;
  memset(&props, 0, sizeof props);
  CProfsMonitor monitor(props, ConduitModuleInstance(), os);
  const std::string kFifty(50, 'x');
  struct Case {
    std::string description;
    int hour;
    int minute;
    bool untimed;
    std::string line;
  } const kCases[] = {
      {"Staff meeting", 9, 5, false, "       Staff meeting, 3/7/1998, 9:05am"},
      {"Staff meeting", 12, 30, false, "       Staff meeting, 3/7/1998, 12:30am"},
      {"Staff meeting", 0, 15, false, "       Staff meeting, 3/7/1998, 0:15am"},
      {"Staff meeting", 13, 0, false, "       Staff meeting, 3/7/1998, 1:00pm"},
      {"Staff meeting", 23, 59, false, "       Staff meeting, 3/7/1998, 11:59pm"},
      {"Holiday", 0, 0, true, "       Holiday, 3/7/1998, Untimed"},
      {kFifty, 9, 5, false, "       " + kFifty.substr(0, 40) + ", 3/7/1998, 9:05am"},
      {"", 9, 5, false, "       , 3/7/1998, 9:05am"},
  };
  CProfsTable table;
  CProfsRecord record(table, 0);
  ASSERT_EQ(0, table.AppendBlankRecord(static_cast<CDateBkRecord&>(record)));
  for (const Case& c : kCases) {
    record.SetDescription(c.description);
    record.SetStartTime(Local(1998, 3, 7, c.hour, c.minute));
    record.SetUnTimedFlag(c.untimed ? 1 : 0);
    char buffer[kLogLineSize];
    memset(buffer, 0, sizeof buffer);
    monitor.FormatRecordForLog(record, buffer);
    EXPECT_EQ(c.line, buffer);
  }
}

}  // namespace
