// The binary encoding of the table library's own file format (FORMAT.txt): little-endian numbers
// and length-prefixed texts over a CTableStream.
#ifndef DBC_TABLELIB_TABLE_CODEC_H_
#define DBC_TABLELIB_TABLE_CODEC_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>

class CTableStream;

namespace tablelib {

// The longest text a field may hold in a file; a longer length marks a damaged file.
constexpr uint32_t kMaxStoredText = 16u * 1024u * 1024u;

class CTableCodec {
 public:
  explicit CTableCodec(CTableStream& stream) : stream_(stream) {}

  void PutU8(uint8_t value);
  void PutU16(uint16_t value);
  void PutU32(uint32_t value);
  void PutI32(int32_t value) { PutU32(static_cast<uint32_t>(value)); }
  void PutText(std::string_view text);
  void PutBytes(const void* data, size_t size);

  // Each answers false (and leaves the stream's error set) when the stream failed or ended.
  bool GetU8(uint8_t* value);
  bool GetU16(uint16_t* value);
  bool GetU32(uint32_t* value);
  bool GetI32(int32_t* value);
  bool GetText(std::string* text);
  bool GetBytes(void* data, size_t size);

  // Marks the stream as holding a damaged file (kTblErrBadFormat) and answers false.
  bool Fail();
  bool Ok() const;
  CTableStream& Stream() { return stream_; }

 private:
  CTableStream& stream_;
};

}  // namespace tablelib

#endif  // DBC_TABLELIB_TABLE_CODEC_H_
