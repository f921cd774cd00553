#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "host/device/device_test_util.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(DeviceTest, CreateRefusesAnExistingFile) {
  std::string before = ReadFile(path_);
  std::string error;
  EXPECT_EQ(kDeviceErrImage, DeviceCreateImage(path_, "Bob", &error));
  EXPECT_NE(std::string::npos, error.find("exists")) << error;
  EXPECT_EQ(before, ReadFile(path_));
  EXPECT_EQ(kDeviceErrImage, DeviceCreateImage(dir_ + "/no/such/folder/d.db", "Bob", &error));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/no"));
}

TEST_F(DeviceTest, BadImagesAreRefusedUntouched) {
  // A valid image of ours, cut short: a damaged database.
  DeviceDatabase db;
  db.name = "DatebookDB";
  ASSERT_EQ(kDeviceOk, DeviceAddDatabase(db));
  for (int i = 0; i < 200; ++i) {
    DeviceRecord record;
    record.data.assign(300, static_cast<uint8_t>(i));
    ASSERT_EQ(kDeviceOk, DevicePutRecord("DatebookDB", &record));
  }
  DeviceCloseImage();
  std::string image = ReadFile(path_);
  ASSERT_GT(image.size(), 40000u);
  std::string scrambled = image;
  for (size_t i = 4096; i < scrambled.size(); i += 7) scrambled[i] = static_cast<char>(0x5A);

  struct Case {
    const char* name;
    std::string bytes;
    const char* says;
  };
  const Case kCases[] = {
      {"empty", "", "not a device image"},
      {"text", "BEGIN:VCALENDAR\n", "not a device image"},
      {"truncated", image.substr(0, 1024), "damaged"},
      {"scrambled", scrambled, "damaged"},
  };
  for (const Case& c : kCases) {
    std::string path = dir_ + "/" + c.name + ".db";
    WriteFile(path, c.bytes);
    std::string error;
    EXPECT_EQ(kDeviceErrImage, DeviceOpenImage(path, &error)) << c.name;
    EXPECT_NE(std::string::npos, error.find(c.says)) << c.name << ": " << error;
    EXPECT_NE(std::string::npos, error.find(path)) << c.name << ": " << error;
    EXPECT_EQ(c.bytes, ReadFile(path)) << c.name;
    EXPECT_FALSE(DeviceIsOpen());
    uint32_t session;
    EXPECT_EQ(kDeviceErrNoDevice, DevBeginSession(&session));
  }
  std::string error;
  EXPECT_EQ(kDeviceErrImage, DeviceOpenImage(dir_ + "/missing.db", &error));
  EXPECT_NE(std::string::npos, error.find("missing.db")) << error;
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing.db"));
}

TEST_F(DeviceTest, ForeignSqliteDatabaseIsRefusedUntouched) {
  // An SQLite database of some other program: same header, no application ID of ours. Made
  // from our own image by clearing the application ID field of the header (offset 68).
  DeviceCloseImage();
  std::string image = ReadFile(path_);
  ASSERT_GT(image.size(), 72u);
  image.replace(68, 4, std::string(4, '\0'));
  std::string path = dir_ + "/foreign.db";
  WriteFile(path, image);
  std::string error;
  EXPECT_EQ(kDeviceErrImage, DeviceOpenImage(path, &error));
  EXPECT_NE(std::string::npos, error.find("another program")) << error;
  EXPECT_EQ(image, ReadFile(path));
}

