#include <cstring>

#include "host/device/device_test_util.h"

namespace {

constexpr uint8_t kDirty = kRecAttrDirty;
constexpr uint8_t kDeleted = kRecAttrDeleted;
constexpr uint8_t kArchived = kRecAttrArchived;

// Reads with a request of a 64-byte buffer; answers the code and fills *out as
// "id:attributes:category:index:data".
int32_t Read(int32_t (*call)(RecordRequest*), uint8_t handle, uint32_t id, uint16_t index,
             std::string* out) {
  uint8_t buffer[64] = {};
  RecordRequest request{};
  request.db_handle = handle;
  request.record_id = id;
  request.record_index = index;
  request.buffer_size = sizeof buffer;
  request.buffer = buffer;
  int32_t result = call(&request);
  uint32_t size = request.data_size;
  *out = std::to_string(request.record_id) + ":" + std::to_string(request.attributes) + ":" +
         std::to_string(request.category) + ":" + std::to_string(request.record_index) + ":" +
         std::string(reinterpret_cast<char*>(buffer), size < 64 ? size : 64);
  return result;
}

TEST_F(DeviceTest, OpenAndCreateDatabase) {
  uint8_t handle = 0;
  EXPECT_EQ(kSyncErrNotFound, DevOpenDatabase("DatebookDB", 0, &handle, kSyncOpenModeReadWrite));
  uint8_t created = CreateDatebook();
  EXPECT_NE(0, created);
  EXPECT_EQ(kDeviceOk, DevOpenDatabase("DatebookDB", 0, &handle, kSyncOpenModeReadWrite));
  EXPECT_NE(created, handle);
  EXPECT_EQ(kSyncErrNotFound, DevOpenDatabase("DatebookDB", 1, &handle, kSyncOpenModeReadWrite));

  CreateRequest again{};
  std::strcpy(again.database_name, "DatebookDB");
  EXPECT_EQ(kDeviceErrExists, DevCreateDatabase(&again));
  CreateRequest unterminated{};
  std::memset(unterminated.database_name, 'x', sizeof unterminated.database_name);
  EXPECT_EQ(kDeviceErrBadArgument, DevCreateDatabase(&unterminated));

  std::vector<DeviceDatabase> databases;
  ASSERT_EQ(kDeviceOk, DeviceListDatabases(&databases));
  ASSERT_EQ(1u, databases.size());
  EXPECT_EQ(0x64617465u, databases[0].creator);
  EXPECT_EQ(0x44415441u, databases[0].type);

  // The new block: "Unfiled" at index 0, every other name and ID empty.
  uint8_t block[800];
  std::memset(block, 0xAA, sizeof block);
  AppInfoRequest info{};
  info.buffer_size = sizeof block;
  info.buffer = block;
  ASSERT_EQ(kDeviceOk, DevReadAppInfo(created, &info));
  uint16_t size = info.buffer_size;
  ASSERT_GE(size, 274);
  EXPECT_EQ(0, block[0] | block[1]);
  EXPECT_EQ(0, std::memcmp(block + 2, "Unfiled\0\0\0\0\0\0\0\0\0", 16));
  for (int i = 1; i < 16; ++i) EXPECT_EQ(0, block[2 + 16 * i]) << "name " << i;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(0, block[258 + i]) << "ID " << i;
  EXPECT_EQ(0xAA, block[size]);  // nothing written past the block

  EXPECT_EQ(kDeviceOk, DevCloseDatabase(handle));
  EXPECT_EQ(kDeviceErrBadHandle, DevCloseDatabase(handle));
}

TEST_F(DeviceTest, WriteAssignsIdsFromTheSeedAndNeverReusesThem) {
  uint8_t h = CreateDatebook();
  uint32_t a = 0, b = 0, c = 0, d = 0;
  ASSERT_EQ(kDeviceOk, Write(h, 0, kDirty, 1, "a", &a));
  ASSERT_EQ(kDeviceOk, Write(h, 0, 0, 2, "b", &b));
  EXPECT_EQ(kDeviceFirstRecordId, a);
  EXPECT_EQ(a + 1, b);
  // Replacing keeps the record's place; an unknown ID is added at the end under that ID.
  ASSERT_EQ(kDeviceOk, Write(h, a, 0, 3, "A", &c));
  EXPECT_EQ(a, c);
  ASSERT_EQ(kDeviceOk, Write(h, 5000, 0, 0, "x", &c));
  EXPECT_EQ(5000u, c);
  RecordRequest del{};
  del.db_handle = h;
  del.record_id = b;
  ASSERT_EQ(kDeviceOk, DevDeleteRecord(&del));
  EXPECT_EQ(kSyncErrNotFound, DevDeleteRecord(&del));
  ASSERT_EQ(kDeviceOk, Write(h, 0, 0, 0, "d", &d));
  EXPECT_EQ(5001u, d);  // above every ID seen, not the deleted one
  EXPECT_EQ((std::vector<std::string>{"1001:0:3:A", "5000:0:0:x", "5001:0:0:d"}), Records());
}

TEST_F(DeviceTest, WriteRejectsUnsafeRequests) {
  uint8_t h = CreateDatebook();
  uint8_t data[8] = {};
  struct Case {
    const char* what;
    uint32_t data_size;
    uint16_t buffer_size;
    uint8_t* buffer;
    int16_t category;
    int32_t expected;
  };
  const Case kCases[] = {
      {"data beyond the buffer", 9, 8, data, 0, kDeviceErrBadArgument},
      {"no buffer", 4, 8, nullptr, 0, kDeviceErrBadArgument},
      {"category 16", 4, 8, data, 16, kDeviceErrBadArgument},
      {"category -1", 4, 8, data, -1, kDeviceErrBadArgument},
      {"too large", 70000, 8, data, 0, kDeviceErrTooLarge},
      {"empty record", 0, 0, nullptr, 15, kDeviceOk},
  };
  for (const Case& c : kCases) {
    RecordRequest request{};
    request.db_handle = h;
    request.data_size = c.data_size;
    request.buffer_size = c.buffer_size;
    request.buffer = c.buffer;
    request.category = c.category;
    EXPECT_EQ(c.expected, DevWriteRecord(&request)) << c.what;
  }
  EXPECT_EQ((std::vector<std::string>{"1001:0:15:"}), Records());

  uint8_t read_only = 0;
  ASSERT_EQ(kDeviceOk, DevOpenDatabase("DatebookDB", 0, &read_only, kDeviceModeRead));
  EXPECT_EQ(kDeviceErrReadOnly, Write(read_only, 0, 0, 0, "x"));
  EXPECT_EQ(kDeviceErrReadOnly, DevPurgeRemoved(read_only));
  EXPECT_EQ(kDeviceErrBadHandle, Write(99, 0, 0, 0, "x"));
}

TEST_F(DeviceTest, ReadByIndexMeetsEveryRecord) {
  uint8_t h = CreateDatebook();
  Write(h, 0, kDeleted, 0, "gone");
  Write(h, 0, kArchived | kDirty, 4, "kept");
  Write(h, 0, 0, 2, "plain");
  std::string out;
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 0, &out));
  EXPECT_EQ("1001:128:0:0:gone", out);
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 1, &out));
  EXPECT_EQ("1002:72:4:1:kept", out);
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 2, &out));
  EXPECT_EQ("1003:0:2:2:plain", out);
  EXPECT_EQ(kSyncErrNotFound, Read(DevReadRecordAt, h, 0, 3, &out));
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordWithId, h, 1003, 0, &out));
  EXPECT_EQ("1003:0:2:2:plain", out);
  EXPECT_EQ(kSyncErrNotFound, Read(DevReadRecordWithId, h, 77, 0, &out));
}

