// The HotSync log messages: their lines, activity codes, the heading and long names.
#include <functional>

#include "conduit/engine/engine_test_util.h"

namespace engine_test {
namespace {

const char kHeading[] = "-- Date Book";
const char kCheckConnections[] = "     Please check your connections and try again.";
const char kDiskFull[] =
    "     Your Desktop disk may be full.  Check the disk space and HotSync again.";

class SyncLogTest : public ::testing::Test {
 protected:
  SyncLogTest() : monitor_(MakeProps(dir_.DataFolder(), 0), os_), record_(monitor_.desktop(), 0) {
    AddRow(monitor_.desktop(), {"Lunch"});
    CBaseIterator iterator(monitor_.desktop());
    EXPECT_EQ(kOk, iterator.FindFirst(record_, 0));
    StartLogRun();
  }

  CScratchFolder dir_;
  CFakeOsServices os_;
  CTestMonitor monitor_;
  CDateBkRecord record_;
};

TEST_F(SyncLogTest, FirstMessageOfARunHasTheHeadingAndASecondHasNone) {
  monitor_.description = "12:00 pm Lunch with Ann";
  monitor_.LogDeleteRemoteFailed(record_, kSyncCommsErrorBit | 5);
  monitor_.LogDeleteRemoteFailed(record_, kSyncCommsErrorBit | 5);
  std::vector<Line> expected = {
      {-1, kHeading},
      {12, "   - Could not delete the following record on Rizez:"},
      {-1, "12:00 pm Lunch with Ann"},
      {-1, kCheckConnections},
      {12, "   - Could not delete the following record on Rizez:"},
      {-1, "12:00 pm Lunch with Ann"},
      {-1, kCheckConnections},
  };
  EXPECT_EQ(expected, LogLines());
}

TEST_F(SyncLogTest, EveryMessageWritesItsLinesInOrder) {
  struct Case {
    std::function<void(CTestMonitor&, CBaseRecord&)> log;
    std::vector<Line> lines;  // after the heading
  } cases[] = {
      {[](CTestMonitor& m, CBaseRecord& r) { m.LogModifiedBothArchived(r); },
       {{1, "   - The following record was modified on both Rizez and the Desktop:"},
        {-1, "Lunch"},
        {-1, "     This record will be duplicated on each platform. The Rizez record marked to"},
        {-1, "     be archived was not archived.  Delete the unwanted record and HotSync again."}}},
      {[](CTestMonitor& m, CBaseRecord& r) { m.LogModifiedDeleted(r); },
       {{2, "   - The following record was modified on one platform and deleted on the other."},
        {-1, "     The modified version will appear on both platforms."},
        {-1, "Lunch"}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogTooManyCategories("Work"); },
       {{3, "   - Only 15 categories are allowed.  All records in category 'Work'"},
        {-1, "     were changed to 'Unfiled'."}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogCategoryDeleted("Work", kHandheldPlatformWord); },
       {{4, "   - Rizez category 'Work' has been deleted and all of"},
        {-1, "     the records in this category have been moved to 'Unfiled'."}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogCategoryDeleted("Home", "Desktop"); },
       {{4, "   - Desktop category 'Home' has been deleted and all of"},
        {-1, "     the records in this category have been moved to 'Unfiled'."}}},
      {[](CTestMonitor& m, CBaseRecord& r) { m.LogMovedTo1970(r); },
       {{5, "   - Rizez Desktop does not support events before 1970.  The following"},
        {-1, "     event was moved to 1970:"},
        {-1, "Lunch"}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogMoveToUnfiledFailed("Work"); },
       {{7, "   - Could not move the Rizez records in category 'Work' to 'Unfiled'."},
        {-1, kCheckConnections}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogReadRemoteFailed(0x2001); },
       {{8, "   - Could not read the next Rizez record."}, {-1, kCheckConnections}}},
      {[](CTestMonitor& m, CBaseRecord& r) { m.LogAddRemoteFailed(r, 0x2001); },
       {{9, "   - Could not copy the following record to Rizez:"},
        {-1, "Lunch"},
        {-1, "     Your Rizez may be full.  Check the Rizez's Memory Application."}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogPurgeRemoteFailed(0x2001); },
       {{10, "   - Could not purge the deleted records on Rizez."}, {-1, kCheckConnections}}},
      {[](CTestMonitor& m, CBaseRecord& r) { m.LogChangeRemoteFailed(r, 0x2001); },
       {{11, "   - Could not modify the following record on Rizez:"},
        {-1, "Lunch"},
        {-1, kCheckConnections}}},
      {[](CTestMonitor& m, CBaseRecord& r) { m.LogCopyToLocalFailed(r); },
       {{13, "   - Could not copy the following record to the Desktop:"}, {-1, "Lunch"}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogArchiveFailed(); },
       {{16, "   - Some or all of your deleted records were not archived."}, {-1, kDiskFull}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogSaveLocalFailed(); },
       {{17, "   - Could not save the Desktop file."}, {-1, kDiskFull}}},
      {[](CTestMonitor& m, CBaseRecord&) { m.LogClearFlagsFailed(); },
       {{-1, "   - Could not clear Rizez's status flags."}, {-1, kCheckConnections}}},
  };
  for (const Case& c : cases) {
    StartLogRun();
    c.log(monitor_, record_);
    std::vector<Line> expected = {{-1, kHeading}};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(expected, LogLines()) << c.lines[0].text;
  }
}

TEST_F(SyncLogTest, BaseClassDescriptionAndTitleAreEmptyLines) {
  monitor_.describe = false;
  monitor_.titled = false;
  monitor_.LogChangeRemoteFailed(record_, 0x2001);
  std::vector<Line> expected = {
      {-1, "-- "},
      {11, "   - Could not modify the following record on Rizez:"},
      {-1, ""},
      {-1, kCheckConnections},
  };
  EXPECT_EQ(expected, LogLines());
}

// A name too long for the line is cut: every line stays within 127 characters and keeps the
// beginning it would have had.
TEST_F(SyncLogTest, LongCategoryNamesAreCutToTheLineBuffer) {
  const std::string name(300, 'N');
  struct Case {
    std::function<void(CTestMonitor&)> log;
    std::string start;
  } cases[] = {
      {[&](CTestMonitor& m) { m.LogTooManyCategories(name.c_str()); },
       "   - Only 15 categories are allowed.  All records in category 'NNN"},
      {[&](CTestMonitor& m) { m.LogCategoryDeleted(name.c_str(), "Desktop"); },
       "   - Desktop category 'NNN"},
      {[&](CTestMonitor& m) { m.LogMoveToUnfiledFailed(name.c_str()); },
       "   - Could not move the Rizez records in category 'NNN"},
  };
  for (const Case& c : cases) {
    StartLogRun();
    c.log(monitor_);
    std::vector<Line> lines = LogLines();
    ASSERT_EQ(3u, lines.size()) << c.start;
    EXPECT_EQ(static_cast<size_t>(kLogLineSize - 1), lines[1].text.size()) << c.start;
    EXPECT_EQ(0u, lines[1].text.rfind(c.start, 0)) << lines[1].text;
    EXPECT_EQ(-1, lines[2].activity);
  }
  monitor_.description = std::string(500, 'D');
  StartLogRun();
  monitor_.LogCopyToLocalFailed(record_);
  std::vector<Line> lines = LogLines();
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(std::string(kLogLineSize - 1, 'D'), lines[2].text);
}

}  // namespace
}  // namespace engine_test
