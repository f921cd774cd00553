// Synchronisations that fail part of the way: the handheld failing its Nth call (with a plain
// error, or losing the link), and the saves of the desktop, category and backup files failing.
// After the failed run and one clean run, both sides hold what one clean run gives: no event lost,
// none duplicated.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sdk/conduit_exports.h"
#include "sdk/hotsync_log.h"
#include "tests/support/power_loss.h"
#include "tests/support/power_loss_run.h"
#include "tests/support/sync_harness.h"

namespace {

using test_support::At;
using test_support::CHandheldEvent;
using test_support::CSyncHarness;

CHandheldEvent Event(const std::string& description, int32_t start, uint8_t attributes) {
  CHandheldEvent e;
  e.start = start;
  e.description = description;
  e.attributes = attributes;
  return e;
}

// Both sides, IDs left out: the handheld gives different IDs when a run is repeated.
struct CState {
  std::vector<std::string> host;
  std::vector<std::string> handheld;
  std::vector<std::string> categories;
  // The records of the archive file of category "Work", and the data folder's files.
  int32_t archived = -1;
  std::vector<std::string> data_files;
};

CState StateOf(CSyncHarness& h) {
  CState state;
  for (std::string line : h.host.Briefs()) {
    state.host.push_back(line.substr(11));
  }
  std::sort(state.host.begin(), state.host.end());
  state.handheld = h.Handheld();
  state.categories = h.HandheldCategories();
  CDateBkTable archive;
  if (archive.OpenFrom(h.folder().Data("Work.DBA"), 0) == 0)
    state.archived = archive.GetRecordCount();
  state.data_files = h.folder().DataFiles();
  std::sort(state.data_files.begin(), state.data_files.end());
  return state;
}

void ExpectSameState(const CState& expected, const CState& actual) {
  EXPECT_EQ(expected.host, actual.host);
  EXPECT_EQ(expected.handheld, actual.handheld);
  EXPECT_EQ(expected.categories, actual.categories);
  EXPECT_EQ(expected.archived, actual.archived);
  EXPECT_EQ(expected.data_files, actual.data_files);
}

// Both sides in step after a first synchronisation, then changed on both sides: new entries,
// changes, deletions, a conflict, an archived record, a deleted and a changed occurrence.
#ifndef DBC_SWEEP_STEP
#define DBC_SWEEP_STEP 1
#endif
constexpr uint32_t kSweepStep = DBC_SWEEP_STEP;

class SyncFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h_.SetHandheldCategories({{0, "Unfiled"}, {1, "Work"}});
    h_.host.Add("20240116", "11:00", "12:00", "Dentist");
    const uint32_t meeting = h_.PutHandheld(Event("Meeting", At(2024, 1, 16, 9), kRecAttrDirty));
    h_.PutHandheld(Event("Call", At(2024, 1, 17, 14), kRecAttrDirty));
    const uint32_t gym = h_.PutHandheld(Event("Gym", At(2024, 1, 18, 18), kRecAttrDirty));
    const uint32_t review = h_.PutHandheld(Event("Review", At(2024, 1, 19, 10), kRecAttrDirty));
    CHandheldEvent report = Event("Report", At(2024, 1, 20, 9), kRecAttrDirty);
    report.category = 1;
    report.id = h_.PutHandheld(report);
    CHandheldEvent standup = Event("Standup", At(2024, 1, 10, 8), kRecAttrDirty);
    standup.repeat = kRepeatDaily;
    h_.PutHandheld(standup);
    first_start_ = h_.Snapshot();
    ASSERT_EQ(0, h_.Sync(kSyncSlow, 1));
    first_expected_ = StateOf(h_);

    h_.host.Add("20240122", "12:00", "13:00", "Lunch");
    h_.host.Add("20240123", "12:00", "13:00", "Lunch");
    h_.host.Find("Meeting")->text = "Meeting (host)";
    h_.host.Remove(h_.host.Find("Call"));
    h_.host.Remove(h_.host.FindOn("20240117", "Standup"));
    h_.host.FindOn("20240118", "Standup")->text = "Standup (room 2)";
    h_.PutHandheld(Event("Party", At(2024, 1, 21, 20), kRecAttrDirty));
    CHandheldEvent changed = Event("Gym (late)", At(2024, 1, 18, 19), kRecAttrDirty);
    changed.id = gym;
    h_.PutHandheld(changed);
    changed = Event("Meeting (hh)", At(2024, 1, 16, 9), kRecAttrDirty);
    changed.id = meeting;
    h_.PutHandheld(changed);
    h_.MarkHandheld(review, kRecAttrDeleted);
    h_.MarkHandheld(report.id, kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived);
    start_ = h_.Snapshot();

