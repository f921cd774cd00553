#include <algorithm>
#include <new>

#include "tablelib/local_time.h"
#include "tablelib/record.h"
#include "tablelib/repeat_codec.h"
#include "tablelib/table_errors.h"

namespace {

using S = CDateBkSchema;

template <class F>
F* FieldOf(const CBaseRecord& record, int32_t index, uint16_t type) {
  CBaseField* field = record.GetField(index);
  if (field == nullptr || field->GetType() != type) return nullptr;
  return static_cast<F*>(field);
}

CIntegerField* IntField(const CBaseRecord& r, int32_t i) {
  return FieldOf<CIntegerField>(r, i, kFieldInteger);
}
CBooleanField* BoolField(const CBaseRecord& r, int32_t i) {
  return FieldOf<CBooleanField>(r, i, kFieldBoolean);
}
CStringField* TextField(const CBaseRecord& r, int32_t i) {
  return FieldOf<CStringField>(r, i, kFieldString);
}

int32_t GetInt(const CBaseRecord& record, int32_t index, int32_t& value) {
  const CIntegerField* field = IntField(record, index);
  if (field == nullptr) return kTblErrBadRecord;
  return field->GetValue(value);
}

int32_t SetInt(const CBaseRecord& record, int32_t index, int32_t value) {
  CIntegerField* field = IntField(record, index);
  if (field == nullptr) return kTblErrBadRecord;
  return field->SetValue(value);
}

bool GetBool(const CBaseRecord& record, int32_t index) {
  const CBooleanField* field = BoolField(record, index);
  return field != nullptr && field->GetValue();
}

int32_t SetBool(const CBaseRecord& record, int32_t index, int32_t value) {
  CBooleanField* field = BoolField(record, index);
  if (field == nullptr) return kTblErrBadRecord;
  field->SetValue(value != 0);
  return kTblOk;
}

int32_t GetText(const CBaseRecord& record, int32_t index, std::string& text) {
  const CStringField* field = TextField(record, index);
  if (field == nullptr) return kTblErrBadRecord;
  try {
    text = field->GetText();
  } catch (const std::bad_alloc&) {
    return kTblErrNoMemory;
  }
  return kTblOk;
}

int32_t SetText(const CBaseRecord& record, int32_t index, std::string_view text) {
  CStringField* field = TextField(record, index);
  if (field == nullptr) return kTblErrBadRecord;
  // Texts are NUL-terminated on every side of a synchronisation; a NUL inside would cut them.
  if (text.find('\0') != std::string_view::npos) return kTblErrBadArgument;
  try {
    field->SetText(text);
  } catch (const std::bad_alloc&) {
    return kTblErrNoMemory;
  }
  return kTblOk;
}

}  // namespace

CRepeatEventField* CDateBkRecord::RepeatField() const {
  return FieldOf<CRepeatEventField>(*this, S::kRepeat, kFieldRepeat);
}

int32_t CDateBkRecord::Assign(const CBaseRecord& other) {
  if (row_ == nullptr || other.GetRow() == nullptr) return kTblErrBadRecord;
  if (row_ == other.GetRow()) return kTblOk;
  // Check every field first, so that a failure leaves the record as it was.
  for (int32_t i = S::kStart; i <= S::kRepeat; ++i) {
    const CBaseField* mine = GetField(i);
    const CBaseField* theirs = other.GetField(i);
    if (mine == nullptr || theirs == nullptr || mine->GetType() != theirs->GetType()) {
      return kTblErrSchema;
    }
  }
  int32_t old_category = 0;
  GetInt(*this, S::kCategory, old_category);
  for (int32_t i = S::kStart; i <= S::kRepeat; ++i) {
    const int32_t copied = GetField(i)->CopyFrom(*other.GetField(i));
    if (copied != kTblOk) return copied;
  }
  int32_t new_category = 0;
  GetInt(*this, S::kCategory, new_category);
  if (new_category != old_category) row_->owner->NoteRowChanged(row_, S::kCategory);
  exception_cursor_ = 0;
  return kTblOk;
}

int32_t CDateBkRecord::GetStartTime(int32_t& time) const {
  const CDateField* field = FieldOf<CDateField>(*this, S::kStart, kFieldDate);
  if (field == nullptr) return kTblErrBadRecord;
  time = field->GetTime();
  return kTblOk;
}

int32_t CDateBkRecord::SetStartTime(int32_t time) {
  CDateField* field = FieldOf<CDateField>(*this, S::kStart, kFieldDate);
  if (field == nullptr) return kTblErrBadRecord;
  field->SetTime(time);
  return kTblOk;
}

int32_t CDateBkRecord::GetEndTime(int32_t& time) const {
  return GetInt(*this, S::kEnd, time);
}
int32_t CDateBkRecord::SetEndTime(int32_t time) {
  return SetInt(*this, S::kEnd, time);
}

bool CDateBkRecord::IsUnTimed() const {
  return GetBool(*this, S::kUntimed);
}
int32_t CDateBkRecord::SetUnTimedFlag(int32_t untimed) {
  return SetBool(*this, S::kUntimed, untimed);
}

bool CDateBkRecord::IsAlarmSet() const {
  return GetBool(*this, S::kAlarmSet);
}
int32_t CDateBkRecord::SetAlarmFlag(int32_t set) {
  return SetBool(*this, S::kAlarmSet, set);
}

