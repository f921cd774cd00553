// The handheld's raw Date Book record, read with bounds checks.
//
// All multi-byte numbers are big-endian. An 8-byte fixed part comes first:
//   0 start hour, 1 start minute, 2 end hour, 3 end minute (0xFF each when untimed)
//   4 date word, 6 flags (kRawFlag*), 7 zero
// then, each present only when its flag is set: alarm (advance, unit), repeat (kind, 0, end date
// word or 0xFFFF, interval, repeat-on, first day of week, 0), exceptions (16-bit count n, n date
// words), description (text and a zero byte), note (text and a zero byte).
#ifndef DBC_CONDUIT_FORMAT_RAW_DATE_BOOK_RECORD_H_
#define DBC_CONDUIT_FORMAT_RAW_DATE_BOOK_RECORD_H_

#include <stddef.h>
#include <stdint.h>

#include <vector>

enum : uint8_t {
  kRawFlagAlarm = 0x40,
  kRawFlagRepeat = 0x20,
  kRawFlagNote = 0x10,
  kRawFlagExceptions = 0x08,
  kRawFlagDescription = 0x04,
};

constexpr size_t kRawFixedSize = 8;
constexpr size_t kRawAlarmSize = 2;
constexpr size_t kRawRepeatSize = 8;
constexpr size_t kRawFlagsOffset = 6;
constexpr uint8_t kRawUntimed = 0xFF;
// The repeat end date word of a rule without end.
constexpr uint16_t kRawNoEndDate = 0xFFFF;

// A raw record split into its parts. Texts point into the parsed data and exclude their zero.
struct CRawDateBkRecord {
  uint8_t start_hour = 0;
  uint8_t start_minute = 0;
  uint8_t end_hour = 0;
  uint8_t end_minute = 0;
  uint16_t date = 0;
  uint8_t flags = 0;
  uint8_t alarm_advance = 0;
  uint8_t alarm_unit = 0;
  int8_t repeat_kind = 0;
  uint16_t repeat_end = kRawNoEndDate;
  uint8_t interval = 0;
  uint8_t repeat_on = 0;
  uint8_t first_day_of_week = 0;
  std::vector<uint16_t> exceptions;
  const uint8_t* description = nullptr;
  size_t description_length = 0;
  const uint8_t* note = nullptr;
  size_t note_length = 0;

  bool IsUntimed() const { return start_hour == kRawUntimed && start_minute == kRawUntimed; }
};

// Splits size bytes of data into *record. Answers false when the data is too short for the fixed
// part or a flagged part, or a flagged text has no zero byte within the data; nothing past
// data + size is read.
bool ParseRawDateBkRecord(const uint8_t* data, size_t size, CRawDateBkRecord* record);

#endif  // DBC_CONDUIT_FORMAT_RAW_DATE_BOOK_RECORD_H_
