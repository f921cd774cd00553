#include "tablelib/fields.h"

#include <algorithm>
#include <new>

#include "tablelib/repeat_codec.h"
#include "tablelib/table_codec.h"
#include "tablelib/table_errors.h"
#include "tablelib/table_stream.h"

using tablelib::CTableCodec;

namespace {

template <class F>
std::unique_ptr<CBaseField> CloneOf(const F& field) {
  return std::unique_ptr<CBaseField>(new (std::nothrow) F(field));
}

}  // namespace

std::unique_ptr<CBaseField> CIntegerField::Clone() const {
  return CloneOf(*this);
}

int32_t CIntegerField::Compare(const CBaseField& other) const {
  if (other.GetType() != kFieldInteger) return 1;
  const int32_t theirs = static_cast<const CIntegerField&>(other).value_;
  return value_ == theirs ? 0 : (value_ < theirs ? -1 : 1);
}

int32_t CIntegerField::CopyFrom(const CBaseField& other) {
  if (other.GetType() != kFieldInteger) return kTblErrSchema;
  value_ = static_cast<const CIntegerField&>(other).value_;
  return kTblOk;
}

void CIntegerField::Write(CTableStream& stream) const {
  CTableCodec(stream).PutI32(value_);
}

void CIntegerField::Read(CTableStream& stream) {
  CTableCodec(stream).GetI32(&value_);
}

std::unique_ptr<CBaseField> CDateField::Clone() const {
  return CloneOf(*this);
}

int32_t CDateField::Compare(const CBaseField& other) const {
  if (other.GetType() != kFieldDate) return 1;
  const int32_t theirs = static_cast<const CDateField&>(other).time_;
  return time_ == theirs ? 0 : (time_ < theirs ? -1 : 1);
}

int32_t CDateField::CopyFrom(const CBaseField& other) {
  if (other.GetType() != kFieldDate) return kTblErrSchema;
  time_ = static_cast<const CDateField&>(other).time_;
  return kTblOk;
}

void CDateField::Write(CTableStream& stream) const {
  CTableCodec(stream).PutI32(time_);
}

void CDateField::Read(CTableStream& stream) {
  CTableCodec(stream).GetI32(&time_);
}

std::unique_ptr<CBaseField> CStringField::Clone() const {
  return CloneOf(*this);
}

int32_t CStringField::Compare(const CBaseField& other) const {
  if (other.GetType() != kFieldString) return 1;
  const int result = text_.compare(static_cast<const CStringField&>(other).text_);
  return result == 0 ? 0 : (result < 0 ? -1 : 1);
}

int32_t CStringField::CopyFrom(const CBaseField& other) {
  if (other.GetType() != kFieldString) return kTblErrSchema;
  try {
    text_ = static_cast<const CStringField&>(other).text_;
  } catch (const std::bad_alloc&) {
    return kTblErrNoMemory;
  }
  return kTblOk;
}

void CStringField::Write(CTableStream& stream) const {
  CTableCodec(stream).PutText(text_);
}

void CStringField::Read(CTableStream& stream) {
  CTableCodec(stream).GetText(&text_);
}

std::unique_ptr<CBaseField> CBooleanField::Clone() const {
  return CloneOf(*this);
}

int32_t CBooleanField::Compare(const CBaseField& other) const {
  if (other.GetType() != kFieldBoolean) return 1;
  const bool theirs = static_cast<const CBooleanField&>(other).value_;
  return value_ == theirs ? 0 : (value_ ? 1 : -1);
}

int32_t CBooleanField::CopyFrom(const CBaseField& other) {
  if (other.GetType() != kFieldBoolean) return kTblErrSchema;
  value_ = static_cast<const CBooleanField&>(other).value_;
  return kTblOk;
}

void CBooleanField::Write(CTableStream& stream) const {
  CTableCodec(stream).PutU8(value_ ? 1 : 0);
}

