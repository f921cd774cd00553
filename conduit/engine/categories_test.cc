// Category reconciliation through the emulated handheld's category block.
#include "conduit/engine/engine_test_util.h"

namespace engine_test {
namespace {

const char kHeading[] = "-- Date Book";
const char kMovedToUnfiled[] = "     the records in this category have been moved to 'Unfiled'.";

// Categories without their name-dirty flags, for comparing lists after a synchronisation.
std::vector<Cat> Clean(std::vector<Cat> cats) {
  for (Cat& c : cats) c.dirty = false;
  return cats;
}

std::vector<int32_t> Categories(const std::vector<Row>& rows) {
  std::vector<int32_t> out;
  for (const Row& row : rows) out.push_back(row.category);
  return out;
}

struct Sides {
  std::vector<Cat> handheld;
  std::vector<int32_t> handheld_records;
  std::vector<Cat> desktop;
  std::vector<int32_t> desktop_records;
  int32_t sync_type = 0;
  int32_t first_sync = 0;
};

// Runs ReadRemoteCategories and SynchronizeCategories on a handheld and desktop built from setup.
class CCategoryRun {
 public:
  CCategoryRun(const CScratchFolder& dir, const Sides& setup, CFakeOsServices& os)
      : monitor(MakeProps(dir.DataFolder(), setup.sync_type, setup.first_sync), os) {
    StartHandheld(dir, setup.handheld, setup.handheld_records);
    EXPECT_EQ(kOk, monitor.OpenRemoteDatabase());
    FillCategories(*monitor.desktop().GetCategoryManager(), setup.desktop);
    for (size_t i = 0; i < setup.desktop_records.size(); ++i) {
      AddRow(monitor.desktop(), {"d" + std::to_string(i), setup.desktop_records[i]});
    }
    StartLogRun();
  }
  int32_t Run() {
    int32_t result = monitor.ReadRemoteCategories();
    return result != kOk ? result : monitor.SynchronizeCategories();
  }
  std::vector<Cat> DesktopList() { return ListCategories(*monitor.desktop().GetCategoryManager()); }
  std::vector<int32_t> DesktopRecords() { return Categories(ReadRows(monitor.desktop())); }

