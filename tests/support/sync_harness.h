// A whole synchronisation for tests, as OpenConduit runs it: the fake settings store and clock,
// the real process runner starting script_driver, the emulated handheld and the HotSync log. The
// host side is a CHostCalendar: before each run its entries become the extract that the driver
// hands over, and the update that the driver receives is applied to it afterwards.
#ifndef DBC_TESTS_SUPPORT_SYNC_HARNESS_H_
#define DBC_TESTS_SUPPORT_SYNC_HARNESS_H_

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conduit/entry/open_conduit.h"
#include "conduit/format/date_bk_converter.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/platform/fake_os_services.h"
#include "conduit/resources/string_table.h"
#include "host/device/device_control.h"
#include "tablelib/category.h"
#include "tablelib/local_time.h"
#include "tablelib/repeat.h"
#include "tests/support/berlin_time.h"
#include "tests/support/host_calendar.h"
#include "tests/support/log_lines.h"
#include "tests/support/test_files.h"

namespace test_support {

constexpr char kHarnessKey[] = "Conduits/DateBook";
constexpr char kHarnessDatabase[] = "DatebookDB";

// The fake OS services with real processes, so that script_driver runs, and a short poll.
class CRealProcessOs : public CFakeOsServices {
 public:
  int32_t CreateProcess(const char* command_line, const char* environment,
                        ProcessHandle* process) override {
    return CPosixOsServices::CreateProcess(command_line, environment, process);
  }
  int32_t GetExitCode(ProcessHandle process, int32_t* exit_code) override {
    return CPosixOsServices::GetExitCode(process, exit_code);
  }
  void CloseProcess(ProcessHandle process) override { CPosixOsServices::CloseProcess(process); }
  void Sleep(uint32_t) override { CPosixOsServices::Sleep(1); }
};

// A Date Book event as the tests put it on the handheld.
struct CHandheldEvent {
  uint32_t id = 0;  // 0: the handheld gives one
  int32_t start = 0;
  int32_t end = 0;  // 0: one hour after the start
  bool untimed = false;
  std::string description;
  std::string note;
  uint8_t category = 0;
  uint8_t attributes = 0;  // kRecAttr* bits
  int32_t repeat = kRepeatNone;
  uint8_t week_days = 0;  // weekly: bit 0 Sunday ... bit 6 Saturday
  int32_t repeat_end = -1;
  std::vector<int32_t> exceptions;
};

// "<description> <YYYYMMDD> <HH:MM-HH:MM|untimed>" and, where they apply, " R", " x<dates>",
// " cat<n>", " dirty", " deleted", " archived".
inline std::string Brief(CProfsRecord& record, uint8_t attributes, int32_t category) {
  std::string description;
  record.GetDescription(description);
  int32_t start = 0;
  int32_t end = 0;
  record.GetStartTime(start);
  record.GetEndTime(end);
  tablelib::CLocalTime s;
  tablelib::CLocalTime e;
  tablelib::BreakDownLocalTime(start, &s);
  tablelib::BreakDownLocalTime(end, &e);
  char text[96];
  if (record.IsUnTimed()) {
    snprintf(text, sizeof text, " %04d%02d%02d untimed", s.year, s.month, s.day);
  } else {
    snprintf(text, sizeof text, " %04d%02d%02d %02d:%02d-%02d:%02d", s.year, s.month, s.day, s.hour,
             s.minute, e.hour, e.minute);
  }
  std::string out = description + text;
  if (record.IsRepeatingEvt()) out += " R";
  CDateException exception;
  std::string days;
  for (int32_t f = record.FindFirstException(exception); f == 0;
       f = record.FindNextException(exception)) {
    tablelib::CLocalTime x;
    tablelib::BreakDownLocalTime(exception.GetDate(), &x);
    snprintf(text, sizeof text, "%s%04d%02d%02d", days.empty() ? " x" : ",", x.year, x.month,
             x.day);
    days += text;
  }
  out += days;
  if (category != 0) out += " cat" + std::to_string(category);
  if (attributes & kRecAttrDirty) out += " dirty";
  if (attributes & kRecAttrDeleted) out += " deleted";
  if (attributes & kRecAttrArchived) out += " archived";
  return out;
}

class CSyncHarness {
 public:
  explicit CSyncHarness(int32_t num_days = 14) : folder_("dbc_sync"), num_days_(num_days) {
    UseBerlinTime();
    std::string error;
    EXPECT_EQ(kDeviceOk, DeviceCreateImage(folder_.Path("device.db"), "Jane", &error)) << error;
    EXPECT_EQ(kDeviceOk, DeviceOpenImage(folder_.Path("device.db"), &error)) << error;
    DeviceDatabase database;
    database.name = kHarnessDatabase;
    database.creator = 0x64617465;
    database.type = 0x44415441;
    EXPECT_EQ(kDeviceOk, DeviceAddDatabase(database));

    const char* bin = getenv("DBC_BIN_DIR");
    os.SetNumberValue(kHarnessKey, "UserMode", 0);
    os.SetNumberValue(kHarnessKey, "FlushBackup", 0);
    os.SetTextValue(kHarnessKey, "UserID", "jdoe");
    os.SetTextValue(kHarnessKey, "DriverPath", std::string(bin ? bin : ".") + "/script_driver");
    os.SetTextValue(kHarnessKey, "HLLPath", "/opt/hll");
    os.SetTextValue(kHarnessKey, "HLLName", "HOSTCAL");
    os.SetNumberValue(kHarnessKey, "NumDays", static_cast<uint32_t>(num_days));
    os.SetTextValue(kHarnessKey, "Install", "");
    os.SetTextValue(kHarnessKey, "ScreenID", "SCR1");

    memset(&props, 0, sizeof props);
    snprintf(props.data_folder, sizeof props.data_folder, "%s", folder_.DataFolder().c_str());
    snprintf(props.local_file_name, sizeof props.local_file_name, "datebook.dat");
    snprintf(props.user_name, sizeof props.user_name, "Jane");
    snprintf(props.registry_path, sizeof props.registry_path, "%s", kHarnessKey);
    props.registry_root = os.root();
    props.remote_names[0] = database_name_;
    props.creator = database.creator;
    props.database_type = database.type;
    SetNow(2024, 1, 15, 10, 0);
  }
  ~CSyncHarness() { DeviceCloseImage(); }
  CSyncHarness(const CSyncHarness&) = delete;
  CSyncHarness& operator=(const CSyncHarness&) = delete;

