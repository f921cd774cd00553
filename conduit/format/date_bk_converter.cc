#include "conduit/format/date_bk_converter.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "conduit/format/alarm_fit.h"
#include "conduit/format/date_word.h"
#include "conduit/format/line_breaks.h"
#include "conduit/format/raw_date_book_record.h"
#include "conduit/result_codes.h"
#include "tablelib/local_time.h"
#include "tablelib/record.h"
#include "tablelib/repeat.h"
#include "tablelib/table.h"

namespace {

constexpr int32_t kMaxRawByte = 0xFF;
constexpr int32_t kDaysPerWeek = 7;
constexpr int32_t kLastWeekIndex = 4;
constexpr uint8_t kAllWeekDays = 0x7F;
constexpr size_t kMaxRawExceptions = 0xFFFF;
// The date word of 1 January 1904, the earliest a date word carries.
constexpr uint16_t kEarliestDateWord = (1 << 5) | 1;

void AppendWord(std::vector<uint8_t>* out, uint16_t value) {
  out->push_back(static_cast<uint8_t>(value >> 8));
  out->push_back(static_cast<uint8_t>(value & 0xFF));
}

uint8_t ClampToByte(int32_t value) {
  return static_cast<uint8_t>(std::clamp(value, 0, kMaxRawByte));
}

// Appends text with CR LF turned into LF and a terminating zero.
void AppendText(std::vector<uint8_t>* out, std::string_view text) {
  const size_t at = out->size();
  out->resize(at + text.size() + 1);
  out->resize(at + StripReturns(out->data() + at, text.size() + 1, text));
}

// The end date word of a repeat rule: 0xFFFF for a rule without end (-1, or an end on or after the
// day of maxDate, past which a date word cannot go).
uint16_t RepeatEndWord(int32_t end_date) {
  if (end_date == -1 || end_date >= maxDate() - (tablelib::kSecondsPerDay - 1))
    return kRawNoEndDate;
  uint16_t word = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  return PackDate(end_date, &word, &hour, &minute) ? word : kEarliestDateWord;
}

void AppendRepeat(const CRepeateDayInfo& rule, std::vector<uint8_t>* out) {
  const int32_t kind = rule.GetMyBrand();
  uint8_t repeat_on = 0;
  if (const auto* by_day = dynamic_cast<const CDayOfMonth*>(&rule)) {
    repeat_on = ClampToByte(by_day->CalcDayMultiple());
  } else if (const auto* weekly = dynamic_cast<const CWeekly*>(&rule)) {
    repeat_on = weekly->GetWeekDays();
  }
  out->push_back(static_cast<uint8_t>(kind));
  out->push_back(0);
  AppendWord(out, RepeatEndWord(rule.GetEndDate()));
  out->push_back(ClampToByte(rule.GetInterval()));
  out->push_back(repeat_on);
  out->push_back(static_cast<uint8_t>(rule.GetFirstDayOfWeek()));
  out->push_back(0);
}

// The exception days as date words; days a date word cannot carry are left out (no occurrence can
// fall on them on the handheld).
std::vector<uint16_t> ExceptionWords(CDateBkRecord& record) {
  std::vector<uint16_t> words;
  CDateException exception;
  for (int32_t found = record.FindFirstException(exception);
       found == 0 && words.size() < kMaxRawExceptions;
       found = record.FindNextException(exception)) {
    uint16_t word = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    if (PackDate(exception.GetDate(), &word, &hour, &minute)) words.push_back(word);
  }
  return words;
}

// Sets the repeat rule of a raw record on the record. start is the event's start time.
void ApplyRepeat(const CRawDateBkRecord& raw, int32_t start, int32_t end_date,
                 CDateBkRecord& record) {
  tablelib::CLocalTime local;
  tablelib::BreakDownLocalTime(start, &local);
  // An interval of 0 would never reach a next occurrence.
  const int32_t interval = std::max<int32_t>(raw.interval, 1);
  const int32_t first_day = raw.first_day_of_week;
  switch (raw.repeat_kind) {
    case kRepeatDaily:
      record.SetRepDaily(CDayName(local.week_day, interval, end_date, 0));
      break;
    case kRepeatWeekly: {
      // A weekly rule without days would never occur; it repeats on the start's day instead.
      uint8_t days = raw.repeat_on & kAllWeekDays;
      if (days == 0) days = static_cast<uint8_t>(1 << local.week_day);
      record.SetRepWeekly(CWeekly(days, interval, end_date, first_day));
      break;
    }
    case kRepeatMonthlyByDay: {
      // Repeat-on bytes of 35 and above have no week of their own: they mean the last week.
      const int32_t week = std::min<int32_t>(raw.repeat_on / kDaysPerWeek, kLastWeekIndex);
      record.SetRepMonthlyByDay(CDayOfMonth(week, local.week_day, interval, end_date, first_day));
      break;
    }
    case kRepeatMonthlyByDate:
      record.SetRepMonthlyByDate(CDateOfMonth(local.day, interval, end_date, first_day));
      break;
    case kRepeatYearlyByDate:
      record.SetRepYearlyByDate(
          CDateOfYear(local.month - 1, local.day, interval, end_date, first_day));
      break;
    default:
      break;
  }
}

}  // namespace