    ASSERT_EQ(0, h_.Sync(kSyncFast));
    expected_ = StateOf(h_);
    // The runs below go from the same start, so what they leave can be compared with this one.
    ASSERT_EQ(0, h_.Sync(kSyncFast));
    ExpectSameState(expected_, StateOf(h_));
  }

  // For N = 1, 2, ...: the handheld's Nth call fails (or the link goes after N - 1 calls), then a
  // clean run follows; until a run meets no fault.
  void FailEveryCall(bool lose_link, bool first_sync = false) {
    const CSyncHarness::CSnapshot& start = first_sync ? first_start_ : start_;
    const CState& expected = first_sync ? first_expected_ : expected_;
    const int32_t sync_type = first_sync ? kSyncSlow : kSyncFast;
    const int32_t first = first_sync ? 1 : 0;
    int runs = 0;
    for (uint32_t n = 1;; ++n) {
      SCOPED_TRACE("call " + std::to_string(n));
      h_.Restore(start);
      if (lose_link) {
        DeviceLoseLinkAfter(n - 1);
      } else {
        DeviceFailCall(kDeviceOpAny, n, kDeviceErrStorage);
      }
      h_.Sync(sync_type, first);
      const bool fired = DeviceCallCount(kDeviceOpAny) >= n;
      DeviceClearFaults();
      if (!fired) break;
      ++runs;
      EXPECT_EQ(0, h_.Sync(sync_type, first));
      ExpectSameState(expected, StateOf(h_));
      if (HasFailure()) return;
    }
    EXPECT_GT(runs, 15);
  }

  // One synchronisation in a child process that ends at once (DeviceCrashAt) at the nth call of
  // op, if the run gets that far. What the child left on disk stays (the device image, the data
  // folder); what its driver handed to the host reaches the host here, as it would have reached a
  // real host calendar. Answers whether the child crashed.
  // With power_loss_ the machine loses its power when the child ends: every write below the
  // scratch folder that the child or its driver had not fsynced is dropped (power_loss.h).
  bool SyncCrashingAt(DeviceOp op, uint32_t n, int32_t sync_type = kSyncFast, int32_t first = 0) {
    const std::string image = h_.folder().Path("device.db");
    const std::string disk = h_.folder().Root() + ".disk";
    const std::string driver = h_.folder().Root() + ".driver";
    char message[512] = "";
    DeviceCloseImage();  // the child opens the image for itself
    // The host has applied the last run's update; a power cut must not bring the file back.
    std::remove(h_.folder().Path("host_update.dat").c_str());
    if (power_loss_) {
      EXPECT_EQ(0,
                PowerLossBegin(h_.folder().Root().c_str(), disk.c_str(), message, sizeof message))
          << message;
    }
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      if (power_loss_) {
        setenv(DBC_POWER_LOSS_ENV, disk.c_str(), 1);
        const char* bin = getenv("DBC_BIN_DIR");
        test_support::WritePowerLossDriver(driver, disk,
                                           std::string(bin ? bin : ".") + "/script_driver");
        h_.os.SetTextValue(test_support::kHarnessKey, "DriverPath", driver);
      }
      if (DeviceOpenImage(image) != kDeviceOk) _exit(2);
      DeviceCrashAt(op, n);
      h_.Sync(sync_type, first);
      _exit(0);
    }
    int status = -1;
    EXPECT_EQ(child, waitpid(child, &status, 0));
    if (power_loss_) {
      EXPECT_EQ(0,
                PowerLossRestore(h_.folder().Root().c_str(), disk.c_str(), message, sizeof message))
          << message;
    }
    std::string error;
    EXPECT_EQ(kDeviceOk, DeviceOpenImage(image, &error)) << error;
    const std::string update = test_support::ReadFile(h_.folder().Path("host_update.dat"));
    if (update != test_support::kMissing) {
      EXPECT_TRUE(h_.host.Apply(update));
    }
    std::remove(h_.folder().Path("host_update.dat").c_str());
    EXPECT_TRUE(WIFEXITED(status));
    return WIFEXITED(status) && WEXITSTATUS(status) == kDeviceCrashExitStatus;
  }

  // HotSyncs after an interrupted one: until one completes cleanly (of the interrupted run's
  // kind), then one more (a fast one, as after any clean run).
  void RecoverAndSyncOnce(int32_t sync_type, int32_t first) {
    int runs = 0;
    for (; runs < 4; ++runs) {
      const int32_t result = h_.Sync(sync_type, first);
      const bool failed = std::any_of(h_.log().begin(), h_.log().end(), [](const auto& line) {
        return line.activity == kActivitySyncFailed || line.activity == kActivityConduitError;
      });
      if (result == 0 && !failed) break;
    }
    EXPECT_LT(runs, 4) << "no clean run after the interrupted one";
    EXPECT_EQ(0, h_.Sync(kSyncFast));
  }

  // For N = 1, 2, ...: the synchronisation from the start ends at the Nth call of op; then the
  // HotSyncs after it leave both sides as the run that never crashed. Answers the points tried.
  // The sanitizer build tries every kSweepStep-th point only.
  int CrashAtEveryCall(DeviceOp op, bool first_sync = false) {
    const CSyncHarness::CSnapshot& start = first_sync ? first_start_ : start_;
    const int32_t sync_type = first_sync ? kSyncSlow : kSyncFast;
    const int32_t first = first_sync ? 1 : 0;
    int points = 0;
    for (uint32_t n = 1;; n += kSweepStep) {
      SCOPED_TRACE(std::string("crash at ") + DeviceOpName(op) + " " + std::to_string(n));
      h_.Restore(start);
      if (!SyncCrashingAt(op, n, sync_type, first)) break;
      ++points;
      CheckRecovery(first_sync);
      if (HasFailure()) break;
    }
    printf("crash points tried at %s%s: %d\n", DeviceOpName(op), first_sync ? " (first sync)" : "",
           points);
    return points;
  }

  // After an interrupted run: the HotSyncs that follow leave the state of the run that never
  // crashed (for a first synchronisation: that run and a fast one after it).
  void CheckRecovery(bool first_sync = false) {
    RecoverAndSyncOnce(first_sync ? kSyncSlow : kSyncFast, first_sync ? 1 : 0);
    ExpectSameState(first_sync ? first_expected_ : expected_, StateOf(h_));
  }

  void TearDown() override { std::remove((h_.folder().Root() + ".driver").c_str()); }

  CSyncHarness h_;
  // The runs of SyncCrashingAt end with a power cut.
  bool power_loss_ = false;
  // Before the first synchronisation and what it gives; before the fast one and what it gives.
  CSyncHarness::CSnapshot first_start_;
  CState first_expected_;
  CSyncHarness::CSnapshot start_;
  CState expected_;
};

