// Helpers shared by the format tests: the time zone, local times, scratch files and records.
#ifndef DBC_CONDUIT_FORMAT_FORMAT_TEST_UTIL_H_
#define DBC_CONDUIT_FORMAT_FORMAT_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "tablelib/local_time.h"
#include "tests/support/berlin_time.h"
#include "tests/support/test_files.h"

namespace format_test {

using test_support::At;
using test_support::UseBerlinTime;

// A folder of its own for the running test, removed when the object goes.
using test_support::CScratchFolder;

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A desktop Date Book event, as the tests describe one.
struct CEvent {
  uint32_t id = 0;
  int32_t host_entry = 0;
  int32_t start = 0;
  int32_t end = 0;
  bool untimed = false;
  int32_t status = kStatusUnchanged;
  int32_t alarm_advance = -1;  // -1: no alarm
  int32_t alarm_unit = 0;
  bool is_private = false;
  std::string description;
  std::string note;
  int32_t category = 0;
  bool archived = false;
};

// Appends a row to table holding the event; record is left on that row.
inline void AddEvent(CProfsTable& table, const CEvent& event, CProfsRecord& record) {
  ASSERT_EQ(0, table.AppendBlankRecord(static_cast<CDateBkRecord&>(record)));
  record.SetRecordId(event.id);
  record.SetHostEntryNumber(event.host_entry);
  record.SetStartTime(event.start);
  record.SetEndTime(event.untimed ? event.start : event.end);
  record.SetUnTimedFlag(event.untimed ? 1 : 0);
  record.SetStatus(event.status);
  record.SetAlarmFlag(event.alarm_advance >= 0 ? 1 : 0);
  record.SetAlarmAdvTime(event.alarm_advance);
  record.SetAlarmAdvUnit(event.alarm_unit);
  record.SetPrivate(event.is_private ? 1 : 0);
  record.SetDescription(event.description);
  record.SetNote(event.note);
  record.SetCategoryId(event.category);
  record.SetArchiveBit(event.archived);
}

}  // namespace format_test

#endif  // DBC_CONDUIT_FORMAT_FORMAT_TEST_UTIL_H_
