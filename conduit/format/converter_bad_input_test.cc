// The record converter on records it cannot convert: a code, no read or write outside a buffer,
// and the desktop record left as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conduit/format/date_bk_converter.h"
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

// A converter whose text buffer could not be allocated.
class CNoBufferConverter : public CDateBkConverter {
 public:
  CNoBufferConverter() { ReleaseTextBuffer(); }
};

class ConverterBadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    format_test::UseBerlinTime();
    CEvent e;
    e.id = 42;
    e.start = e.end = At(2003, 3, 3, 3, 3);
    e.description = "before";
    AddEvent(table_, e, record_);
  }
  // Converts data (exactly data_size bytes long) into record_.
  int32_t FromRemote(CDateBkConverter& converter, const Bytes& raw) {
    Bytes data = raw;
    RecordRequest request{};
    request.record_id = 7;
    request.buffer = data.data();
    request.buffer_size = static_cast<uint16_t>(data.size());
    request.data_size = static_cast<uint32_t>(data.size());
    return converter.ConvertFromRemote(record_, &request);
  }
  void ExpectUntouched(const char* what) {
    uint32_t id = 0;
    std::string description;
    record_.GetRecordId(id);
    record_.GetDescription(description);
    EXPECT_EQ(42u, id) << what;
    EXPECT_EQ("before", description) << what;
  }

  CProfsTable table_;
  CProfsRecord record_{table_, 0};
  CDateBkConverter converter_;
};

TEST_F(ConverterBadInputTest, MalformedHandheldRecordsAreRefused) {
  const Bytes fixed = {9, 0, 10, 0, 0xBE, 0x25};
  auto with = [&](uint8_t flags, Bytes rest) {
    Bytes raw = fixed;
    raw.push_back(flags);
    raw.push_back(0);
    raw.insert(raw.end(), rest.begin(), rest.end());
    return raw;
  };
  struct Case {
    const char* what;
    Bytes raw;
  } const kCases[] = {
      {"no data", {}},
      {"fixed part cut", {9, 0, 10, 0, 0xBE, 0x25, 0x00}},
      {"alarm cut", with(0x40, {5})},
      {"repeat cut", with(0x20, {1, 0, 0xFF, 0xFF, 1, 0, 0})},
      {"exception count cut", with(0x08, {0})},
      {"exceptions run past the end", with(0x08, {0, 3, 0xBE, 0x25, 0xBE, 0x26})},
      {"huge exception count", with(0x08, {0xFF, 0xFF, 0xBE, 0x25})},
      {"description without zero", with(0x04, {'a', 'b'})},
      {"description flag, no bytes", with(0x04, {})},
      {"note without zero", with(0x14, {'a', 0, 'n'})},
      {"note flag only", with(0x10, {})},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(kErrConvertFromRemote, FromRemote(converter_, c.raw)) << c.what;
    ExpectUntouched(c.what);
  }

  // A data size beyond the buffer.
  Bytes data = with(0x04, {'o', 'k', 0});
  RecordRequest request{};
  request.buffer = data.data();
  request.buffer_size = static_cast<uint16_t>(data.size());
  request.data_size = static_cast<uint32_t>(data.size() + 1);
  EXPECT_EQ(kErrConvertFromRemote, converter_.ConvertFromRemote(record_, &request));
  ExpectUntouched("data size beyond the buffer");
  request.data_size = static_cast<uint32_t>(data.size());
  EXPECT_EQ(0, converter_.ConvertFromRemote(record_, &request));
}