TEST_F(SyncFaultsTest, TheReferenceRun) {
  std::vector<std::string> singles;
  int standups = 0;
  for (const std::string& entry : expected_.host) {
    if (entry.find(" R Standup") != std::string::npos) {
      ++standups;
    } else {
      singles.push_back(entry);
    }
  }
  EXPECT_EQ(13, standups);  // 15 days in the window, less the two the host deleted and changed
  EXPECT_EQ((std::vector<std::string>{
                "20240116 09:00-10:00 Meeting (hh)", "20240116 09:00-10:00 Meeting (host)",
                "20240116 11:00-12:00 Dentist", "20240118 08:00-09:00 Standup (room 2)",
                "20240118 19:00-20:00 Gym (late)", "20240121 20:00-21:00 Party",
                "20240122 12:00-13:00 Lunch", "20240123 12:00-13:00 Lunch"}),
            singles);
  EXPECT_EQ((std::vector<std::string>{
                "Dentist 20240116 11:00-12:00", "Gym (late) 20240118 19:00-20:00",
                "Lunch 20240122 12:00-13:00", "Lunch 20240123 12:00-13:00",
                "Meeting (hh) 20240116 09:00-10:00", "Meeting (host) 20240116 09:00-10:00",
                "Party 20240121 20:00-21:00", "Standup (room 2) 20240118 08:00-09:00",
                "Standup 20240110 08:00-09:00 R x20240117,20240118"}),
            expected_.handheld);
  EXPECT_EQ((std::vector<std::string>{"0:Unfiled", "1:Work"}), expected_.categories);
}

TEST_F(SyncFaultsTest, EachHandheldCallFailingOnce) {
  FailEveryCall(false);
}

TEST_F(SyncFaultsTest, TheLinkLostAfterEachCall) {
  FailEveryCall(true);
}

// A first synchronisation adds the host's entries to the handheld; one that fails after some of
// them must not add them again.
TEST_F(SyncFaultsTest, EachCallOfAFirstSynchronisationFailingOnce) {
  FailEveryCall(false, true);
  FailEveryCall(true, true);
}

// A save that fails leaves the file it would replace; a folder in the way of the temporary file
// makes it fail.
TEST_F(SyncFaultsTest, ASaveThatFails) {
  for (const char* file : {"datebook.dat", "datebook.cat", "datebook.bak"}) {
    SCOPED_TRACE(file);
    h_.Restore(start_);
    const std::string blocker = h_.folder().Data(std::string(file) + ".~tmp");
    std::filesystem::create_directories(blocker);
    EXPECT_NE(0, h_.Sync(kSyncFast));
    EXPECT_TRUE(h_.update_entries().empty());
    const test_support::Line kSaveFailed{17, "   - Could not save the Desktop file."};
    EXPECT_NE(h_.log().end(), std::find(h_.log().begin(), h_.log().end(), kSaveFailed));
    std::filesystem::remove_all(blocker);
    EXPECT_EQ(0, h_.Sync(kSyncFast));
    EXPECT_EQ(0, h_.Sync(kSyncFast));
    ExpectSameState(expected_, StateOf(h_));
  }
}

}  // namespace

