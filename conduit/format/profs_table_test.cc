// CProfsTable and CProfsSchema: layout, creation by name, loading and the writer's limits.
#include "conduit/format/profs_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "conduit/format/class_registry.h"
#include "conduit/format/format_test_util.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_schema.h"
#include "tablelib/iterator.h"
#include "tablelib/table_errors.h"

namespace {

using format_test::AddEvent;
using format_test::At;
using format_test::CEvent;
using format_test::ReadBytes;
using format_test::WriteBytes;

const char kOneRecord[] =
    "0001"
    "0000001A00121999010509:0010:30005000020Staff meeting;Room 4\r\n";

class ProfsTableTest : public ::testing::Test {
 protected:
  void SetUp() override { format_test::UseBerlinTime(); }

  // A table holding `count` records with descriptions "r0", "r1", ...
  static void Fill(CProfsTable& table, int count) {
    CProfsRecord record(table, 0);
    for (int i = 0; i < count; ++i) {
      CEvent e;
      e.start = e.end = At(2001, 2, 3, 4, 5);
      e.description = "r" + std::to_string(i);
      AddEvent(table, e, record);
    }
  }
  static std::vector<std::string> Descriptions(CProfsTable& table) {
    std::vector<std::string> out;
    CProfsRecord record(table, 0);
    CBaseIterator iterator(table);
    for (int32_t f = iterator.FindFirst(record, 0); f == 0; f = iterator.FindNext(record, 0)) {
      std::string text;
      record.GetDescription(text);
      out.push_back(text);
    }
    return out;
  }

  format_test::CScratchFolder folder_;
};

TEST_F(ProfsTableTest, SchemaHasSixteenFieldsWithTheHostEntryNumberLast) {
  CProfsTable table;
  const CBaseSchema* schema = table.GetSchema();
  ASSERT_NE(nullptr, schema);
  EXPECT_EQ(16, schema->m_FieldsPerRow);
  EXPECT_EQ((std::vector<uint16_t>{1, 1, 1, 3, 1, 5, 1, 5, 6, 6, 1, 6, 1, 1, 8, 1}),
            schema->m_FieldTypeList);
  EXPECT_EQ(0, schema->m_RecordIdPos);
  EXPECT_EQ(1, schema->m_RecordStatusPos);
  EXPECT_EQ(10, schema->m_CategoryIdPos);
  EXPECT_EQ(2, schema->m_PlacementPos);
}

TEST_F(ProfsTableTest, TableAndSchemaAreCreatedByName) {
  const auto* table_class = CClassRegistry<CBaseTable>::Instance().Find("CProfsTable");
  ASSERT_NE(nullptr, table_class);
  EXPECT_EQ(1, table_class->schema);
  std::unique_ptr<CBaseTable> table = CClassRegistry<CBaseTable>::Instance().Create("CProfsTable");
  ASSERT_NE(nullptr, dynamic_cast<CProfsTable*>(table.get()));
  ASSERT_NE(nullptr, table->GetSchema());
  EXPECT_EQ(16, table->GetSchema()->m_FieldsPerRow);

  const auto* schema_class = CClassRegistry<CBaseSchema>::Instance().Find("CProfsSchema");
  ASSERT_NE(nullptr, schema_class);
  EXPECT_EQ(1, schema_class->schema);
  std::unique_ptr<CBaseSchema> schema =
      CClassRegistry<CBaseSchema>::Instance().Create("CProfsSchema");
  EXPECT_NE(nullptr, dynamic_cast<CProfsSchema*>(schema.get()));
  EXPECT_EQ(nullptr, CClassRegistry<CBaseTable>::Instance().Create("CNoSuchTable"));
}

TEST_F(ProfsTableTest, MissingFileLeavesTheTableAsItWas) {
  CProfsTable table;
  Fill(table, 2);
  EXPECT_EQ(kTblErrFileNotFound, table.LoadFromFile(folder_.Path("absent.dat")));
  EXPECT_EQ((std::vector<std::string>{"r0", "r1"}), Descriptions(table));
}

TEST_F(ProfsTableTest, LoadReplacesTheRows) {
  CProfsTable table;
  Fill(table, 2);
  const std::string empty = folder_.Path("empty.dat");
  WriteBytes(empty, "0000");
  EXPECT_EQ(0, table.LoadFromFile(empty));
  EXPECT_EQ(0, table.GetRecordCount());

  const std::string one = folder_.Path("one.dat");
  WriteBytes(one, kOneRecord);
  Fill(table, 3);
  EXPECT_EQ(0, table.LoadFromFile(one));
  EXPECT_EQ((std::vector<std::string>{"Staff meeting"}), Descriptions(table));
}

// An empty extract says that the host holds nothing in the window, so only a well-formed count
// may say so: a file that a crashed driver, a full disk or a cut copy left fails the load.
TEST_F(ProfsTableTest, OnlyAWellFormedCountLoads) {
  const std::string line = kOneRecord + 4;
  struct Case {
    std::string bytes;
    int32_t result;
    int32_t rows;
  } const kCases[] = {
      {"0000", kTblOk, 0},
      {"0001" + line, kTblOk, 1},
      {"", kTblErrEndOfFile, 0},
      {"00", kTblErrEndOfFile, 0},
      {"    " + line, kTblErrBadFormat, 0},
      {"abcd" + line, kTblErrBadFormat, 0},
      {"-002" + line, kTblErrBadFormat, 0},
      {"+001" + line, kTblErrBadFormat, 0},
      {"0   " + line, kTblErrBadFormat, 0},
      {" 001" + line, kTblErrBadFormat, 0},
      // A count that does not describe the file: too many records, or too few.
      {"0002" + line, kTblErrEndOfFile, 1},
      {"0000" + line, kTblErrBadFormat, 0},
  };
  for (const Case& c : kCases) {
    CProfsTable table;
    Fill(table, 2);
    const std::string path = folder_.Path("count.dat");
    WriteBytes(path, c.bytes);
    EXPECT_EQ(c.result, table.LoadFromFile(path)) << "[" << c.bytes << "]";
    EXPECT_EQ(c.rows, table.GetRecordCount()) << "[" << c.bytes << "]";
  }
}

// The table opens its file for reading and writing. The running test program is a file that
// nobody, root included, may open for writing ("text file busy").
TEST_F(ProfsTableTest, FileThatCannotBeOpenedFailsAndEmptiesTheTable) {
  const std::string path = std::filesystem::read_symlink("/proc/self/exe").string();
  CProfsTable table;
  Fill(table, 1);
  const int32_t result = table.LoadFromFile(path);
  EXPECT_NE(0, result);
  EXPECT_NE(kTblErrFileNotFound, result);
  EXPECT_EQ(0, table.GetRecordCount());
}

TEST_F(ProfsTableTest, FileEndingInsideARecordKeepsTheRecordsBeforeIt) {
  const std::string record = kOneRecord + 4;
  const std::string two = "0003" + record + record;
  // Cut the third record at every point: inside its fixed fields, its text and its line end.
  const size_t cuts[] = {0, 5, 30, 31, 34, 37, 40, 58};
  for (size_t cut : cuts) {
    const std::string path = folder_.Path("cut.dat");
    WriteBytes(path, two + record.substr(0, cut));
    CProfsTable table;
    EXPECT_EQ(kTblErrEndOfFile, table.LoadFromFile(path)) << "cut at " << cut;
    EXPECT_EQ(2, table.GetRecordCount()) << "cut at " << cut;
  }
  // Only the last line end missing: the record is complete.
  const std::string path = folder_.Path("no_line_end.dat");
  WriteBytes(path, "0001" + record.substr(0, record.size() - 2));
  CProfsTable table;
  EXPECT_EQ(0, table.LoadFromFile(path));
  EXPECT_EQ((std::vector<std::string>{"Staff meeting"}), Descriptions(table));
}

TEST_F(ProfsTableTest, WriterFitsValuesTheFormatCannotCarry) {
  CProfsTable table;
  CProfsRecord r(table, 0);
  struct Case {
    int32_t host_entry;
    int32_t advance, unit;
    const char* entry_field;
    const char* alarm_fields;
  } const kCases[] = {
      {9999, 99, 0, "9999", "990"},    {-1, 120, 0, "    ", "021"}, {10000, 120, 1, "    ", "052"},
      {123456, 150, 0, "    ", "990"}, {0, 7200, 0, "0000", "052"}, {5, 1000, 2, "0005", "992"},
  };
  for (const Case& c : kCases) {
    CEvent e;
    e.start = e.end = At(2001, 2, 3, 4, 5);
    e.host_entry = c.host_entry;
    e.alarm_advance = c.advance;
    e.alarm_unit = c.unit;
    AddEvent(table, e, r);
  }
  const std::string path = folder_.Path("limits.dat");
  ASSERT_EQ(0, table.SaveTo(path));
  const std::string bytes = ReadBytes(path);
  const size_t kLine = 41;
  ASSERT_EQ(4 + 6 * kLine, bytes.size());
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(kCases[i].entry_field, bytes.substr(4 + i * kLine + 8, 4)) << i;
    EXPECT_EQ(kCases[i].alarm_fields, bytes.substr(4 + i * kLine + 31, 3)) << i;
  }
  CProfsTable back;
  EXPECT_EQ(0, back.LoadFromFile(path));
  EXPECT_EQ(6, back.GetRecordCount());
}

