// Seeded random and mutated inputs through the readers of handheld and file data. The loops are
// bounded (a few seconds, also under the sanitizers); any out-of-bounds access, crash or broken
// property is a finding. The seed is fixed so that a finding can be reproduced.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "conduit/format/date_bk_converter.h"
#include "conduit/format/format_test_util.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/result_codes.h"
#include "tablelib/category.h"
#include "tablelib/table_errors.h"

namespace {

using Bytes = std::vector<uint8_t>;
using format_test::WriteBytes;

constexpr uint32_t kSeed = 20240611;
constexpr int kFileRuns = 1500;
constexpr int kRecordRuns = 20000;
constexpr int kCategoryRuns = 3000;

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
    ASSERT_TRUE(result == kTblOk || result == kTblErrEndOfFile) << "run " << runs << ": " << result;
    ASSERT_LE(table.GetRecordCount(), 9999);
    // Whatever was loaded is saved as a file that loads back whole.
    ASSERT_EQ(0, table.SaveTo(saved)) << "run " << runs;
    CProfsTable again;
    ASSERT_EQ(0, again.LoadFromFile(saved)) << "run " << runs;
    ASSERT_EQ(table.GetRecordCount(), again.GetRecordCount()) << "run " << runs;
  }
  std::printf("exchange files loaded without a finding: %d\n", runs);
}

Bytes RawSeed(CMutator& m) {
  Bytes raw = {m.Byte(), m.Byte(), m.Byte(), m.Byte(), m.Byte(), m.Byte(), 0, 0};
  if (m.Below(4) == 0) raw[0] = raw[1] = 0xFF;
  uint8_t flags = static_cast<uint8_t>(m.Byte() & 0x7C);
  raw[6] = flags;
  if (flags & 0x40) raw.insert(raw.end(), {m.Byte(), static_cast<uint8_t>(m.Below(3))});
  if (flags & 0x20) {
    raw.insert(raw.end(),
               {static_cast<uint8_t>(m.Below(7)), 0, m.Byte(), m.Byte(),
                static_cast<uint8_t>(m.Below(4)), m.Byte(), static_cast<uint8_t>(m.Below(2)), 0});
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

TEST(FormatFuzzTest, ConvertFromRemoteOnRandomRawRecords) {
  format_test::UseBerlinTime();
  CMutator mutator(kSeed + 1);
  CDateBkConverter converter;
  CProfsTable table;
  CProfsRecord record(table, 0);
  ASSERT_EQ(0, table.AppendBlankRecord(static_cast<CDateBkRecord&>(record)));
  int runs = 0;
  int converted = 0;
  for (; runs < kRecordRuns; ++runs) {
    // Exactly data_size bytes, so that the sanitizer sees any read past them.
    Bytes data = RawSeed(mutator);
    RecordRequest request{};
    request.attributes = static_cast<uint8_t>(mutator.Below(8) == 0 ? 0x80 : mutator.Byte() & 0x58);
    request.buffer = data.empty() ? nullptr : data.data();
    request.buffer_size = static_cast<uint16_t>(data.size());
    request.data_size = static_cast<uint32_t>(data.size());
    const int32_t result = converter.ConvertFromRemote(record, &request);
    ASSERT_TRUE(result == kOk || result == kErrMovedTo1970 || result == kErrConvertFromRemote)
        << "run " << runs << ": " << result;
    if (result == kErrConvertFromRemote || (request.attributes & 0x80)) continue;
    ++converted;
    // Once converted, a record goes to the handheld and back unchanged.
    Bytes first(4480, 0);
    RecordRequest out{};
    out.buffer = first.data();
    out.buffer_size = static_cast<uint16_t>(first.size());
    const int32_t sent = converter.ConvertToRemote(record, &out);
    if (sent == kErrConvertToRemote) continue;  // too large, or a date past 2031
    ASSERT_EQ(0, sent) << "run " << runs;
    first.resize(out.data_size);
    out.buffer_size = static_cast<uint16_t>(out.data_size);
    // A day-0 date word can normalise to 31 December 1969, which comes back moved to 1970.
    if (converter.ConvertFromRemote(record, &out) != kOk) continue;
    Bytes second(4480, 0);
    RecordRequest again{};
    again.buffer = second.data();
    again.buffer_size = static_cast<uint16_t>(second.size());
    ASSERT_EQ(0, converter.ConvertToRemote(record, &again)) << "run " << runs;
    second.resize(again.data_size);
    ASSERT_EQ(first, second) << "run " << runs;
  }
  std::printf("raw records converted without a finding: %d (%d converted)\n", runs, converted);
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