// A crash at every step of the synchronisation: every call to the handheld and every file the
// conduit saves, renames, deletes or copies. After it the HotSyncs that follow lose nothing,
// duplicate nothing and undo nothing.
TEST_F(SyncFaultsTest, ACrashAtEveryStep) {
  int points = 0;
  for (DeviceOp op : {kDeviceOpAny, kDeviceOpFileSave, kDeviceOpFileRename, kDeviceOpFileDelete,
                      kDeviceOpFileCopy}) {
    const int tried = CrashAtEveryCall(op);
    EXPECT_GT(tried, 0) << DeviceOpName(op);
    points += tried;
    if (HasFailure()) break;
  }
  printf("crash points tried: %d\n", points);
}

// The same for a first synchronisation, which adds the host's entries to the handheld and the
// handheld's to the host.
TEST_F(SyncFaultsTest, ACrashAtEveryStepOfAFirstSynchronisation) {
  int points = 0;
  for (DeviceOp op : {kDeviceOpAny, kDeviceOpFileSave, kDeviceOpFileRename, kDeviceOpFileDelete,
                      kDeviceOpFileCopy}) {
    points += CrashAtEveryCall(op, true);
    if (HasFailure()) break;
  }
  printf("crash points tried: %d\n", points);
}

// The host driver killed before it does anything or after its work, at the extract and at the
// update.
TEST_F(SyncFaultsTest, TheDriverKilledAtEachCommand) {
  for (const char* line :
       {"extract.kill before", "extract.kill after", "update.kill before", "update.kill after"}) {
    SCOPED_TRACE(line);
    h_.Restore(start_);
    h_.driver_script = std::string(line) + "\n";
    h_.Sync(kSyncFast);
    h_.driver_script.clear();
    EXPECT_TRUE(std::any_of(h_.log().begin(), h_.log().end(), [](const test_support::Line& l) {
      return l.text == DATEBOOK_SYNC_FAILED_LINE;
    }));
    CheckRecovery();
  }
}

// Each file operation of the conduit failing once in turn, as a full disk answers a write (28:
// no space left); then the HotSyncs that follow lose nothing.
TEST_F(SyncFaultsTest, EachFileOperationFailingOnce) {
  constexpr int32_t kNoSpace = 28;
  int points = 0;
  for (DeviceOp op :
       {kDeviceOpFileSave, kDeviceOpFileRename, kDeviceOpFileDelete, kDeviceOpFileCopy}) {
    for (uint32_t n = 1;; ++n) {
      SCOPED_TRACE(std::string(DeviceOpName(op)) + " " + std::to_string(n));
      h_.Restore(start_);
      DeviceFailCall(op, n, kNoSpace);
      h_.Sync(kSyncFast);
      const bool fired = DeviceCallCount(op) >= n;
      DeviceClearFaults();
      if (!fired) break;
      ++points;
      CheckRecovery();
      if (HasFailure()) return;
    }
  }
  printf("failing file operations tried: %d\n", points);
  EXPECT_GT(points, 5);
}

// A power cut at every step: the crash sweep again, with every write that had not reached the
// disk (no fsync of the file, or of the folder for a new, renamed or removed name) dropped at the
// crash, on the data folder, the handheld's image and what the driver handed to the host. Then
// once more after runs that completed: what a completed run leaves must all be on the disk.
TEST_F(SyncFaultsTest, APowerCutAtEveryStep) {
  power_loss_ = true;
  int points = 0;
  for (bool first_sync : {false, true}) {
    for (DeviceOp op : {kDeviceOpAny, kDeviceOpFileSave, kDeviceOpFileRename, kDeviceOpFileDelete,
                        kDeviceOpFileCopy}) {
      points += CrashAtEveryCall(op, first_sync);
      if (HasFailure()) return;
    }
    SCOPED_TRACE(first_sync ? "after a first sync" : "after a fast sync");
    h_.Restore(first_sync ? first_start_ : start_);
    EXPECT_FALSE(SyncCrashingAt(kDeviceOpAny, UINT32_MAX, first_sync ? kSyncSlow : kSyncFast,
                                first_sync ? 1 : 0));
    ++points;
    RecoverAndSyncOnce(kSyncFast, 0);
    ExpectSameState(first_sync ? first_expected_ : expected_, StateOf(h_));
  }
  printf("power cuts tried: %d\n", points);
}