// Indexes stay right while records are added, replaced, deleted and purged between reads.
TEST_F(DeviceTest, IndexesFollowEveryChange) {
  uint8_t h = CreateDatebook();
  Write(h, 0, 0, 0, "a");
  Write(h, 0, kDeleted, 0, "b");
  Write(h, 0, 0, 0, "c");
  std::string out;
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 2, &out));
  EXPECT_EQ("1003:0:0:2:c", out);
  Write(h, 0, 0, 0, "d");
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 3, &out));
  EXPECT_EQ("1004:0:0:3:d", out);
  Write(h, 1001, 0, 0, "a2");  // replaced in place
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 0, &out));
  EXPECT_EQ("1001:0:0:0:a2", out);
  RecordRequest request{};
  request.db_handle = h;
  request.record_id = 1003;
  ASSERT_EQ(kDeviceOk, DevDeleteRecord(&request));
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 2, &out));
  EXPECT_EQ("1004:0:0:2:d", out);
  ASSERT_EQ(kDeviceOk, DevPurgeRemoved(h));
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 1, &out));
  EXPECT_EQ("1004:0:0:1:d", out);
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordWithId, h, 1004, 0, &out));
  EXPECT_EQ("1004:0:0:1:d", out);
  EXPECT_EQ(kSyncErrNotFound, Read(DevReadRecordAt, h, 0, 2, &out));
  Write(h, 0, 0, 0, "e");
  EXPECT_EQ(kDeviceOk, Read(DevReadRecordAt, h, 0, 2, &out));
  EXPECT_EQ("1005:0:0:2:e", out);
}