  CTestMonitor monitor;
};

class CategoriesTest : public ::testing::Test {
 protected:
  void TearDown() override { ClearDeviceFaults(); }
  CScratchFolder dir_;
  CFakeOsServices os_;
};

TEST_F(CategoriesTest, ReconcilesBothLists) {
  const std::vector<Cat> base = {{0, 0, "Unfiled"}, {1, 10, "Work"}, {2, 11, "Home"}};
  // Sixteen categories, new on the handheld (so that none counts as deleted on the desktop).
  std::vector<Cat> sixteen;
  for (int32_t i = 0; i < 16; ++i) sixteen.push_back({i, 40 + i, "C" + std::to_string(i), true});

  struct Case {
    const char* name;
    Sides setup;
    int32_t change_category_error;
    int32_t result;
    std::vector<Cat> handheld_after;  // the block on the handheld (name-changed flags as stored)
    std::vector<int32_t> handheld_records_after;
    std::vector<Cat> desktop_after;
    std::vector<int32_t> desktop_records_after;
    std::vector<Line> log;  // after the heading
  } cases[] = {
      {"identical lists",
       {base, {1, 2, 0}, base, {2, 1, 0}},
       kOk,
       kOk,
       base,
       {1, 2, 0},
       base,
       {2, 1, 0},
       {}},
      {"moved index",
       {{{0, 0, "Unfiled"}, {5, 12, "Work"}}, {5}, {{0, 0, "Unfiled"}, {3, 12, "Work"}}, {3, 0, 3}},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {5, 12, "Work"}},
       {5},
       {{0, 0, "Unfiled"}, {5, 12, "Work"}},
       {5, 0, 5},
       {}},
      {"swapped indexes",
       {{{3, 21, "Home"}, {5, 20, "Work"}}, {}, {{3, 20, "Work"}, {5, 21, "Home"}}, {3, 5, 3, 5}},
       kOk,
       kOk,
       {{3, 21, "Home"}, {5, 20, "Work"}},
       {},
       {{3, 21, "Home"}, {5, 20, "Work"}},
       {5, 3, 5, 3},
       {}},
      {"deleted on the desktop",
       {{{0, 0, "Unfiled"}, {1, 10, "Work"}, {4, 14, "Old"}},
        {4, 1, 4},
        {{0, 0, "Unfiled"}, {1, 10, "Work"}},
        {1}},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {1, 10, "Work"}},
       {0, 1, 0},
       {{0, 0, "Unfiled"}, {1, 10, "Work"}},
       {1},
       {{4, "   - Rizez category 'Old' has been deleted and all of"}, {-1, kMovedToUnfiled}}},
      {"deleted on the handheld",
       {{{0, 0, "Unfiled"}, {1, 10, "Work"}},
        {1},
        {{0, 0, "Unfiled"}, {1, 10, "Work"}, {6, 16, "Gone"}},
        {6, 1, 6}},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {1, 10, "Work"}},
       {1},
       {{0, 0, "Unfiled"}, {1, 10, "Work"}},
       {0, 1, 0},
       {{4, "   - Desktop category 'Gone' has been deleted and all of"}, {-1, kMovedToUnfiled}}},
      {"slow sync keeps every handheld category",
       {{{0, 0, "Unfiled"}, {4, 14, "Old"}}, {4}, {{0, 0, "Unfiled"}, {6, 16, "Gone"}}, {6}, 1},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {4, 14, "Old"}},
       {4},
       {{0, 0, "Unfiled"}, {4, 14, "Old"}},
       {0},
       {{4, "   - Desktop category 'Gone' has been deleted and all of"}, {-1, kMovedToUnfiled}}},
      {"first sync 1 counts the handheld as changed",
       {{{0, 0, "Unfiled"}, {4, 14, "Old"}}, {4}, {{0, 0, "Unfiled"}}, {}, 0, 1},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {4, 14, "Old"}},
       {4},
       {{0, 0, "Unfiled"}, {4, 14, "Old"}},
       {},
       {}},
      {"first sync 2 counts the desktop as changed",
       {{{0, 0, "Unfiled"}}, {}, {{0, 0, "Unfiled"}, {6, 16, "Gone"}}, {6}, 0, 2},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {6, 16, "Gone"}},
       {},
       {{0, 0, "Unfiled"}, {6, 16, "Gone"}},
       {6},
       {}},
      {"new desktop category keeps a free index",
       {base, {}, {{0, 0, "Unfiled"}, {1, 10, "Work"}, {2, 11, "Home"}, {7, 30, "New", true}}, {7}},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {1, 10, "Work"}, {2, 11, "Home"}, {7, 30, "New"}},
       {},
       {{0, 0, "Unfiled"}, {1, 10, "Work"}, {2, 11, "Home"}, {7, 30, "New"}},
       {7},
       {}},
      {"new desktop category moves to the lowest free index",
       {{{0, 0, "Unfiled"}, {1, 10, "Work", true}, {2, 11, "Home", true}},
        {2},
        {{0, 0, "Unfiled"}, {2, 30, "New", true}},
        {2, 0}},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {1, 10, "Work"}, {2, 11, "Home"}, {3, 30, "New"}},
       {2},
       {{0, 0, "Unfiled"}, {1, 10, "Work"}, {2, 11, "Home"}, {3, 30, "New"}},
       {3, 0},
       {}},
      {"sixteen indexes taken",
       {sixteen, {3}, {{0, 40, "C0"}, {3, 99, "New", true}}, {3, 0}},
       kOk,
       kOk,
       Clean(sixteen),
       {3},
       Clean(sixteen),
       {0, 0},
       {{3, "   - Only 15 categories are allowed.  All records in category 'New'"},
        {-1, "     were changed to 'Unfiled'."}}},
      {"renamed on the desktop",
       {base, {}, {{0, 0, "Unfiled"}, {1, 10, "Job", true}, {2, 11, "Home"}}, {1}},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {1, 10, "Job"}, {2, 11, "Home"}},
       {},
       {{0, 0, "Unfiled"}, {1, 10, "Job"}, {2, 11, "Home"}},
       {1},
       {}},
      {"renamed on the handheld",
       {{{0, 0, "Unfiled"}, {4, 10, "Job", true}}, {}, {{0, 0, "Unfiled"}, {1, 10, "Work"}}, {1}},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {4, 10, "Job"}},
       {},
       {{0, 0, "Unfiled"}, {4, 10, "Job"}},
       {4},
       {}},
      {"an empty desktop list never deletes Unfiled",
       {{{0, 0, "Unfiled"}}, {0}, {}, {}},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}},
       {0},
       {{0, 0, "Unfiled"}},
       {},
       {}},
      {"handheld overwrites desktop",
       {{{0, 0, "Unfiled"}, {4, 14, "Old", true}},
        {4},
        {{0, 0, "Unfiled"}, {6, 16, "Gone"}},
        {6},
        2},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {4, 14, "Old", true}},
       {4},
       {{0, 0, "Unfiled"}, {4, 14, "Old"}},
       {6},
       {}},
      {"desktop overwrites handheld",
       {{{0, 0, "Unfiled"}, {4, 14, "Old"}},
        {4},
        {{0, 0, "Unfiled"}, {6, 16, "Gone", true}},
        {6},
        3},
       kOk,
       kOk,
       {{0, 0, "Unfiled"}, {6, 16, "Gone"}},
       {4},
       {{0, 0, "Unfiled"}, {6, 16, "Gone", true}},
       {6},
       {}},
      {"failing SyncChangeCategory keeps the category",
       {{{0, 0, "Unfiled"}, {4, 14, "Old"}}, {4, 4}, {{0, 0, "Unfiled"}}, {}},
       kSyncCommsErrorBit | 9,
       kOk,
       {{0, 0, "Unfiled"}, {4, 14, "Old"}},
       {4, 4},
       {{0, 0, "Unfiled"}, {4, 14, "Old"}},
       {},
       {{7, "   - Could not move the Rizez records in category 'Old' to 'Unfiled'."},
        {-1, "     Please check your connections and try again."}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CScratchFolder dir;
    CCategoryRun run(dir, c.setup, os_);
    if (c.change_category_error != kOk) FailChangeCategory(c.change_category_error);
    EXPECT_EQ(c.result, run.Run());
    ClearDeviceFaults();
    EXPECT_EQ(c.handheld_after, HandheldCategories());
    EXPECT_EQ(c.handheld_records_after, HandheldRecordCategories());
    EXPECT_EQ(c.desktop_after, run.DesktopList());
    EXPECT_EQ(c.desktop_records_after, run.DesktopRecords());
    std::vector<Line> log;
    if (!c.log.empty()) log.push_back({-1, kHeading});
    log.insert(log.end(), c.log.begin(), c.log.end());
    EXPECT_EQ(log, LogLines());
  }
}

