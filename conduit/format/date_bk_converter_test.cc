// CDateBkConverter: raw Date Book records to desktop records and back.
#include "conduit/format/date_bk_converter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "conduit/format/format_test_util.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/result_codes.h"
#include "tablelib/repeat.h"

namespace {

using format_test::AddEvent;
using format_test::At;
using format_test::CEvent;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kBufferSize = 4480;

class DateBkConverterTest : public ::testing::Test {
 protected:
  void SetUp() override { format_test::UseBerlinTime(); }

  // Converts a desktop record; answers the code and leaves the raw record in *raw.
  int32_t ToRemote(CProfsRecord& record, Bytes* raw, RecordRequest* request,
                   uint16_t size = kBufferSize) {
    raw->assign(size, 0);
    *request = RecordRequest{};
    request->buffer = raw->data();
    request->buffer_size = size;
    const int32_t result = converter_.ConvertToRemote(record, request);
    raw->resize(request->data_size);
    return result;
  }
  // Converts raw bytes (exactly their size, so that any read past them is caught) into record.
  int32_t FromRemote(const Bytes& raw, CProfsRecord& record, uint8_t attributes = 0,
                     uint32_t id = 1, int16_t category = 0) {
    Bytes data = raw;
    RecordRequest request{};
    request.record_id = id;
    request.attributes = attributes;
    request.category = category;
    request.buffer = data.empty() ? nullptr : data.data();
    request.buffer_size = static_cast<uint16_t>(data.size());
    request.data_size = static_cast<uint32_t>(data.size());
    return converter_.ConvertFromRemote(record, &request);
  }

  CDateBkConverter converter_;
  CProfsTable table_;
};

CEvent Meeting() {
  CEvent e;
  e.id = 0x1234;
  e.start = At(1999, 1, 5, 9, 30);
  e.end = At(1999, 1, 5, 10, 15);
  return e;
}

TEST_F(DateBkConverterTest, TimedAndUntimedEventsGiveTheirFixedBytes) {
  CProfsRecord r(table_, 0);
  AddEvent(table_, Meeting(), r);
  Bytes raw;
  RecordRequest q;
  ASSERT_EQ(0, ToRemote(r, &raw, &q));
  EXPECT_EQ((Bytes{0x09, 0x1E, 0x0A, 0x0F, 0xBE, 0x25, 0x04, 0x00, 0x00}), raw);
  EXPECT_EQ(0x1234u, uint32_t{q.record_id});
  EXPECT_EQ(0, q.attributes);

  r.SetUnTimedFlag(1);
  ASSERT_EQ(0, ToRemote(r, &raw, &q));
  EXPECT_EQ((Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xBE, 0x25, 0x04, 0x00, 0x00}), raw);

  CProfsRecord back(table_, 0);
  ASSERT_EQ(0, table_.AppendBlankRecord(static_cast<CDateBkRecord&>(back)));
  ASSERT_EQ(0, FromRemote(raw, back));
  int32_t start = 0, end = 0;
  back.GetStartTime(start);
  back.GetEndTime(end);
  EXPECT_TRUE(back.IsUnTimed());
  EXPECT_EQ(At(1999, 1, 5), start);
  EXPECT_EQ(At(1999, 1, 5), end);
}

TEST_F(DateBkConverterTest, EveryOptionalPartInItsPlace) {
  CProfsRecord r(table_, 0);
  CEvent e = Meeting();
  e.status = kStatusAdded;
  e.is_private = true;
  e.category = 3;
  e.alarm_advance = 10;
  e.alarm_unit = 1;
  e.description = "Gym\r";
  e.note = "a\r\nb";
  AddEvent(table_, e, r);
  r.SetRepWeekly(CWeekly(0x2A, 2, At(1999, 3, 1), 1));
  r.AddException(At(1999, 1, 19));
  Bytes raw;
  RecordRequest q;
  ASSERT_EQ(0, ToRemote(r, &raw, &q));
  const Bytes expected = {0x09, 0x1E, 0x0A, 0x0F, 0xBE, 0x25, 0x7C, 0x00,  // fixed part
                          0x0A, 0x01,                                      // alarm
                          0x02, 0x00, 0xBE, 0x61, 0x02, 0x2A, 0x01, 0x00,  // repeat
                          0x00, 0x01, 0xBE, 0x33,                          // exceptions
                          'G',  'y',  'm',  0x00,                          // description
                          'a',  '\n', 'b',  0x00};                         // note
  EXPECT_EQ(expected, raw);
  EXPECT_EQ(kRecAttrPrivate | kRecAttrDirty, q.attributes);
  EXPECT_EQ(3, int16_t{q.category});

  r.SetStatus(kStatusDeleted);
  r.SetArchiveBit(true);
  ASSERT_EQ(0, ToRemote(r, &raw, &q));
  EXPECT_EQ(kRecAttrPrivate | kRecAttrDeleted | kRecAttrArchived, q.attributes);
}

