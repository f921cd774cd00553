// Seeded random and mutated inputs through the readers of handheld and file data. The loops are
// bounded (a few seconds, also under the sanitizers); any out-of-bounds access, crash or broken
// property is a finding. The seed is fixed so that a finding can be reproduced.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "conduit/format/date_bk_converter.h"
#include "conduit/format/format_test_util.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/result_codes.h"
#include "sdk/date_book_record.h"
#include "tablelib/category.h"
#include "tablelib/repeat.h"
#include "tablelib/table_errors.h"

namespace {

using Bytes = std::vector<uint8_t>;
using format_test::WriteBytes;

constexpr uint32_t kSeed = 20240611;
constexpr int kFileRuns = 1500;
constexpr int kRecordRuns = 20000;
constexpr int kCategoryRuns = 3000;
constexpr int kWellFormedRuns = 5000;

class CMutator {
 public:
  explicit CMutator(uint32_t seed) : random_(seed) {}
  uint32_t Below(uint32_t n) { return n == 0 ? 0 : random_() % n; }
  uint8_t Byte() { return static_cast<uint8_t>(random_()); }

  // Flips, overwrites, inserts, deletes and truncates a few times.
  template <typename T>
  void Mutate(T* data, const char* alphabet = nullptr) {
    const int steps = 1 + static_cast<int>(Below(4));
    for (int i = 0; i < steps; ++i) {
      const auto pick = [&]() -> typename T::value_type {
        if (alphabet != nullptr && Below(3) != 0) {
          return static_cast<typename T::value_type>(alphabet[Below(std::strlen(alphabet))]);
        }
        return static_cast<typename T::value_type>(Byte());
      };
      const size_t at = Below(static_cast<uint32_t>(data->size() + 1));
      switch (Below(5)) {
        case 0:
          if (at < data->size()) (*data)[at] ^= static_cast<typename T::value_type>(1 << Below(8));
          break;
        case 1:
          if (at < data->size()) (*data)[at] = pick();
          break;
        case 2:
          data->insert(data->begin() + at, pick());
          break;
        case 3:
          if (at < data->size()) data->erase(data->begin() + at);
          break;
        default:
          if (Below(4) == 0) data->resize(at);
          break;
      }
    }
  }