TEST_F(CategoriesTest, FailedReadOrWriteLeavesTheDesktopAsItWas) {
  const Sides setup = {{{0, 0, "Unfiled"}, {5, 12, "Work"}},
                       {5},
                       {{0, 0, "Unfiled"}, {3, 12, "Work"}, {6, 16, "Gone"}},
                       {3, 6}};
  // Calls from ReadRemoteCategories on: read block (1), write block (2).
  for (int32_t n : {1, 2}) {
    SCOPED_TRACE(n);
    CScratchFolder dir;
    CCategoryRun run(dir, setup, os_);
    FailNthDeviceCall(n, kSyncCommsErrorBit | 1);
    EXPECT_EQ(kSyncCommsErrorBit | 1, run.Run());
    ClearDeviceFaults();
    EXPECT_EQ(setup.desktop, run.DesktopList());
    EXPECT_EQ(setup.desktop_records, run.DesktopRecords());
    EXPECT_EQ(setup.handheld, HandheldCategories());
    EXPECT_TRUE(LogLines().empty()) << "nothing was moved, so nothing is reported";
  }
}

// The write sends back the block as the read left it: the bytes after the category block are the
// handheld's own. A block too short to hold the categories is refused before anything changes.
TEST_F(CategoriesTest, BlockBytesAfterTheCategoriesSurviveAndShortBlocksAreRefused) {
  const Sides sides = {{{0, 0, "Unfiled"}, {1, 10, "Work"}}, {}, {{0, 0, "Unfiled"}}, {}};
  CCategoryRun run(dir_, sides, os_);
  std::vector<uint8_t> block;
  ASSERT_EQ(kDeviceOk, DeviceGetAppInfo(kDatabaseName, &block));
  block.resize(kBlockSize);
  const std::string tail = "handheld's own bytes";
  block.insert(block.end(), tail.begin(), tail.end());
  ASSERT_EQ(kDeviceOk, DeviceSetAppInfo(kDatabaseName, block));
  ASSERT_EQ(kOk, run.Run());
  std::vector<uint8_t> after;
  ASSERT_EQ(kDeviceOk, DeviceGetAppInfo(kDatabaseName, &after));
  ASSERT_EQ(block.size(), after.size());
  EXPECT_EQ(tail, std::string(after.begin() + kBlockSize, after.end()));

  CScratchFolder dir;
  CCategoryRun short_block(dir, sides, os_);
  ASSERT_EQ(kDeviceOk, DeviceSetAppInfo(kDatabaseName, std::vector<uint8_t>(kBlockSize - 1, 0)));
  EXPECT_EQ(kErrNoCategoryBufferIn, short_block.Run());
  EXPECT_EQ(sides.desktop, short_block.DesktopList());
  std::vector<uint8_t> untouched;
  ASSERT_EQ(kDeviceOk, DeviceGetAppInfo(kDatabaseName, &untouched));
  EXPECT_EQ(kBlockSize - 1, untouched.size());
}

