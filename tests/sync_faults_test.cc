// Synchronisations that fail part of the way: the handheld failing its Nth call (with a plain
// error, or losing the link), and the saves of the desktop, category and backup files failing.
// After the failed run and one clean run, both sides hold what one clean run gives: no event lost,
// none duplicated.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

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
};

CState StateOf(CSyncHarness& h) {
  CState state;
  for (std::string line : h.host.Briefs()) {
    state.host.push_back(line.substr(11));
  }
  std::sort(state.host.begin(), state.host.end());
  state.handheld = h.Handheld();
  state.categories = h.HandheldCategories();
  return state;
}

void ExpectSameState(const CState& expected, const CState& actual) {
  EXPECT_EQ(expected.host, actual.host);
  EXPECT_EQ(expected.handheld, actual.handheld);
  EXPECT_EQ(expected.categories, actual.categories);
}

// Both sides in step after a first synchronisation, then changed on both sides: new entries,
// changes, deletions, a conflict, an archived record, a deleted and a changed occurrence.
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

  CSyncHarness h_;
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
    ExpectSameState(expected_, StateOf(h_));
  }
}

}  // namespace