TEST_F(DeviceTest, DirectAccessForSetUp) {
  DeviceDatabase db;
  db.name = "DatebookDB";
  db.creator = 0x64617465;
  ASSERT_EQ(kDeviceOk, DeviceAddDatabase(db));
  EXPECT_EQ(kDeviceErrExists, DeviceAddDatabase(db));
  db.name = std::string(32, 'n');
  EXPECT_EQ(kDeviceErrBadArgument, DeviceAddDatabase(db));
  std::vector<uint8_t> block;
  ASSERT_EQ(kDeviceOk, DeviceGetAppInfo("DatebookDB", &block));
  EXPECT_EQ(DeviceDefaultAppInfo(), block);
  DeviceRecord record;
  record.id = 42;
  record.category = 16;
  EXPECT_EQ(kDeviceErrBadArgument, DevicePutRecord("DatebookDB", &record));
  record.category = 7;
  record.data = {1, 2, 3};
  ASSERT_EQ(kDeviceOk, DevicePutRecord("DatebookDB", &record));
  DeviceRecord read;
  ASSERT_EQ(kDeviceOk, DeviceGetRecord("DatebookDB", 42, &read));
  EXPECT_EQ(7, read.category);
  EXPECT_EQ(record.data, read.data);
  EXPECT_EQ(kSyncErrNotFound, DeviceGetRecord("Other", 42, &read));
  EXPECT_EQ(kDeviceOk, DeviceRemoveRecord("DatebookDB", 42));
  EXPECT_EQ(kSyncErrNotFound, DeviceRemoveRecord("DatebookDB", 42));
  ASSERT_EQ(kDeviceOk, DeviceSetUserName("Bea"));
  std::string user;
  ASSERT_EQ(kDeviceOk, DeviceGetUserName(&user));
  EXPECT_EQ("Bea", user);
}

TEST_F(DeviceTest, MoveCategoryMarksTheMovedRecordsDirty) {
  uint8_t h = CreateDatebook();
  ASSERT_EQ(kDeviceOk, Write(h, 11, 0x00, 3, "a"));
  ASSERT_EQ(kDeviceOk, Write(h, 12, 0x10, 4, "b"));
  ASSERT_EQ(kDeviceOk, Write(h, 13, 0x80, 3, ""));
  ASSERT_EQ(kDeviceOk, DeviceMoveCategory("DatebookDB", 3, 0));
  EXPECT_EQ((std::vector<std::string>{"11:64:0:a", "12:16:4:b", "13:192:0:"}), Records());
  EXPECT_EQ(kDeviceErrBadArgument, DeviceMoveCategory("DatebookDB", 16, 0));
  EXPECT_EQ(kSyncErrNotFound, DeviceMoveCategory("Other", 3, 0));
}

TEST_F(DeviceTest, HardResetLeavesNoDatabaseAndNoLastDesktop) {
  uint8_t h = CreateDatebook();
  ASSERT_EQ(kDeviceOk, Write(h, 11, 0x40, 3, "a"));
  DeviceSetDesktopId("home-1");
  ASSERT_EQ(kDeviceOk, DevClearSyncFlags(h));
  ASSERT_EQ(kDeviceOk, DeviceHardReset());
  std::vector<DeviceDatabase> databases;
  ASSERT_EQ(kDeviceOk, DeviceListDatabases(&databases));
  EXPECT_TRUE(databases.empty());
  std::string desktop = "?";
  ASSERT_EQ(kDeviceOk, DeviceGetLastDesktopId(&desktop));
  EXPECT_EQ("", desktop);
  std::string user;
  ASSERT_EQ(kDeviceOk, DeviceGetUserName(&user));
  EXPECT_EQ("Ann Smith", user);
  // The handle of the removed database is gone; a new database starts empty.
  EXPECT_EQ(kDeviceErrBadHandle, DevCloseDatabase(h));
  CreateDatebook();
  EXPECT_TRUE(Records().empty());
}

// Another program's lock is no damage: the image is waited for a little, then called busy.
TEST_F(DeviceTest, ImageLockedByAnotherProgramIsBusyNotDamaged) {
  DeviceCloseImage();
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(path_.c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  DeviceSetBusyWait(20);
  std::string error;
  EXPECT_EQ(kDeviceErrImage, DeviceOpenImage(path_, &error));
  EXPECT_NE(std::string::npos, error.find(path_ + " is busy")) << error;
  EXPECT_EQ(std::string::npos, error.find("damaged")) << error;

  // A lock that ends while the open waits is waited for.
  DeviceSetBusyWait(5000);
  std::thread release([other]() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  EXPECT_EQ(kDeviceOk, DeviceOpenImage(path_, &error)) << error;
  release.join();
  sqlite3_close(other);
  DeviceSetBusyWait(2000);
}

}  // namespace
