#include "conduit/format/exchange_record.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "conduit/format/alarm_fit.h"
#include "conduit/format/exchange_text.h"
#include "conduit/format/profs_record.h"
#include "tablelib/local_time.h"
#include "tablelib/repeat.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"
#include "tablelib/table_stream.h"

namespace {

// Status bytes of a record line.
constexpr uint8_t kLineUnchanged = '0';
constexpr uint8_t kLineAdded = '1';
constexpr uint8_t kLineDeleted = '2';
constexpr uint8_t kLineModified = '3';
constexpr uint8_t kLineRepeating = '1';
constexpr uint8_t kLineNotRepeating = '0';

constexpr char kNoAlarm[] = "00";
constexpr char kCrLf[] = "\r\n";
constexpr std::string_view kPrivatePrefix = "PERS: ";
constexpr std::string_view kPersonalMark = "PERS:";
constexpr std::string_view kConfidentialMark = "CONF:";
constexpr size_t kMarkLength = 5;
constexpr char kFoldMark = ';';

// The daily repetition that a repeat flag "1" stands for.
constexpr int32_t kExtractDayIndex = 1;
constexpr int32_t kExtractInterval = 1;
constexpr int32_t kExtractNoEnd = -1;
constexpr int32_t kExtractFirstDayOfWeek = 0;

// Reads exactly `width` bytes into field (width + 1 bytes, terminated); a short read leaves the
// rest as spaces and sets the stream's end-of-file error.
bool ReadField(CTableStream& stream, char* field, size_t width) {
  std::memset(field, ' ', width);
  field[width] = '\0';
  if (stream.Error() != 0) return false;
  if (stream.Read(field, width) != width) {
    stream.SetError(kTblErrEndOfFile);
    return false;
  }
  return true;
}

bool IsBlank(const char* field) {
  for (; *field != '\0'; ++field) {
    if (*field != ' ') return false;
  }
  return true;
}

bool HasMark(std::string_view text) {
  const std::string_view head = text.substr(0, kMarkLength);
  return head == kPersonalMark || head == kConfidentialMark;
}

void WriteNumber(CTableStream& stream, const char* format, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, format, static_cast<int>(value));
  stream.WriteText(text);
}

void ApplyTimes(const CExchangeLine& line, CProfsRecord& record) {
  int year = 1970;
  int month = 1;
  int day = 1;
  std::sscanf(line.date, "%4d%2d%2d", &year, &month, &day);
  // A date that a time value cannot hold is clamped to the nearest end of the range.
  if (std::strcmp(line.start, "     ") == 0) {
    int32_t start = 0;
    tablelib::MakeLocalTime(year, month, day, 0, 0, 0, &start);
    record.SetStartTime(start);
    // An untimed event ends on its start day at 00:00, as one converted from the handheld does,
    // so that the two compare equal.
    record.SetEndTime(start);
    record.SetUnTimedFlag(1);
    return;
  }
  record.SetUnTimedFlag(0);
  int hour = 0;
  int minute = 0;
  std::sscanf(line.start, "%2d:%2d", &hour, &minute);
  int32_t time = 0;
  tablelib::MakeLocalTime(year, month, day, hour, minute, 0, &time);
  record.SetStartTime(time);
  // A blank or unparsable end keeps the start's hour and minute: the event ends when it starts.
  std::sscanf(line.end, "%2d:%2d", &hour, &minute);
  tablelib::MakeLocalTime(year, month, day, hour, minute, 0, &time);
  record.SetEndTime(time);
}

void ApplyAlarm(const CExchangeLine& line, CProfsRecord& record) {
  int advance = -1;
  if (std::strcmp(line.alarm_advance, kNoAlarm) == 0 ||
      std::sscanf(line.alarm_advance, "%2d", &advance) != 1 || advance < 0) {
    record.SetAlarmFlag(0);
    record.SetAlarmAdvTime(-1);
    record.SetAlarmAdvUnit(kAlarmUnitMinutes);
    return;
  }
  record.SetAlarmFlag(1);
  record.SetAlarmAdvTime(advance);
  if (line.alarm_unit >= '0' && line.alarm_unit <= '2')
    record.SetAlarmAdvUnit(line.alarm_unit - '0');
}

void ApplyText(const CExchangeLine& line, CProfsRecord& record) {
  if (line.text_length <= 0) return;
  const std::string_view text = line.text;
  if (HasMark(text)) record.SetPrivate(1);
  std::string_view description = text;
  std::string_view note;
  const size_t mark = text.find(kFoldMark);
  if (mark != std::string_view::npos && mark <= kFoldWidth) {
    description = text.substr(0, mark);
    note = text.substr(mark + 1);
  } else if (text.size() > kFoldWidth) {
    description = text.substr(0, kFoldWidth);
    note = text.substr(kFoldWidth);
  }
  record.SetDescription(description);
  if (!note.empty()) {
    std::string unfolded;
    UnfoldText(note, &unfolded);
    record.SetNote(unfolded);
  }
}

uint8_t StatusByte(const CProfsRecord& record) {
  if (record.IsDeleted()) return kLineDeleted;
  if (record.IsAdded()) return kLineAdded;
  if (record.IsModified()) return kLineModified;
  return kLineUnchanged;
}

void WriteTime(CTableStream& stream, int32_t time) {
  tablelib::CLocalTime local;
  tablelib::BreakDownLocalTime(time, &local);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(local.hour),
                static_cast<int>(local.minute));
  stream.WriteText(text);
}

