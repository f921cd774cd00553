#include "conduit/format/line_breaks.h"

#include <cstring>

#include "conduit/result_codes.h"

namespace {

constexpr char kCarriageReturn = '\r';
constexpr uint8_t kLineFeed = '\n';

}  // namespace

size_t StripReturns(uint8_t* destination, size_t capacity, std::string_view text) {
  const size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  size_t needed = 1;
  for (char byte : text) {
    if (byte != kCarriageReturn) ++needed;
  }
  if (needed > capacity) return 0;
  size_t written = 0;
  for (char byte : text) {
    if (byte != kCarriageReturn) destination[written++] = static_cast<uint8_t>(byte);
  }
  destination[written++] = 0;
  return written;
}

int32_t ExpandLineFeeds(char* buffer, size_t capacity, const uint8_t* text, size_t length,
                        size_t* expanded_length) {
  *expanded_length = 0;
  if (buffer == nullptr) return kErrNoRecordBuffer;
  size_t needed = length + 1;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == kLineFeed) ++needed;
  }
  if (needed > capacity) {
    if (capacity > 0) buffer[0] = '\0';
    return kErrConvertFromRemote;
  }
  size_t written = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == kLineFeed) buffer[written++] = kCarriageReturn;
    buffer[written++] = static_cast<char>(text[i]);
  }
  buffer[written] = '\0';
  *expanded_length = written;
  return kOk;
}
