// The handheld Date Book application's record layout (the raw Date Book record) and its date word:
// part of the contract between the handheld and the desktop. Header only; the conduit's record
// converter and the host's handheld tool both read and write records through it, so the layout is
// written down once.
//
// All multi-byte numbers are big-endian (the handheld's order). An 8-byte fixed part comes first:
//   0 start hour, 1 start minute, 2 end hour, 3 end minute (0xFF each when untimed)
//   4 date word, 6 flags (kRawFlag*), 7 zero
// then, each present only when its flag is set, in this order:
//   alarm       2 bytes: advance (0-255), unit (kRawAlarm*: 0 minutes, 1 hours, 2 days)
//   repeat      8 bytes: kind (kRawRepeat*, signed), 0, end date word (0xFFFF: no end), interval,
//               repeat-on, first day of the week (0 Sunday, 1 Monday), 0
//   exceptions  16-bit count n, then n date words
//   description text and a zero byte
//   note        text and a zero byte
// The repeat-on byte is the week-day bits of a weekly rule (bit 0 Sunday ... bit 6 Saturday),
// week * 7 + day of the week for a monthly-by-day rule (week 0 to 3 the first to fourth, 4 the
// last), and 0 for the other kinds.
//
// A date word is a 16-bit value: bits 15-9 the year minus 1904 (1904 to 2031), bits 8-5 the month
// (1-12), bits 4-0 the day of the month (1-31).
#ifndef DBC_SDK_DATE_BOOK_RECORD_H_
#define DBC_SDK_DATE_BOOK_RECORD_H_

#include <stddef.h>
#include <stdint.h>

#include <cstring>
#include <string>
#include <vector>

enum : uint8_t {
  kRawFlagAlarm = 0x40,
  kRawFlagRepeat = 0x20,
  kRawFlagNote = 0x10,
  kRawFlagExceptions = 0x08,
  kRawFlagDescription = 0x04,
  // Every flag the layout defines; the other bits are zero.
  kRawFlagsKnown = 0x7C,
};

// Repeat kinds of the repeat part; other values carry no repetition.
enum : int8_t {
  kRawRepeatDaily = 1,
  kRawRepeatWeekly = 2,
  kRawRepeatMonthlyByDay = 3,
  kRawRepeatMonthlyByDate = 4,
  kRawRepeatYearly = 5,
};

// Alarm advance units.
enum : uint8_t { kRawAlarmMinutes = 0, kRawAlarmHours = 1, kRawAlarmDays = 2 };

constexpr size_t kRawFixedSize = 8;
constexpr size_t kRawAlarmSize = 2;
constexpr size_t kRawRepeatSize = 8;
constexpr size_t kRawFlagsOffset = 6;
constexpr uint8_t kRawUntimed = 0xFF;
// The repeat end date word of a rule without end.
constexpr uint16_t kRawNoEndDate = 0xFFFF;
// The highest first day of the week a rule may name (Saturday).
constexpr uint8_t kRawLastWeekDay = 6;
constexpr uint8_t kRawDaysPerWeek = 7;
// The week index of "the last week of the month" in a monthly-by-day repeat-on byte.
constexpr uint8_t kRawLastWeek = 4;
// The weekly repeat-on bits that name days (bit 7 names none).
constexpr uint8_t kRawWeekDayBits = 0x7F;

// The largest record the handheld application writes, and the longest text (without its zero
// byte) it keeps in one field. A desktop reads records into a buffer of kRawMaxRecordSize bytes,
// and a text of kRawMaxTextLength line feeds still fits twice over (CR LF) in its text buffer.
constexpr size_t kRawMaxRecordSize = 4480;
constexpr size_t kRawMaxTextLength = 4095;

constexpr int32_t kDateWordFirstYear = 1904;
constexpr int32_t kDateWordLastYear = 1904 + 127;

// The date word of year (1904-2031), month (1-12) and day (1-31). Values outside those ranges are
// cut to their bits; callers check the ranges first.
inline uint16_t MakeDateWord(int32_t year, int32_t month, int32_t day) {
  return static_cast<uint16_t>((((year - kDateWordFirstYear) & 0x7F) << 9) | ((month & 0x0F) << 5) |
                               (day & 0x1F));
}
inline int32_t DateWordYear(uint16_t word) {
  return kDateWordFirstYear + ((word >> 9) & 0x7F);
}
inline int32_t DateWordMonth(uint16_t word) {
  return (word >> 5) & 0x0F;
}
inline int32_t DateWordDay(uint16_t word) {
  return word & 0x1F;
}