// Fails device call N for N = 1, 2, ... until the category operation completes. After each run
// the handheld's records name categories that its block holds, the desktop list either is as it
// was or equals the handheld's list, and every record that changed category either followed its
// category's name or went to Unfiled with a log line naming the category.
TEST_F(CategoriesTest, FaultInjectionLosesNoCategorySilently) {
  const Sides setup = {
      {{0, 0, "Unfiled"}, {1, 1, "Work"}, {4, 4, "Old"}, {5, 5, "Home"}, {8, 8, "Trip"}},
      {1, 4, 5, 4, 8},
      {{0, 0, "Unfiled"},
       {1, 1, "Work"},
       {3, 5, "Home"},
       {6, 6, "Gone"},
       {7, 30, "New", true},
       {9, 8, "Trip"},
       {10, 9, "Gym"}},
      {1, 3, 6, 7, 0, 9, 10},
  };
  auto name_in = [](const std::vector<Cat>& list, int32_t index) -> std::string {
    for (const Cat& c : list) {
      if (c.index == index) return c.name;
    }
    return "";
  };
  auto logged = [](const std::vector<Line>& lines, const std::string& name) {
    for (const Line& line : lines) {
      if (line.activity > 0 && line.text.find("'" + name + "'") != std::string::npos) return true;
    }
    return false;
  };

  bool completed = false;
  int32_t n = 1;
  for (; n <= 50 && !completed; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    CScratchFolder dir;
    CCategoryRun run(dir, setup, os_);
    const uint32_t calls_before = DeviceCalls();
    FailNthDeviceCall(n, kSyncCommsErrorBit | 2);
    int32_t result = run.Run();
    const bool fault_hit = DeviceCalls() - calls_before >= static_cast<uint32_t>(n);
    ClearDeviceFaults();
    // Done once a run makes fewer calls than N: the operation ran to its end untouched.
    completed = !fault_hit;
    if (completed) {
      EXPECT_EQ(kOk, result);
    }

    std::vector<Cat> handheld = HandheldCategories();
    std::vector<Cat> desktop = run.DesktopList();
    std::vector<Line> log = LogLines();
    if (result == kOk) {
      EXPECT_EQ(Clean(handheld), desktop);
    } else {
      EXPECT_EQ(setup.desktop, desktop);
    }
    std::vector<int32_t> records = HandheldRecordCategories();
    ASSERT_EQ(setup.handheld_records.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_NE("", name_in(handheld, records[i])) << "handheld record " << i;
      if (records[i] != setup.handheld_records[i]) {
        EXPECT_EQ(0, records[i]);
        EXPECT_TRUE(logged(log, name_in(setup.handheld, setup.handheld_records[i])))
            << "handheld record " << i;
      }
    }
    std::vector<int32_t> rows = run.DesktopRecords();
    ASSERT_EQ(setup.desktop_records.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::string before = name_in(setup.desktop, setup.desktop_records[i]);
      EXPECT_NE("", name_in(desktop, rows[i])) << "desktop record " << i;
      if (name_in(desktop, rows[i]) != before) {
        EXPECT_EQ(0, rows[i]) << "desktop record " << i;
        EXPECT_TRUE(logged(log, before)) << "desktop record " << i;
      }
    }
  }
  EXPECT_TRUE(completed);
  EXPECT_GE(n, 5) << "the read, the move to Unfiled and the write each failed once";
}

}  // namespace
}  // namespace engine_test