TEST_F(ProfsTableTest, FoldedTextIsCutAtTheLengthFieldsLimit) {
  CProfsTable table;
  CProfsRecord r(table, 0);
  CEvent e;
  e.start = e.end = At(2001, 2, 3, 4, 5);
  e.description = "Long";
  e.note = std::string(20000, 'n');
  AddEvent(table, e, r);
  const std::string path = folder_.Path("long.dat");
  ASSERT_EQ(0, table.SaveTo(path));
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ("9999", bytes.substr(4 + 35, 4));
  EXPECT_EQ(4 + 39 + 9999 + 2u, bytes.size());
  CProfsTable back;
  ASSERT_EQ(0, back.LoadFromFile(path));
  EXPECT_EQ((std::vector<std::string>{"Long"}), Descriptions(back));
}

TEST_F(ProfsTableTest, MoreRecordsThanTheCountCarriesAreRefused) {
  const std::string path = folder_.Path("big.dat");
  WriteBytes(path, kOneRecord);
  CProfsTable table;
  Fill(table, 10000);
  EXPECT_NE(0, table.SaveTo(path));
  EXPECT_EQ(kOneRecord, ReadBytes(path));

  CProfsTable fits;
  Fill(fits, 9999);
  ASSERT_EQ(0, fits.SaveTo(path));
  EXPECT_EQ("9999", ReadBytes(path).substr(0, 4));
  CProfsTable back;
  EXPECT_EQ(0, back.LoadFromFile(path));
  EXPECT_EQ(9999, back.GetRecordCount());
}

}  // namespace