// A raw record split into its parts. `flags` says which optional parts are present; the fields of
// an absent part are not meaningful. Texts hold their bytes without the zero byte.
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
  std::string description;
  std::string note;

  // Whether the event is untimed is decided by the start alone.
  bool IsUntimed() const { return start_hour == kRawUntimed && start_minute == kRawUntimed; }
};

// Splits `size` bytes of `data` into *record. Answers false when data is null, too short for the
// fixed part or a flagged part, or a flagged text has no zero byte within the data; nothing past
// data + size is read. Bytes after the last flagged part are ignored. *record is not meaningful
// after a false answer.
inline bool ParseRawDateBkRecord(const uint8_t* data, size_t size, CRawDateBkRecord* record) {
  if (data == nullptr || size < kRawFixedSize) return false;
  size_t at = 0;
  auto has = [&](size_t count) { return count <= size - at; };
  auto byte = [&]() { return data[at++]; };
  auto word = [&]() {
    const uint16_t value = static_cast<uint16_t>((data[at] << 8) | data[at + 1]);
    at += 2;
    return value;
  };
  auto text = [&](std::string* out) {
    const void* zero = std::memchr(data + at, 0, size - at);
    if (zero == nullptr) return false;
    const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - (data + at));
    out->assign(reinterpret_cast<const char*>(data + at), length);
    at += length + 1;
    return true;
  };

  record->start_hour = byte();
  record->start_minute = byte();
  record->end_hour = byte();
  record->end_minute = byte();
  record->date = word();
  record->flags = byte();
  ++at;
  if (record->flags & kRawFlagAlarm) {
    if (!has(kRawAlarmSize)) return false;
    record->alarm_advance = byte();
    record->alarm_unit = byte();
  }
  if (record->flags & kRawFlagRepeat) {
    if (!has(kRawRepeatSize)) return false;
    record->repeat_kind = static_cast<int8_t>(byte());
    ++at;
    record->repeat_end = word();
    record->interval = byte();
    record->repeat_on = byte();
    record->first_day_of_week = byte();
    ++at;
  }
  record->exceptions.clear();
  if (record->flags & kRawFlagExceptions) {
    if (!has(2)) return false;
    const uint16_t count = word();
    if (!has(2 * static_cast<size_t>(count))) return false;
    record->exceptions.reserve(count);
    for (uint16_t i = 0; i < count; ++i) record->exceptions.push_back(word());
  }
  record->description.clear();
  if ((record->flags & kRawFlagDescription) && !text(&record->description)) return false;
  record->note.clear();
  if ((record->flags & kRawFlagNote) && !text(&record->note)) return false;
  return true;
}

// The bytes of a raw record: the fixed part with the flags that the layout defines, then the parts
// that `flags` names, with zero in every reserved byte. A text is written up to its first zero byte
// (the layout cannot carry more of it); at most 65535 exception dates are written. The size is not
// checked against kRawMaxRecordSize.
inline std::vector<uint8_t> EncodeRawDateBkRecord(const CRawDateBkRecord& record) {
  std::vector<uint8_t> out;
  auto word = [&](uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
  };
  auto text = [&](const std::string& value) {
    const size_t zero = value.find('\0');
    out.insert(out.end(), value.begin(),
               zero == std::string::npos ? value.end() : value.begin() + zero);
    out.push_back(0);
  };
  const uint8_t flags = record.flags & kRawFlagsKnown;
  out.insert(out.end(),
             {record.start_hour, record.start_minute, record.end_hour, record.end_minute});
  word(record.date);
  out.push_back(flags);
  out.push_back(0);
  if (flags & kRawFlagAlarm) out.insert(out.end(), {record.alarm_advance, record.alarm_unit});
  if (flags & kRawFlagRepeat) {
    out.push_back(static_cast<uint8_t>(record.repeat_kind));
    out.push_back(0);
    word(record.repeat_end);
    out.insert(out.end(), {record.interval, record.repeat_on, record.first_day_of_week, 0});
  }
  if (flags & kRawFlagExceptions) {
    const size_t count = record.exceptions.size() < 0xFFFF ? record.exceptions.size() : 0xFFFF;
    word(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) word(record.exceptions[i]);
  }
  if (flags & kRawFlagDescription) text(record.description);
  if (flags & kRawFlagNote) text(record.note);
  return out;
}

#endif  // DBC_SDK_DATE_BOOK_RECORD_H_
