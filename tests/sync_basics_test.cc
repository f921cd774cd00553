// Whole synchronisations through OpenConduit with script_driver and the emulated handheld: runs
// with nothing changed, the date window's edges, categories, archiving, the record-ID reset, host
// entries that carry an ID, and runs that must fail without touching anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "conduit/result_codes.h"
#include "tablelib/iterator.h"
#include "tests/support/sync_harness.h"

namespace {

using test_support::At;
using test_support::CHandheldEvent;
using test_support::CSyncHarness;
using test_support::Line;
using test_support::ReadFile;

const Line kStart{19, ""};
const Line kOk{20, "Date Book"};
const Line kProblem{21, "Date Book"};
const Line kFailed{22, "Datebook Synchronization Failed"};

CHandheldEvent Event(const std::string& description, int32_t start, uint8_t attributes = 0,
                     uint8_t category = 0) {
  CHandheldEvent e;
  e.start = start;
  e.description = description;
  e.attributes = attributes;
  e.category = category;
  return e;
}

TEST(SyncBasicsTest, ASecondRunWithNothingChangedChangesNothing) {
  CSyncHarness h;
  h.host.Add("20240116", "09:00", "10:00", "Dentist");
  h.PutHandheld(Event("Lunch", At(2024, 1, 17, 12, 0), kRecAttrDirty));
  CHandheldEvent weekly = Event("Yoga", At(2024, 1, 1, 18, 0), kRecAttrDirty);
  weekly.repeat = kRepeatWeekly;
  weekly.week_days = 1 << 3;  // Wednesdays
  h.PutHandheld(weekly);

  EXPECT_EQ(0, h.Sync(kSyncSlow, 1));
  EXPECT_EQ(
      (std::vector<std::string>{
          "3 000003EB 20240116 09:00-10:00 Dentist", "1 000003E9 20240117 12:00-13:00 Lunch",
          "1 000003EA 20240117 18:00-19:00 R Yoga", "1 000003EA 20240124 18:00-19:00 R Yoga"}),
      h.Update());
  EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());
  const std::vector<std::string> handheld = h.Handheld();
  EXPECT_EQ((std::vector<std::string>{"Dentist 20240116 09:00-10:00", "Lunch 20240117 12:00-13:00",
                                      "Yoga 20240101 18:00-19:00 R"}),
            handheld);

  const uint32_t writes = DeviceCallCount(kDeviceOpWriteRecord);
  const uint32_t deletes = DeviceCallCount(kDeviceOpDeleteRecord);
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(handheld, h.Handheld());
  EXPECT_EQ(writes, DeviceCallCount(kDeviceOpWriteRecord));
  EXPECT_EQ(deletes, DeviceCallCount(kDeviceOpDeleteRecord));
  // Single records unchanged; the occurrences of the event are written anew.
  EXPECT_EQ(
      (std::vector<std::string>{
          "0 000003EB 20240116 09:00-10:00 Dentist", "0 000003E9 20240117 12:00-13:00 Lunch",
          "2 000003EA 20240117 18:00-19:00 R Yoga", "2 000003EA 20240124 18:00-19:00 R Yoga",
          "1 000003EA 20240117 18:00-19:00 R Yoga", "1 000003EA 20240124 18:00-19:00 R Yoga"}),
      h.Update());
  EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());
}

// The window runs from 00:00 today to 00:00 of the day N days later, both included: a daily
// event has N + 1 occurrences in it, and a single record on the last day is in it only at 00:00.
TEST(SyncBasicsTest, TheWindowsEdges) {
  CSyncHarness h(14);
  CHandheldEvent daily = Event("Walk", At(2024, 1, 1, 7, 0), kRecAttrDirty);
  daily.repeat = kRepeatDaily;
  h.PutHandheld(daily);
  h.PutHandheld(Event("Midnight", At(2024, 1, 29, 0, 0), kRecAttrDirty));
  h.PutHandheld(Event("Too late", At(2024, 1, 29, 0, 1), kRecAttrDirty));
  h.PutHandheld(Event("Too early", At(2024, 1, 14, 23, 59), kRecAttrDirty));
  EXPECT_EQ(0, h.Sync(kSyncSlow, 1));
  int walks = 0;
  std::vector<std::string> singles;
  for (const std::string& line : h.Update()) {
    if (line.find(" R Walk") != std::string::npos) {
      ++walks;
    } else {
      singles.push_back(line);
    }
  }
  EXPECT_EQ(15, walks);
  EXPECT_EQ(std::vector<std::string>{"1 000003EA 20240129 00:00-01:00 Midnight"}, singles);
}