  // The NumDays setting, and the window of the driver's extract with it.
  void SetNumDays(int32_t num_days) {
    num_days_ = num_days;
    os.SetNumberValue(kHarnessKey, "NumDays", static_cast<uint32_t>(num_days));
  }

  void SetNow(int year, int month, int day, int hour = 10, int minute = 0) {
    os.now = At(year, month, day, hour, minute);
  }

  // One OpenConduit. The host's entries are the extract; the update, when the driver received
  // one, is applied to the host afterwards and kept for update().
  int32_t Sync(int32_t sync_type = kSyncFast, int32_t first_sync = 0) {
    // The driver extracts the window's days, today and num_days days after it.
    char first[16];
    char last[16];
    tablelib::CLocalTime today;
    tablelib::BreakDownLocalTime(os.now, &today);
    snprintf(first, sizeof first, "%04d%02d%02d", today.year, today.month, today.day);
    const tablelib::CCivilDate end = tablelib::CivilFromDays(
        tablelib::DaysFromCivil({today.year, today.month, today.day}) + num_days_);
    snprintf(last, sizeof last, "%04d%02d%02d", end.year, end.month, end.day);
    WriteFile(folder_.Path("host_extract.dat"),
              extract_bytes ? *extract_bytes : host.Extract(first, last));
    WriteFile(folder_.Data("driver_script"),
              "extract.extract_file " + folder_.Path("host_extract.dat") + "\nupdate.update_copy " +
                  folder_.Path("host_update.dat") + "\n" + driver_script);
    std::remove(folder_.Path("host_update.dat").c_str());
    props.sync_type = sync_type;
    props.first_sync = first_sync;
    StartLogRun();
    int context = 0;
    const int32_t result =
        RunOpenConduit(os, ConduitModuleInstance(), &context, props, make_monitor);
    log_ = LogLines();
    update_.clear();
    const std::string update = ReadFile(folder_.Path("host_update.dat"));
    if (update != kMissing) {
      EXPECT_TRUE(ParseExchangeFile(update, &update_)) << update;
      EXPECT_TRUE(host.Apply(update));
    }
    return result;
  }

