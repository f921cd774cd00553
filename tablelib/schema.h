// Schemas: the field layout of a table's rows.
#ifndef DBC_TABLELIB_SCHEMA_H_
#define DBC_TABLELIB_SCHEMA_H_

#include <stdint.h>

#include <vector>

class CTableStream;

// The most fields a row may have.
constexpr int32_t kMaxSchemaFields = 1024;

class CBaseSchema {
 public:
  CBaseSchema() = default;
  virtual ~CBaseSchema() = default;
  // Sets the members below; answers 0.
  virtual int32_t DefineSchema() = 0;
  // Writes or reads (by the stream's direction) the members below in the library's file format.
  // On load a layout that is out of range (more than kMaxSchemaFields fields, a position outside
  // the row) sets kTblErrBadFormat and leaves the members as they were.
  virtual void Serialize(CTableStream& stream);
  // Whether both schemas have the same field count, type list and positions.
  bool SameLayout(const CBaseSchema& other) const;

  int32_t m_FieldsPerRow = 0;
  // One 16-bit type code (fields.h) per field, field 0 first.
  std::vector<uint16_t> m_FieldTypeList;
  // The field indexes of the record ID, the record status, the category and the position fields.
  int32_t m_RecordIdPos = -1;
  int32_t m_RecordStatusPos = -1;
  int32_t m_CategoryIdPos = -1;
  int32_t m_PlacementPos = -1;
};

// The Date Book layout, fields 0 to 14:
//   0 record ID (int)      5 description (string)   10 category (int)
//   1 status (int)         6 alarm advance (int)    11 private (bool)
//   2 position (int)       7 note (string)          12 alarm unit (int)
//   3 start (date)         8 untimed (bool)         13 repeat kind (int)
//   4 end time (int)       9 alarm set (bool)       14 repeat rule and exceptions (repeat)
// Positions: record ID 0, status 1, category 10, position 2. A derived schema may add fields
// after field 14.
class CDateBkSchema : public CBaseSchema {
 public:
  // Fields of the Date Book layout.
  enum : int32_t {
    kRecordId = 0,
    kStatus = 1,
    kPosition = 2,
    kStart = 3,
    kEnd = 4,
    kDescription = 5,
    kAlarmAdvance = 6,
    kNote = 7,
    kUntimed = 8,
    kAlarmSet = 9,
    kCategory = 10,
    kPrivate = 11,
    kAlarmUnit = 12,
    kRepeatKind = 13,
    kRepeat = 14,
    kDateBkFieldCount = 15,
  };

  // Both constructors set up the Date Book layout, so that the schema can be used at once; a
  // derived schema's DefineSchema, called afterwards, replaces it.
  CDateBkSchema();
  // field_count is a sizing hint that derived schemas pass; it is kept and has no effect on the
  // layout, which comes from DefineSchema.
  explicit CDateBkSchema(int32_t field_count);
  int32_t DefineSchema() override;
  int32_t GetFieldCountHint() const { return field_count_hint_; }

 private:
  int32_t field_count_hint_ = kDateBkFieldCount;
};

#endif  // DBC_TABLELIB_SCHEMA_H_