TEST_F(DeviceTest, ReadNextChangedPerHandle) {
  uint8_t h = CreateDatebook();
  Write(h, 0, 0, 0, "clean");
  Write(h, 0, kDirty, 0, "dirty");
  Write(h, 0, kRecAttrPrivate, 0, "private only");
  Write(h, 0, kDeleted, 0, "deleted");
  Write(h, 0, kArchived, 0, "archived");
  uint8_t other = 0;
  ASSERT_EQ(kDeviceOk, DevOpenDatabase("DatebookDB", 0, &other, kSyncOpenModeReadWrite));
  std::string out;
  EXPECT_EQ(kDeviceOk, Read(DevReadNextChanged, h, 0, 0, &out));
  EXPECT_EQ("1002:64:0:1:dirty", out);
  EXPECT_EQ(kDeviceOk, Read(DevReadNextChanged, other, 0, 0, &out));
  EXPECT_EQ("1002:64:0:1:dirty", out);
  EXPECT_EQ(kDeviceOk, Read(DevReadNextChanged, h, 0, 0, &out));
  EXPECT_EQ("1004:128:0:3:deleted", out);
  EXPECT_EQ(kDeviceOk, Read(DevReadNextChanged, h, 0, 0, &out));
  EXPECT_EQ("1005:8:0:4:archived", out);
  EXPECT_EQ(kSyncErrNotFound, Read(DevReadNextChanged, h, 0, 0, &out));
  EXPECT_EQ(kSyncErrNotFound, Read(DevReadNextChanged, h, 0, 0, &out));
  // A fresh handle starts over.
  ASSERT_EQ(kDeviceOk, DevCloseDatabase(h));
  ASSERT_EQ(kDeviceOk, DevOpenDatabase("DatebookDB", 0, &h, kSyncOpenModeReadWrite));
  EXPECT_EQ(kDeviceOk, Read(DevReadNextChanged, h, 0, 0, &out));
  EXPECT_EQ("1002:64:0:1:dirty", out);
}

TEST_F(DeviceTest, ShortBufferGetsWhatFitsAndTheRecordIsOfferedAgain) {
  uint8_t h = CreateDatebook();
  Write(h, 0, kDirty, 0, "0123456789");
  uint8_t small[5] = {};
  RecordRequest request{};
  request.db_handle = h;
  request.buffer_size = 4;
  request.buffer = small;
  EXPECT_EQ(kDeviceErrBufferSmall, DevReadNextChanged(&request));
  EXPECT_EQ(10u, static_cast<uint32_t>(request.data_size));
  EXPECT_EQ(0, std::memcmp(small, "0123\0", 5));
  std::string out;
  EXPECT_EQ(kDeviceOk, Read(DevReadNextChanged, h, 0, 0, &out));
  EXPECT_EQ("1001:64:0:0:0123456789", out);
}

TEST_F(DeviceTest, PurgeClearFlagsAndChangeCategory) {
  uint8_t h = CreateDatebook();
  Write(h, 0, kDirty, 1, "a");
  Write(h, 0, kDeleted | kDirty, 1, "b");
  Write(h, 0, kArchived, 2, "c");
  Write(h, 0, kDirty | kRecAttrPrivate, 2, "d");
  EXPECT_EQ(kDeviceOk, SyncChangeCategory(h, 2, 0));
  EXPECT_EQ(kDeviceErrBadArgument, SyncChangeCategory(h, 16, 0));
  EXPECT_EQ(kDeviceOk, DevPurgeRemoved(h));
  EXPECT_EQ((std::vector<std::string>{"1001:64:1:a", "1004:80:0:d"}), Records());

  std::string desktop;
  ASSERT_EQ(kDeviceOk, DeviceGetLastDesktopId(&desktop));
  EXPECT_EQ("", desktop);
  DeviceSetDesktopId("home-1");
  EXPECT_EQ(kDeviceOk, DevClearSyncFlags(h));
  EXPECT_EQ((std::vector<std::string>{"1001:0:1:a", "1004:16:0:d"}), Records());
  ASSERT_EQ(kDeviceOk, DeviceGetLastDesktopId(&desktop));
  EXPECT_EQ("home-1", desktop);
}