void CBooleanField::Read(CTableStream& stream) {
  CTableCodec codec(stream);
  uint8_t byte = 0;
  if (!codec.GetU8(&byte)) return;
  if (byte > 1) {
    codec.Fail();
    return;
  }
  value_ = byte == 1;
}

CRepeatEventField::CRepeatEventField(const CRepeatEventField& other)
    : CBaseField(), exceptions_(other.exceptions_) {
  if (other.rule_ != nullptr) rule_ = other.rule_->Clone();
}

std::unique_ptr<CBaseField> CRepeatEventField::Clone() const {
  try {
    std::unique_ptr<CRepeatEventField> copy(new (std::nothrow) CRepeatEventField(*this));
    // A rule that could not be copied would turn a repeating event into a single one.
    if (copy != nullptr && (rule_ != nullptr) != (copy->rule_ != nullptr)) return nullptr;
    return copy;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int32_t CRepeatEventField::Compare(const CBaseField& other) const {
  if (other.GetType() != kFieldRepeat) return 1;
  const CRepeatEventField& theirs = static_cast<const CRepeatEventField&>(other);
  if ((rule_ == nullptr) != (theirs.rule_ == nullptr)) return rule_ == nullptr ? -1 : 1;
  if (rule_ != nullptr && !rule_->SameAs(*theirs.rule_)) return 1;
  if (exceptions_ == theirs.exceptions_) return 0;
  return exceptions_ < theirs.exceptions_ ? -1 : 1;
}

int32_t CRepeatEventField::CopyFrom(const CBaseField& other) {
  if (other.GetType() != kFieldRepeat) return kTblErrSchema;
  const CRepeatEventField& theirs = static_cast<const CRepeatEventField&>(other);
  if (&theirs == this) return kTblOk;
  std::unique_ptr<CRepeateDayInfo> rule;
  if (theirs.rule_ != nullptr) {
    rule = theirs.rule_->Clone();
    if (rule == nullptr) return kTblErrNoMemory;
  }
  try {
    exceptions_ = theirs.exceptions_;
  } catch (const std::bad_alloc&) {
    return kTblErrNoMemory;
  }
  rule_ = std::move(rule);
  return kTblOk;
}

void CRepeatEventField::Write(CTableStream& stream) const {
  CTableCodec codec(stream);
  tablelib::PutRule(codec, rule_.get());
  codec.PutU32(static_cast<uint32_t>(exceptions_.size()));
  for (int32_t date : exceptions_) codec.PutI32(date);
}

void CRepeatEventField::Read(CTableStream& stream) {
  CTableCodec codec(stream);
  std::unique_ptr<CRepeateDayInfo> rule;
  if (!tablelib::GetRule(codec, &rule)) return;
  uint32_t count = 0;
  if (!codec.GetU32(&count)) return;
  std::vector<int32_t> exceptions;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t date = 0;
    if (!codec.GetI32(&date)) return;
    // Exceptions are kept ascending without duplicates; anything else is a damaged file.
    if (!exceptions.empty() && date <= exceptions.back()) {
      codec.Fail();
      return;
    }
    exceptions.push_back(date);
  }
  rule_ = std::move(rule);
  exceptions_ = std::move(exceptions);
}

std::unique_ptr<CBaseField> CreateField(uint16_t type) {
  switch (type) {
    case kFieldInteger:
      return std::unique_ptr<CBaseField>(new (std::nothrow) CIntegerField());
    case kFieldDate:
      return std::unique_ptr<CBaseField>(new (std::nothrow) CDateField());
    case kFieldString:
      return std::unique_ptr<CBaseField>(new (std::nothrow) CStringField());
    case kFieldBoolean:
      return std::unique_ptr<CBaseField>(new (std::nothrow) CBooleanField());
    case kFieldRepeat:
      return std::unique_ptr<CBaseField>(new (std::nothrow) CRepeatEventField());
    default:
      return nullptr;
  }
}
