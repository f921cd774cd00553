// Tables and records: blank rows, getters and setters, status and archive flag, duplicates across
// schemas, Assign, Equals and purges.
#include "tablelib/table.h"

#include <string>

#include "gtest/gtest.h"
#include "tablelib/record.h"
#include "tablelib/table_errors.h"
#include "tablelib/test_tables.h"

namespace {

int32_t IntAt(const CBaseRecord& record, int32_t index) {
  int32_t value = -999;
  const CBaseField* field = record.GetField(index);
  if (field != nullptr && field->GetType() == kFieldInteger) {
    static_cast<const CIntegerField*>(field)->GetValue(value);
  }
  return value;
}

void ExpectBlank(const CDateBkRecord& record) {
  uint32_t id = 7;
  int32_t status = 7, category = 7, advance = 0, unit = 7, end = 7;
  std::string description = "x", note = "x";
  ASSERT_TRUE(record.IsBound());
  EXPECT_EQ(record.GetRecordId(id), kTblOk);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(record.GetStatus(status), kTblOk);
  EXPECT_EQ(status, kStatusUnchanged);
  EXPECT_EQ(record.GetCategoryId(category), kTblOk);
  EXPECT_EQ(category, 0);
  EXPECT_EQ(record.GetAlarmAdvTime(advance), kTblOk);
  EXPECT_EQ(advance, -1);
  EXPECT_EQ(record.GetAlarmAdvUnit(unit), kTblOk);
  EXPECT_EQ(unit, 0);
  EXPECT_EQ(record.GetEndTime(end), kTblOk);
  EXPECT_EQ(end, 0);
  EXPECT_EQ(record.GetDescription(description), kTblOk);
  EXPECT_EQ(description, "");
  EXPECT_EQ(record.GetNote(note), kTblOk);
  EXPECT_EQ(note, "");
  EXPECT_FALSE(record.IsUnTimed());
  EXPECT_FALSE(record.IsAlarmSet());
  EXPECT_FALSE(record.IsRepeatingEvt());
  EXPECT_FALSE(record.IsPrivate());
  EXPECT_FALSE(record.IsNote());
  EXPECT_FALSE(record.IsArchived());
  EXPECT_EQ(record.GetNumExceptions(), 0);
}

TEST(TableTest, BlankRowsOfBothAppendFormsAndOfDerivedSchemas) {
  CDateBkTable table;
  CDateBkRecord record(table, 0);
  ASSERT_EQ(table.AppendBlankRecord(record), kTblOk);
  ExpectBlank(record);
  CBaseRecord& as_base = record;
  ASSERT_EQ(table.AppendBlankRecord(as_base), kTblOk);
  ExpectBlank(record);
  EXPECT_EQ(table.GetRecordCount(), 2);

  CWideTable wide;
  CDateBkRecord wide_record(wide, 0);
  ASSERT_EQ(wide.AppendBlankRecord(wide_record), kTblOk);
  ExpectBlank(wide_record);
  ASSERT_NE(wide_record.GetField(15), nullptr);
  EXPECT_EQ(wide_record.GetField(15)->GetType(), kFieldInteger);
  EXPECT_EQ(wide_record.GetField(16), nullptr);
}

TEST(TableTest, UnboundRecordsAnswerBadRecordAndLeaveOutValues) {
  CDateBkTable table;
  CDateBkRecord record(table, 1);
  uint32_t id = 77;
  int32_t value = 77;
  std::string text = "kept";
  EXPECT_EQ(record.GetRecordId(id), kTblErrBadRecord);
  EXPECT_EQ(record.GetStartTime(value), kTblErrBadRecord);
  EXPECT_EQ(record.GetDescription(text), kTblErrBadRecord);
  EXPECT_EQ(record.SetStatus(kStatusAdded), kTblErrBadRecord);
  EXPECT_EQ(record.SetArchiveBit(true), kTblErrBadRecord);
  EXPECT_EQ(record.SetRepDaily(CDayName(0, 1, -1, 0)), kTblErrBadRecord);
  EXPECT_EQ(id, 77u);
  EXPECT_EQ(value, 77);
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(record.GetFlag(), 1);
}

TEST(TableTest, StatusValuesAndArchiveFlagAreIndependent) {
  CDateBkTable table;
  CDateBkRecord record(table, 0);
  ASSERT_EQ(table.AppendBlankRecord(record), kTblOk);
  ASSERT_EQ(record.SetArchiveBit(true), kTblOk);
  struct Case {
    int32_t status;
    bool added, modified, deleted, pending;
  };
  const Case kCases[] = {
      {kStatusAdded, true, false, false, false},      {kStatusModified, false, true, false, false},
      {kStatusDeleted, false, false, true, false},    {kStatusPending, false, false, false, true},
      {kStatusUnchanged, false, false, false, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.status);
    ASSERT_EQ(record.SetStatus(c.status), kTblOk);
    EXPECT_EQ(record.IsAdded(), c.added);
    EXPECT_EQ(record.IsModified(), c.modified);
    EXPECT_EQ(record.IsDeleted(), c.deleted);
    EXPECT_EQ(record.IsPending(), c.pending);
    EXPECT_TRUE(record.IsArchived());
  }
  ASSERT_EQ(record.SetStatus(kStatusModified), kTblOk);
  EXPECT_EQ(record.SetStatus(3), kTblErrBadArgument);
  EXPECT_TRUE(record.IsModified());
  ASSERT_EQ(record.SetArchiveBit(false), kTblOk);
  EXPECT_TRUE(record.IsModified());
  EXPECT_FALSE(record.IsArchived());
}

TEST(TableTest, SettersReachTheDateBookFields) {
  CDateBkTable table;
  CDateBkRecord record(table, 0);
  ASSERT_EQ(table.AppendBlankRecord(record), kTblOk);
  ASSERT_EQ(record.SetRecordId(0xFFFFFFF0u), kTblOk);
  ASSERT_EQ(record.SetStatus(kStatusPending), kTblOk);
  ASSERT_EQ(record.SetStartTime(1700000000), kTblOk);
  ASSERT_EQ(record.SetEndTime(1700003600), kTblOk);
  ASSERT_EQ(record.SetDescription("Lunch"), kTblOk);
  ASSERT_EQ(record.SetAlarmAdvTime(15), kTblOk);
  ASSERT_EQ(record.SetNote("line 1\r\nline 2"), kTblOk);
  ASSERT_EQ(record.SetUnTimedFlag(1), kTblOk);
  ASSERT_EQ(record.SetAlarmFlag(1), kTblOk);
  ASSERT_EQ(record.SetCategoryId(16), kTblOk);  // out-of-range indexes are kept for the caller
  ASSERT_EQ(record.SetPrivate(1), kTblOk);
  ASSERT_EQ(record.SetAlarmAdvUnit(2), kTblOk);
  ASSERT_EQ(record.SetRepMonthlyByDate(CDateOfMonth(14, 1, -1, 0)), kTblOk);
  const int32_t expected[] = {
      -16,  kStatusPending, 0,    -999, 1700003600, -999, 15,
      -999, -999,           -999, 16,   -999,       2,    kRepeatMonthlyByDate};
  for (int32_t i = 0; i < 14; ++i) EXPECT_EQ(IntAt(record, i), expected[i]) << "field " << i;
  EXPECT_EQ(static_cast<CDateField*>(record.GetField(3))->GetTime(), 1700000000);
  EXPECT_EQ(static_cast<CStringField*>(record.GetField(5))->GetText(), "Lunch");
  EXPECT_EQ(static_cast<CStringField*>(record.GetField(7))->GetText(), "line 1\r\nline 2");
  for (int32_t i : {8, 9, 11})
    EXPECT_TRUE(static_cast<CBooleanField*>(record.GetField(i))->GetValue());
  EXPECT_TRUE(record.IsNote());
  EXPECT_EQ(record.SetAlarmAdvUnit(3), kTblErrBadArgument);
  EXPECT_EQ(record.SetDescription(std::string("a\0b", 3)), kTblErrBadArgument);
  std::string description;
  record.GetDescription(description);
  EXPECT_EQ(description, "Lunch");
}

void FillEvent(CDateBkRecord& record, uint32_t id, const char* description) {
  record.SetRecordId(id);
  record.SetStatus(kStatusModified);
  record.SetStartTime(1700000000);
  record.SetEndTime(1700001800);
  record.SetDescription(description);
  record.SetCategoryId(3);
  record.SetRepWeekly(CWeekly(0x22, 2, -1, 1));
  record.AddException(1700600000);
  record.SetArchiveBit(true);
}

TEST(TableTest, DuplicatesCopySharedFieldsAcrossSchemas) {
  CDateBkTable plain;
  CWideTable wide;
  COtherTable other;
  CDateBkRecord source(plain, 0), in_wide(wide, 0), in_other(other, 0);
  ASSERT_EQ(plain.AppendBlankRecord(source), kTblOk);
  FillEvent(source, 42, "Dentist");

  ASSERT_EQ(wide.AppendDuplicateRecord(source, in_wide, 1), kTblOk);
  EXPECT_EQ(in_wide.GetRow(), wide.RowAt(0));
  uint32_t id = 0;
  in_wide.GetRecordId(id);
  EXPECT_EQ(id, 42u);
  EXPECT_TRUE(in_wide.IsModified());
  EXPECT_TRUE(in_wide.IsArchived());
  EXPECT_EQ(IntAt(in_wide, 15), 0);
  for (int32_t i = 3; i <= 14; ++i) {
    EXPECT_EQ(in_wide.GetField(i)->Compare(*source.GetField(i)), 0) << "field " << i;
  }

  // Back from the wider table: field 15 has nowhere to go; the rest arrives.
  static_cast<CIntegerField*>(in_wide.GetField(15))->SetValue(9);
  in_wide.SetDescription("Dentist, moved");
  CDateBkRecord back(plain, 0);
  ASSERT_EQ(plain.AppendDuplicateRecord(in_wide, back, 1), kTblOk);
  EXPECT_EQ(plain.GetRecordCount(), 2);
  std::string text;
  back.GetDescription(text);
  EXPECT_EQ(text, "Dentist, moved");
  source.GetDescription(text);
  EXPECT_EQ(text, "Dentist");

  // A field of another type is not copied; it keeps its blank value.
  ASSERT_EQ(other.AppendDuplicateRecord(source, in_other, 1), kTblOk);
  EXPECT_EQ(IntAt(in_other, 5), 0);
  EXPECT_EQ(in_other.GetNumExceptions(), 1);

  CDateBkRecord unbound(plain, 0);
  EXPECT_EQ(wide.AppendDuplicateRecord(unbound, in_wide, 1), kTblErrBadRecord);
  EXPECT_EQ(wide.GetRecordCount(), 1);
}

TEST(TableTest, AssignCopiesContentButNotIdentityAndEqualsComparesContent) {
  CWideTable table;
  CDateBkRecord a(table, 0), b(table, 0);
  ASSERT_EQ(table.AppendBlankRecord(a), kTblOk);
  FillEvent(a, 5, "Standup");
  static_cast<CIntegerField*>(a.GetField(15))->SetValue(77);
  ASSERT_EQ(table.AppendBlankRecord(b), kTblOk);
  b.SetRecordId(6);
  b.SetStatus(kStatusAdded);
  static_cast<CIntegerField*>(b.GetField(15))->SetValue(88);
  EXPECT_EQ(b.Equals(a), 0);

  ASSERT_EQ(b.Assign(a), kTblOk);
  uint32_t id = 0;
  b.GetRecordId(id);
  EXPECT_EQ(id, 6u);
  EXPECT_TRUE(b.IsAdded());
  EXPECT_FALSE(b.IsArchived());
  EXPECT_EQ(IntAt(b, 15), 88);  // beyond the Date Book fields
  EXPECT_TRUE(b.IsRepeatingEvt());
  EXPECT_EQ(b.GetNumExceptions(), 1);
  // The base comparison looks at every field but ID, status and position, so field 15 counts.
  EXPECT_EQ(b.Equals(a), 0);
  static_cast<CIntegerField*>(b.GetField(15))->SetValue(77);
  EXPECT_EQ(b.Equals(a), 1);
  b.AddException(1800000000);
  EXPECT_EQ(b.Equals(a), 0);

  CDateBkTable plain;
  CDateBkRecord c(plain, 0);
  ASSERT_EQ(plain.AppendBlankRecord(c), kTblOk);
  EXPECT_EQ(c.CBaseRecord::Assign(a), kTblErrSchema);
  ASSERT_EQ(c.Assign(a), kTblOk);  // the Date Book fields are shared
  std::string text;
  c.GetDescription(text);
  EXPECT_EQ(text, "Standup");
}

TEST(TableTest, PurgesUnbindRecordsOfRemovedRowsOnly) {
  CDateBkTable table;
  CDateBkRecord keep(table, 0), gone(table, 0), walker(table, 0);
  for (uint32_t id = 1; id <= 4; ++id) {
    ASSERT_EQ(table.AppendBlankRecord(walker), kTblOk);
    walker.SetRecordId(id);
    if (id % 2 == 0) walker.SetStatus(kStatusDeleted);
  }
  keep.Bind(table.RowAt(2));
  gone.Bind(table.RowAt(1));
  ASSERT_EQ(table.PurgeDeletedRecords(), kTblOk);
  EXPECT_EQ(table.GetRecordCount(), 2);
  EXPECT_FALSE(gone.IsBound());
  EXPECT_FALSE(walker.IsBound());
  ASSERT_TRUE(keep.IsBound());
  uint32_t id = 0;
  keep.GetRecordId(id);
  EXPECT_EQ(id, 3u);
  EXPECT_EQ(table.IndexOfRow(keep.GetRow()), 1);

  table.GetCategoryManager()->DeleteAllCategories();
  auto category = std::make_unique<CCategory>(9, 1, "Work");
  ASSERT_EQ(table.GetCategoryManager()->Add(category), kTblOk);
  ASSERT_EQ(table.PurgeAllRecords(), kTblOk);
  EXPECT_EQ(table.GetRecordCount(), 0);
  EXPECT_FALSE(keep.IsBound());
  EXPECT_EQ(table.GetCategoryManager()->GetCount(), 1);
}

TEST(TableTest, RecordsOutlivingTheirTableBecomeUnbound) {
  auto table = std::make_unique<CDateBkTable>();
  CDateBkRecord record(*table, 0);
  ASSERT_EQ(table->AppendBlankRecord(record), kTblOk);
  table.reset();
  EXPECT_FALSE(record.IsBound());
  int32_t time = 5;
  EXPECT_EQ(record.GetStartTime(time), kTblErrBadRecord);
}

}  // namespace
