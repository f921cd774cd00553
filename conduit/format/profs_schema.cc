#include "conduit/format/profs_schema.h"

#include <memory>
#include <new>

#include "conduit/format/class_registry.h"
#include "tablelib/fields.h"

namespace {

std::unique_ptr<CBaseSchema> CreateProfsSchema() {
  return std::unique_ptr<CBaseSchema>(new (std::nothrow) CProfsSchema());
}

const CClassRegistration<CBaseSchema> kRegistration("CProfsSchema", kProfsSchemaNumber,
                                                    &CreateProfsSchema);

}  // namespace

CProfsSchema::CProfsSchema() = default;

CProfsSchema::CProfsSchema(int32_t field_count) : CDateBkSchema(field_count) {}

int32_t CProfsSchema::DefineSchema() {
  m_FieldsPerRow = kProfsFieldCount;
  m_FieldTypeList = {
      kFieldInteger, kFieldInteger, kFieldInteger, kFieldDate,    kFieldInteger, kFieldString,
      kFieldInteger, kFieldString,  kFieldBoolean, kFieldBoolean, kFieldInteger, kFieldBoolean,
      kFieldInteger, kFieldInteger, kFieldRepeat,  kFieldInteger,
  };
  m_RecordIdPos = kRecordId;
  m_RecordStatusPos = kStatus;
  m_CategoryIdPos = kCategory;
  m_PlacementPos = kPosition;
  return 0;
}