int32_t CDateBkConverter::ConvertToRemote(CBaseRecord& base, RecordRequest* request) {
  CDateBkRecord* record = dynamic_cast<CDateBkRecord*>(&base);
  if (request == nullptr || request->buffer == nullptr || record == nullptr) {
    return kErrConvertToRemote;
  }
  request->data_size = 0;
  uint32_t id = 0;
  int32_t category = 0;
  record->GetRecordId(id);
  record->GetCategoryId(category);
  request->record_id = id;
  request->category = static_cast<int16_t>(static_cast<uint16_t>(category & 0xFFFF));
  uint8_t attributes = 0;
  if (record->IsPrivate()) attributes |= kRecAttrPrivate;
  if (record->IsArchived()) attributes |= kRecAttrArchived;
  if (record->IsDeleted()) attributes |= kRecAttrDeleted;
  if (record->IsModified() || record->IsAdded()) attributes |= kRecAttrDirty;
  request->attributes = attributes;

  int32_t start = 0;
  int32_t end = 0;
  record->GetStartTime(start);
  record->GetEndTime(end);
  uint16_t date = 0;
  uint8_t start_hour = 0;
  uint8_t start_minute = 0;
  uint8_t end_hour = 0;
  uint8_t end_minute = 0;
  uint16_t end_date = 0;
  if (!PackDate(start, &date, &start_hour, &start_minute)) return kErrConvertToRemote;
  PackDate(end, &end_date, &end_hour, &end_minute);
  const bool untimed = record->IsUnTimed();

  std::vector<uint8_t> raw(kRawFixedSize, 0);
  raw[0] = untimed ? kRawUntimed : start_hour;
  raw[1] = untimed ? kRawUntimed : start_minute;
  raw[2] = untimed ? kRawUntimed : end_hour;
  raw[3] = untimed ? kRawUntimed : end_minute;
  raw[4] = static_cast<uint8_t>(date >> 8);
  raw[5] = static_cast<uint8_t>(date & 0xFF);
  uint8_t flags = 0;

  if (record->IsAlarmSet()) {
    int32_t advance = 0;
    int32_t unit = kAlarmUnitMinutes;
    record->GetAlarmAdvTime(advance);
    record->GetAlarmAdvUnit(unit);
    FitAlarmAdvance(kMaxRawByte, &advance, &unit);
    flags |= kRawFlagAlarm;
    raw.push_back(static_cast<uint8_t>(advance));
    raw.push_back(static_cast<uint8_t>(unit & 0xFF));
  }
  const CRepeateDayInfo* rule = record->GetRepeateInfo();
  if (record->IsRepeatingEvt() && rule != nullptr) {
    flags |= kRawFlagRepeat;
    AppendRepeat(*rule, &raw);
  }
  if ((record->GetNumExceptions() & 0xFFFF) != 0) {
    const std::vector<uint16_t> words = ExceptionWords(*record);
    if (!words.empty()) {
      flags |= kRawFlagExceptions;
      AppendWord(&raw, static_cast<uint16_t>(words.size()));
      for (uint16_t word : words) AppendWord(&raw, word);
    }
  }
  std::string text;
  int32_t result = record->GetDescription(text);
  flags |= kRawFlagDescription;
  AppendText(&raw, text);
  if (record->IsNote()) {
    result = record->GetNote(text);
    // A note of nothing but CRs would reach the handheld as an empty note part.
    if (text.find_first_not_of('\r') != std::string::npos) {
      flags |= kRawFlagNote;
      AppendText(&raw, text);
    }
  }
  raw[kRawFlagsOffset] = flags;

  // A record cut to fit would lose its text on the handheld and, after an edit there, on the
  // desktop as well; it is refused instead and the caller reports it.
  if (raw.size() > request->buffer_size) return kErrConvertToRemote;
  std::memcpy(request->buffer, raw.data(), raw.size());
  request->data_size = static_cast<uint32_t>(raw.size());
  return result;
}