 private:
  std::mt19937 random_;
};

std::string ExchangeSeed(int which) {
  const char* const kLines[] = {
      "0000001A00121999010509:0010:30005000020Staff meeting;Room 4\r\n",
      "        00002000032610:30     30521"
      "0006PERS: \r\n",
      "FFFFFFFF999920311231          20101"
      "0063aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;bb\r\n",
      "0000000100011970010100:0023:5909900"
      "0009x;y;;z:;;\r\n",
  };
  std::string file = "0004";
  for (int i = 0; i < 4; ++i) file += kLines[(which + i) % 4];
  return file;
}

TEST(FormatFuzzTest, LoadFromFileOnMutatedExchangeFiles) {
  format_test::UseBerlinTime();
  format_test::CScratchFolder folder;
  const std::string path = folder.Path("fuzz.dat");
  const std::string saved = folder.Path("saved.dat");
  CMutator mutator(kSeed);
  int runs = 0;
  for (; runs < kFileRuns; ++runs) {
    std::string file = ExchangeSeed(runs);
    mutator.Mutate(&file, "0123456789 :;\r\n-");
    WriteBytes(path, file);
    CProfsTable table;
    const int32_t result = table.LoadFromFile(path);
    ASSERT_TRUE(result == kTblOk || result == kTblErrEndOfFile || result == kTblErrBadFormat)
        << "run " << runs << ": " << result;
    ASSERT_LE(table.GetRecordCount(), 9999);
    // Whatever was loaded is saved as a file that loads back whole.
    ASSERT_EQ(0, table.SaveTo(saved)) << "run " << runs;
    CProfsTable again;
    ASSERT_EQ(0, again.LoadFromFile(saved)) << "run " << runs;
    ASSERT_EQ(table.GetRecordCount(), again.GetRecordCount()) << "run " << runs;
  }
  std::printf("exchange files loaded without a finding: %d\n", runs);
}

// A raw record of random parts, with values outside what the layout allows among them (alarm units,
// intervals, first days of the week, repeat-on bits), mutated half of the time.
Bytes RawSeed(CMutator& m) {
  Bytes raw = {m.Byte(), m.Byte(), m.Byte(), m.Byte(), m.Byte(), m.Byte(), 0, 0};
  if (m.Below(4) == 0) raw[0] = raw[1] = 0xFF;
  uint8_t flags = static_cast<uint8_t>(m.Byte() & 0x7C);
  raw[6] = flags;
  auto small_or_any = [&](uint32_t below) {
    return static_cast<uint8_t>(m.Below(4) == 0 ? m.Byte() : m.Below(below));
  };
  if (flags & 0x40) raw.insert(raw.end(), {m.Byte(), small_or_any(3)});
  if (flags & 0x20) {
    raw.insert(raw.end(), {static_cast<uint8_t>(m.Below(7)), 0, m.Byte(), m.Byte(), small_or_any(4),
                           m.Byte(), small_or_any(7), 0});
  }
  if (flags & 0x08) {
    const uint8_t count = static_cast<uint8_t>(m.Below(5));
    raw.insert(raw.end(), {0, count});
    for (int i = 0; i < count; ++i) raw.insert(raw.end(), {m.Byte(), m.Byte()});
  }
  for (uint8_t text_flag : {0x04, 0x10}) {
    if (!(flags & text_flag)) continue;
    const size_t length = m.Below(8) == 0 ? m.Below(5000) : m.Below(80);
    for (size_t i = 0; i < length; ++i) {
      raw.push_back(static_cast<uint8_t>("ab;\r\n"[m.Below(5)]));
    }
    raw.push_back(0);
  }
  if (m.Below(2) == 0) m.Mutate(&raw);
  return raw;
}

// Converts data (exactly data_size bytes, so that the sanitizer sees any read past them).
int32_t FromRemote(CDateBkConverter& converter, CProfsRecord& record, Bytes data,
                   uint8_t attributes) {
  RecordRequest request{};
  request.attributes = attributes;
  request.buffer = data.empty() ? nullptr : data.data();
  request.buffer_size = static_cast<uint16_t>(data.size());
  request.data_size = static_cast<uint32_t>(data.size());
  return converter.ConvertFromRemote(record, &request);
}

// The record's raw bytes, or an empty vector when ConvertToRemote refused it.
Bytes ToRemote(CDateBkConverter& converter, CProfsRecord& record, int32_t* result) {
  Bytes bytes(4480, 0);
  RecordRequest out{};
  out.buffer = bytes.data();
  out.buffer_size = static_cast<uint16_t>(bytes.size());
  *result = converter.ConvertToRemote(record, &out);
  bytes.resize(*result == 0 ? out.data_size : 0);
  return bytes;
}

TEST(FormatFuzzTest, ConvertFromRemoteOnRandomRawRecords) {
  format_test::UseBerlinTime();
  CMutator mutator(kSeed + 1);
  CDateBkConverter converter;
  CProfsTable table;
  CProfsRecord record(table, 0);
  ASSERT_EQ(0, table.AppendBlankRecord(static_cast<CDateBkRecord&>(record)));
  int runs = 0;
  int converted = 0;
  int refused_values = 0;
  for (; runs < kRecordRuns; ++runs) {
    const Bytes data = RawSeed(mutator);
    const uint8_t attributes =
        static_cast<uint8_t>(mutator.Below(8) == 0 ? 0x80 : mutator.Byte() & 0x58);
    const int32_t result = FromRemote(converter, record, data, attributes);
    ASSERT_TRUE(result == kOk || result == kErrMovedTo1970 || result == kErrConvertFromRemote)
        << "run " << runs << ": " << result;
    if (attributes & 0x80) continue;
    CRawDateBkRecord raw;
    const bool parsed = ParseRawDateBkRecord(data.data(), data.size(), &raw);
    const bool repeats = (raw.flags & 0x20) && raw.repeat_kind >= 1 && raw.repeat_kind <= 5;
    const bool bad_value = ((raw.flags & 0x40) && raw.alarm_unit > 2) ||
                           (repeats && (raw.interval == 0 || raw.first_day_of_week > 6 ||
                                        (raw.repeat_kind == 2 && (raw.repeat_on & 0x80) != 0)));
    if (parsed && bad_value) {
      ASSERT_EQ(kErrConvertFromRemote, result) << "run " << runs;
      ++refused_values;
    }
    if (result == kErrConvertFromRemote) continue;
    ++converted;
    // What converted carries the handheld's values, not a repaired or an earlier record's ones.
    int32_t unit = -1;
    record.GetAlarmAdvUnit(unit);
    if (raw.flags & 0x40) {
      ASSERT_EQ(raw.alarm_unit, unit) << "run " << runs;
    }
    ASSERT_EQ(repeats, record.IsRepeatingEvt()) << "run " << runs;
    if (repeats) {
      const CRepeateDayInfo* rule = record.GetRepeateInfo();
      ASSERT_EQ(raw.repeat_kind, rule->GetMyBrand()) << "run " << runs;
      ASSERT_EQ(raw.interval, rule->GetInterval()) << "run " << runs;
      if (raw.repeat_kind != 1) {
        ASSERT_EQ(raw.first_day_of_week, rule->GetFirstDayOfWeek()) << "run " << runs;
      }
      if (const auto* weekly = dynamic_cast<const CWeekly*>(rule)) {
        ASSERT_EQ(raw.repeat_on, weekly->GetWeekDays()) << "run " << runs;
      }
    }
    // Once converted, a record goes to the handheld and back unchanged.
    int32_t sent = 0;
    const Bytes first = ToRemote(converter, record, &sent);
    if (sent == kErrConvertToRemote) continue;  // too large, or a date past 2031
    ASSERT_EQ(0, sent) << "run " << runs;
    // The end's own day is not stored: an end hour normalised into the next day can come back as
    // 02:xx on a day whose clock skips that hour, which then moves on. Such records are left out.
    if (first[0] == 2 || first[2] == 2) continue;
    // A day-0 date word can normalise to 31 December 1969, which comes back moved to 1970.
    if (FromRemote(converter, record, first, 0) != kOk) continue;
    ASSERT_EQ(first, ToRemote(converter, record, &sent)) << "run " << runs;
  }
  std::printf("raw records converted without a finding: %d (%d converted, %d refused values)\n",
              runs, converted, refused_values);
}

// Well-formed raw records written byte by byte, independently of the codec: every repeat kind,
// first days 0 to 6, alarm units 0 to 2, sorted exception days, texts without CR. Each must come
// back from the desktop as the very bytes it came from.
class CWellFormedRecords {
 public:
  static constexpr uint16_t kLastDateWord = (127 << 9) | (12 << 5) | 31;

