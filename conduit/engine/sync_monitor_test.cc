// CSyncMonitor's dispatch by sync type and its record transfer helpers.
#include "conduit/engine/engine_test_util.h"

namespace engine_test {
namespace {

class SyncMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartHandheld(dir_, {{0, 0, "Unfiled"}}, {}, 1);
    StartLogRun();
  }
  void TearDown() override { ClearDeviceFaults(); }

  CScratchFolder dir_;
  CFakeOsServices os_;
};

TEST_F(SyncMonitorTest, ExecuteDispatchesBySyncType) {
  constexpr int32_t kRunSyncResult = 4242;
  struct Case {
    int32_t sync_type;
    int32_t result;
    int32_t run_sync, types_4_and_7, type_5;
  } cases[] = {
      {0, kRunSyncResult, 1, 0, 0},
      {1, kRunSyncResult, 1, 0, 0},
      {2, kRunSyncResult, 1, 0, 0},
      {3, kRunSyncResult, 1, 0, 0},
      {4, kErrNotProvided, 0, 1, 0},
      {5, kErrNotProvided, 0, 0, 1},
      {6, kErrSyncTypeUnsupported, 0, 0, 0},
      {7, kErrNotProvided, 0, 1, 0},
      {8, kErrSyncTypeUnsupported, 0, 0, 0},
      {-1, kErrSyncTypeUnsupported, 0, 0, 0},
      {INT32_MIN, kErrSyncTypeUnsupported, 0, 0, 0},
  };
  for (const Case& c : cases) {
    CTestMonitor monitor(MakeProps(dir_.DataFolder(), c.sync_type), os_);
    monitor.run_sync_result = kRunSyncResult;
    EXPECT_EQ(c.result, monitor.Execute()) << c.sync_type;
    EXPECT_EQ(c.run_sync, monitor.run_sync_calls) << c.sync_type;
    EXPECT_EQ(c.types_4_and_7, monitor.types_4_and_7_calls) << c.sync_type;
    EXPECT_EQ(c.type_5, monitor.type_5_calls) << c.sync_type;
    EXPECT_EQ(1u, monitor.system_info().rom_version >> 24) << "the ROM version was read";
  }
  EXPECT_TRUE(LogLines().empty()) << "the dispatch writes no log line";
}

TEST_F(SyncMonitorTest, FailingSystemInformationEndsExecuteBeforeTheSyncType) {
  for (int32_t sync_type : {0, 5, 8}) {
    FailSystemInfo(kSyncCommsErrorBit | 3);
    CTestMonitor monitor(MakeProps(dir_.DataFolder(), sync_type), os_);
    EXPECT_EQ(kSyncCommsErrorBit | 3, monitor.Execute()) << sync_type;
    EXPECT_EQ(0, monitor.run_sync_calls + monitor.types_4_and_7_calls + monitor.type_5_calls);
    ClearDeviceFaults();
  }
  EXPECT_TRUE(LogLines().empty());
}

// The base class has no record converter: the categories cannot be read, and archiving an empty
// archive table is no failure.
TEST_F(SyncMonitorTest, WithoutAConverterTheCategoriesCannotBeRead) {
  CSyncMonitor base(MakeProps(dir_.DataFolder(), 0), ConduitModuleInstance(), os_);
  EXPECT_EQ(kErrNoCategoryList, base.ReadRemoteCategories());
  EXPECT_EQ(kOk, base.ArchiveRecords());
}

TEST(RecordHelpersTest, ErrorClassification) {
  struct Case {
    int32_t code;
    bool comms, non_fatal;
  } cases[] = {
      {-1, false, false},
      {0, false, false},
      {16403, false, true},
      {16404, false, true},
      {16405, false, false},
      {16387, false, false},
      {0x2000, true, false},
      {0x2001, true, false},
      {0x6006, true, false},
      {-2, true, false},
      {INT32_MIN | 0x2000, true, false},
      {0x1FFF, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.comms, CSyncMonitor::IsCommsError(c.code)) << c.code;
    EXPECT_EQ(c.non_fatal, CSyncMonitor::IsNonFatalError(c.code)) << c.code;
  }
}

TEST(RecordHelpersTest, AllocRecordBufferGivesAZeroFilledBuffer) {
  RecordRequest request;
  memset(&request, 0xAB, sizeof(request));
  ASSERT_EQ(kOk, CSyncMonitor::AllocRecordBuffer(&request, kRecordBufferSize));
  // Packed members are read by value.
  uint8_t* buffer = request.buffer;
  uint16_t size = request.buffer_size;
  ASSERT_NE(nullptr, buffer);
  EXPECT_EQ(kRecordBufferSize, size);
  EXPECT_EQ(std::string(kRecordBufferSize, '\0'),
            std::string(reinterpret_cast<char*>(buffer), kRecordBufferSize));
  CSyncMonitor::FreeRecordBuffer(&request);
  buffer = request.buffer;
  size = request.buffer_size;
  EXPECT_EQ(nullptr, buffer);
  EXPECT_EQ(0, size);
  EXPECT_EQ(kErrNoRecordBuffer, CSyncMonitor::AllocRecordBuffer(nullptr, kRecordBufferSize));
}

TEST_F(SyncMonitorTest, CopyToArchiveTableClearsStatusAndFlagAndLogsAFailure) {
  struct Case {
    int32_t copy_error;
    bool null_table;
    int32_t result;
    int32_t archived_rows;
    size_t log_lines;
  } cases[] = {
      {kOk, false, kOk, 1, 0},
      {kTblErrNoMemory, false, kErrCopyRecord, 0, 3},
      {kOk, true, kErrCopyRecord, 0, 3},
  };
  for (const Case& c : cases) {
    StartLogRun();
    CTestMonitor monitor(MakeProps(dir_.DataFolder(), 0), os_);
    AddRow(monitor.desktop(), {"Gone", 4, 77, kStatusModified});
    CDateBkRecord record(monitor.desktop(), 0);
    CBaseIterator iterator(monitor.desktop());
    ASSERT_EQ(kOk, iterator.FindFirst(record, 0));
    ASSERT_EQ(kOk, record.SetArchiveBit(true));
    monitor.copy_error = c.copy_error;
    monitor.description = "Gone";
    EXPECT_EQ(c.result,
              monitor.CopyToArchiveTable(record, c.null_table ? nullptr : &monitor.archive()));
    EXPECT_FALSE(record.IsArchived());
    int32_t status = -1;
    record.GetStatus(status);
    EXPECT_EQ(kStatusUnchanged, status);
    std::vector<Row> rows = ReadRows(monitor.archive());
    ASSERT_EQ(static_cast<size_t>(c.archived_rows), rows.size());
    if (!rows.empty()) {
      EXPECT_EQ("Gone", rows[0].description);
      EXPECT_EQ(77u, rows[0].id);
      EXPECT_EQ(4, rows[0].category);
      EXPECT_EQ(kStatusUnchanged, rows[0].status);
    }
    std::vector<Line> lines = LogLines();
    ASSERT_EQ(c.log_lines, lines.size());
    if (!lines.empty()) {
      EXPECT_EQ(Line({13, "   - Could not copy the following record to the Desktop:"}), lines[1]);
      EXPECT_EQ(Line({-1, "Gone"}), lines[2]);
    }
  }
}

}  // namespace
}  // namespace engine_test
