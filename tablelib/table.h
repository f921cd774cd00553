// Tables: rows of fields laid out by a schema, with a category list.
#ifndef DBC_TABLELIB_TABLE_H_
#define DBC_TABLELIB_TABLE_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "tablelib/category.h"
#include "tablelib/fields.h"
#include "tablelib/schema.h"

class CBaseRecord;
class CDateBkRecord;
class CTableStream;

// Record status values. The archive flag is kept apart from the status.
enum : int32_t {
  kStatusUnchanged = 0,
  kStatusAdded = 1,
  kStatusModified = 2,
  kStatusDeleted = 4,
  kStatusPending = 8,
};

// One row: a field per schema field, and the archive flag.
struct CTableRow {
  std::vector<std::unique_ptr<CBaseField>> fields;
  bool archived = false;
};

class CBaseTable {
 public:
  CBaseTable();
  virtual ~CBaseTable();
  CBaseTable(const CBaseTable&) = delete;
  CBaseTable& operator=(const CBaseTable&) = delete;

  // Writes the whole table to the stream or reads it from the stream, by the stream's direction;
  // failures are left in the stream's error. The base class writes the library's own format
  // (FORMAT.txt): schema, categories and rows.
  virtual void Serialize(CTableStream& stream);
  // Creates an empty field for a type code of the schema; kTblErrSchema for an unknown code.
  virtual int32_t ConstructProperField(uint16_t type, std::unique_ptr<CBaseField>& field);
  // Adds a row with empty fields and binds record to it.
  virtual int32_t AppendBlankRecord(CBaseRecord& record);
  // Adds a copy of source's row (its fields that this table's schema shares by index and type,
  // record ID included; its archive flag) and binds target to the new row. source may belong to
  // another table with another schema. flag is accepted and has no further effect.
  virtual int32_t AppendDuplicateRecord(CBaseRecord& source, CBaseRecord& target, int32_t flag);
  // Writes a readable list of the rows to standard error, for debugging.
  virtual void DumpRecords();

  int32_t GetRecordCount() const { return static_cast<int32_t>(rows_.size()); }
  // Removes every row; record objects bound to removed rows become unbound.
  int32_t PurgeAllRecords();
  // Removes the rows whose status is kStatusDeleted.
  int32_t PurgeDeletedRecords();
  // Empties the table (rows; the schema and categories stay) before a load.
  void DestroyAllFields();

  // Writes the table through Serialize into a temporary file in the same folder, flushes it and
  // renames it over path; a failed save leaves an existing file as it was. 0 or a code.
  int32_t SaveTo(const std::string& path);
  // Replaces the rows and categories by those of the file, read through Serialize.
  // kTblErrFileNotFound when no file exists (the table is untouched); another code for a file
  // that cannot be read or is foreign, truncated or damaged (the table is then emptied).
  int32_t OpenFrom(const std::string& path, int32_t flag);

  CCategoryMgr* GetCategoryManager() { return &categories_; }

  // The table owns its schema; setting a new one releases the old one.
  void SetSchema(std::unique_ptr<CBaseSchema> schema);
  CBaseSchema* GetSchema() const { return schema_.get(); }

  // Row access for records and iterators of this library.
  CTableRow* RowAt(int32_t index) const;
  int32_t IndexOfRow(const CTableRow* row) const;
  // Tells the table that a row's record ID, status or category changed, so that sorted orders
  // are brought up to date.
  void NoteRowChanged(CTableRow* row, int32_t field);

 protected:
  std::unique_ptr<CBaseSchema> schema_;

 private:
  friend class CBaseIterator;
  struct SortCache;

  int32_t AppendRow(std::unique_ptr<CTableRow> row, CBaseRecord& record);

  std::vector<std::unique_ptr<CTableRow>> rows_;
  CCategoryMgr categories_;
  std::unique_ptr<SortCache> sort_cache_;
};

// A table of Date Book records (CDateBkSchema).
class CDateBkTable : public CBaseTable {
 public:
  CDateBkTable();
  ~CDateBkTable() override;
  int32_t ConstructProperField(uint16_t type, std::unique_ptr<CBaseField>& field) override;
  int32_t AppendDuplicateRecord(CBaseRecord& source, CBaseRecord& target, int32_t flag) override;
  using CBaseTable::AppendBlankRecord;
  // Adds a blank Date Book row (untimed flag clear, no alarm, no repetition, status 0, record ID
  // 0, category 0) and binds record to it.
  virtual int32_t AppendBlankRecord(CDateBkRecord& record);
};

#endif  // DBC_TABLELIB_TABLE_H_
