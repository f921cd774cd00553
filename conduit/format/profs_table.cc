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

void LoadTable(CProfsTable& table, CTableStream& stream) {
  char header[kCountWidth + 1] = "    ";
  stream.Read(header, kCountWidth);
  int count = 0;
  if (std::sscanf(header, "%d", &count) != 1) count = 0;
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
