#include <cstdlib>

#include "host/device/device_test_util.h"
#include "sdk/fault_points.h"

namespace {

constexpr int32_t kInjected = 16404;

class DeviceFaultsTest : public DeviceTest {
 protected:
  void TearDown() override {
    DeviceClearFaults();
    DeviceTest::TearDown();
  }
};

TEST_F(DeviceFaultsTest, FailsTheNthCallOfAnOperationAndChangesNothing) {
  uint8_t h = CreateDatebook();
  DeviceFailCall(kDeviceOpWriteRecord, 2, kInjected);
  EXPECT_EQ(kDeviceOk, Write(h, 0, 0, 0, "one"));
  EXPECT_EQ(kDeviceOk, DevPurgeRemoved(h));  // other operations do not count
  EXPECT_EQ(kInjected, Write(h, 0, 0, 0, "two"));
  EXPECT_EQ(kDeviceOk, Write(h, 0, 0, 0, "three"));
  // The failed call took no ID either.
  EXPECT_EQ((std::vector<std::string>{"1001:0:0:one", "1002:0:0:three"}), Records());
}

TEST_F(DeviceFaultsTest, FailsTheNthCallOfAnyOperation) {
  uint8_t h = CreateDatebook();
  DeviceFailCall(kDeviceOpAny, 3, kInjected);
  EXPECT_EQ(kDeviceOk, Write(h, 0, 0, 0, "one"));
  SyncYieldCycles(100);  // yields are not counted
  EXPECT_EQ(kDeviceOk, SyncChangeCategory(h, 1, 0));
  EXPECT_EQ(kInjected, DevPurgeRemoved(h));
  EXPECT_EQ(kDeviceOk, DevPurgeRemoved(h));
  EXPECT_EQ(5u, DeviceCallCount(kDeviceOpAny));  // the create before the rule counts too
  EXPECT_EQ(2u, DeviceCallCount(kDeviceOpPurgeRemoved));
}

TEST_F(DeviceFaultsTest, LosesTheLinkAfterNCalls) {
  uint8_t h = CreateDatebook();
  DeviceLoseLinkAfter(2);
  EXPECT_EQ(kDeviceOk, Write(h, 0, 0, 0, "one"));
  EXPECT_EQ(kDeviceOk, SyncYieldCycles(100));
  EXPECT_EQ(kDeviceOk, Write(h, 0, 0, 0, "two"));
  EXPECT_EQ(kDeviceErrLinkLost, Write(h, 0, 0, 0, "three"));
  EXPECT_EQ(kDeviceErrLinkLost, DevCloseDatabase(h));
  EXPECT_EQ(kDeviceErrLinkLost, SyncYieldCycles(100));
  EXPECT_NE(0, kDeviceErrLinkLost & kSyncCommsErrorBit);
  EXPECT_EQ(2u, Records().size());
  DeviceClearFaults();
  EXPECT_EQ(kDeviceOk, DevCloseDatabase(h));
}

TEST_F(DeviceFaultsTest, FaultTargetsYieldOnlyByName) {
  DeviceFailCall(kDeviceOpYieldCycles, 2, kInjected);
  EXPECT_EQ(kDeviceOk, SyncYieldCycles(100));
  EXPECT_EQ(kInjected, SyncYieldCycles(100));
  EXPECT_EQ(kDeviceOk, SyncYieldCycles(100));
}

// A small session over the device: every call must succeed for it to complete. Answers the
// first failing code, or 0.
int32_t Session(std::string* step) {
  uint32_t session = 0;
  uint8_t h = 0;
  int32_t rc;
  *step = "begin";
  if ((rc = DevBeginSession(&session)) != 0) return rc;
  *step = "open";
  if ((rc = DevOpenDatabase("DatebookDB", 0, &h, kSyncOpenModeReadWrite)) != 0) return rc;
  uint8_t data[] = {'n', 'e', 'w'};
  RecordRequest write{};
  write.db_handle = h;
  write.data_size = sizeof data;
  write.buffer_size = sizeof data;
  write.buffer = data;
  write.attributes = kRecAttrDirty;
  *step = "write";
  if ((rc = DevWriteRecord(&write)) != 0) return rc;
  *step = "category";
  if ((rc = SyncChangeCategory(h, 3, 0)) != 0) return rc;
  *step = "purge";
  if ((rc = DevPurgeRemoved(h)) != 0) return rc;
  *step = "clear";
  if ((rc = DevClearSyncFlags(h)) != 0) return rc;
  *step = "close";
  if ((rc = DevCloseDatabase(h)) != 0) return rc;
  *step = "end";
  return DevEndSession(session);
}

TEST_F(DeviceFaultsTest, EveryFailingCallLeavesTheDeviceConsistent) {
  // The records after a session whose call n failed: what the n - 1 calls before it did.
  const std::vector<std::vector<std::string>> kAfterFailure = {
      {"1001:128:3:"},                   // 1 begin
      {"1001:128:3:"},                   // 2 open
      {"1001:128:3:"},                   // 3 write
      {"1001:128:3:", "1002:64:0:new"},  // 4 change category
      {"1001:128:0:", "1002:64:0:new"},  // 5 purge
      {"1002:64:0:new"},                 // 6 clear sync flags
      {"1002:0:0:new"},                  // 7 close
      {"1002:0:0:new"},                  // 8 end
  };
  for (uint32_t n = 1;; ++n) {
    ASSERT_LE(n, kAfterFailure.size() + 1) << "the session never completed";
    // A fresh image with one deleted record in category 3.
    DeviceCloseImage();
    std::filesystem::remove(path_);
    ASSERT_EQ(kDeviceOk, DeviceCreateImage(path_, "Ann"));
    ASSERT_EQ(kDeviceOk, DeviceOpenImage(path_));
    DeviceDatabase db;
    db.name = "DatebookDB";
    ASSERT_EQ(kDeviceOk, DeviceAddDatabase(db));
    DeviceRecord gone;
    gone.attributes = kRecAttrDeleted;
    gone.category = 3;
    ASSERT_EQ(kDeviceOk, DevicePutRecord("DatebookDB", &gone));

    DeviceFailCall(kDeviceOpAny, n, kInjected);
    std::string step;
    int32_t rc = Session(&step);
    DeviceClearFaults();
    if (rc == 0) {
      EXPECT_EQ(kAfterFailure.size() + 1, n);
      EXPECT_EQ((std::vector<std::string>{"1002:0:0:new"}), Records());
      break;
    }
    EXPECT_EQ(kInjected, rc) << step;
    // What the device holds is committed: a new connection sees the same.
    DeviceCloseImage();
    ASSERT_EQ(kDeviceOk, DeviceOpenImage(path_));
    EXPECT_EQ(kAfterFailure[n - 1], Records()) << "call " << n << " (" << step << ") failed";
  }
}

}  // namespace