  // The last run's update, one compact line per record in file order; empty when no update ran.
  std::vector<std::string> Update() const {
    std::vector<std::string> lines;
    for (const CExchangeEntry& e : update_) lines.push_back(e.Brief());
    return lines;
  }
  const std::vector<CExchangeEntry>& update_entries() const { return update_; }
  const std::vector<Line>& log() const { return log_; }

  // Puts a record on the handheld; answers its ID.
  uint32_t PutHandheld(const CHandheldEvent& event) {
    CProfsTable table;
    CProfsRecord record(table, 0);
    EXPECT_EQ(0, table.AppendBlankRecord(static_cast<CDateBkRecord&>(record)));
    record.SetStartTime(event.start);
    record.SetEndTime(event.untimed ? event.start
                                    : (event.end != 0 ? event.end : event.start + 3600));
    record.SetUnTimedFlag(event.untimed ? 1 : 0);
    record.SetDescription(event.description);
    record.SetNote(event.note);
    switch (event.repeat) {
      case kRepeatDaily:
        record.SetRepDaily(CDayName(0, 1, event.repeat_end, 0));
        break;
      case kRepeatWeekly:
        record.SetRepWeekly(CWeekly(event.week_days, 1, event.repeat_end, 0));
        break;
      case kRepeatYearlyByDate: {
        tablelib::CLocalTime local;
        tablelib::BreakDownLocalTime(event.start, &local);
        record.SetRepYearlyByDate(CDateOfYear(local.month - 1, local.day, 1, event.repeat_end, 0));
        break;
      }
      default:
        break;
    }
    for (int32_t day : event.exceptions) record.AddException(day);
    std::vector<uint8_t> buffer(4480);
    RecordRequest request;
    memset(&request, 0, sizeof request);
    request.buffer = buffer.data();
    request.buffer_size = static_cast<uint16_t>(buffer.size());
    CDateBkConverter converter;
    EXPECT_EQ(0, converter.ConvertToRemote(record, &request));
    DeviceRecord raw;
    raw.id = event.id;
    raw.attributes = event.attributes;
    raw.category = event.category;
    raw.data.assign(buffer.begin(), buffer.begin() + request.data_size);
    EXPECT_EQ(kDeviceOk, DevicePutRecord(kHarnessDatabase, &raw));
    return raw.id;
  }

  // The handheld's records in the compact form of Brief, sorted.
  std::vector<std::string> Handheld() const {
    std::vector<std::string> out;
    std::vector<DeviceRecord> records;
    EXPECT_EQ(kDeviceOk, DeviceListRecords(kHarnessDatabase, &records));
    for (DeviceRecord& raw : records) out.push_back(BriefOf(raw));
    std::sort(out.begin(), out.end());
    return out;
  }
  // The handheld record of an ID in the compact form; "" when there is none.
  std::string HandheldRecord(uint32_t id) const {
    DeviceRecord raw;
    if (DeviceGetRecord(kHarnessDatabase, id, &raw) != kDeviceOk) return "";
    return BriefOf(raw);
  }
  // The ID of the handheld record with this description, 0 when there is none.
  uint32_t HandheldId(const std::string& description) const {
    std::vector<DeviceRecord> records;
    DeviceListRecords(kHarnessDatabase, &records);
    for (DeviceRecord& raw : records) {
      if (BriefOf(raw).rfind(description + " ", 0) == 0) return raw.id;
    }
    return 0;
  }
  // Changes the attributes of a handheld record, as the handheld's own application does.
  void MarkHandheld(uint32_t id, uint8_t attributes) {
    DeviceRecord raw;
    ASSERT_EQ(kDeviceOk, DeviceGetRecord(kHarnessDatabase, id, &raw));
    raw.attributes = attributes;
    ASSERT_EQ(kDeviceOk, DevicePutRecord(kHarnessDatabase, &raw));
  }

