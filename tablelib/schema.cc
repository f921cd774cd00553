#include "tablelib/schema.h"

#include <new>

#include "tablelib/fields.h"
#include "tablelib/table_codec.h"
#include "tablelib/table_errors.h"
#include "tablelib/table_stream.h"

void CBaseSchema::Serialize(CTableStream& stream) {
  tablelib::CTableCodec codec(stream);
  if (stream.IsStoring()) {
    if (m_FieldsPerRow < 0 || m_FieldsPerRow > kMaxSchemaFields ||
        m_FieldTypeList.size() != static_cast<size_t>(m_FieldsPerRow)) {
      stream.SetError(kTblErrSchema);
      return;
    }
    codec.PutU16(static_cast<uint16_t>(m_FieldsPerRow));
    for (uint16_t type : m_FieldTypeList) codec.PutU16(type);
    codec.PutI32(m_RecordIdPos);
    codec.PutI32(m_RecordStatusPos);
    codec.PutI32(m_CategoryIdPos);
    codec.PutI32(m_PlacementPos);
    return;
  }
  uint16_t count = 0;
  if (!codec.GetU16(&count)) return;
  if (count > kMaxSchemaFields) {
    codec.Fail();
    return;
  }
  std::vector<uint16_t> types;
  try {
    types.reserve(count);
  } catch (const std::bad_alloc&) {
    stream.SetError(kTblErrNoMemory);
    return;
  }
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t type = 0;
    if (!codec.GetU16(&type)) return;
    types.push_back(type);
  }
  int32_t positions[4] = {-1, -1, -1, -1};
  for (int32_t& position : positions) {
    if (!codec.GetI32(&position)) return;
    if (position < -1 || position >= count) {
      codec.Fail();
      return;
    }
  }
  m_FieldsPerRow = count;
  m_FieldTypeList = std::move(types);
  m_RecordIdPos = positions[0];
  m_RecordStatusPos = positions[1];
  m_CategoryIdPos = positions[2];
  m_PlacementPos = positions[3];
}

bool CBaseSchema::SameLayout(const CBaseSchema& other) const {
  return m_FieldsPerRow == other.m_FieldsPerRow && m_FieldTypeList == other.m_FieldTypeList &&
         m_RecordIdPos == other.m_RecordIdPos && m_RecordStatusPos == other.m_RecordStatusPos &&
         m_CategoryIdPos == other.m_CategoryIdPos && m_PlacementPos == other.m_PlacementPos;
}

CDateBkSchema::CDateBkSchema() {
  CDateBkSchema::DefineSchema();
}

CDateBkSchema::CDateBkSchema(int32_t field_count) : field_count_hint_(field_count) {
  CDateBkSchema::DefineSchema();
}

int32_t CDateBkSchema::DefineSchema() {
  m_FieldsPerRow = kDateBkFieldCount;
  m_FieldTypeList = {
      kFieldInteger,  // 0 record ID
      kFieldInteger,  // 1 status
      kFieldInteger,  // 2 position
      kFieldDate,     // 3 start
      kFieldInteger,  // 4 end time
      kFieldString,   // 5 description
      kFieldInteger,  // 6 alarm advance
      kFieldString,   // 7 note
      kFieldBoolean,  // 8 untimed
      kFieldBoolean,  // 9 alarm set
      kFieldInteger,  // 10 category
      kFieldBoolean,  // 11 private
      kFieldInteger,  // 12 alarm unit
      kFieldInteger,  // 13 repeat kind
      kFieldRepeat,   // 14 repeat rule and exceptions
  };
  m_RecordIdPos = kRecordId;
  m_RecordStatusPos = kStatus;
  m_CategoryIdPos = kCategory;
  m_PlacementPos = kPosition;
  return 0;
}
