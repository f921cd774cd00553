// Table files: the round trip of every kind of field, missing, foreign, truncated and damaged
// files, schema mismatches, saves that fail, and the stream underneath.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "gtest/gtest.h"
#include "tablelib/iterator.h"
#include "tablelib/record.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"
#include "tablelib/table_stream.h"
#include "tablelib/test_tables.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class TableFileTest : public ::testing::Test {
 protected:
  // A table holding every kind of field, each repeat kind, exceptions, all statuses, the archive
  // flag and categories.
  void FillAll(CDateBkTable& table) {
    CCategoryMgr& categories = *table.GetCategoryManager();
    for (int32_t index : {0, 4, 2}) {
      auto category = std::make_unique<CCategory>(200 + index, index,
                                                  index == 4 ? "Caf\xE9" : "Work", index == 4);
      ASSERT_EQ(categories.Add(category), kTblOk);
    }
    const int32_t kStatuses[] = {kStatusUnchanged, kStatusAdded, kStatusModified, kStatusDeleted,
                                 kStatusPending};
    CDateBkRecord record(table, 0);
    for (int32_t n = 0; n < 6; ++n) {
      ASSERT_EQ(table.AppendBlankRecord(record), kTblOk);
      record.SetRecordId(0xFFFFFF00u + static_cast<uint32_t>(n));
      record.SetStatus(kStatuses[n % 5]);
      record.SetStartTime(1700000000 + n * 86400);
      record.SetEndTime(n == 0 ? 0 : 1700003600 + n * 86400);
      record.SetDescription(n == 0 ? "" : "Event " + std::to_string(n));
      record.SetNote(n == 2 ? std::string("first\r\nsecond \xFF\x01", 16) : "");
      record.SetUnTimedFlag(n == 0);
      record.SetAlarmFlag(n == 1);
      record.SetAlarmAdvTime(n == 1 ? 10 : -1);
      record.SetAlarmAdvUnit(n % 3);
      record.SetCategoryId(n == 5 ? -1 : n % 3);
      record.SetPrivate(n == 3);
      record.SetArchiveBit(n == 4);
      switch (n) {
        case 1:
          record.SetRepDaily(CDayName(3, 2, 1800000000, 0));
          break;
        case 2:
          record.SetRepWeekly(CWeekly(0x41, 3, -1, 1));
          break;
        case 3:
          record.SetRepMonthlyByDay(CDayOfMonth(4, 5, 1, maxDate(), 0));
          break;
        case 4:
          record.SetRepMonthlyByDate(CDateOfMonth(31, 2, -1, 0));
          break;
        case 5:
          record.SetRepYearlyByDate(CDateOfYear(1, 29, 4, -1, 1));
          break;
      }
      if (n >= 1) record.AddException(1700000000 + 86400 * (n + 7));
      if (n == 2) record.AddException(1700000000 + 86400 * 40);
    }
  }

  static void ExpectSameTables(CBaseTable& a, CBaseTable& b) {
    ASSERT_EQ(a.GetRecordCount(), b.GetRecordCount());
    for (int32_t i = 0; i < a.GetRecordCount(); ++i) {
      const CTableRow& x = *a.RowAt(i);
      const CTableRow& y = *b.RowAt(i);
      EXPECT_EQ(x.archived, y.archived) << "row " << i;
      ASSERT_EQ(x.fields.size(), y.fields.size());
      for (size_t f = 0; f < x.fields.size(); ++f) {
        EXPECT_EQ(x.fields[f]->Compare(*y.fields[f]), 0) << "row " << i << " field " << f;
      }
    }
    CCategoryMgr& ca = *a.GetCategoryManager();
    CCategoryMgr& cb = *b.GetCategoryManager();
    ASSERT_EQ(ca.GetCount(), cb.GetCount());
    for (int32_t i = 0; i < ca.GetCount(); ++i) {
      EXPECT_EQ(ca.At(i)->GetID(), cb.At(i)->GetID());
      EXPECT_EQ(ca.At(i)->GetIndex(), cb.At(i)->GetIndex());
      EXPECT_EQ(ca.At(i)->GetName(), cb.At(i)->GetName());
      EXPECT_EQ(ca.At(i)->GetNameDirty(), cb.At(i)->GetNameDirty());
    }
  }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  test_support::CScratchFolder scratch_{"tablelib"};
  fs::path dir_ = scratch_.Root();
};

TEST_F(TableFileTest, RoundTripKeepsEverything) {
  CDateBkTable saved;
  FillAll(saved);
  ASSERT_EQ(saved.SaveTo(Path("Work.DBA")), kTblOk);
  EXPECT_FALSE(fs::exists(Path("Work.DBA.~tmp")));

  CDateBkTable loaded;
  CDateBkRecord stale(loaded, 0);
  ASSERT_EQ(loaded.AppendBlankRecord(stale), kTblOk);  // replaced by the file's rows
  ASSERT_EQ(loaded.OpenFrom(Path("Work.DBA"), 0), kTblOk);
  EXPECT_FALSE(stale.IsBound());
  ExpectSameTables(saved, loaded);

  // The loaded rows are sorted and found like appended ones.
  CBaseIterator iterator(loaded);
  CDateBkRecord record(loaded, 0);
  ASSERT_EQ(iterator.SortByRecordId(), kTblOk);
  ASSERT_EQ(iterator.FindByRecordId(0xFFFFFF03u, record, 0), kTblOk);
  EXPECT_TRUE(record.IsPrivate());
  EXPECT_EQ(record.GetRepeateInfo()->GetMyBrand(), kRepeatMonthlyByDay);

  // Saving the loaded table gives the same bytes.
  ASSERT_EQ(loaded.SaveTo(Path("again.DBA")), kTblOk);
  EXPECT_EQ(ReadAll(Path("again.DBA")), ReadAll(Path("Work.DBA")));
}