// A weekly event at 09:00 on the Sundays of both clock changes of 2024 in Berlin (a day of 23 and
// one of 25 hours) is written at 09:00 local time on those days.
TEST(SyncBasicsTest, AWeeklyEventOnTheDaysTheClockChanges) {
  for (int month : {3, 10}) {
    CSyncHarness h(7);
    h.SetNow(2024, month, 25);
    CHandheldEvent sunday = Event("Brunch", At(2024, 1, 7, 9, 0), kRecAttrDirty);
    sunday.repeat = kRepeatWeekly;
    sunday.week_days = 1 << 0;
    h.PutHandheld(sunday);
    EXPECT_EQ(0, h.Sync(kSyncSlow, 1));
    const std::string day = month == 3 ? "20240331" : "20241027";
    EXPECT_EQ(std::vector<std::string>{"1 000003E9 " + day + " 09:00-10:00 R Brunch"}, h.Update());
    // And the next run finds the occurrence as it wrote it.
    EXPECT_EQ(0, h.Sync(kSyncFast));
    EXPECT_EQ(std::vector<std::string>{"Brunch 20240107 09:00-10:00 R"}, h.Handheld());
    EXPECT_EQ(std::vector<std::string>{"0 000003E9 " + day + " 09:00-10:00 R Brunch"},
              h.host.Briefs());
  }
}

// The host calendar holds no categories: the list both sides agreed on is kept beside the backup,
// so fast synchronisations keep every category and every record's category, and a host edit
// leaves the record in its category.
TEST(SyncBasicsTest, CategoriesSurviveFastSynchronisations) {
  CSyncHarness h;
  h.SetHandheldCategories({{0, "Unfiled"}, {1, "Work"}, {2, "Home"}});
  h.PutHandheld(Event("Meeting", At(2024, 1, 16, 9, 0), kRecAttrDirty, 1));
  const uint32_t dinner = h.PutHandheld(Event("Dinner", At(2024, 1, 16, 19, 0), kRecAttrDirty, 2));
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  EXPECT_NE(test_support::kMissing, ReadFile(h.folder().Data("datebook.cat")));
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(0, h.Sync(kSyncFast));
    EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());
  }
  EXPECT_EQ((std::vector<std::string>{"0:Unfiled", "1:Work", "2:Home"}), h.HandheldCategories());
  EXPECT_EQ((std::vector<std::string>{"Dinner 20240116 19:00-20:00 cat2",
                                      "Meeting 20240116 09:00-10:00 cat1"}),
            h.Handheld());

  // A host edit keeps the record in "Work".
  h.host.Find("Meeting")->text = "Meeting (room 4)";
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<std::string>{"Dinner 20240116 19:00-20:00 cat2",
                                      "Meeting (room 4) 20240116 09:00-10:00 cat1"}),
            h.Handheld());

  // "Home" deleted on the handheld, whose application moved its records to Unfiled.
  h.SetHandheldCategories({{0, "Unfiled"}, {1, "Work"}});
  CHandheldEvent moved = Event("Dinner", At(2024, 1, 16, 19, 0), kRecAttrDirty, 0);
  moved.id = dinner;
  h.PutHandheld(moved);
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(
      (std::vector<Line>{kStart,
                         {-1, "-- Date Book"},
                         {4, "   - Desktop category 'Home' has been deleted and all of"},
                         {-1, "     the records in this category have been moved to 'Unfiled'."},
                         kOk}),
      h.log());
  EXPECT_EQ((std::vector<std::string>{"0:Unfiled", "1:Work"}), h.HandheldCategories());
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());
  EXPECT_EQ((std::vector<std::string>{"0:Unfiled", "1:Work"}), h.HandheldCategories());
}

// Without a saved list nothing was agreed, so no handheld category counts as deleted on the
// desktop; a damaged list fails the run instead of passing for an empty one.
TEST(SyncBasicsTest, AMissingCategoryListDeletesNothingADamagedOneFails) {
  CSyncHarness h;
  h.SetHandheldCategories({{0, "Unfiled"}, {1, "Work"}});
  h.PutHandheld(Event("Meeting", At(2024, 1, 16, 9, 0), kRecAttrDirty, 1));
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  std::remove(h.folder().Data("datebook.cat").c_str());
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());
  EXPECT_EQ((std::vector<std::string>{"0:Unfiled", "1:Work"}), h.HandheldCategories());

  test_support::WriteFile(h.folder().Data("datebook.cat"), "not a category list");
  const std::string backup = ReadFile(h.folder().Data("datebook.bak"));
  EXPECT_EQ(kErrNoBackup, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<Line>{kStart, kProblem, kFailed}), h.log());
  EXPECT_EQ(backup, ReadFile(h.folder().Data("datebook.bak")));
  EXPECT_TRUE(h.update_entries().empty());
}