int32_t CDateBkRecord::GetAlarmAdvTime(int32_t& advance) const {
  return GetInt(*this, S::kAlarmAdvance, advance);
}
int32_t CDateBkRecord::SetAlarmAdvTime(int32_t advance) {
  return SetInt(*this, S::kAlarmAdvance, advance);
}

int32_t CDateBkRecord::GetAlarmAdvUnit(int32_t& unit) const {
  return GetInt(*this, S::kAlarmUnit, unit);
}
int32_t CDateBkRecord::SetAlarmAdvUnit(int32_t unit) {
  if (IntField(*this, S::kAlarmUnit) == nullptr) return kTblErrBadRecord;
  if (unit < 0 || unit > 2) return kTblErrBadArgument;
  return SetInt(*this, S::kAlarmUnit, unit);
}

int32_t CDateBkRecord::GetDescription(std::string& text) const {
  return GetText(*this, S::kDescription, text);
}
int32_t CDateBkRecord::SetDescription(std::string_view text) {
  return SetText(*this, S::kDescription, text);
}
int32_t CDateBkRecord::GetNote(std::string& text) const {
  return GetText(*this, S::kNote, text);
}
int32_t CDateBkRecord::SetNote(std::string_view text) {
  return SetText(*this, S::kNote, text);
}

bool CDateBkRecord::IsNote() const {
  const CStringField* field = TextField(*this, S::kNote);
  return field != nullptr && !field->GetText().empty();
}

bool CDateBkRecord::IsPrivate() const {
  return GetBool(*this, S::kPrivate);
}
int32_t CDateBkRecord::SetPrivate(int32_t is_private) {
  return SetBool(*this, S::kPrivate, is_private);
}

bool CDateBkRecord::IsRepeatingEvt() const {
  return GetRepeateInfo() != nullptr;
}

const CRepeateDayInfo* CDateBkRecord::GetRepeateInfo() const {
  const CRepeatEventField* field = RepeatField();
  return field != nullptr ? field->GetRule() : nullptr;
}

int32_t CDateBkRecord::StopRepeatingEvt() {
  CRepeatEventField* field = RepeatField();
  if (field == nullptr || IntField(*this, S::kRepeatKind) == nullptr) return kTblErrBadRecord;
  field->SetRule(nullptr);
  field->MutableExceptions().clear();
  exception_cursor_ = 0;
  return SetInt(*this, S::kRepeatKind, kRepeatNone);
}

int32_t CDateBkRecord::SetRule(const CRepeateDayInfo& rule) {
  CRepeatEventField* field = RepeatField();
  if (field == nullptr || IntField(*this, S::kRepeatKind) == nullptr) return kTblErrBadRecord;
  if (!tablelib::IsValidRule(rule)) return kTblErrBadArgument;
  std::unique_ptr<CRepeateDayInfo> copy = rule.Clone();
  if (copy == nullptr) return kTblErrNoMemory;
  field->SetRule(std::move(copy));
  return SetInt(*this, S::kRepeatKind, rule.GetMyBrand());
}

int32_t CDateBkRecord::SetRepDaily(const CDayName& rule) {
  return SetRule(rule);
}
int32_t CDateBkRecord::SetRepWeekly(const CWeekly& rule) {
  return SetRule(rule);
}
int32_t CDateBkRecord::SetRepMonthlyByDay(const CDayOfMonth& rule) {
  return SetRule(rule);
}
int32_t CDateBkRecord::SetRepMonthlyByDate(const CDateOfMonth& rule) {
  return SetRule(rule);
}
int32_t CDateBkRecord::SetRepYearlyByDate(const CDateOfYear& rule) {
  return SetRule(rule);
}

int32_t CDateBkRecord::GetNumExceptions() const {
  const CRepeatEventField* field = RepeatField();
  return field != nullptr ? static_cast<int32_t>(field->GetExceptions().size()) : 0;
}

int32_t CDateBkRecord::FindFirstException(CDateException& exception) {
  exception_cursor_ = 0;
  return FindNextException(exception);
}

int32_t CDateBkRecord::FindNextException(CDateException& exception) {
  const CRepeatEventField* field = RepeatField();
  if (field == nullptr) return kTblErrBadRecord;
  if (exception_cursor_ >= field->GetExceptions().size()) return kTblErrNotFound;
  exception.SetDate(field->GetExceptions()[exception_cursor_++]);
  return kTblOk;
}

int32_t CDateBkRecord::AddException(int32_t date) {
  CRepeatEventField* field = RepeatField();
  if (field == nullptr) return kTblErrBadRecord;
  int32_t day_start = 0;
  if (!tablelib::StartOfLocalDay(date, &day_start)) return kTblErrBadArgument;
  std::vector<int32_t>& exceptions = field->MutableExceptions();
  auto at = std::lower_bound(exceptions.begin(), exceptions.end(), day_start);
  if (at != exceptions.end() && *at == day_start) return kTblOk;
  try {
    exceptions.insert(at, day_start);
  } catch (const std::bad_alloc&) {
    return kTblErrNoMemory;
  }
  return kTblOk;
}

bool CDateBkRecord::IsException(int32_t date) const {
  const CRepeatEventField* field = RepeatField();
  int64_t day = 0;
  if (field == nullptr || !tablelib::LocalDayOf(date, &day)) return false;
  for (int32_t exception : field->GetExceptions()) {
    int64_t exception_day = 0;
    if (tablelib::LocalDayOf(exception, &exception_day) && exception_day == day) return true;
  }
  return false;
}
