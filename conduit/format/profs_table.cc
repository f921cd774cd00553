#include "conduit/format/profs_table.h"

#include <cstdio>
#include <memory>
#include <new>

#include "conduit/format/class_registry.h"
#include "conduit/format/exchange_record.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_schema.h"
#include "tablelib/iterator.h"
#include "tablelib/table_errors.h"
#include "tablelib/table_stream.h"

namespace {

constexpr size_t kCountWidth = 4;

std::unique_ptr<CBaseTable> CreateProfsTable() {
  return std::unique_ptr<CBaseTable>(new (std::nothrow) CProfsTable());
}

const CClassRegistration<CBaseTable> kRegistration("CProfsTable", kProfsSchemaNumber,
                                                   &CreateProfsTable);

void StoreTable(CProfsTable& table, CTableStream& stream) {
  const int32_t count = table.GetRecordCount();
  if (count > kMaxExchangeCount) {
    // Four digits cannot count the records; a file that cut some off would lose them.
    stream.SetError(kTblErrBadArgument);
    return;
  }
  char header[16];
  std::snprintf(header, sizeof header, "%04d", static_cast<int>(count));
  stream.WriteText(header);
  CProfsRecord record(table, 0);
  CBaseIterator iterator(table);
  for (int32_t found = iterator.FindFirst(record, 0); found == kTblOk;
       found = iterator.FindNext(record, 0)) {
    WriteExchangeLine(record, stream);
  }
}

// The record count: exactly four decimal digits, or -1 for a header that is blank, short,
// signed or not a number.
int32_t ParseCount(const char* header, size_t length) {
  if (length != kCountWidth) return -1;
  int32_t count = 0;
  for (size_t i = 0; i < kCountWidth; ++i) {
    if (header[i] < '0' || header[i] > '9') return -1;
    count = count * 10 + (header[i] - '0');
  }
  return count;
}

// Only a well-formed file loads. An empty extract means that the host holds no entries in the
// window, so an empty, cut or damaged file read as one would delete the person's appointments
// from the handheld.
void LoadTable(CProfsTable& table, CTableStream& stream) {
  char header[kCountWidth] = {};
  const size_t length = stream.Read(header, kCountWidth);
  if (length < kCountWidth) {
    stream.SetError(kTblErrEndOfFile);
    return;
  }
  int32_t count = ParseCount(header, length);
  if (count < 0) {
    stream.SetError(kTblErrBadFormat);
    return;
  }
  CProfsRecord record(table, 0);
  CExchangeLine line;
  for (; count > 0; --count) {
    if (!ReadExchangeLine(stream, &line)) return;
    const int32_t appended = table.AppendBlankRecord(record);
    if (appended != kTblOk) {
      // Stopping quietly would pass a partly read file for a whole one.
      stream.SetError(appended);
      return;
    }
    ApplyExchangeLine(line, record);
  }
  // Records after the counted ones mean a count that does not describe the file.
  char extra = 0;
  if (stream.Error() == kTblOk && stream.Read(&extra, 1) != 0) stream.SetError(kTblErrBadFormat);
}

}  // namespace

CProfsTable::CProfsTable() {
  std::unique_ptr<CProfsSchema> schema(new (std::nothrow) CProfsSchema(kProfsSchemaSizeHint));
  if (schema != nullptr) schema->DefineSchema();
  SetSchema(std::move(schema));
}

CProfsTable::~CProfsTable() = default;

void CProfsTable::Serialize(CTableStream& stream) {
  if (stream.IsLoading()) {
    LoadTable(*this, stream);
  } else {
    StoreTable(*this, stream);
  }
}

int32_t CProfsTable::LoadFromFile(const std::string& path) {
  if (!CTableFile::Exists(path)) return kTblErrFileNotFound;
  if (GetSchema() == nullptr) return kTblErrSchema;
  CTableFile file;
  const int32_t opened = file.Open(path, CTableFile::kReadWrite);
  DestroyAllFields();
  if (opened != kTblOk) return opened;
  int32_t result = kTblOk;
  {
    CTableStream stream(file, CTableStream::kLoad, kLoadStreamBufferSize);
    Serialize(stream);
    result = stream.Error();
  }
  if (result != kTblOk) {
    file.Abort();
    return result;
  }
  file.Close();
  return kTblOk;
}