// An archived record lands in the archive file of its category.
TEST(SyncBasicsTest, AnArchivedRecordGoesToItsCategorysArchive) {
  CSyncHarness h;
  h.SetHandheldCategories({{0, "Unfiled"}, {1, "Work"}});
  const uint32_t id = h.PutHandheld(Event("Review", At(2024, 1, 16, 9, 0), kRecAttrDirty, 1));
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  h.MarkHandheld(id, kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived);
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"2 000003E9 20240116 09:00-10:00 Review"}, h.Update());
  EXPECT_TRUE(h.Handheld().empty());
  CDateBkTable archive;
  ASSERT_EQ(0, archive.OpenFrom(h.folder().Data("Work.DBA"), 0));
  ASSERT_EQ(1, archive.GetRecordCount());
  CDateBkRecord record(archive, 0);
  CBaseIterator it(archive);
  ASSERT_EQ(0, it.FindFirst(record, 0));
  std::string description;
  record.GetDescription(description);
  EXPECT_EQ("Review", description);
}

// An archived record outside the window is archived too, not purged unseen.
TEST(SyncBasicsTest, AnArchivedRecordOutsideTheWindowIsArchived) {
  CSyncHarness h;
  h.PutHandheld(
      Event("Old", At(2023, 6, 1, 9, 0), kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived));
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  EXPECT_TRUE(h.Handheld().empty());
  EXPECT_NE(std::string::npos, ReadFile(h.folder().Data("Unfiled.DBA")).find("Old"));
}

// On a first synchronisation with an old handheld, the desktop's record IDs mean nothing on the
// handheld: a host entry whose ID a handheld record happens to have does not take its place.
TEST(SyncBasicsTest, RecordIdsAreResetForAnOldHandheld) {
  CSyncHarness h;
  ASSERT_EQ(kDeviceOk, DeviceSetRomMajor(1));
  h.host.Add("20240116", "09:00", "10:00", "Dentist");
  h.host.Find("Dentist")->id = "000003E9";
  h.PutHandheld(Event("Gym", At(2024, 1, 17, 18, 0)));  // ID 0x3E9 on this handheld
  EXPECT_EQ(0, h.Sync(kSyncSlow, 2));
  EXPECT_EQ((std::vector<std::string>{"3 000003EA 20240116 09:00-10:00 Dentist",
                                      "1 000003E9 20240117 18:00-19:00 Gym"}),
            h.Update());
  EXPECT_EQ((std::vector<std::string>{"Dentist 20240116 09:00-10:00", "Gym 20240117 18:00-19:00"}),
            h.Handheld());
}

// A new host entry that already carries an ID never overwrites a handheld record that is not the
// same entry, and is never lost.
TEST(SyncBasicsTest, HostEntriesThatCarryAnId) {
  CSyncHarness h;
  const uint32_t meeting = h.PutHandheld(Event("Meeting", At(2024, 1, 16, 9, 0), kRecAttrDirty));
  const uint32_t trip = h.PutHandheld(Event("Trip", At(2024, 3, 1, 9, 0), kRecAttrDirty));
  const uint32_t fair = h.PutHandheld(Event("Fair", At(2024, 4, 1, 9, 0), kRecAttrDirty));
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  ASSERT_EQ(1u, h.host.entries().size());

  // The host user copies the meeting to another day; the copy carries the meeting's ID.
  h.host.Copy(*h.host.Find("Meeting"), "20240118");
  // An entry with the trip's ID appears in the window (the host user moved it there), while the
  // trip was changed on the handheld.
  h.host.Add("20240119", "10:00", "11:00", "Trip");
  h.host.Find("Trip")->id = "000003EA";
  CHandheldEvent changed = Event("Trip (changed)", At(2024, 3, 1, 9, 0), kRecAttrDirty);
  changed.id = trip;
  h.PutHandheld(changed);
  // An entry with the fair's ID moved into the window on the host; the fair is unchanged.
  h.host.Add("20240120", "10:00", "11:00", "Fair");
  h.host.Find("Fair")->id = "000003EB";
  // An entry whose ID the handheld does not know.
  h.host.Add("20240121", "10:00", "11:00", "Stale");
  h.host.Find("Stale")->id = "00000999";

  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<std::string>{"Fair 20240120 10:00-11:00", "Meeting 20240116 09:00-10:00",
                                      "Meeting 20240118 09:00-10:00", "Stale 20240121 10:00-11:00",
                                      "Trip (changed) 20240301 09:00-10:00",
                                      "Trip 20240119 10:00-11:00"}),
            h.Handheld());
  EXPECT_EQ("Meeting 20240116 09:00-10:00", h.HandheldRecord(meeting));
  EXPECT_EQ("Trip (changed) 20240301 09:00-10:00", h.HandheldRecord(trip));
  EXPECT_EQ("Fair 20240120 10:00-11:00", h.HandheldRecord(fair));
  // The trip changed on both sides: both versions stay, and the log says so.
  const Line kBoth{1, "   - The following record was modified on both Rizez and the Desktop:"};
  EXPECT_EQ(1, std::count(h.log().begin(), h.log().end(), kBoth));
  // Every host entry now carries the ID of its own handheld record.
  std::vector<std::string> ids;
  for (const auto& e : h.host.entries()) ids.push_back(e.id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids.end(), std::adjacent_find(ids.begin(), ids.end()));
}

