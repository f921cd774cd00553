#include "tablelib/table_codec.h"

#include "tablelib/table_errors.h"
#include "tablelib/table_stream.h"

namespace tablelib {

void CTableCodec::PutBytes(const void* data, size_t size) {
  stream_.Write(data, size);
}

void CTableCodec::PutU8(uint8_t value) {
  PutBytes(&value, 1);
}

void CTableCodec::PutU16(uint16_t value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  PutBytes(bytes, sizeof bytes);
}

void CTableCodec::PutU32(uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  PutBytes(bytes, sizeof bytes);
}

void CTableCodec::PutText(std::string_view text) {
  if (text.size() > kMaxStoredText) {
    // A file that cut the text short would lose data on the next load.
    stream_.SetError(kTblErrBadArgument);
    return;
  }
  PutU32(static_cast<uint32_t>(text.size()));
  PutBytes(text.data(), text.size());
}

bool CTableCodec::GetBytes(void* data, size_t size) {
  if (stream_.Error() != kTblOk) return false;
  if (stream_.Read(data, size) != size) {
    stream_.SetError(kTblErrEndOfFile);
    return false;
  }
  return true;
}

bool CTableCodec::GetU8(uint8_t* value) {
  return GetBytes(value, 1);
}

bool CTableCodec::GetU16(uint16_t* value) {
  uint8_t bytes[2];
  if (!GetBytes(bytes, sizeof bytes)) return false;
  *value = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  return true;
}

bool CTableCodec::GetU32(uint32_t* value) {
  uint8_t bytes[4];
  if (!GetBytes(bytes, sizeof bytes)) return false;
  *value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

bool CTableCodec::GetI32(int32_t* value) {
  uint32_t raw = 0;
  if (!GetU32(&raw)) return false;
  *value = static_cast<int32_t>(raw);
  return true;
}

bool CTableCodec::GetText(std::string* text) {
  uint32_t size = 0;
  if (!GetU32(&size)) return false;
  if (size > kMaxStoredText) return Fail();
  // Read in pieces so that a damaged length costs no more memory than the file really holds.
  text->clear();
  char chunk[4096];
  while (size > 0) {
    const size_t piece = size < sizeof chunk ? size : sizeof chunk;
    if (!GetBytes(chunk, piece)) return false;
    text->append(chunk, piece);
    size -= static_cast<uint32_t>(piece);
  }
  return true;
}

bool CTableCodec::Fail() {
  stream_.SetError(kTblErrBadFormat);
  return false;
}

bool CTableCodec::Ok() const {
  return stream_.Error() == kTblOk;
}

}  // namespace tablelib