namespace {

// The conduit's file operations pass the same rules through HsFaultPoint, counted apart from the
// handheld's calls: not among "any", and untouched by a lost link.
TEST_F(DeviceFaultsTest, FileOperationsAreCountedApartFromTheHandheldsCalls) {
  uint8_t h = CreateDatebook();
  const uint32_t any = DeviceCallCount(kDeviceOpAny);
  DeviceFailCall(kDeviceOpFileSave, 2, 28);
  DeviceLoseLinkAfter(0);
  EXPECT_EQ(kDeviceErrLinkLost, DevPurgeRemoved(h));
  EXPECT_EQ(0, HsFaultPoint(HS_FAULT_FILE_SAVE));
  EXPECT_EQ(28, HsFaultPoint(HS_FAULT_FILE_SAVE));
  EXPECT_EQ(0, HsFaultPoint(HS_FAULT_FILE_DELETE));
  EXPECT_EQ(0, HsFaultPoint("no-such-operation"));
  EXPECT_EQ(any + 1, DeviceCallCount(kDeviceOpAny));
  EXPECT_EQ(2u, DeviceCallCount(kDeviceOpFileSave));
  EXPECT_EQ(1u, DeviceCallCount(kDeviceOpFileDelete));
}

// A crash rule ends the process at the chosen call, with its own status, the call not done.
TEST_F(DeviceFaultsTest, ACrashRuleEndsTheProcessAtTheNthCall) {
  uint8_t h = CreateDatebook();
  EXPECT_EXIT(
      {
        DeviceCrashAt(kDeviceOpWriteRecord, 2);
        Write(h, 0, 0, 0, "one");
        Write(h, 0, 0, 0, "two");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(kDeviceCrashExitStatus), "");
  EXPECT_EXIT(
      {
        DeviceCrashAt(kDeviceOpFileRename, 1);
        HsFaultPoint(HS_FAULT_FILE_RENAME);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(kDeviceCrashExitStatus), "");
  // The first write was committed before the crash; the second never happened.
  EXPECT_EQ(std::vector<std::string>{"1001:0:0:one"}, Records());
}

}  // namespace