TEST_F(ConverterBadInputTest, TextsBeyondTheConverterBufferAreRefused) {
  // 4095 line feeds expand to 8190 bytes and the zero: the largest text that fits.
  Bytes raw = {9, 0, 10, 0, 0xBE, 0x25, 0x14, 0, 0};
  raw.insert(raw.end(), 4095, '\n');
  raw.push_back(0);
  ASSERT_EQ(0, FromRemote(converter_, raw));
  std::string note;
  record_.GetNote(note);
  EXPECT_EQ(8190u, note.size());
  EXPECT_EQ("\r\n\r\n", note.substr(0, 4));

  record_.SetRecordId(42);
  record_.SetDescription("before");
  raw.insert(raw.end() - 1, '\n');
  EXPECT_EQ(kErrConvertFromRemote, FromRemote(converter_, raw));
  ExpectUntouched("4096 line feeds");

  Bytes plain = {9, 0, 10, 0, 0xBE, 0x25, 0x04, 0};
  plain.insert(plain.end(), 9000, 'x');
  plain.push_back(0);
  EXPECT_EQ(kErrConvertFromRemote, FromRemote(converter_, plain));
  ExpectUntouched("9000-byte description");
}

TEST_F(ConverterBadInputTest, NoTextBufferIsAnErrorNotAnEmptyText) {
  CNoBufferConverter converter;
  const Bytes with_text = {9, 0, 10, 0, 0xBE, 0x25, 0x04, 0, 'h', 'i', 0};
  EXPECT_EQ(kErrNoRecordBuffer, FromRemote(converter, with_text));
  ExpectUntouched("no text buffer");
  // Without texts the buffer is not needed.
  EXPECT_EQ(0, FromRemote(converter, Bytes{9, 0, 10, 0, 0xBE, 0x25, 0, 0}));
}

TEST_F(ConverterBadInputTest, DesktopRecordsThatDoNotFitAreRefusedWithoutWriting) {
  record_.SetDescription(std::string(100, 'd'));
  record_.SetNote("n\r\n");
  // 8 fixed bytes, 101 for the description, 3 for the note.
  const size_t kNeeded = 8 + 101 + 3;
  for (size_t size : {kNeeded, kNeeded - 1, size_t{8}, size_t{0}}) {
    Bytes buffer(size + 16, 0xEE);
    RecordRequest request{};
    request.buffer = buffer.data();
    request.buffer_size = static_cast<uint16_t>(size);
    request.data_size = 1234;
    const int32_t result = converter_.ConvertToRemote(record_, &request);
    if (size == kNeeded) {
      EXPECT_EQ(0, result);
      EXPECT_EQ(kNeeded, size_t{request.data_size});
    } else {
      EXPECT_EQ(kErrConvertToRemote, result) << size;
      EXPECT_EQ(0u, uint32_t{request.data_size}) << size;
      EXPECT_EQ(Bytes(size, 0xEE), Bytes(buffer.begin(), buffer.begin() + size)) << size;
    }
    EXPECT_EQ(Bytes(16, 0xEE), Bytes(buffer.begin() + size, buffer.end())) << size;
  }

  record_.SetNote(std::string(5000, 'n'));
  Bytes buffer(4480, 0);
  RecordRequest request{};
  request.buffer = buffer.data();
  request.buffer_size = 4480;
  EXPECT_EQ(kErrConvertToRemote, converter_.ConvertToRemote(record_, &request));
  request.buffer = nullptr;
  EXPECT_EQ(kErrConvertToRemote, converter_.ConvertToRemote(record_, &request));
}

TEST_F(ConverterBadInputTest, DatesADateWordCannotCarry) {
  record_.SetNote("");
  Bytes buffer(4480, 0);
  RecordRequest request{};
  request.buffer = buffer.data();
  request.buffer_size = 4480;
  for (int32_t start : {At(2032, 1, 1), At(1903, 12, 31)}) {
    record_.SetStartTime(start);
    EXPECT_EQ(kErrConvertToRemote, converter_.ConvertToRemote(record_, &request)) << start;
  }
  // A repeat end after 2031 means no end; exception days after 2031 are left out.
  record_.SetStartTime(At(2031, 12, 1, 8, 0));
  record_.SetRepDaily(CDayName(1, 1, At(2035, 1, 1), 0));
  record_.AddException(At(2031, 12, 2));
  record_.AddException(At(2033, 1, 1));
  ASSERT_EQ(0, converter_.ConvertToRemote(record_, &request));
  const Bytes expected_tail = {0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00,
                               0x00, 0x00, 0x00, 0x01, 0xFF, 0x82};
  EXPECT_EQ(expected_tail, Bytes(buffer.begin() + 8, buffer.begin() + 20));
}

