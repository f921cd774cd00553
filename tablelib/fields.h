// The fields of a table row. Each field type has a 16-bit type code, used in schemas.
#ifndef DBC_TABLELIB_FIELDS_H_
#define DBC_TABLELIB_FIELDS_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tablelib/repeat.h"

class CTableStream;

enum : uint16_t {
  kFieldInteger = 1,  // CIntegerField: signed 32-bit
  kFieldDate = 3,     // CDateField: a time value (seconds since 1970)
  kFieldString = 5,   // CStringField: a text of single bytes without NUL
  kFieldBoolean = 6,  // CBooleanField
  kFieldRepeat = 8,   // CRepeatEventField: a repeat rule (or none) and its exception days
};

class CBaseField {
 public:
  virtual ~CBaseField() = default;
  virtual uint16_t GetType() const = 0;
  virtual std::unique_ptr<CBaseField> Clone() const = 0;
  // 0 when both fields hold the same value; non-zero otherwise, also for fields of different
  // types.
  virtual int32_t Compare(const CBaseField& other) const = 0;
  // Copies the value of a field of the same type; kTblErrSchema for another type.
  virtual int32_t CopyFrom(const CBaseField& other) = 0;
  // The table library's own file format (see FORMAT.txt).
  virtual void Write(CTableStream& stream) const = 0;
  virtual void Read(CTableStream& stream) = 0;
};

class CIntegerField : public CBaseField {
 public:
  explicit CIntegerField(int32_t value = 0) : value_(value) {}
  uint16_t GetType() const override { return kFieldInteger; }
  std::unique_ptr<CBaseField> Clone() const override;
  int32_t Compare(const CBaseField& other) const override;
  int32_t CopyFrom(const CBaseField& other) override;
  void Write(CTableStream& stream) const override;
  void Read(CTableStream& stream) override;
  // Both answer 0.
  int32_t GetValue(int32_t& value) const {
    value = value_;
    return 0;
  }
  int32_t SetValue(int32_t value) {
    value_ = value;
    return 0;
  }

 private:
  int32_t value_;
};

class CDateField : public CBaseField {
 public:
  explicit CDateField(int32_t time = 0) : time_(time) {}
  uint16_t GetType() const override { return kFieldDate; }
  std::unique_ptr<CBaseField> Clone() const override;
  int32_t Compare(const CBaseField& other) const override;
  int32_t CopyFrom(const CBaseField& other) override;
  void Write(CTableStream& stream) const override;
  void Read(CTableStream& stream) override;
  int32_t GetTime() const { return time_; }
  void SetTime(int32_t time) { time_ = time; }

 private:
  int32_t time_;
};

class CStringField : public CBaseField {
 public:
  CStringField() = default;
  uint16_t GetType() const override { return kFieldString; }
  std::unique_ptr<CBaseField> Clone() const override;
  int32_t Compare(const CBaseField& other) const override;
  int32_t CopyFrom(const CBaseField& other) override;
  void Write(CTableStream& stream) const override;
  void Read(CTableStream& stream) override;
  const std::string& GetText() const { return text_; }
  void SetText(std::string_view text) { text_.assign(text); }

 private:
  std::string text_;
};

class CBooleanField : public CBaseField {
 public:
  explicit CBooleanField(bool value = false) : value_(value) {}
  uint16_t GetType() const override { return kFieldBoolean; }
  std::unique_ptr<CBaseField> Clone() const override;
  int32_t Compare(const CBaseField& other) const override;
  int32_t CopyFrom(const CBaseField& other) override;
  void Write(CTableStream& stream) const override;
  void Read(CTableStream& stream) override;
  bool GetValue() const { return value_; }
  void SetValue(bool value) { value_ = value; }

 private:
  bool value_;
};

// A repeat rule (null when the event does not repeat) and the exception days, kept ascending and
// without duplicates.
class CRepeatEventField : public CBaseField {
 public:
  CRepeatEventField() = default;
  CRepeatEventField(const CRepeatEventField& other);
  uint16_t GetType() const override { return kFieldRepeat; }
  std::unique_ptr<CBaseField> Clone() const override;
  int32_t Compare(const CBaseField& other) const override;
  int32_t CopyFrom(const CBaseField& other) override;
  void Write(CTableStream& stream) const override;
  void Read(CTableStream& stream) override;

  const CRepeateDayInfo* GetRule() const { return rule_.get(); }
  void SetRule(std::unique_ptr<CRepeateDayInfo> rule) { rule_ = std::move(rule); }
  const std::vector<int32_t>& GetExceptions() const { return exceptions_; }
  std::vector<int32_t>& MutableExceptions() { return exceptions_; }

 private:
  std::unique_ptr<CRepeateDayInfo> rule_;
  std::vector<int32_t> exceptions_;
};

// Creates an empty field of the given type code; null for an unknown code.
std::unique_ptr<CBaseField> CreateField(uint16_t type);

#endif  // DBC_TABLELIB_FIELDS_H_