TEST_F(DateBkConverterTest, DeletedHandheldRecordSetsOnlyItsIdentity) {
  CProfsRecord r(table_, 0);
  CEvent e = Meeting();
  e.description = "kept";
  AddEvent(table_, e, r);
  EXPECT_EQ(0, FromRemote(Bytes{}, r, kRecAttrDeleted | kRecAttrDirty, 0x55, -1));
  uint32_t id = 0;
  int32_t status = 0, category = 0;
  std::string description;
  r.GetRecordId(id);
  r.GetStatus(status);
  r.GetCategoryId(category);
  r.GetDescription(description);
  EXPECT_EQ(0x55u, id);
  EXPECT_EQ(kStatusDeleted, status);
  EXPECT_EQ(-1, category);
  EXPECT_FALSE(r.IsArchived());
  EXPECT_EQ("kept", description);
}

// The handheld marks an archived record deleted as well, and keeps its data for the archive file.
TEST_F(DateBkConverterTest, AnArchivedRecordIsConvertedWhole) {
  CProfsRecord r(table_, 0);
  AddEvent(table_, Meeting(), r);
  const Bytes raw = {0x09, 0x00, 0x0A, 0x00, 0xBE, 0x25, 0x04, 0x00, 'O', 'l', 'd', 0x00};
  EXPECT_EQ(0, FromRemote(raw, r, kRecAttrDeleted | kRecAttrArchived | kRecAttrDirty, 0x55, 3));
  int32_t status = 0;
  std::string description;
  r.GetStatus(status);
  r.GetDescription(description);
  EXPECT_EQ(kStatusDeleted, status);
  EXPECT_TRUE(r.IsArchived());
  EXPECT_EQ("Old", description);
  int32_t start = 0;
  r.GetStartTime(start);
  EXPECT_EQ(At(1999, 1, 5, 9, 0), start);
}

TEST_F(DateBkConverterTest, DatesBefore1970MoveTo1970) {
  // The date word 0x784A is 10 February 1964 (year 60).
  struct Case {
    const char* what;
    Bytes raw;
    int32_t start;
  } const kCases[] = {
      {"start", {0x09, 0x00, 0x0A, 0x00, 0x78, 0x4A, 0x00, 0x00}, At(1970, 2, 10, 9, 0)},
      {"exception",
       {0x09, 0x00, 0x0A, 0x00, 0xBE, 0x25, 0x28, 0x00, 0x01, 0x00,
        0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x78, 0x4A},
       At(1999, 1, 5, 9, 0)},
      {"repeat end",
       {0x09, 0x00, 0x0A, 0x00, 0xBE, 0x25, 0x20, 0x00, 0x01, 0x00, 0x78, 0x4A, 0x01, 0x00, 0x00,
        0x00},
       At(1999, 1, 5, 9, 0)},
  };
  for (const Case& c : kCases) {
    CProfsRecord r(table_, 0);
    ASSERT_EQ(0, table_.AppendBlankRecord(static_cast<CDateBkRecord&>(r)));
    EXPECT_EQ(kErrMovedTo1970, FromRemote(c.raw, r)) << c.what;
    int32_t start = 0;
    r.GetStartTime(start);
    EXPECT_EQ(c.start, start) << c.what;
  }
  CProfsRecord r(table_, 0);
  ASSERT_EQ(0, table_.AppendBlankRecord(static_cast<CDateBkRecord&>(r)));
  ASSERT_EQ(kErrMovedTo1970, FromRemote(kCases[1].raw, r));
  EXPECT_TRUE(r.IsException(At(1970, 2, 10)));
}

