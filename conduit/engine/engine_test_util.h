// Helpers shared by the engine's tests: a small specialisation of CSyncMonitor over Date Book
// tables, sync properties for a scratch data folder, and desktop tables described in a line.
#ifndef DBC_CONDUIT_ENGINE_ENGINE_TEST_UTIL_H_
#define DBC_CONDUIT_ENGINE_ENGINE_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "conduit/engine/sync_monitor.h"
#include "conduit/format/date_bk_converter.h"
#include "conduit/platform/fake_os_services.h"
#include "conduit/resources/string_table.h"
#include "conduit/result_codes.h"
#include "host/device/device_control.h"
#include "host/log/log_control.h"
#include "sdk/sync_manager.h"
#include "tablelib/category.h"
#include "tablelib/iterator.h"
#include "tablelib/record.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"
#include "tests/support/log_lines.h"
#include "tests/support/test_files.h"

namespace engine_test {

using test_support::CScratchFolder;
using test_support::Line;
using test_support::LogLines;
using test_support::StartLogRun;

constexpr char kDatabaseName[] = "DatebookDB";

// Sync properties for the data folder, with the one remote database kDatabaseName.
inline HotSyncProps MakeProps(const std::string& data_folder, int32_t sync_type,
                              int32_t first_sync = 0) {
  static char name[] = "DatebookDB";
  HotSyncProps props;
  memset(&props, 0, sizeof(props));
  props.sync_type = sync_type;
  strncpy(props.data_folder, data_folder.c_str(), sizeof(props.data_folder) - 1);
  strncpy(props.local_file_name, "datebook.dat", sizeof(props.local_file_name) - 1);
  props.remote_names[0] = name;
  props.first_sync = first_sync;
  return props;
}

// The test specialisation: Date Book tables, the Date Book converter, the handheld database
// opened by name, and knobs that make its operations fail.
class CTestMonitor : public CSyncMonitor {
 public:
  CTestMonitor(const HotSyncProps& props, COsServices& os)
      : CSyncMonitor(props, ConduitModuleInstance(), os) {
    converter_.reset(new CDateBkConverter());
    desktop_table_.reset(new CDateBkTable());
    archive_table_.reset(new CDateBkTable());
    strcpy(archive_extension_, ".DBA");
  }

  // --- Knobs ---
  int32_t run_sync_result = kOk;
  int32_t run_sync_calls = 0;
  int32_t types_4_and_7_calls = 0;
  int32_t type_5_calls = 0;
  // What FormatRecordForLog writes; with describe false the base class's (nothing) is used.
  bool describe = true;
  std::string description = "Lunch";
  // The title GetConduitTitle writes; with titled false the base class's (nothing) is used.
  bool titled = true;
  // CreateLocalTable call number (1-based) that fails; 0: none.
  int32_t fail_create_table_at = 0;
  int32_t create_table_calls = 0;
  // CopyRecordToTable fails with this code when non-zero.
  int32_t copy_error = kOk;

  // Opens the handheld database and remembers its handle.
  int32_t OpenRemoteDatabase() override {
    return DevOpenDatabase(RemoteDatabaseName(), 0, &db_handle_, kSyncOpenModeReadWrite);
  }
  int32_t CopyRecordToTable(CBaseRecord& record, CBaseTable& table) override {
    if (copy_error != kOk) return copy_error;
    CDateBkRecord copy(table, 0);
    return table.AppendDuplicateRecord(record, copy, 1);
  }
  int32_t CreateLocalTable(std::unique_ptr<CBaseTable>& table) override {
    ++create_table_calls;
    if (create_table_calls == fail_create_table_at) {
      table.reset();
      return kErrNotProvided;
    }
    table.reset(new CDateBkTable());
    return kOk;
  }
  int32_t RunSync() override {
    ++run_sync_calls;
    return run_sync_result;
  }
  int32_t RunSyncTypes4And7() override {
    ++types_4_and_7_calls;
    return CSyncMonitor::RunSyncTypes4And7();
  }
  int32_t RunSyncType5() override {
    ++type_5_calls;
    return CSyncMonitor::RunSyncType5();
  }
  void FormatRecordForLog(CBaseRecord& record, char* buffer) override {
    if (!describe) return CSyncMonitor::FormatRecordForLog(record, buffer);
    strncpy(buffer, description.c_str(), kLogLineSize - 1);
  }
  void GetConduitTitle(char* buffer, int32_t size) override {
    if (!titled) return CSyncMonitor::GetConduitTitle(buffer, size);
    os_.LoadString(module_, IDS_CONDUIT_NAME, buffer, size);
  }