TEST_F(DeviceTest, AppInfoRoundTripAndShortBuffer) {
  uint8_t h = CreateDatebook();
  std::vector<uint8_t> block(300);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  AppInfoRequest write{};
  write.buffer_size = static_cast<uint16_t>(block.size());
  write.buffer = block.data();
  ASSERT_EQ(kDeviceOk, DevWriteAppInfo(h, &write));
  std::vector<uint8_t> stored;
  ASSERT_EQ(kDeviceOk, DeviceGetAppInfo("DatebookDB", &stored));
  EXPECT_EQ(block, stored);

  uint8_t small[100] = {};
  AppInfoRequest read{};
  read.buffer_size = sizeof small;
  read.buffer = small;
  EXPECT_EQ(kDeviceErrBufferSmall, DevReadAppInfo(h, &read));
  EXPECT_EQ(0, std::memcmp(small, block.data(), sizeof small));
}

TEST_F(DeviceTest, SystemInfoAndYield) {
  uint8_t name[8];
  SystemInfoRequest request{};
  request.buffer_length = sizeof name;
  request.buffer = name;
  ASSERT_EQ(kDeviceOk, SyncReadSystemInfo(&request));
  EXPECT_EQ(3u, static_cast<uint32_t>(request.rom_version) >> 24);
  EXPECT_EQ('\0', name[7]);
  ASSERT_EQ(kDeviceOk, DeviceSetRomMajor(1));
  ASSERT_EQ(kDeviceOk, SyncReadSystemInfo(&request));
  EXPECT_EQ(1u, static_cast<uint32_t>(request.rom_version) >> 24);
  EXPECT_EQ(0u, DeviceYieldCount());
  SyncYieldCycles(100);
  SyncYieldCycles(100);
  EXPECT_EQ(2u, DeviceYieldCount());
}

TEST_F(DeviceTest, ChangesAreCommittedBeforeTheCallAnswers) {
  uint8_t h = CreateDatebook();
  Write(h, 0, kDirty, 3, "kept");
  ASSERT_EQ(kDeviceOk, DeviceSetRomMajor(2));
  // A new connection sees only committed data.
  DeviceCloseImage();
  ASSERT_EQ(kDeviceOk, DeviceOpenImage(path_));
  EXPECT_EQ((std::vector<std::string>{"1001:64:3:kept"}), Records());
  SystemInfoRequest request{};
  ASSERT_EQ(kDeviceOk, SyncReadSystemInfo(&request));
  EXPECT_EQ(2u, static_cast<uint32_t>(request.rom_version) >> 24);
  std::string user;
  ASSERT_EQ(kDeviceOk, DeviceGetUserName(&user));
  EXPECT_EQ("Ann Smith", user);
}

TEST_F(DeviceTest, NoDeviceIsACommunicationError) {
  DeviceCloseImage();
  uint32_t session = 0;
  uint8_t handle = 0;
  EXPECT_EQ(kDeviceErrNoDevice, DevBeginSession(&session));
  EXPECT_EQ(kDeviceErrNoDevice, DevOpenDatabase("DatebookDB", 0, &handle, 0xE0));
  EXPECT_NE(0, kDeviceErrNoDevice & kSyncCommsErrorBit);
  EXPECT_EQ(0, SyncYieldCycles(100));
}

TEST_F(DeviceTest, SessionEndClosesHandles) {
  uint32_t session = 0;
  ASSERT_EQ(kDeviceOk, DevBeginSession(&session));
  uint8_t h = CreateDatebook();
  EXPECT_EQ(kDeviceErrBadArgument, DevEndSession(session + 1));
  EXPECT_EQ(kDeviceOk, DevEndSession(session));
  EXPECT_EQ(kDeviceErrBadHandle, DevCloseDatabase(h));
}

}  // namespace
