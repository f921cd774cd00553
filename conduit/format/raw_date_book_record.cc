#include "conduit/format/raw_date_book_record.h"

#include <cstring>

namespace {

// Reads the parts of a raw record in order, never past its end.
class CRawReader {
 public:
  CRawReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Has(size_t count) const { return count <= size_ - position_; }
  uint8_t Byte() { return data_[position_++]; }
  uint16_t Word() {
    const uint16_t value = static_cast<uint16_t>((data_[position_] << 8) | data_[position_ + 1]);
    position_ += 2;
    return value;
  }
  void Skip(size_t count) { position_ += count; }
  // A text ending with a zero byte: its start and length, the reader moved past the zero.
  bool Text(const uint8_t** text, size_t* length) {
    const void* zero = std::memchr(data_ + position_, 0, size_ - position_);
    if (zero == nullptr) return false;
    *text = data_ + position_;
    *length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - *text);
    position_ += *length + 1;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace

bool ParseRawDateBkRecord(const uint8_t* data, size_t size, CRawDateBkRecord* record) {
  if (data == nullptr) return false;
  CRawReader reader(data, size);
  if (!reader.Has(kRawFixedSize)) return false;
  record->start_hour = reader.Byte();
  record->start_minute = reader.Byte();
  record->end_hour = reader.Byte();
  record->end_minute = reader.Byte();
  record->date = reader.Word();
  record->flags = reader.Byte();
  reader.Skip(1);

  if (record->flags & kRawFlagAlarm) {
    if (!reader.Has(kRawAlarmSize)) return false;
    record->alarm_advance = reader.Byte();
    record->alarm_unit = reader.Byte();
  }
  if (record->flags & kRawFlagRepeat) {
    if (!reader.Has(kRawRepeatSize)) return false;
    record->repeat_kind = static_cast<int8_t>(reader.Byte());
    reader.Skip(1);
    record->repeat_end = reader.Word();
    record->interval = reader.Byte();
    record->repeat_on = reader.Byte();
    record->first_day_of_week = reader.Byte();
    reader.Skip(1);
  }
  record->exceptions.clear();
  if (record->flags & kRawFlagExceptions) {
    if (!reader.Has(2)) return false;
    const uint16_t count = reader.Word();
    if (!reader.Has(2 * static_cast<size_t>(count))) return false;
    record->exceptions.reserve(count);
    for (uint16_t i = 0; i < count; ++i) record->exceptions.push_back(reader.Word());
  }
  record->description = nullptr;
  record->description_length = 0;
  if ((record->flags & kRawFlagDescription) &&
      !reader.Text(&record->description, &record->description_length)) {
    return false;
  }
  record->note = nullptr;
  record->note_length = 0;
  if ((record->flags & kRawFlagNote) && !reader.Text(&record->note, &record->note_length)) {
    return false;
  }
  return true;
}