  explicit CWellFormedRecords(uint32_t seed) : m_(seed) {}

  Bytes Next() {
    int year = 0, month = 0, day = 0;
    const uint16_t date = Date(&year, &month, &day);
    Bytes raw;
    if (m_.Below(4) == 0) {
      raw = {0xFF, 0xFF, 0xFF, 0xFF};
    } else {
      // Hour 2 is left out: on the day the clock goes forward 02:xx does not exist.
      const uint8_t start_hour = Hour();
      const uint8_t start_minute = static_cast<uint8_t>(m_.Below(60));
      uint8_t end_hour = Hour();
      uint8_t end_minute = static_cast<uint8_t>(m_.Below(60));
      if (end_hour * 60 + end_minute < start_hour * 60 + start_minute) {
        end_hour = start_hour;
        end_minute = start_minute;
      }
      raw = {start_hour, start_minute, end_hour, end_minute};
    }
    raw.insert(raw.end(), {static_cast<uint8_t>(date >> 8), static_cast<uint8_t>(date), 0, 0});
    uint8_t flags = 0x04;
    if (m_.Below(2) == 0) {
      flags |= 0x40;
      raw.insert(raw.end(), {m_.Byte(), static_cast<uint8_t>(m_.Below(3))});
    }
    if (m_.Below(2) == 0) {
      flags |= 0x20;
      const uint8_t kind = static_cast<uint8_t>(1 + m_.Below(5));
      uint16_t end = 0xFFFF;
      if (m_.Below(2) == 0) {
        // 31 December 2031 is the last day a date word holds: an end on it means no end.
        do {
          end = Date(nullptr, nullptr, nullptr);
        } while (end == kLastDateWord);
      }
      uint8_t repeat_on = 0;
      if (kind == 2) repeat_on = static_cast<uint8_t>(m_.Below(128));
      if (kind == 3) repeat_on = static_cast<uint8_t>(m_.Below(5) * 7 + WeekDay(year, month, day));
      // A daily rule has no first day of the week.
      const uint8_t first_day = kind == 1 ? 0 : static_cast<uint8_t>(m_.Below(7));
      raw.insert(raw.end(), {kind, 0, static_cast<uint8_t>(end >> 8), static_cast<uint8_t>(end),
                             static_cast<uint8_t>(1 + m_.Below(255)), repeat_on, first_day, 0});
    }
    if (m_.Below(3) == 0) {
      flags |= 0x08;
      std::set<uint16_t> days;
      const uint32_t count = 1 + m_.Below(4);
      while (days.size() < count) days.insert(Date(nullptr, nullptr, nullptr));
      raw.insert(raw.end(), {0, static_cast<uint8_t>(days.size())});
      for (uint16_t d : days) raw.insert(raw.end(), {static_cast<uint8_t>(d >> 8), uint8_t(d)});
    }
    Text(&raw, 0);
    if (m_.Below(2) == 0) {
      flags |= 0x10;
      Text(&raw, 1);
    }
    raw[6] = flags;
    return raw;
  }

