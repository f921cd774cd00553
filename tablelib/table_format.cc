// CBaseTable's own file format (FORMAT.txt) and the saving and opening of table files.
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "tablelib/record.h"
#include "tablelib/system.h"
#include "tablelib/table.h"
#include "tablelib/table_codec.h"
#include "tablelib/table_errors.h"
#include "tablelib/table_stream.h"

namespace {

using tablelib::CTableCodec;

// "DTBL", then CR LF, ^Z, LF: a text-mode copy or a transfer that rewrites line ends breaks the
// magic instead of the data.
constexpr uint8_t kMagic[8] = {'D', 'T', 'B', 'L', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint16_t kFormatVersion = 1;
constexpr size_t kFileBufferSize = 64 * 1024;

// A schema read from a file, to be compared with the table's own.
class CStoredSchema : public CBaseSchema {
 public:
  int32_t DefineSchema() override { return 0; }
};

void StoreCategories(CCategoryMgr& categories, CTableCodec& codec) {
  codec.PutU8(static_cast<uint8_t>(categories.GetCount()));
  // At() leaves the walk position of a caller's FindFirst/FindNext alone.
  for (int32_t position = 0; position < categories.GetCount(); ++position) {
    const CCategory* category = categories.At(position);
    codec.PutI32(category->GetID());
    codec.PutI32(category->GetIndex());
    codec.PutU8(category->GetNameDirty() ? 1 : 0);
    codec.PutText(category->GetName());
  }
}

bool LoadCategories(CTableCodec& codec, CCategoryMgr* categories) {
  uint8_t count = 0;
  if (!codec.GetU8(&count)) return false;
  if (count > kMaxCategories) return codec.Fail();
  for (uint8_t i = 0; i < count; ++i) {
    int32_t id = 0, index = 0;
    uint8_t dirty = 0;
    std::string name;
    if (!codec.GetI32(&id) || !codec.GetI32(&index) || !codec.GetU8(&dirty) ||
        !codec.GetText(&name)) {
      return false;
    }
    if (dirty > 1) return codec.Fail();
    std::unique_ptr<CCategory> category(new (std::nothrow) CCategory(id, index, name, dirty == 1));
    if (category == nullptr) {
      codec.Stream().SetError(kTblErrNoMemory);
      return false;
    }
    // A taken or out-of-range index marks a damaged file.
    if (categories->Add(category) != kTblOk) return codec.Fail();
  }
  return true;
}

}  // namespace

void CBaseTable::Serialize(CTableStream& stream) {
  try {
    if (stream.IsStoring()) {
      StoreOwnFormat(stream);
    } else {
      LoadOwnFormat(stream);
    }
  } catch (const std::bad_alloc&) {
    stream.SetError(kTblErrNoMemory);
  }
}

void CBaseTable::StoreOwnFormat(CTableStream& stream) {
  if (schema_ == nullptr) {
    stream.SetError(kTblErrSchema);
    return;
  }
  CTableCodec codec(stream);
  stream.ResetCrc32();
  codec.PutBytes(kMagic, sizeof kMagic);
  codec.PutU16(kFormatVersion);
  schema_->Serialize(stream);
  StoreCategories(categories_, codec);
  codec.PutU32(static_cast<uint32_t>(rows_.size()));
  const std::vector<uint16_t>& types = schema_->m_FieldTypeList;
  for (const auto& row : rows_) {
    if (row->fields.size() != types.size()) {
      stream.SetError(kTblErrSchema);
      return;
    }
    codec.PutU8(row->archived ? 1 : 0);
    for (size_t i = 0; i < types.size(); ++i) {
      if (row->fields[i]->GetType() != types[i]) {
        stream.SetError(kTblErrSchema);
        return;
      }
      codec.PutU16(types[i]);
      row->fields[i]->Write(stream);
    }
    if (stream.Error() != kTblOk) return;
  }
  codec.PutU32(stream.Crc32());
}

void CBaseTable::LoadOwnFormat(CTableStream& stream) {
  CTableCodec codec(stream);
  stream.ResetCrc32();
  uint8_t magic[sizeof kMagic];
  const size_t got = stream.Read(magic, sizeof magic);
  if (stream.Error() != kTblOk) return;
  if (std::memcmp(magic, kMagic, got) != 0) {
    codec.Fail();  // another kind of file
    return;
  }
  if (got < sizeof magic) {
    stream.SetError(kTblErrEndOfFile);  // a table file cut short in its first bytes
    return;
  }
  uint16_t version = 0;
  if (!codec.GetU16(&version)) return;
  if (version != kFormatVersion) {
    codec.Fail();
    return;
  }
  CStoredSchema stored;
  stored.Serialize(stream);
  if (stream.Error() != kTblOk) return;
  if (schema_ == nullptr || !schema_->SameLayout(stored)) {
    stream.SetError(kTblErrSchema);
    return;
  }
  CCategoryMgr categories;
  if (!LoadCategories(codec, &categories)) return;
  uint32_t count = 0;
  if (!codec.GetU32(&count)) return;
  // Rows are collected first and only replace the table's rows once the whole file was read, so
  // that a damaged file never leaves part of itself in the table.
  std::vector<std::unique_ptr<CTableRow>> rows;
  const std::vector<uint16_t>& types = schema_->m_FieldTypeList;
  for (uint32_t n = 0; n < count; ++n) {
    int32_t error = kTblOk;
    std::unique_ptr<CTableRow> row = NewRow(&error);
    if (row == nullptr) {
      stream.SetError(error);
      return;
    }
    uint8_t archived = 0;
    if (!codec.GetU8(&archived)) return;
    if (archived > 1) {
      codec.Fail();
      return;
    }
    row->archived = archived == 1;
    for (size_t i = 0; i < types.size(); ++i) {
      uint16_t type = 0;
      if (!codec.GetU16(&type)) return;
      if (type != types[i]) {
        codec.Fail();
        return;
      }
      row->fields[i]->Read(stream);
      if (stream.Error() != kTblOk) return;
    }
    rows.push_back(std::move(row));
  }
  const uint32_t expected = stream.Crc32();
  uint32_t stored_crc = 0;
  if (!codec.GetU32(&stored_crc)) return;
  uint8_t extra = 0;
  if (stored_crc != expected || stream.Read(&extra, 1) != 0) {
    codec.Fail();
    return;
  }
  DestroyAllFields();
  rows_.reserve(rows.size());
  for (auto& row : rows) {
    row->owner = this;
    row->seq = next_seq_++;
    rows_.push_back(std::move(row));
  }
  categories_ = categories;
}

int32_t CBaseTable::SaveTo(const std::string& path) {
  if (path.empty()) return kTblErrBadArgument;
  const std::string temp = path + ".~tmp";
  CTableFile file;
  int32_t result = file.Open(temp, CTableFile::kCreate);
  if (result != kTblOk) return result;
  {
    CTableStream stream(file, CTableStream::kStore, kFileBufferSize);
    Serialize(stream);
    result = stream.Flush();
  }
  if (result == kTblOk) result = file.Sync();
  if (result == kTblOk) {
    result = file.Close();
  } else {
    file.Abort();
  }
  // The finished file replaces the old one in one step, and that step reaches the disk before the
  // save answers: a crash or power cut leaves the old file or the new one, never a part.
  if (result == kTblOk && !tablelib::SystemReplaceFile(temp, path)) result = kTblErrIo;
  std::error_code error;
  if (result != kTblOk) std::filesystem::remove(temp, error);
  return result;
}

int32_t CBaseTable::OpenFrom(const std::string& path, int32_t /*flag*/) {
  CTableFile file;
  const int32_t opened = file.Open(path, CTableFile::kRead);
  if (opened != kTblOk) return opened;
  DestroyAllFields();
  int32_t result = kTblOk;
  {
    CTableStream stream(file, CTableStream::kLoad, kFileBufferSize);
    Serialize(stream);
    result = stream.Error();
  }
  file.Abort();  // only read: nothing to lose
  if (result != kTblOk) DestroyAllFields();
  return result;
}