TEST_F(DateBkConverterTest, RepeatEndsAndMonthlyByDay) {
  CProfsRecord r(table_, 0);
  AddEvent(table_, Meeting(), r);
  for (int32_t end : {maxDate(), maxDate() - 86399, -1}) {
    r.SetRepDaily(CDayName(2, 1, end, 0));
    Bytes raw;
    RecordRequest q;
    ASSERT_EQ(0, ToRemote(r, &raw, &q));
    ASSERT_EQ(17u, raw.size());
    EXPECT_EQ(0xFF, raw[10]) << end;
    EXPECT_EQ(0xFF, raw[11]) << end;
    CProfsRecord back(table_, 0);
    ASSERT_EQ(0, table_.AppendBlankRecord(static_cast<CDateBkRecord&>(back)));
    ASSERT_EQ(0, FromRemote(raw, back));
    ASSERT_NE(nullptr, back.GetRepeateInfo());
    EXPECT_EQ(maxDate(), back.GetRepeateInfo()->GetEndDate());
  }

  // Monthly by day with repeat-on 16 on Tuesday 5 January 1999: week index 2, the start's weekday
  // (not 16 mod 7); 40 has no week of its own and means the last week.
  for (uint8_t repeat_on : {16, 40}) {
    const Bytes raw = {0x09, 0x00, 0x0A, 0x00, 0xBE, 0x25,      0x20, 0x00,
                       0x03, 0x00, 0xFF, 0xFF, 0x01, repeat_on, 0x00, 0x00};
    CProfsRecord back(table_, 0);
    ASSERT_EQ(0, table_.AppendBlankRecord(static_cast<CDateBkRecord&>(back)));
    ASSERT_EQ(0, FromRemote(raw, back));
    const auto* rule = dynamic_cast<const CDayOfMonth*>(back.GetRepeateInfo());
    ASSERT_NE(nullptr, rule);
    EXPECT_EQ(repeat_on == 16 ? 2 : 4, rule->GetWeekIndex());
    EXPECT_EQ(2, rule->GetDayOfWeek());
  }
}

TEST_F(DateBkConverterTest, LineBreaksConvertBothWays) {
  CProfsRecord r(table_, 0);
  CEvent e = Meeting();
  e.description = "";
  e.note = "one\r\ntwo\rthree";
  AddEvent(table_, e, r);
  Bytes raw;
  RecordRequest q;
  ASSERT_EQ(0, ToRemote(r, &raw, &q));
  const Bytes texts(raw.begin() + 8, raw.end());
  EXPECT_EQ((Bytes{0x00, 'o', 'n', 'e', '\n', 't', 'w', 'o', 't', 'h', 'r', 'e', 'e', 0x00}),
            texts);
  EXPECT_EQ(0x14, raw[6]);
  CProfsRecord back(table_, 0);
  ASSERT_EQ(0, table_.AppendBlankRecord(static_cast<CDateBkRecord&>(back)));
  ASSERT_EQ(0, FromRemote(raw, back));
  std::string description = "x", note;
  back.GetDescription(description);
  back.GetNote(note);
  EXPECT_EQ("", description);
  EXPECT_EQ("one\r\ntwothree", note);
}

TEST_F(DateBkConverterTest, BaseConverterSupportsNothing) {
  CRecordConverter base;
  CProfsRecord r(table_, 0);
  RecordRequest q{};
  AppInfoRequest a{};
  CCategoryMgr list;
  EXPECT_EQ(kErrNotProvided, base.ConvertToRemote(r, &q));
  EXPECT_EQ(kErrNotProvided, base.ConvertFromRemote(r, &q));
  EXPECT_EQ(kErrNotProvided, base.ConvertCategoriesFromRemote(&a, &list));
  EXPECT_EQ(kErrNotProvided, base.ConvertCategoriesToRemote(&a, &list));
}

}  // namespace
