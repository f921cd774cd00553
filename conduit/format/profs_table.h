// CProfsTable: the desktop table of host calendar entries, saved and loaded as an exchange file.
//
// An exchange file (desktop, extract, update and backup file) is a four-digit record count
// ("%04d") followed by one record line per record (exchange_record.h), with no separator and no
// trailer. SaveTo of the table library writes exactly what Serialize produces.
#ifndef DBC_CONDUIT_FORMAT_PROFS_TABLE_H_
#define DBC_CONDUIT_FORMAT_PROFS_TABLE_H_

#include <stdint.h>

#include <string>

#include "tablelib/table.h"

class CTableStream;

// Size of the buffer of the stream that LoadFromFile reads through.
constexpr size_t kLoadStreamBufferSize = 4096;

class CProfsTable : public CDateBkTable {
 public:
  // Registered as "CProfsTable" (schema number 1) and creatable by name through
  // CClassRegistry<CBaseTable>. The table's schema is a CProfsSchema built with the value 54;
  // when that allocation fails the table has no schema (LoadFromFile then answers kTblErrSchema).
  CProfsTable();
  ~CProfsTable() override;

  // Storing: writes the record count and every record of the table, deleted ones included. A
  // table of more than 9999 records cannot be written: the stream's error is set to
  // kTblErrBadArgument before anything is written, so that SaveTo leaves an existing file as it
  // was.
  // Loading: reads the record count, which must be exactly four decimal digits ("0000" is the
  // empty table), and that many record lines, each into a new row. A file shorter than the count
  // (an empty file too) sets kTblErrEndOfFile; a blank, signed or non-numeric count, or bytes
  // after the last counted record, set kTblErrBadFormat. A file that ends inside a record sets
  // kTblErrEndOfFile and keeps the records read before it; a row that cannot be appended sets the
  // append's code and ends the reading.
  void Serialize(CTableStream& stream) override;

  // Replaces the table's rows by the records of the exchange file at path. Answers 0;
  // kTblErrFileNotFound (24582) when no file exists there (the table is untouched); kTblErrSchema
  // when the table has no schema (untouched); otherwise the code of the open or read failure that
  // ended the load, the records read before it staying in the table (none when the open failed).
  // The file is opened for reading and writing, so a read-only file fails to open.
  int32_t LoadFromFile(const std::string& path);
};

#endif  // DBC_CONDUIT_FORMAT_PROFS_TABLE_H_