int32_t CDateBkConverter::ConvertFromRemote(CBaseRecord& base, RecordRequest* request) {
  CDateBkRecord* record = dynamic_cast<CDateBkRecord*>(&base);
  if (request == nullptr || record == nullptr) return kErrConvertFromRemote;
  const uint8_t attributes = request->attributes;
  const bool deleted = (attributes & kRecAttrDeleted) != 0;

  // Everything is read and checked before the record is touched, so that a malformed record
  // leaves it as it was.
  CRawDateBkRecord raw;
  std::string description;
  std::string note;
  if (!deleted) {
    if (request->data_size > request->buffer_size ||
        !ParseRawDateBkRecord(request->buffer, request->data_size, &raw)) {
      return kErrConvertFromRemote;
    }
    size_t length = 0;
    if (raw.flags & kRawFlagDescription) {
      const int32_t expanded = ExpandLineFeeds(text_buffer(), kConverterTextBufferSize,
                                               raw.description, raw.description_length, &length);
      if (expanded != kOk) return expanded;
      description.assign(text_buffer(), length);
    }
    if (raw.flags & kRawFlagNote) {
      const int32_t expanded = ExpandLineFeeds(text_buffer(), kConverterTextBufferSize, raw.note,
                                               raw.note_length, &length);
      if (expanded != kOk) return expanded;
      note.assign(text_buffer(), length);
    }
  }

  record->SetRecordId(request->record_id);
  record->SetCategoryId(request->category);
  record->SetArchiveBit((attributes & kRecAttrArchived) != 0);
  record->SetPrivate((attributes & kRecAttrPrivate) != 0 ? 1 : 0);
  int32_t result = record->SetStatus(kStatusUnchanged);
  if (deleted) {
    return record->SetStatus(kStatusDeleted);
  }
  if (attributes & kRecAttrDirty) result = record->SetStatus(kStatusModified);

  const bool untimed = raw.IsUntimed();
  int32_t start = 0;
  int32_t end = 0;
  int32_t date_result =
      UnpackDate(raw.date, untimed ? 0 : raw.start_hour, untimed ? 0 : raw.start_minute, &start);
  UnpackDate(raw.date, untimed ? 0 : raw.end_hour, untimed ? 0 : raw.end_minute, &end);
  record->SetStartTime(start);
  record->SetEndTime(end);
  record->SetUnTimedFlag(untimed ? 1 : 0);

  if (raw.flags & kRawFlagAlarm) {
    record->SetAlarmFlag(1);
    record->SetAlarmAdvTime(raw.alarm_advance);
    record->SetAlarmAdvUnit(static_cast<int8_t>(raw.alarm_unit));
  } else {
    record->SetAlarmFlag(0);
    record->SetAlarmAdvTime(-1);
    record->SetAlarmAdvUnit(kAlarmUnitMinutes);
  }

  record->StopRepeatingEvt();
  if (raw.flags & kRawFlagRepeat) {
    int32_t end_date = maxDate();
    if (raw.repeat_end != kRawNoEndDate) {
      const int32_t moved = UnpackDate(raw.repeat_end, 0, 0, &end_date);
      if (date_result == kOk) date_result = moved;
    }
    ApplyRepeat(raw, start, end_date, *record);
  }
  for (uint16_t word : raw.exceptions) {
    int32_t day = 0;
    const int32_t moved = UnpackDate(word, 0, 0, &day);
    if (date_result == kOk) date_result = moved;
    record->AddException(day);
  }

  record->SetDescription(description);
  result = record->SetNote(note);
  if (result == kOk && date_result == kErrMovedTo1970) result = kErrMovedTo1970;
  return result;
}
