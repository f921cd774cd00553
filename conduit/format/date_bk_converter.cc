#include "conduit/format/date_bk_converter.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "conduit/format/alarm_fit.h"
#include "conduit/format/date_word.h"
#include "conduit/format/line_breaks.h"
#include "conduit/result_codes.h"
#include "sdk/date_book_record.h"
#include "tablelib/local_time.h"
#include "tablelib/record.h"
#include "tablelib/repeat.h"
#include "tablelib/table.h"

namespace {

constexpr int32_t kMaxRawByte = 0xFF;
constexpr size_t kMaxRawExceptions = 0xFFFF;
// The date word of 1 January 1904, the earliest a date word carries.
constexpr uint16_t kEarliestDateWord = (1 << 5) | 1;

uint8_t ClampToByte(int32_t value) {
  return static_cast<uint8_t>(std::clamp(value, 0, kMaxRawByte));
}

// A desktop text as the handheld keeps it: up to its first zero byte, CR LF turned into LF.
std::string HandheldText(std::string_view text) {
  std::string out(text.size() + 1, '\0');
  const size_t written = StripReturns(reinterpret_cast<uint8_t*>(out.data()), out.size(), text);
  out.resize(written > 0 ? written - 1 : 0);
  return out;
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

void PutRepeat(const CRepeateDayInfo& rule, CRawDateBkRecord* raw) {
  uint8_t repeat_on = 0;
  if (const auto* by_day = dynamic_cast<const CDayOfMonth*>(&rule)) {
    repeat_on = ClampToByte(by_day->CalcDayMultiple());
  } else if (const auto* weekly = dynamic_cast<const CWeekly*>(&rule)) {
    repeat_on = weekly->GetWeekDays();
  }
  raw->flags |= kRawFlagRepeat;
  raw->repeat_kind = static_cast<int8_t>(rule.GetMyBrand());
  raw->repeat_end = RepeatEndWord(rule.GetEndDate());
  raw->interval = ClampToByte(rule.GetInterval());
  raw->repeat_on = repeat_on;
  raw->first_day_of_week = static_cast<uint8_t>(rule.GetFirstDayOfWeek());
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

// Whether the desktop can keep what the record's alarm and repeat parts hold. A value the table
// library would refuse would otherwise be dropped without a word: the alarm unit would keep the
// record's earlier value and a repeating event would become a single one.
bool CarriesAllValues(const CRawDateBkRecord& raw) {
  if ((raw.flags & kRawFlagAlarm) && raw.alarm_unit > kRawAlarmDays) return false;
  if (!(raw.flags & kRawFlagRepeat)) return true;
  // Other kinds carry no repetition; their part is not read.
  if (raw.repeat_kind < kRawRepeatDaily || raw.repeat_kind > kRawRepeatYearly) return true;
  if (raw.interval == 0 || raw.first_day_of_week > kRawLastWeekDay) return false;
  return raw.repeat_kind != kRawRepeatWeekly || (raw.repeat_on & ~kRawWeekDayBits) == 0;
}

// Sets the repeat rule of a raw record on the record. start is the event's start time. Answers
// the table library's code.
int32_t ApplyRepeat(const CRawDateBkRecord& raw, int32_t start, int32_t end_date,
                    CDateBkRecord& record) {
  tablelib::CLocalTime local;
  tablelib::BreakDownLocalTime(start, &local);
  const int32_t interval = raw.interval;
  const int32_t first_day = raw.first_day_of_week;
  switch (raw.repeat_kind) {
    case kRepeatDaily:
      return record.SetRepDaily(CDayName(local.week_day, interval, end_date, 0));
    case kRepeatWeekly:
      // No day bits at all is kept as it is: such a rule repeats on the start's weekday.
      return record.SetRepWeekly(CWeekly(raw.repeat_on, interval, end_date, first_day));
    case kRepeatMonthlyByDay: {
      // Repeat-on bytes of 35 and above have no week of their own: they mean the last week.
      const int32_t week = std::min<int32_t>(raw.repeat_on / kRawDaysPerWeek, kRawLastWeek);
      return record.SetRepMonthlyByDay(
          CDayOfMonth(week, local.week_day, interval, end_date, first_day));
    }
    case kRepeatMonthlyByDate:
      return record.SetRepMonthlyByDate(CDateOfMonth(local.day, interval, end_date, first_day));
    case kRepeatYearlyByDate:
      return record.SetRepYearlyByDate(
          CDateOfYear(local.month - 1, local.day, interval, end_date, first_day));
    default:
      return kOk;
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
  CRawDateBkRecord raw;
  uint16_t end_date = 0;
  if (!PackDate(start, &raw.date, &raw.start_hour, &raw.start_minute)) return kErrConvertToRemote;
  PackDate(end, &end_date, &raw.end_hour, &raw.end_minute);
  if (record->IsUnTimed()) {
    raw.start_hour = raw.start_minute = raw.end_hour = raw.end_minute = kRawUntimed;
  }

  if (record->IsAlarmSet()) {
    int32_t advance = 0;
    int32_t unit = kAlarmUnitMinutes;
    record->GetAlarmAdvTime(advance);
    record->GetAlarmAdvUnit(unit);
    FitAlarmAdvance(kMaxRawByte, &advance, &unit);
    raw.flags |= kRawFlagAlarm;
    raw.alarm_advance = static_cast<uint8_t>(advance);
    raw.alarm_unit = static_cast<uint8_t>(unit & 0xFF);
  }
  const CRepeateDayInfo* rule = record->GetRepeateInfo();
  if (record->IsRepeatingEvt() && rule != nullptr) PutRepeat(*rule, &raw);
  if ((record->GetNumExceptions() & 0xFFFF) != 0) {
    raw.exceptions = ExceptionWords(*record);
    if (!raw.exceptions.empty()) raw.flags |= kRawFlagExceptions;
  }
  std::string text;
  int32_t result = record->GetDescription(text);
  raw.flags |= kRawFlagDescription;
  raw.description = HandheldText(text);
  if (record->IsNote()) {
    result = record->GetNote(text);
    // A note of nothing but CRs would reach the handheld as an empty note part.
    raw.note = HandheldText(text);
    if (!raw.note.empty()) raw.flags |= kRawFlagNote;
  }
  const std::vector<uint8_t> bytes = EncodeRawDateBkRecord(raw);

  // A record cut to fit would lose its text on the handheld and, after an edit there, on the
  // desktop as well; it is refused instead and the caller reports it.
  if (bytes.size() > request->buffer_size) return kErrConvertToRemote;
  std::memcpy(request->buffer, bytes.data(), bytes.size());
  request->data_size = static_cast<uint32_t>(bytes.size());
  return result;
}

int32_t CDateBkConverter::ConvertFromRemote(CBaseRecord& base, RecordRequest* request) {
  CDateBkRecord* record = dynamic_cast<CDateBkRecord*>(&base);
  if (request == nullptr || record == nullptr) return kErrConvertFromRemote;
  const uint8_t attributes = request->attributes;
  const bool deleted = (attributes & kRecAttrDeleted) != 0;
  // An archived record keeps its data for the desktop's archive file, also when the handheld
  // marks it deleted as well; only a record deleted outright carries nothing but its ID.
  const bool has_data = !deleted || (attributes & kRecAttrArchived) != 0;

  // Everything is read and checked before the record is touched, so that a malformed record, or
  // one holding a value the desktop cannot keep, leaves it as it was.
  CRawDateBkRecord raw;
  std::string description;
  std::string note;
  if (has_data) {
    if (request->data_size > request->buffer_size ||
        !ParseRawDateBkRecord(request->buffer, request->data_size, &raw) ||
        !CarriesAllValues(raw)) {
      return kErrConvertFromRemote;
    }
    size_t length = 0;
    if (raw.flags & kRawFlagDescription) {
      const int32_t expanded =
          ExpandLineFeeds(text_buffer(), kConverterTextBufferSize,
                          reinterpret_cast<const uint8_t*>(raw.description.data()),
                          raw.description.size(), &length);
      if (expanded != kOk) return expanded;
      description.assign(text_buffer(), length);
    }
    if (raw.flags & kRawFlagNote) {
      const int32_t expanded = ExpandLineFeeds(text_buffer(), kConverterTextBufferSize,
                                               reinterpret_cast<const uint8_t*>(raw.note.data()),
                                               raw.note.size(), &length);
      if (expanded != kOk) return expanded;
      note.assign(text_buffer(), length);
    }
  }

  record->SetRecordId(request->record_id);
  record->SetCategoryId(request->category);
  record->SetArchiveBit((attributes & kRecAttrArchived) != 0);
  record->SetPrivate((attributes & kRecAttrPrivate) != 0 ? 1 : 0);
  int32_t result = record->SetStatus(kStatusUnchanged);
  if (!has_data) {
    return record->SetStatus(kStatusDeleted);
  }
  if (deleted) {
    result = record->SetStatus(kStatusDeleted);
  } else if (attributes & kRecAttrDirty) {
    result = record->SetStatus(kStatusModified);
  }

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
    record->SetAlarmAdvUnit(raw.alarm_unit);
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
    // The values were checked above; a refusal here would turn the event into a single one.
    if (ApplyRepeat(raw, start, end_date, *record) != kOk) return kErrConvertFromRemote;
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
