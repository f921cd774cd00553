// The HotSync log of whole synchronisations that meet a problem: a handheld call that fails, an
// event before 1970. Each message with its activity code, the heading once, the closing line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/sync_harness.h"

namespace {

using test_support::At;
using test_support::CHandheldEvent;
using test_support::CSyncHarness;
using test_support::Line;

const Line kStart{19, ""};
const Line kHeading{-1, "-- Date Book"};
const Line kOk{20, "Date Book"};
const Line kProblem{21, "Date Book"};
const Line kFailed{22, "Datebook Synchronization Failed"};
const Line kCheckConnections{-1, "     Please check your connections and try again."};

// Both sides hold "Meeting" (16 January, 09:00) after a first synchronisation.
uint32_t MeetingInStep(CSyncHarness& h) {
  CHandheldEvent meeting;
  meeting.start = At(2024, 1, 16, 9, 0);
  meeting.description = "Meeting";
  meeting.attributes = kRecAttrDirty;
  const uint32_t id = h.PutHandheld(meeting);
  EXPECT_EQ(0, h.Sync(kSyncSlow, 1));
  return id;
}

TEST(SyncMessagesTest, AHostEntryTheHandheldCannotTake) {
  CSyncHarness h;
  MeetingInStep(h);
  h.host.Add("20240117", "08:00", "09:00", "Breakfast");
  DeviceFailCall(kDeviceOpWriteRecord, 1, kDeviceErrFull);
  EXPECT_EQ(kDeviceErrFull, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{
                kStart,
                kHeading,
                {9, "   - Could not copy the following record to Rizez:"},
                {-1, "       Breakfast, 1/17/2024, 8:00am"},
                {-1, "     Your Rizez may be full.  Check the Rizez's Memory Application."},
                kProblem,
                kFailed}),
            h.log());
  EXPECT_TRUE(h.update_entries().empty());
  // The next run adds it.
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(
      (std::vector<std::string>{"Breakfast 20240117 08:00-09:00", "Meeting 20240116 09:00-10:00"}),
      h.Handheld());
}

TEST(SyncMessagesTest, AHandheldReadThatFailsFailsTheRun) {
  CSyncHarness h;
  const uint32_t id = MeetingInStep(h);
  h.MarkHandheld(id, kRecAttrDirty);
  DeviceFailCall(kDeviceOpReadNextChanged, 1, kDeviceErrStorage);
  EXPECT_EQ(kDeviceErrStorage, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart,
                               kHeading,
                               {8, "   - Could not read the next Rizez record."},
                               kCheckConnections,
                               kProblem,
                               kFailed}),
            h.log());
  // The record is still marked changed, for the next run.
  EXPECT_EQ("Meeting 20240116 09:00-10:00 dirty", h.HandheldRecord(id));
}

// A change the handheld refuses with one of its two non-fatal codes is logged and the run goes
// on; a deletion it refuses fails the run, so that the next run deletes the record again.
TEST(SyncMessagesTest, AChangeOrADeletionTheHandheldRefuses) {
  CSyncHarness h;
  MeetingInStep(h);
  h.host.Find("Meeting")->text = "Meeting (host)";
  DeviceFailCall(kDeviceOpWriteRecord, 1, 16404);
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart,
                               kHeading,
                               {11, "   - Could not modify the following record on Rizez:"},
                               {-1, "       Meeting (host), 1/16/2024, 9:00am"},
                               kCheckConnections,
                               kOk}),
            h.log());

  h.host.Remove(h.host.Find("Meeting (host)"));
  DeviceFailCall(kDeviceOpDeleteRecord, 1, kDeviceErrStorage);
  EXPECT_EQ(kDeviceErrStorage, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart,
                               kHeading,
                               {12, "   - Could not delete the following record on Rizez:"},
                               {-1, "       Meeting (host), 1/16/2024, 9:00am"},
                               kCheckConnections,
                               kProblem,
                               kFailed}),
            h.log());
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());
  EXPECT_TRUE(h.Handheld().empty());
}

// Sync flags that the handheld fails to clear fail the run with a reason; the changes stay marked
// and the next run takes them again, adding nothing twice.
TEST(SyncMessagesTest, FlagsTheHandheldCannotClear) {
  CSyncHarness h;
  const uint32_t id = MeetingInStep(h);
  CHandheldEvent changed;
  changed.id = id;
  changed.start = At(2024, 1, 16, 10, 0);
  changed.description = "Meeting (moved)";
  changed.attributes = kRecAttrDirty;
  h.PutHandheld(changed);
  DeviceFailCall(kDeviceOpClearSyncFlags, 1, kDeviceErrStorage);
  h.Sync(kSyncFast);
  EXPECT_EQ((std::vector<Line>{kStart,
                               kHeading,
                               {-1, "   - Could not clear Rizez's status flags."},
                               kCheckConnections,
                               kProblem}),
            h.log());
  EXPECT_EQ("Meeting (moved) 20240116 10:00-11:00 dirty", h.HandheldRecord(id));
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());
  EXPECT_EQ((std::vector<std::string>{"0 000003E9 20240116 10:00-11:00 Meeting (moved)"}),
            h.host.Briefs());
}

TEST(SyncMessagesTest, AnEventBefore1970IsMovedTo1970) {
  CSyncHarness h(7);
  CHandheldEvent birthday;
  birthday.start = At(1960, 1, 20);
  birthday.untimed = true;
  birthday.description = "Birthday";
  birthday.repeat = kRepeatYearlyByDate;
  birthday.attributes = kRecAttrDirty;
  h.PutHandheld(birthday);
  EXPECT_EQ(0, h.Sync(kSyncSlow, 1));
  EXPECT_EQ((std::vector<Line>{
                kStart,
                kHeading,
                {5, "   - Rizez Desktop does not support events before 1970.  The following"},
                {-1, "     event was moved to 1970:"},
                {-1, "       Birthday, 1/20/1970, Untimed"},
                kOk}),
            h.log());
  EXPECT_EQ(std::vector<std::string>{"1 000003E9 20240120 untimed R Birthday"}, h.Update());
}

}  // namespace

namespace {

// An archive file that cannot be written: the run is logged and saved, and the archived record
// stays on the handheld until a later run archives it.
TEST(SyncMessagesTest, AnArchiveThatCannotBeWritten) {
  CSyncHarness h;
  const uint32_t id = MeetingInStep(h);
  h.MarkHandheld(id, kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived);
  std::filesystem::create_directories(h.folder().Data("Unfiled.DBA"));
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(
      (std::vector<Line>{
          kStart,
          kHeading,
          {16, "   - Some or all of your deleted records were not archived."},
          {-1, "     Your Desktop disk may be full.  Check the disk space and HotSync again."},
          kOk}),
      h.log());
  EXPECT_TRUE(h.host.Briefs().empty());
  EXPECT_EQ("Meeting 20240116 09:00-10:00 deleted archived", h.HandheldRecord(id));

  std::filesystem::remove_all(h.folder().Data("Unfiled.DBA"));
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());
  EXPECT_TRUE(h.Handheld().empty());
  EXPECT_NE(std::string::npos,
            test_support::ReadFile(h.folder().Data("Unfiled.DBA")).find("Meeting"));
}

}  // namespace
