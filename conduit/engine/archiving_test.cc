// Archiving into per-category archive files, and the record-ID reset.
#include <fstream>

#include "conduit/engine/engine_test_util.h"

namespace engine_test {
namespace {

class ArchivingTest : public ::testing::Test {
 protected:
  void SetUp() override { monitor_.reset(new CTestMonitor(MakeProps(dir_.DataFolder(), 0), os_)); }

  // Sets the desktop category list, as SynchronizeCategories leaves it.
  void UseDesktopCategories(const std::vector<Cat>& cats) {
    FillCategories(*monitor_->desktop().GetCategoryManager(), cats);
    monitor_->TakeDesktopCategories();
  }

  // The rows of an archive file of the data folder.
  std::vector<Row> FileRows(const std::string& name) {
    CDateBkTable table;
    EXPECT_EQ(kOk, table.OpenFrom(dir_.DataFolder() + name, 0)) << name;
    return ReadRows(table);
  }

  static std::vector<std::string> Descriptions(const std::vector<Row>& rows) {
    std::vector<std::string> out;
    for (const Row& row : rows) out.push_back(row.description);
    return out;
  }

  CScratchFolder dir_;
  CFakeOsServices os_;
  std::unique_ptr<CTestMonitor> monitor_;
};

TEST_F(ArchivingTest, NothingToArchiveTouchesNoFile) {
  EXPECT_EQ(kOk, monitor_->ArchiveRecords());
  monitor_->DropArchiveTable();
  EXPECT_EQ(kOk, monitor_->ArchiveRecords());
  EXPECT_TRUE(dir_.DataFiles().empty());
}

TEST_F(ArchivingTest, FirstAndSecondArchivingIntoACategory) {
  UseDesktopCategories({{0, 0, "Unfiled"}, {2, 17, "Work"}});
  AddRow(monitor_->archive(), {"first", 2, 101, kStatusUnchanged});
  AddRow(monitor_->archive(), {"second", 2, 102, kStatusUnchanged});
  ASSERT_EQ(kOk, monitor_->ArchiveRecords());
  EXPECT_EQ(std::vector<std::string>({"Work.DBA"}), dir_.DataFiles());
  std::vector<Row> rows = FileRows("Work.DBA");
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("first", rows[0].description);
  EXPECT_EQ(0, rows[0].category) << "archived records are Unfiled inside the file";
  EXPECT_EQ(101u, rows[0].id);
  EXPECT_EQ("second", rows[1].description);

  // The user deletes one archived record in the archive file; the next archiving drops it and
  // appends the new record after the one that stays.
  {
    CDateBkTable file;
    ASSERT_EQ(kOk, file.OpenFrom(dir_.DataFolder() + "Work.DBA", 0));
    CDateBkRecord record(file, 0);
    CBaseIterator iterator(file);
    ASSERT_EQ(kOk, iterator.FindFirst(record, 0));
    ASSERT_EQ(kOk, record.SetStatus(kStatusDeleted));
    ASSERT_EQ(kOk, file.SaveTo(dir_.DataFolder() + "Work.DBA"));
  }
  CTestMonitor again(MakeProps(dir_.DataFolder(), 0), os_);
  FillCategories(*again.desktop().GetCategoryManager(), {{2, 17, "Work"}});
  again.TakeDesktopCategories();
  AddRow(again.archive(), {"third", 2, 103, kStatusUnchanged});
  ASSERT_EQ(kOk, again.ArchiveRecords());
  EXPECT_EQ(std::vector<std::string>({"second", "third"}), Descriptions(FileRows("Work.DBA")));
}

TEST_F(ArchivingTest, OneFilePerCategoryInCategoryOrder) {
  UseDesktopCategories({{0, 0, "Unfiled"}, {2, 17, "Work"}, {5, 18, "Home"}});
  AddRow(monitor_->archive(), {"w1", 2});
  AddRow(monitor_->archive(), {"h1", 5});
  AddRow(monitor_->archive(), {"w2", 2});
  ASSERT_EQ(kOk, monitor_->ArchiveRecords());
  EXPECT_EQ(2, monitor_->create_table_calls) << "each file is opened once";
  EXPECT_EQ(std::vector<std::string>({"Home.DBA", "Work.DBA"}), dir_.DataFiles());
  EXPECT_EQ(std::vector<std::string>({"w1", "w2"}), Descriptions(FileRows("Work.DBA")));
  EXPECT_EQ(std::vector<std::string>({"h1"}), Descriptions(FileRows("Home.DBA")));
  for (const Row& row : ReadRows(monitor_->archive())) EXPECT_EQ(0, row.category);
}

TEST_F(ArchivingTest, IndexesOutsideTheListGoToCategoryZeroOrUnfiled) {
  struct Case {
    std::vector<Cat> desktop;
    std::vector<int32_t> indexes;
    std::vector<std::string> files;
  } cases[] = {
      {{{0, 0, "Misc"}}, {-1, 16}, {"Misc.DBA"}},
      {{{3, 9, "Work"}}, {-1, 16, 0}, {"Unfiled.DBA"}},
      {{{3, 9, "Work"}}, {7}, {"Unfiled.DBA"}},
      {{}, {3}, {"Unfiled.DBA"}},
  };
  for (const Case& c : cases) {
    CScratchFolder dir;
    CTestMonitor monitor(MakeProps(dir.DataFolder(), 0), os_);
    FillCategories(*monitor.desktop().GetCategoryManager(), c.desktop);
    monitor.TakeDesktopCategories();
    for (int32_t index : c.indexes) AddRow(monitor.archive(), {"r", index});
    ASSERT_EQ(kOk, monitor.ArchiveRecords());
    EXPECT_EQ(c.files, dir.DataFiles()) << c.indexes[0];
    CDateBkTable file;
    ASSERT_EQ(kOk, file.OpenFrom(dir.DataFolder() + c.files[0], 0));
    EXPECT_EQ(static_cast<int32_t>(c.indexes.size()), file.GetRecordCount());
  }
}

// Category names come from the handheld; whatever they hold, every archive file lands in the
// data folder.
TEST_F(ArchivingTest, CategoryNamesNeverLeadOutOfTheDataFolder) {
  UseDesktopCategories({{1, 1, "../x"}, {2, 2, "a/b"}, {3, 3, ".."}, {4, 4, "/etc/passwd"}});
  for (int32_t index = 1; index <= 4; ++index) {
    AddRow(monitor_->archive(), {"r" + std::to_string(index), index});
  }
  ASSERT_EQ(kOk, monitor_->ArchiveRecords());
  std::vector<std::string> all = dir_.AllFiles();
  int32_t archived = 0;
  for (const std::string& file : all) {
    EXPECT_EQ(0u, file.rfind("data/", 0)) << file << " is outside the data folder";
    EXPECT_EQ(std::string::npos, file.find('/', 5)) << file << " is in a subfolder";
    CDateBkTable table;
    ASSERT_EQ(kOk, table.OpenFrom(dir_.Path(file), 0)) << file;
    archived += table.GetRecordCount();
  }
  EXPECT_EQ(4, archived) << "no record is lost, even when two names give one file name";
}

TEST_F(ArchivingTest, FailuresEndTheArchivingWithTheirCode) {
  // The data folder does not exist: opening finds no file, saving the first file fails.
  CTestMonitor missing(MakeProps(dir_.Path("missing") + "/", 0), os_);
  FillCategories(*missing.desktop().GetCategoryManager(), {{2, 1, "Work"}, {5, 2, "Home"}});
  missing.TakeDesktopCategories();
  AddRow(missing.archive(), {"w", 2});
  AddRow(missing.archive(), {"h", 5});
  EXPECT_NE(kOk, missing.ArchiveRecords());
  EXPECT_EQ(1, missing.create_table_calls) << "the second category's file is not opened";
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("missing")));