TEST_F(ConverterBadInputTest, ValuesTheDesktopCannotKeepAreRefusedOthersCarried) {
  // Wednesday 5 March 2003, 09:00 to 10:00, description "x".
  auto with = [](uint8_t flags, Bytes part) {
    Bytes raw = {9, 0, 10, 0, 0xC6, 0x65, static_cast<uint8_t>(flags | 0x04), 0};
    raw.insert(raw.end(), part.begin(), part.end());
    raw.insert(raw.end(), {'x', 0});
    return raw;
  };
  struct Case {
    const char* what;
    Bytes raw;
  } const kRefused[] = {
      {"alarm unit 3", with(0x40, {5, 3})},
      {"alarm unit 255", with(0x40, {5, 0xFF})},
      {"weekly, first day 7", with(0x20, {2, 0, 0xFF, 0xFF, 1, 0x08, 7, 0})},
      {"daily, first day 200", with(0x20, {1, 0, 0xFF, 0xFF, 1, 0, 200, 0})},
      {"daily every 0 days", with(0x20, {1, 0, 0xFF, 0xFF, 0, 0, 0, 0})},
      {"yearly every 0 years", with(0x20, {5, 0, 0xFF, 0xFF, 0, 0, 0, 0})},
      {"weekly with bit 7", with(0x20, {2, 0, 0xFF, 0xFF, 1, 0x88, 0, 0})},
      {"weekly with bit 7 alone", with(0x20, {2, 0, 0xFF, 0xFF, 1, 0x80, 1, 0})},
  };
  for (const Case& c : kRefused) {
    EXPECT_EQ(kErrConvertFromRemote, FromRemote(converter_, c.raw)) << c.what;
    ExpectUntouched(c.what);
  }

  // Values the desktop keeps come back to the handheld as they were.
  const Case kCarried[] = {
      {"weekly on no day", with(0x20, {2, 0, 0xFF, 0xFF, 1, 0, 0, 0})},
      {"monthly by date, weeks start on Saturday", with(0x20, {4, 0, 0xFF, 0xFF, 3, 0, 6, 0})},
      {"weekly every 255 weeks on all days", with(0x20, {2, 0, 0xC6, 0x7F, 255, 0x7F, 1, 0})},
      {"alarm of 255 days", with(0x40, {255, 2})},
  };
  for (const Case& c : kCarried) {
    ASSERT_EQ(0, FromRemote(converter_, c.raw)) << c.what;
    Bytes back(4480, 0);
    RecordRequest out{};
    out.buffer = back.data();
    out.buffer_size = static_cast<uint16_t>(back.size());
    ASSERT_EQ(0, converter_.ConvertToRemote(record_, &out)) << c.what;
    back.resize(out.data_size);
    EXPECT_EQ(c.raw, back) << c.what;
  }
  // A kind the desktop has no rule for carries no repetition; its part is not read.
  ASSERT_EQ(0, FromRemote(converter_, with(0x20, {9, 0, 0xFF, 0xFF, 0, 0x80, 9, 0})));
  EXPECT_FALSE(record_.IsRepeatingEvt());
}

TEST_F(ConverterBadInputTest, MissingRequestsAndWrongRecordKinds) {
  EXPECT_EQ(kErrConvertToRemote, converter_.ConvertToRemote(record_, nullptr));
  EXPECT_EQ(kErrConvertFromRemote, converter_.ConvertFromRemote(record_, nullptr));
  CBaseRecord plain(table_, 0);
  Bytes raw = {9, 0, 10, 0, 0xBE, 0x25, 0, 0};
  RecordRequest request{};
  request.buffer = raw.data();
  request.buffer_size = request.data_size = 8;
  EXPECT_EQ(kErrConvertFromRemote, converter_.ConvertFromRemote(plain, &request));
  EXPECT_EQ(kErrConvertToRemote, converter_.ConvertToRemote(plain, &request));
}

}  // namespace