  // --- Access for tests ---
  CDateBkTable& desktop() { return static_cast<CDateBkTable&>(*desktop_table_); }
  CDateBkTable& archive() { return static_cast<CDateBkTable&>(*archive_table_); }
  void DropArchiveTable() { archive_table_.reset(); }
  void DropDesktopTable() { desktop_table_.reset(); }
  // Borrows the desktop table's category list, as SynchronizeCategories does.
  void TakeDesktopCategories() { desktop_categories_ = desktop_table_->GetCategoryManager(); }
  void SetRomVersion(uint32_t version) { system_info_request_.rom_version = version; }
  uint8_t handle() const { return db_handle_; }
  using CSyncMonitor::RemoteDatabaseName;
};

// A category as the tests describe one.
struct Cat {
  int32_t index;
  int32_t id;
  std::string name;
  bool dirty = false;
};

inline bool operator==(const Cat& a, const Cat& b) {
  return a.index == b.index && a.id == b.id && a.name == b.name && a.dirty == b.dirty;
}

inline std::ostream& operator<<(std::ostream& out, const Cat& c) {
  return out << "{" << c.index << "," << c.id << ",\"" << c.name << "\""
             << (c.dirty ? ",dirty" : "") << "}";
}

inline void FillCategories(CCategoryMgr& list, const std::vector<Cat>& cats) {
  list.DeleteAllCategories(1);
  for (const Cat& c : cats) {
    std::unique_ptr<CCategory> category(new CCategory(c.id, c.index, c.name, c.dirty));
    ASSERT_EQ(kOk, list.Add(category)) << c;
  }
}

// The list's categories sorted by index.
inline std::vector<Cat> ListCategories(const CCategoryMgr& source) {
  CCategoryMgr list(source);
  std::vector<Cat> cats;
  CCategory* c = nullptr;
  for (int32_t found = list.FindFirst(c); found == kOk && c != nullptr; found = list.FindNext(c)) {
    cats.push_back({c->GetIndex(), c->GetID(), c->GetName(), c->GetNameDirty()});
  }
  std::sort(cats.begin(), cats.end(), [](const Cat& a, const Cat& b) { return a.index < b.index; });
  return cats;
}

// A Date Book row: description and category are what the tests look at.
struct Row {
  std::string description;
  int32_t category = 0;
  uint32_t id = 0;
  int32_t status = kStatusUnchanged;
};

inline void AddRow(CBaseTable& table, const Row& row) {
  CDateBkRecord record(table, 0);
  ASSERT_EQ(kOk, static_cast<CDateBkTable&>(table).AppendBlankRecord(record));
  ASSERT_EQ(kOk, record.SetDescription(row.description));
  ASSERT_EQ(kOk, record.SetCategoryId(row.category));
  ASSERT_EQ(kOk, record.SetRecordId(row.id));
  ASSERT_EQ(kOk, record.SetStatus(row.status));
}

// The table's rows in table order.
inline std::vector<Row> ReadRows(CBaseTable& table) {
  std::vector<Row> rows;
  CDateBkRecord record(table, 0);
  CBaseIterator iterator(table);
  for (int32_t found = iterator.FindFirst(record, 0); found == kOk;
       found = iterator.FindNext(record, 0)) {
    Row row;
    record.GetDescription(row.description);
    record.GetCategoryId(row.category);
    record.GetRecordId(row.id);
    record.GetStatus(row.status);
    rows.push_back(row);
  }
  return rows;
}

// --- The emulated handheld and the HotSync log stand-in ---

// The category block at the start of an application-information block: big-endian name-changed
// flags, 16 names of 16 bytes, 16 IDs.
constexpr size_t kBlockNames = 2;
constexpr size_t kBlockIds = kBlockNames + 16 * 16;
constexpr size_t kBlockSize = kBlockIds + 16;

// A fresh handheld (a device image in folder) holding the database kDatabaseName with the given
// categories and one record per entry of record_categories.
inline void StartHandheld(const CScratchFolder& folder, const std::vector<Cat>& categories,
                          const std::vector<int32_t>& record_categories, uint8_t rom_major = 3) {
  DeviceCloseImage();
  const std::string image = folder.Path("device.img");
  std::filesystem::remove(image);
  std::string error;
  ASSERT_EQ(kDeviceOk, DeviceCreateImage(image, "Tester", &error)) << error;
  ASSERT_EQ(kDeviceOk, DeviceOpenImage(image, &error)) << error;
  ASSERT_EQ(kDeviceOk, DeviceSetRomMajor(rom_major));
  DeviceDatabase database;
  database.name = kDatabaseName;
  ASSERT_EQ(kDeviceOk, DeviceAddDatabase(database));
  std::vector<uint8_t> block = DeviceDefaultAppInfo();
  ASSERT_GE(block.size(), kBlockSize);
  std::fill(block.begin(), block.begin() + kBlockSize, 0);
  uint16_t flags = 0;
  for (const Cat& c : categories) {
    ASSERT_LT(c.name.size(), 16u);
    memcpy(&block[kBlockNames + 16 * c.index], c.name.data(), c.name.size());
    block[kBlockIds + c.index] = static_cast<uint8_t>(c.id);
    if (c.dirty) flags = static_cast<uint16_t>(flags | (1u << c.index));
  }
  block[0] = static_cast<uint8_t>(flags >> 8);
  block[1] = static_cast<uint8_t>(flags & 0xFF);
  ASSERT_EQ(kDeviceOk, DeviceSetAppInfo(kDatabaseName, block));
  for (int32_t category : record_categories) {
    DeviceRecord record;
    record.category = static_cast<uint8_t>(category);
    record.data = {'x'};
    ASSERT_EQ(kDeviceOk, DevicePutRecord(kDatabaseName, &record));
  }
}

// The categories of the database's application-information block, by index, with their
// name-changed flags.
inline std::vector<Cat> HandheldCategories() {
  std::vector<uint8_t> block;
  EXPECT_EQ(kDeviceOk, DeviceGetAppInfo(kDatabaseName, &block));
  std::vector<Cat> cats;
  if (block.size() < kBlockSize) {
    ADD_FAILURE() << "block of " << block.size() << " bytes";
    return cats;
  }
  const uint16_t flags = static_cast<uint16_t>((block[0] << 8) | block[1]);
  for (int32_t i = 0; i < 16; ++i) {
    const char* name = reinterpret_cast<const char*>(&block[kBlockNames + 16 * i]);
    if (name[0] == '\0') continue;
    cats.push_back(
        {i, block[kBlockIds + i], std::string(name, strnlen(name, 16)), (flags & (1u << i)) != 0});
  }
  return cats;
}

// The categories of the database's records, in record order.
inline std::vector<int32_t> HandheldRecordCategories() {
  std::vector<DeviceRecord> records;
  EXPECT_EQ(kDeviceOk, DeviceListRecords(kDatabaseName, &records));
  std::vector<int32_t> out;
  for (const DeviceRecord& r : records) out.push_back(r.category);
  return out;
}

// The nth device call from now on (1-based, any operation) fails with code; later calls work.
inline void FailNthDeviceCall(int32_t n, int32_t code) {
  DeviceFailCall(kDeviceOpAny, static_cast<uint32_t>(n), code);
}
// The next SyncReadSystemInfo / SyncChangeCategory fails with code.
inline void FailSystemInfo(int32_t code) {
  DeviceFailCall(kDeviceOpReadSystemInfo, 1, code);
}
inline void FailChangeCategory(int32_t code) {
  DeviceFailCall(kDeviceOpChangeCategory, 1, code);
}
inline void ClearDeviceFaults() {
  DeviceClearFaults();
}
// Device calls of every operation since the device was opened.
inline uint32_t DeviceCalls() {
  return DeviceCallCount(kDeviceOpAny);
}

}  // namespace engine_test

#endif  // DBC_CONDUIT_ENGINE_ENGINE_TEST_UTIL_H_
