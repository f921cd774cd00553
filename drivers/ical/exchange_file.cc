#include "drivers/ical/exchange_file.h"

#include <cstdio>

namespace ical_driver {
namespace {

constexpr char kFoldMark = ';';
constexpr char kSemicolonStandIn = ':';
constexpr char kCrLf[] = "\r\n";
constexpr size_t kCountWidth = 4;
constexpr size_t kFixedWidth = 39;  // the fields before the text

// Folds text: see the header. Stops before the result would grow past kMaxFoldedText bytes.
std::string Fold(std::string_view text) {
  std::string out;
  size_t column = 0;
  for (char byte : text) {
    const bool fold = column == kFoldWidth;
    const size_t needed = (fold ? 1 : 0) + (byte == '\n' ? 0 : 1);
    if (out.size() + needed > kMaxFoldedText) break;
    if (fold) {
      out += kFoldMark;
      column = 0;
    }
    if (byte == '\n') continue;
    if (byte == '\r') {
      out += kFoldMark;
      column = 0;
    } else {
      out += byte == kFoldMark ? kSemicolonStandIn : byte;
      ++column;
    }
  }
  return out;
}

std::string Unfold(std::string_view folded) {
  std::string out;
  for (char byte : folded) {
    if (byte == kFoldMark) {
      out += kCrLf;
    } else {
      out += byte;
    }
  }
  return out;
}

// Splits a folded text the way the conduit reads it.
void Split(std::string_view folded, std::string* description, std::string* note) {
  std::string_view desc = folded;
  std::string_view rest;
  const size_t mark = folded.find(kFoldMark);
  if (mark != std::string_view::npos && mark <= kFoldWidth) {
    desc = folded.substr(0, mark);
    rest = folded.substr(mark + 1);
  } else if (folded.size() > kFoldWidth) {
    desc = folded.substr(0, kFoldWidth);
    rest = folded.substr(kFoldWidth);
  }
  description->assign(desc);
  *note = Unfold(rest);
}

std::string RecordText(std::string_view description, std::string_view note) {
  std::string text(description);
  if (!note.empty()) {
    text += kCrLf;
    text += note;
  }
  return text;
}

bool AllOf(std::string_view field, bool (*test)(char)) {
  for (char c : field) {
    if (!test(c)) return false;
  }
  return true;
}
bool IsSpace(char c) {
  return c == ' ';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsUpperHex(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int Number(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

bool ParseClock(std::string_view field, int* minutes) {
  if (field.size() != 5 || !IsDigit(field[0]) || !IsDigit(field[1]) || field[2] != ':' ||
      !IsDigit(field[3]) || !IsDigit(field[4])) {
    return false;
  }
  const int hour = Number(field.substr(0, 2));
  const int minute = Number(field.substr(3, 2));
  if (hour > 23 || minute > 59) return false;
  *minutes = hour * 60 + minute;
  return true;
}

bool ValidDate(int year, int month, int day) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1900 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return !(month == 2 && day == 29 && !leap);
}

// Parses one record line starting at *pos; advances *pos past its CR LF.
bool ParseLine(std::string_view bytes, size_t* pos, CExchangeEntry* e, std::string* error) {
  if (bytes.size() - *pos < kFixedWidth) {
    *error = "the file ends inside the record";
    return false;
  }
  const std::string_view line = bytes.substr(*pos);
  const std::string_view id = line.substr(0, 8);
  if (AllOf(id, IsSpace)) {
    e->has_record_id = false;
  } else if (AllOf(id, IsUpperHex)) {
    e->has_record_id = true;
    e->record_id = static_cast<uint32_t>(std::stoul(std::string(id), nullptr, 16));
  } else {
    *error = "the record ID is not hexadecimal";
    return false;
  }
  const std::string_view entry = line.substr(8, 4);
  if (AllOf(entry, IsSpace)) {
    e->entry_number = -1;
  } else if (AllOf(entry, IsDigit)) {
    e->entry_number = Number(entry);
  } else {
    *error = "the host entry number is not a number";
    return false;
  }
  const std::string_view date = line.substr(12, 8);
  if (!AllOf(date, IsDigit)) {
    *error = "the date is not YYYYMMDD";
    return false;
  }
  e->year = Number(date.substr(0, 4));
  e->month = Number(date.substr(4, 2));
  e->day = Number(date.substr(6, 2));
  if (!ValidDate(e->year, e->month, e->day)) {
    *error = "the date " + std::string(date) + " does not exist";
    return false;
  }
  const std::string_view start = line.substr(20, 5);
  const std::string_view end = line.substr(25, 5);
  e->untimed = AllOf(start, IsSpace);
  if (!e->untimed) {
    if (!ParseClock(start, &e->start_minute)) {
      *error = "the start time is not HH:MM";
      return false;
    }
    // A blank end means an event that ends when it starts, as the conduit reads it.
    if (AllOf(end, IsSpace)) {
      e->end_minute = e->start_minute;
    } else if (!ParseClock(end, &e->end_minute)) {
      *error = "the end time is not HH:MM";
      return false;
    }
  }
  switch (line[30]) {
    case '0':
      e->status = EntryStatus::kUnchanged;
      break;
    case '1':
      e->status = EntryStatus::kAdded;
      break;
    case '2':
      e->status = EntryStatus::kDeleted;
      break;
    case '3':
      e->status = EntryStatus::kModified;
      break;
    default:
      *error = "the status is not 0, 1, 2 or 3";
      return false;
  }
  const std::string_view advance = line.substr(31, 2);
  if (!AllOf(advance, IsDigit) || line[33] < '0' || line[33] > '2') {
    *error = "the alarm is not two digits and a unit 0, 1 or 2";
    return false;
  }
  e->alarm_advance = Number(advance);
  e->alarm_unit = static_cast<AlarmUnit>(line[33] - '0');
  if (e->alarm_advance == 0) e->alarm_unit = AlarmUnit::kMinutes;
  if (line[34] != '0' && line[34] != '1') {
    *error = "the repeat flag is not 0 or 1";
    return false;
  }
  e->repeat = line[34] == '1';
  const std::string_view length = line.substr(35, 4);
  if (!AllOf(length, IsDigit)) {
    *error = "the text length is not a number";
    return false;
  }
  const size_t n = static_cast<size_t>(Number(length));
  if (line.size() < kFixedWidth + n + 2) {
    *error = "the file ends inside the record";
    return false;
  }
  const std::string_view text = line.substr(kFixedWidth, n);
  if (line.substr(kFixedWidth + n, 2) != kCrLf) {
    *error = "the record does not end in CR LF after its text";
    return false;
  }
  if (text.find('\r') != std::string_view::npos || text.find('\n') != std::string_view::npos) {
    *error = "the text holds a line break";
    return false;
  }
  Split(text, &e->description, &e->note);
  *pos += kFixedWidth + n + 2;
  return true;
}

}  // namespace

void NormaliseText(std::string_view description, std::string_view note, std::string* read_desc,
                   std::string* read_note) {
  Split(Fold(RecordText(description, note)), read_desc, read_note);
}

void ReadBackText(CExchangeEntry* entry) {
  std::string description, note;
  NormaliseText(entry->description, entry->note, &description, &note);
  entry->description = description;
  entry->note = note;
}

bool FormatExchangeFile(const std::vector<CExchangeEntry>& entries, std::string* bytes,
                        std::string* error) {
  if (entries.size() > static_cast<size_t>(kMaxRecords)) {
    *error = std::to_string(entries.size()) +
             " entries lie in the window; an exchange file holds " + "at most " +
             std::to_string(kMaxRecords);
    return false;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d", static_cast<int>(entries.size()));
  bytes->assign(buffer);
  for (const CExchangeEntry& e : entries) {
    if (e.entry_number > kMaxEntryNumber || e.alarm_advance < 0 ||
        e.alarm_advance > kMaxAlarmAdvance) {
      *error = "an entry number or alarm advance does not fit the exchange file";
      return false;
    }
    if (e.has_record_id) {
      std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(e.record_id));
      *bytes += buffer;
    } else {
      *bytes += "        ";
    }
    if (e.entry_number >= 0) {
      std::snprintf(buffer, sizeof buffer, "%04d", e.entry_number);
      *bytes += buffer;
    } else {
      *bytes += "    ";
    }
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", e.year, e.month, e.day);
    *bytes += buffer;
    if (e.untimed) {
      *bytes += "          ";
    } else {
      std::snprintf(buffer, sizeof buffer, "%02d:%02d%02d:%02d", e.start_minute / 60,
                    e.start_minute % 60, e.end_minute / 60, e.end_minute % 60);
      *bytes += buffer;
    }
    static const char kStatus[] = {'0', '1', '2', '3'};
    *bytes += kStatus[static_cast<int>(e.status)];
    std::snprintf(
        buffer, sizeof buffer, "%02d%c%c", e.alarm_advance,
        e.alarm_advance == 0 ? '0' : static_cast<char>('0' + static_cast<int>(e.alarm_unit)),
        e.repeat ? '1' : '0');
    *bytes += buffer;
    const std::string folded = Fold(RecordText(e.description, e.note));
    std::snprintf(buffer, sizeof buffer, "%04d", static_cast<int>(folded.size()));
    *bytes += buffer;
    *bytes += folded;
    *bytes += kCrLf;
  }
  return true;
}

bool ParseExchangeFile(std::string_view bytes, std::vector<CExchangeEntry>* entries,
                       std::string* error) {
  entries->clear();
  if (bytes.size() < kCountWidth || !AllOf(bytes.substr(0, kCountWidth), IsDigit)) {
    *error = "it does not begin with a four-digit record count";
    return false;
  }
  const int count = Number(bytes.substr(0, kCountWidth));
  size_t pos = kCountWidth;
  for (int i = 0; i < count; ++i) {
    CExchangeEntry entry;
    std::string what;
    if (!ParseLine(bytes, &pos, &entry, &what)) {
      *error = "record " + std::to_string(i + 1) + " of " + std::to_string(count) + ": " + what;
      return false;
    }
    entries->push_back(std::move(entry));
  }
  if (pos != bytes.size()) {
    *error = std::to_string(bytes.size() - pos) + " bytes follow the last of its " +
             std::to_string(count) + " records";
    return false;
  }
  return true;
}

}  // namespace ical_driver
