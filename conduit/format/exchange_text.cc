#include "conduit/format/exchange_text.h"

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kFoldMark = ';';
constexpr char kSemicolonStandIn = ':';

}  // namespace

bool FoldText(std::string_view source, size_t max_length, std::string* destination) {
  destination->clear();
  size_t column = 0;
  for (char byte : source) {
    const bool fold = column == kFoldWidth;
    const size_t needed = (fold ? 1 : 0) + (byte == kLineFeed ? 0 : 1);
    if (destination->size() + needed > max_length) return false;
    if (fold) {
      destination->push_back(kFoldMark);
      column = 0;
    }
    switch (byte) {
      case kLineFeed:
        break;
      case kCarriageReturn:
        destination->push_back(kFoldMark);
        column = 0;
        break;
      case kFoldMark:
        destination->push_back(kSemicolonStandIn);
        ++column;
        break;
      default:
        destination->push_back(byte);
        ++column;
        break;
    }
  }
  return true;
}

void UnfoldText(std::string_view source, std::string* destination) {
  destination->clear();
  destination->reserve(source.size());
  for (char byte : source) {
    if (byte == kFoldMark) {
      destination->push_back(kCarriageReturn);
      destination->push_back(kLineFeed);
    } else {
      destination->push_back(byte);
    }
  }
}