 private:
  // A date from 1970 to 2031 that exists, as a date word.
  uint16_t Date(int* year, int* month, int* day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int y = 1970 + static_cast<int>(m_.Below(62));
    const int mo = 1 + static_cast<int>(m_.Below(12));
    const bool leap = y % 4 == 0;  // exact from 1901 to 2099
    const int d = 1 + static_cast<int>(m_.Below(kDays[mo - 1] + (mo == 2 && leap ? 1 : 0)));
    if (year != nullptr) {
      *year = y;
      *month = mo;
      *day = d;
    }
    return static_cast<uint16_t>(((y - 1904) << 9) | (mo << 5) | d);
  }
  uint8_t Hour() {
    const uint8_t hour = static_cast<uint8_t>(m_.Below(23));
    return hour >= 2 ? hour + 1 : hour;
  }
  // 0 Sunday ... 6 Saturday (Sakamoto's method).
  static int WeekDay(int y, int m, int d) {
    static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + kOffsets[m - 1] + d) % 7;
  }
  // A text of line feeds, blanks and letters with its zero byte; a note is never empty.
  void Text(Bytes* raw, uint32_t at_least) {
    const size_t length = at_least + (m_.Below(10) == 0 ? m_.Below(2000) : m_.Below(60));
    for (size_t i = 0; i < length; ++i)
      raw->push_back(static_cast<uint8_t>("ab; \nZ"[m_.Below(6)]));
    raw->push_back(0);
  }

  CMutator m_;
};

TEST(FormatFuzzTest, WellFormedRawRecordsComeBackAsTheBytesTheyCameFrom) {
  format_test::UseBerlinTime();
  CWellFormedRecords records(kSeed + 3);
  CDateBkConverter converter;
  CProfsTable table;
  CProfsRecord record(table, 0);
  ASSERT_EQ(0, table.AppendBlankRecord(static_cast<CDateBkRecord&>(record)));
  int runs = 0;
  for (; runs < kWellFormedRuns; ++runs) {
    const Bytes raw = records.Next();
    ASSERT_EQ(0, FromRemote(converter, record, raw, 0x40)) << "run " << runs;
    int32_t sent = -1;
    ASSERT_EQ(raw, ToRemote(converter, record, &sent)) << "run " << runs;
    ASSERT_EQ(0, sent);
  }
  std::printf("well-formed raw records back byte for byte: %d\n", runs);
}

TEST(FormatFuzzTest, CategoryBlocksFromRandomBytes) {
  CMutator mutator(kSeed + 2);
  CDateBkConverter converter;
  int runs = 0;
  for (; runs < kCategoryRuns; ++runs) {
    Bytes block(274 + mutator.Below(600), 0);
    for (uint8_t& b : block) b = mutator.Below(3) == 0 ? 0 : mutator.Byte();
    const Bytes original = block;
    AppInfoRequest request{};
    request.buffer = block.data();
    request.buffer_size = static_cast<uint16_t>(block.size());
    CCategoryMgr list;
    ASSERT_EQ(0, converter.ConvertCategoriesFromRemote(&request, &list));
    int names = 0;
    for (int i = 0; i < 16; ++i) names += original[2 + 16 * i] != 0 ? 1 : 0;
    ASSERT_EQ(names, list.GetCount()) << "run " << runs;
    ASSERT_EQ(0, converter.ConvertCategoriesToRemote(&request, &list));
    ASSERT_EQ(Bytes(original.begin() + 274, original.end()),
              Bytes(block.begin() + 274, block.end()));
    for (int i = 0; i < 16; ++i) {
      const uint8_t* name = block.data() + 2 + 16 * i;
      ASSERT_EQ(0, name[15]) << "run " << runs;
      ASSERT_EQ(original[2 + 16 * i] != 0 ? original[258 + i] : 0, block[258 + i]);
      ASSERT_EQ(0, std::strncmp(reinterpret_cast<const char*>(name),
                                reinterpret_cast<const char*>(original.data() + 2 + 16 * i), 15));
    }
  }
  std::printf("category blocks converted without a finding: %d\n", runs);
}

}  // namespace