  // CreateLocalTable failing for the first or the second category; a failing copy.
  struct Case {
    int32_t fail_create_at;
    int32_t copy_error;
    int32_t result;
    std::vector<std::string> files;
  } cases[] = {
      {1, kOk, kErrNotProvided, {}},
      {2, kOk, kErrNotProvided, {"Work.DBA"}},
      {0, kTblErrNoMemory, kTblErrNoMemory, {}},
  };
  for (const Case& c : cases) {
    CScratchFolder dir;
    CTestMonitor monitor(MakeProps(dir.DataFolder(), 0), os_);
    FillCategories(*monitor.desktop().GetCategoryManager(), {{2, 1, "Work"}, {5, 2, "Home"}});
    monitor.TakeDesktopCategories();
    monitor.fail_create_table_at = c.fail_create_at;
    monitor.copy_error = c.copy_error;
    AddRow(monitor.archive(), {"w", 2});
    AddRow(monitor.archive(), {"h", 5});
    EXPECT_EQ(c.result, monitor.ArchiveRecords()) << c.fail_create_at;
    EXPECT_EQ(c.files, dir.DataFiles()) << c.fail_create_at;
  }
}

TEST_F(ArchivingTest, DamagedArchiveFileIsLeftAsItWas) {
  UseDesktopCategories({{2, 1, "Work"}});
  const std::string damaged = "not a table file";
  {
    std::ofstream out(dir_.DataFolder() + "Work.DBA", std::ios::binary);
    out << damaged;
  }
  AddRow(monitor_->archive(), {"w", 2});
  int32_t result = monitor_->ArchiveRecords();
  EXPECT_NE(kOk, result);
  EXPECT_NE(kTblErrFileNotFound, result);
  std::ifstream in(dir_.DataFolder() + "Work.DBA", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(damaged, bytes);
}

TEST(ResetLocalRecordIdsTest, OnlyFirstSyncTwoWithAnOldHandheldClearsIds) {
  struct Case {
    int32_t first_sync;
    uint32_t rom_major;
    bool cleared;
  } cases[] = {
      {2, 1, true}, {2, 0, true}, {2, 2, false}, {2, 3, false}, {0, 1, false}, {1, 1, false},
  };
  CFakeOsServices os;
  for (const Case& c : cases) {
    CTestMonitor monitor(MakeProps("/nowhere/", 0, c.first_sync), os);
    monitor.SetRomVersion((c.rom_major << 24) | 0x00300000u);
    AddRow(monitor.desktop(), {"a", 0, 7});
    AddRow(monitor.desktop(), {"b", 0, 8});
    EXPECT_EQ(kOk, monitor.ResetLocalRecordIds());
    std::vector<Row> rows = ReadRows(monitor.desktop());
    EXPECT_EQ(c.cleared ? 0u : 7u, rows[0].id) << c.first_sync << " " << c.rom_major;
    EXPECT_EQ(c.cleared ? 0u : 8u, rows[1].id) << c.first_sync << " " << c.rom_major;
  }
  CTestMonitor no_table(MakeProps("/nowhere/", 0, 2), os);
  no_table.DropDesktopTable();
  EXPECT_EQ(kOk, no_table.ResetLocalRecordIds());
}

}  // namespace
}  // namespace engine_test