// A broken extract (empty, cut or with a count that is no count) fails the run before anything
// is touched: nothing on the handheld, no update, the backup as it was.
TEST(SyncBasicsTest, ABrokenExtractFailsTheRunAndTouchesNothing) {
  for (const char* bytes : {"", "00", "    ", "-001", "00x1", "0002"}) {
    SCOPED_TRACE(std::string("[") + bytes + "]");
    CSyncHarness h;
    h.PutHandheld(Event("Meeting", At(2024, 1, 16, 9, 0), kRecAttrDirty));
    ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
    const std::string backup = ReadFile(h.folder().Data("datebook.bak"));
    h.extract_bytes = std::string(bytes);
    EXPECT_EQ(kErrLoadDesktop, h.Sync(kSyncFast));
    EXPECT_EQ((std::vector<Line>{kStart, kProblem, kFailed}), h.log());
    EXPECT_TRUE(h.update_entries().empty());
    EXPECT_EQ(std::vector<std::string>{"Meeting 20240116 09:00-10:00"}, h.Handheld());
    EXPECT_EQ(backup, ReadFile(h.folder().Data("datebook.bak")));
  }
}

// A monitor without a record converter fails the run with a code and a closing line of 21.
TEST(SyncBasicsTest, NoConverterFailsTheRun) {
  CSyncHarness h;
  h.make_monitor = [](const HotSyncProps& props, ModuleInstance module,
                      COsServices& os) -> std::unique_ptr<CProfsMonitor> {
    struct CWithoutConverter : CProfsMonitor {
      CWithoutConverter(const HotSyncProps& p, ModuleInstance m, COsServices& o)
          : CProfsMonitor(p, m, o) {
        converter_.reset();
      }
    };
    return std::make_unique<CWithoutConverter>(props, module, os);
  };
  EXPECT_EQ(kErrNoConverter, h.Sync(kSyncSlow, 1));
  EXPECT_EQ((std::vector<Line>{kStart, kProblem, kFailed}), h.log());
}

}  // namespace

namespace {

// "Desktop overwrites handheld" with no agreed category list: the host calendar has no
// categories to give, so the handheld keeps its own.
TEST(SyncBasicsTest, DesktopOverwritesHandheldKeepsTheHandheldsCategories) {
  CSyncHarness h;
  h.SetHandheldCategories({{0, "Unfiled"}, {1, "Work"}});
  h.PutHandheld(Event("Meeting", At(2024, 1, 16, 9, 0), 0, 1));
  EXPECT_EQ(0, h.Sync(kSyncDesktopOverwrites));
  EXPECT_EQ((std::vector<std::string>{"0:Unfiled", "1:Work"}), h.HandheldCategories());
  EXPECT_EQ(std::vector<std::string>{"Meeting 20240116 09:00-10:00 cat1"}, h.Handheld());
}

}  // namespace

namespace {

// A record made on the handheld for a day outside the window reaches the host when that day
// enters the window, although the handheld's change mark was cleared long before; a change that
// moves a record the host holds out of the window reaches the host at once.
TEST(SyncBasicsTest, RecordsOutsideTheWindow) {
  CSyncHarness h(7);
  const uint32_t meeting = h.PutHandheld(Event("Meeting", At(2024, 1, 16, 9, 0), kRecAttrDirty));
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  h.PutHandheld(Event("Conference", At(2024, 2, 20, 9, 0), kRecAttrDirty));
  CHandheldEvent moved = Event("Meeting", At(2024, 3, 5, 9, 0), kRecAttrDirty);
  moved.id = meeting;
  h.PutHandheld(moved);
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"3 000003E9 20240305 09:00-10:00 Meeting"}, h.Update());
  EXPECT_EQ(std::vector<std::string>{"0 000003E9 20240305 09:00-10:00 Meeting"}, h.host.Briefs());

  h.SetNow(2024, 2, 15);
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"1 000003EA 20240220 09:00-10:00 Conference"}, h.Update());
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"0 000003EA 20240220 09:00-10:00 Conference"}, h.Update());
}

}  // namespace
