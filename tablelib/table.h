// Tables: rows of fields laid out by a schema, with a category list.
#ifndef DBC_TABLELIB_TABLE_H_
#define DBC_TABLELIB_TABLE_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "tablelib/category.h"
#include "tablelib/fields.h"
#include "tablelib/schema.h"

class CBaseRecord;
class CBaseTable;
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

// The sorted orders a table keeps (CBaseIterator).
enum : int32_t {
  kSortOrderById = 0,
  kSortOrderByStatus = 1,
  kSortOrderByCategory = 2,
  kSortOrderCount = 3,
};

// One row: a field per schema field, and the archive flag. The other members belong to the table
// that holds the row.
struct CTableRow {
  std::vector<std::unique_ptr<CBaseField>> fields;
  bool archived = false;

  CBaseTable* owner = nullptr;  // the table that holds the row
  uint64_t seq = 0;             // rises with table order; never reused within a table
  // Per sorted order: the key the row is filed under, and whether it waits to be (re)filed.
  struct SortSlot {
    int64_t key = 0;
    bool filed = false;
    bool pending = false;
  } sort_slots[kSortOrderCount];
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
  // Replaces the rows and categories by those of the file, read through Serialize. The file is
  // only read. kTblErrFileNotFound when no file exists (the table is untouched); another code for
  // a file that cannot be read or is foreign, truncated or damaged: kTblErrBadFormat for a
  // foreign or damaged file, kTblErrEndOfFile for a truncated one, kTblErrSchema for a table file
  // of another field layout. After a failure the table holds no rows (its categories stay); the
  // base format never leaves part of a file in the table.
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
  // Sets the values of a blank row beyond the empty fields; the base class sets none.
  virtual void InitBlankRow(CTableRow& row);
  // Builds a row with a field per schema field (empty values); null with *error set on failure.
  std::unique_ptr<CTableRow> NewRow(int32_t* error);

  std::unique_ptr<CBaseSchema> schema_;

 private:
  friend class CBaseIterator;
  friend class CBaseRecord;
  struct SortCache;

  int32_t AppendRow(std::unique_ptr<CTableRow> row, CBaseRecord& record);
  // Removes the rows for which doomed is true, unbinding the records bound to them.
  template <class Pred>
  void RemoveRows(Pred doomed);
  void StoreOwnFormat(CTableStream& stream);
  void LoadOwnFormat(CTableStream& stream);

  // Sorted orders, for CBaseIterator. PrepareOrder builds the order or brings it up to date (0 or
  // kTblErrNoMemory); the walk functions answer the row after (key, seq), or null.
  int32_t PrepareOrder(int32_t order);
  CTableRow* FirstInOrder(int32_t order, int64_t key, uint64_t seq, bool after);
  int64_t SortKeyOf(const CTableRow& row, int32_t order) const;
  void DropOrder(int32_t order);

  void RegisterRecord(CBaseRecord* record);
  void UnregisterRecord(CBaseRecord* record);

  std::vector<std::unique_ptr<CTableRow>> rows_;
  CCategoryMgr categories_;
  std::unique_ptr<SortCache> sort_cache_;
  uint64_t next_seq_ = 1;
  std::unordered_set<CBaseRecord*> bound_records_;  // records bound to a row of this table
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
  // 0, category 0) and binds record to it. Both forms of AppendBlankRecord give such a row.
  virtual int32_t AppendBlankRecord(CDateBkRecord& record);

 protected:
  // No alarm: the alarm advance is -1.
  void InitBlankRow(CTableRow& row) override;
};

#endif  // DBC_TABLELIB_TABLE_H_