  // Sets the handheld's categories: (index, name) pairs, each with the ID of its index.
  void SetHandheldCategories(const std::vector<std::pair<int, std::string>>& categories) {
    CCategoryMgr list;
    for (const auto& c : categories) {
      std::unique_ptr<CCategory> category(new CCategory(c.first, c.first, c.second));
      list.Add(category);
    }
    std::vector<uint8_t> block = DeviceDefaultAppInfo();
    AppInfoRequest request;
    memset(&request, 0, sizeof request);
    request.buffer = block.data();
    request.buffer_size = static_cast<uint16_t>(block.size());
    CDateBkConverter converter;
    ASSERT_EQ(0, converter.ConvertCategoriesToRemote(&request, &list));
    ASSERT_EQ(kDeviceOk, DeviceSetAppInfo(kHarnessDatabase, block));
  }
  // The handheld's categories as "index:name", in index order.
  std::vector<std::string> HandheldCategories() const {
    std::vector<uint8_t> block;
    EXPECT_EQ(kDeviceOk, DeviceGetAppInfo(kHarnessDatabase, &block));
    AppInfoRequest request;
    memset(&request, 0, sizeof request);
    request.buffer = block.data();
    request.buffer_size = static_cast<uint16_t>(block.size());
    CCategoryMgr list;
    CDateBkConverter converter;
    EXPECT_EQ(0, converter.ConvertCategoriesFromRemote(&request, &list));
    std::vector<std::string> out;
    for (int32_t i = 0; i < kMaxCategories; ++i) {
      CCategory* category = nullptr;
      list.FindIndex(i, category);
      if (category != nullptr) out.push_back(std::to_string(i) + ":" + category->GetName());
    }
    return out;
  }

  const CScratchFolder& folder() const { return folder_; }

  // The handheld, the data folder and the host, to go back to.
  struct CSnapshot {
    std::string device;
    std::vector<std::pair<std::string, std::string>> data_files;
    CHostCalendar host;
  };
  CSnapshot Snapshot() {
    CSnapshot snapshot;
    DeviceCloseImage();
    snapshot.device = ReadFile(folder_.Path("device.db"));
    std::string error;
    EXPECT_EQ(kDeviceOk, DeviceOpenImage(folder_.Path("device.db"), &error)) << error;
    for (const std::string& name : folder_.DataFiles()) {
      snapshot.data_files.emplace_back(name, ReadFile(folder_.Data(name)));
    }
    snapshot.host = host;
    return snapshot;
  }
  // Goes back to a snapshot; fault rules and call counts start afresh.
  void Restore(const CSnapshot& snapshot) {
    DeviceCloseImage();
    WriteFile(folder_.Path("device.db"), snapshot.device);
    std::string error;
    EXPECT_EQ(kDeviceOk, DeviceOpenImage(folder_.Path("device.db"), &error)) << error;
    for (const std::string& name : folder_.DataFiles()) {
      std::filesystem::remove_all(folder_.Data(name));
    }
    for (const auto& file : snapshot.data_files) WriteFile(folder_.Data(file.first), file.second);
    host = snapshot.host;
  }

  CRealProcessOs os;
  HotSyncProps props;
  CHostCalendar host;
  // Lines added to the driver's script of each run.
  std::string driver_script;
  // When set, the driver's extract holds these bytes instead of the host's entries.
  std::optional<std::string> extract_bytes;
  // Makes the monitor of each run (tests that need their own); the conduit's when null.
  MonitorFactory make_monitor = NewProfsMonitor;

 private:
  static std::string BriefOf(DeviceRecord& raw) {
    CProfsTable table;
    CProfsRecord record(table, 0);
    EXPECT_EQ(0, table.AppendBlankRecord(static_cast<CDateBkRecord&>(record)));
    RecordRequest request;
    memset(&request, 0, sizeof request);
    request.record_id = raw.id;
    request.attributes = static_cast<uint8_t>(raw.attributes & ~kRecAttrDeleted);
    request.category = raw.category;
    request.buffer = raw.data.data();
    request.buffer_size = static_cast<uint16_t>(raw.data.size());
    request.data_size = static_cast<uint32_t>(raw.data.size());
    CDateBkConverter converter;
    converter.ConvertFromRemote(record, &request);
    return Brief(record, raw.attributes, raw.category);
  }

  CScratchFolder folder_;
  int32_t num_days_;
  char database_name_[16] = "DatebookDB";
  std::vector<CExchangeEntry> update_;
  std::vector<Line> log_;
};

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_SYNC_HARNESS_H_