TEST_F(TableFileTest, MissingFileLeavesTheTableAlone) {
  CDateBkTable table;
  FillAll(table);
  EXPECT_EQ(table.OpenFrom(Path("absent.DBA"), 0), kTblErrFileNotFound);
  EXPECT_EQ(table.GetRecordCount(), 6);
  EXPECT_EQ(table.OpenFrom(dir_.string(), 0), kTblErrAccess);  // a folder
}

TEST_F(TableFileTest, ForeignTruncatedAndDamagedFilesAreRefusedAndLeftAlone) {
  CDateBkTable saved;
  FillAll(saved);
  ASSERT_EQ(saved.SaveTo(Path("good.DBA")), kTblOk);
  const std::string good = ReadAll(Path("good.DBA"));
  ASSERT_GT(good.size(), 100u);

  const std::string kForeign[] = {
      "0001    3 0311202309000311202310000000000Lunch\r\n",
      std::string("DTBL\r\n\x1a\n\x02\x00", 10),  // a later version
      "",
  };
  CDateBkTable table;
  CDateBkRecord record(table, 0);
  for (const std::string& bytes : kForeign) {
    WriteAll(Path("foreign.DBA"), bytes);
    ASSERT_EQ(table.AppendBlankRecord(record), kTblOk);
    const int32_t result = table.OpenFrom(Path("foreign.DBA"), 0);
    EXPECT_TRUE(result == kTblErrBadFormat || (bytes.empty() && result == kTblErrEndOfFile))
        << result;
    EXPECT_EQ(table.GetRecordCount(), 0);
    EXPECT_EQ(ReadAll(Path("foreign.DBA")), bytes);
  }

  for (size_t length = 0; length < good.size(); ++length) {
    WriteAll(Path("cut.DBA"), good.substr(0, length));
    const int32_t result = table.OpenFrom(Path("cut.DBA"), 0);
    ASSERT_NE(result, kTblOk) << "cut at " << length;
    EXPECT_TRUE(result == kTblErrEndOfFile || result == kTblErrBadFormat) << result;
    EXPECT_EQ(table.GetRecordCount(), 0);
  }

  // Any single changed byte is noticed, wherever it is.
  for (size_t at = 0; at < good.size(); ++at) {
    std::string damaged = good;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
    WriteAll(Path("damaged.DBA"), damaged);
    const int32_t result = table.OpenFrom(Path("damaged.DBA"), 0);
    ASSERT_NE(result, kTblOk) << "byte " << at;
    EXPECT_EQ(table.GetRecordCount(), 0);
    EXPECT_EQ(ReadAll(Path("damaged.DBA")), damaged);
  }
  WriteAll(Path("longer.DBA"), good + "x");
  EXPECT_EQ(table.OpenFrom(Path("longer.DBA"), 0), kTblErrBadFormat);

  // A file of another field layout is not read into this one.
  CWideTable wide;
  EXPECT_EQ(wide.OpenFrom(Path("good.DBA"), 0), kTblErrSchema);
  EXPECT_EQ(wide.GetRecordCount(), 0);
}

// A table whose Serialize writes a text of its own, or fails.
class CTextTable : public CDateBkTable {
 public:
  void Serialize(CTableStream& stream) override {
    if (stream.IsStoring()) {
      stream.WriteText(text);
      if (fail) stream.SetError(kTblErrIo);
    }
  }
  std::string text = "0000";
  bool fail = false;
};

TEST_F(TableFileTest, SaveWritesOnlyWhatSerializeWritesAndFailedSavesKeepTheOldFile) {
  CTextTable table;
  ASSERT_EQ(table.SaveTo(Path("update.dat")), kTblOk);
  EXPECT_EQ(ReadAll(Path("update.dat")), "0000");

  table.text = std::string(200000, 'x');  // more than one buffer
  table.fail = true;
  EXPECT_EQ(table.SaveTo(Path("update.dat")), kTblErrIo);
  EXPECT_EQ(ReadAll(Path("update.dat")), "0000");
  EXPECT_FALSE(fs::exists(Path("update.dat.~tmp")));

  // The temporary file cannot be made: the old file stays.
  table.fail = false;
  fs::create_directory(Path("update.dat.~tmp"));
  EXPECT_NE(table.SaveTo(Path("update.dat")), kTblOk);
  EXPECT_EQ(ReadAll(Path("update.dat")), "0000");
  EXPECT_EQ(table.SaveTo(Path("no/such/folder/x.DBA")), kTblErrFileNotFound);
}

TEST_F(TableFileTest, StreamErrorsAreSticky) {
  WriteAll(Path("two"), "ab");
  CTableFile file;
  ASSERT_EQ(file.Open(Path("two"), CTableFile::kRead), kTblOk);
  CTableStream stream(file, CTableStream::kLoad, 1);
  uint8_t byte = 0;
  char buffer[4] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 2u);  // a short read at the end is no error
  EXPECT_EQ(stream.Error(), kTblOk);
  EXPECT_FALSE(stream.ReadByte(&byte));
  EXPECT_EQ(stream.Error(), kTblErrEndOfFile);
  stream.SetError(kTblErrIo);
  EXPECT_EQ(stream.Error(), kTblErrEndOfFile);
  stream.WriteText("x");
  EXPECT_EQ(stream.Error(), kTblErrEndOfFile);

  CTableFile missing;
  EXPECT_EQ(missing.Open(Path("none"), CTableFile::kRead), kTblErrFileNotFound);
  EXPECT_FALSE(CTableFile::Exists(dir_.string()));
  EXPECT_TRUE(CTableFile::Exists(Path("two")));
}

}  // namespace