void WriteAlarm(const CProfsRecord& record, CTableStream& stream) {
  if (!record.IsAlarmSet()) {
    stream.WriteText(kNoAlarm);
    stream.WriteByte('0');
    return;
  }
  int32_t advance = 0;
  int32_t unit = kAlarmUnitMinutes;
  record.GetAlarmAdvTime(advance);
  record.GetAlarmAdvUnit(unit);
  FitAlarmAdvance(kMaxExchangeAlarmAdvance, &advance, &unit);
  WriteNumber(stream, "%02d", advance);
  stream.WriteByte(unit == kAlarmUnitHours ? '1' : unit == kAlarmUnitDays ? '2' : '0');
}

void WriteText(const CProfsRecord& record, CTableStream& stream) {
  std::string description;
  std::string note;
  record.GetDescription(description);
  record.GetNote(note);
  std::string text;
  if (record.IsPrivate() && !HasMark(description)) text.assign(kPrivatePrefix);
  text += description;
  if (!note.empty()) {
    text += kCrLf;
    text += note;
  }
  std::string folded;
  FoldText(text, kMaxExchangeCount, &folded);
  WriteNumber(stream, "%04d", static_cast<int32_t>(folded.size()));
  stream.WriteText(folded);
  stream.WriteText(kCrLf);
}

}  // namespace

bool ReadExchangeLine(CTableStream& stream, CExchangeLine* line) {
  if (!ReadField(stream, line->id, kLineIdWidth) ||
      !ReadField(stream, line->entry, kLineEntryWidth) ||
      !ReadField(stream, line->date, kLineDateWidth) ||
      !ReadField(stream, line->start, kLineTimeWidth) ||
      !ReadField(stream, line->end, kLineTimeWidth) || !stream.ReadByte(&line->status) ||
      !ReadField(stream, line->alarm_advance, kLineAlarmWidth) ||
      !stream.ReadByte(&line->alarm_unit) || !stream.ReadByte(&line->repeat)) {
    return false;
  }
  char length[kLineLengthWidth + 1];
  if (!ReadField(stream, length, kLineLengthWidth)) return false;
  int value = 0;
  line->text_length = std::sscanf(length, "%4d", &value) == 1 ? value : 0;
  line->text.clear();
  if (line->text_length > 0) {
    line->text.assign(static_cast<size_t>(line->text_length), ' ');
    if (stream.Read(&line->text[0], line->text.size()) != line->text.size()) {
      stream.SetError(kTblErrEndOfFile);
      return false;
    }
  }
  // The line end is not examined; the last line of a file may lack it.
  char line_end[2];
  stream.Read(line_end, sizeof line_end);
  return true;
}

void ApplyExchangeLine(const CExchangeLine& line, CProfsRecord& record) {
  unsigned int id = 0;
  if (!IsBlank(line.id) && std::sscanf(line.id, "%8X", &id) == 1) record.SetRecordId(id);
  int entry = 0;
  if (!IsBlank(line.entry) && std::sscanf(line.entry, "%4d", &entry) == 1) {
    record.SetHostEntryNumber(entry);
  }
  ApplyTimes(line, record);
  switch (line.status) {
    case kLineAdded:
      record.SetStatus(kStatusAdded);
      break;
    case kLineDeleted:
      record.SetStatus(kStatusDeleted);
      break;
    case kLineModified:
      record.SetStatus(kStatusModified);
      break;
    default:
      record.SetStatus(kStatusUnchanged);
      break;
  }
  ApplyAlarm(line, record);
  if (line.repeat == kLineRepeating) {
    record.SetRepDaily(
        CDayName(kExtractDayIndex, kExtractInterval, kExtractNoEnd, kExtractFirstDayOfWeek));
  }
  ApplyText(line, record);
}

void WriteExchangeLine(CProfsRecord& record, CTableStream& stream) {
  uint32_t id = 0;
  record.GetRecordId(id);
  char id_text[16];
  std::snprintf(id_text, sizeof id_text, "%08X", static_cast<unsigned int>(id));
  stream.WriteText(id_text);

  int32_t entry = -1;
  if (record.GetHostEntryNumber(entry) == kTblOk && entry >= 0 && entry <= kMaxHostEntryNumber) {
    WriteNumber(stream, "%04d", entry);
  } else {
    stream.WriteText("    ");
  }

  int32_t start = 0;
  int32_t end = 0;
  record.GetStartTime(start);
  record.GetEndTime(end);
  tablelib::CLocalTime day;
  tablelib::BreakDownLocalTime(start, &day);
  char date[32];
  std::snprintf(date, sizeof date, "%04d%02d%02d", static_cast<int>(day.year),
                static_cast<int>(day.month), static_cast<int>(day.day));
  stream.WriteText(date);
  if (record.IsUnTimed()) {
    stream.WriteText("          ");
  } else {
    WriteTime(stream, start);
    WriteTime(stream, end);
  }

  stream.WriteByte(StatusByte(record));
  WriteAlarm(record, stream);
  stream.WriteByte(record.IsRepeatingEvt() ? kLineRepeating : kLineNotRepeating);
  WriteText(record, stream);
}

void CProfsRecord::SerializeText(CTableStream& stream) {
  if (stream.IsLoading()) {
    CExchangeLine line;
    if (ReadExchangeLine(stream, &line)) ApplyExchangeLine(line, *this);
  } else {
    WriteExchangeLine(*this, stream);
  }
}
