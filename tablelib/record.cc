#include "tablelib/record.h"

#include "tablelib/table_errors.h"

CBaseRecord::CBaseRecord(CBaseTable& table, uint16_t flag) : table_(&table), flag_(flag) {}

CBaseRecord::~CBaseRecord() {
  Bind(nullptr);
}

void CBaseRecord::Bind(CTableRow* row) {
  CBaseTable* owner = row != nullptr ? row->owner : nullptr;
  if (owner != bound_table_) {
    if (bound_table_ != nullptr) bound_table_->UnregisterRecord(this);
    bound_table_ = owner;
    row_ = owner != nullptr ? row : nullptr;
    if (owner != nullptr) owner->RegisterRecord(this);
    return;
  }
  row_ = owner != nullptr ? row : nullptr;
}

const CBaseSchema* CBaseRecord::RowSchema() const {
  if (row_ == nullptr || row_->owner == nullptr) return nullptr;
  return row_->owner->GetSchema();
}

CBaseField* CBaseRecord::GetField(int32_t index) const {
  if (row_ == nullptr || index < 0 || static_cast<size_t>(index) >= row_->fields.size()) {
    return nullptr;
  }
  return row_->fields[static_cast<size_t>(index)].get();
}

CIntegerField* CBaseRecord::IntegerAt(int32_t index) const {
  CBaseField* field = GetField(index);
  if (field == nullptr || field->GetType() != kFieldInteger) return nullptr;
  return static_cast<CIntegerField*>(field);
}

int32_t CBaseRecord::SetKeyField(int32_t index, int32_t value) {
  CIntegerField* field = IntegerAt(index);
  if (field == nullptr) return kTblErrBadRecord;
  int32_t old = 0;
  field->GetValue(old);
  if (old == value) return kTblOk;
  field->SetValue(value);
  row_->owner->NoteRowChanged(row_, index);
  return kTblOk;
}

namespace {

int32_t PositionOr(const CBaseSchema* schema, int32_t CBaseSchema::*member) {
  return schema != nullptr ? schema->*member : -1;
}

}  // namespace

int32_t CBaseRecord::Equals(const CBaseRecord& other) const {
  if (row_ == nullptr || other.row_ == nullptr) return 0;
  if (row_->fields.size() != other.row_->fields.size()) return 0;
  const CBaseSchema* schema = RowSchema();
  for (size_t i = 0; i < row_->fields.size(); ++i) {
    const int32_t index = static_cast<int32_t>(i);
    if (index == PositionOr(schema, &CBaseSchema::m_RecordIdPos) ||
        index == PositionOr(schema, &CBaseSchema::m_RecordStatusPos) ||
        index == PositionOr(schema, &CBaseSchema::m_PlacementPos)) {
      continue;
    }
    if (row_->fields[i]->Compare(*other.row_->fields[i]) != 0) return 0;
  }
  return 1;
}

int32_t CBaseRecord::Assign(const CBaseRecord& other) {
  if (row_ == nullptr || other.row_ == nullptr) return kTblErrBadRecord;
  if (row_ == other.row_) return kTblOk;
  const CBaseSchema* mine = RowSchema();
  const CBaseSchema* theirs = other.RowSchema();
  if (mine == nullptr || theirs == nullptr || !mine->SameLayout(*theirs) ||
      row_->fields.size() != other.row_->fields.size()) {
    return kTblErrSchema;
  }
  for (size_t i = 0; i < row_->fields.size(); ++i) {
    const int32_t index = static_cast<int32_t>(i);
    if (index == mine->m_RecordIdPos || index == mine->m_RecordStatusPos) continue;
    const int32_t copied = row_->fields[i]->CopyFrom(*other.row_->fields[i]);
    if (copied != kTblOk) return copied;
    if (index == mine->m_CategoryIdPos) row_->owner->NoteRowChanged(row_, index);
  }
  return kTblOk;
}

int32_t CBaseRecord::GetRawDataSize() const {
  if (row_ == nullptr) return 0;
  int64_t size = 0;
  for (const auto& field : row_->fields) {
    switch (field->GetType()) {
      case kFieldString:
        size += static_cast<int64_t>(static_cast<const CStringField&>(*field).GetText().size()) + 1;
        break;
      case kFieldBoolean:
        size += 1;
        break;
      case kFieldRepeat: {
        const CRepeatEventField& repeat = static_cast<const CRepeatEventField&>(*field);
        size += (repeat.GetRule() != nullptr ? 20 : 1) +
                4 * static_cast<int64_t>(repeat.GetExceptions().size());
        break;
      }
      default:
        size += 4;
        break;
    }
  }
  return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

int32_t CBaseRecord::GetRecordId(uint32_t& id) const {
  const CIntegerField* field = IntegerAt(PositionOr(RowSchema(), &CBaseSchema::m_RecordIdPos));
  if (field == nullptr) return kTblErrBadRecord;
  int32_t value = 0;
  field->GetValue(value);
  id = static_cast<uint32_t>(value);
  return kTblOk;
}

int32_t CBaseRecord::SetRecordId(uint32_t id) {
  return SetKeyField(PositionOr(RowSchema(), &CBaseSchema::m_RecordIdPos),
                     static_cast<int32_t>(id));
}

int32_t CBaseRecord::GetCategoryId(int32_t& category) const {
  const CIntegerField* field = IntegerAt(PositionOr(RowSchema(), &CBaseSchema::m_CategoryIdPos));
  if (field == nullptr) return kTblErrBadRecord;
  return field->GetValue(category);
}

int32_t CBaseRecord::SetCategoryId(int32_t category) {
  return SetKeyField(PositionOr(RowSchema(), &CBaseSchema::m_CategoryIdPos), category);
}

int32_t CBaseRecord::GetStatus(int32_t& status) const {
  const CIntegerField* field = IntegerAt(PositionOr(RowSchema(), &CBaseSchema::m_RecordStatusPos));
  if (field == nullptr) return kTblErrBadRecord;
  return field->GetValue(status);
}

int32_t CBaseRecord::SetStatus(int32_t status) {
  switch (status) {
    case kStatusUnchanged:
    case kStatusAdded:
    case kStatusModified:
    case kStatusDeleted:
    case kStatusPending:
      break;
    default:
      return row_ == nullptr ? kTblErrBadRecord : kTblErrBadArgument;
  }
  return SetKeyField(PositionOr(RowSchema(), &CBaseSchema::m_RecordStatusPos), status);
}

namespace {

bool HasStatus(const CBaseRecord& record, int32_t wanted) {
  int32_t status = kStatusUnchanged;
  return record.GetStatus(status) == kTblOk && status == wanted;
}

}  // namespace

bool CBaseRecord::IsAdded() const {
  return HasStatus(*this, kStatusAdded);
}
bool CBaseRecord::IsModified() const {
  return HasStatus(*this, kStatusModified);
}
bool CBaseRecord::IsDeleted() const {
  return HasStatus(*this, kStatusDeleted);
}
bool CBaseRecord::IsPending() const {
  return HasStatus(*this, kStatusPending);
}

int32_t CBaseRecord::SetArchiveBit(bool archived) {
  if (row_ == nullptr) return kTblErrBadRecord;
  row_->archived = archived;
  return kTblOk;
}

bool CBaseRecord::IsArchived() const {
  return row_ != nullptr && row_->archived;
}
