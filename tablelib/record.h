// Record objects: a view of one row of a table, positioned by iterators, appends and searches.
//
// A record object is bound to a table at construction and to a row by the table or an iterator.
// Operations on an unbound record, or on a row without the field asked for, answer
// kTblErrBadRecord and leave out-parameters as they were.
#ifndef DBC_TABLELIB_RECORD_H_
#define DBC_TABLELIB_RECORD_H_

#include <stdint.h>

#include <string>
#include <string_view>

#include "tablelib/fields.h"
#include "tablelib/repeat.h"
#include "tablelib/table.h"

class CBaseRecord {
 public:
  // flag is kept for callers (GetFlag) and has no effect on the record.
  CBaseRecord(CBaseTable& table, uint16_t flag);
  virtual ~CBaseRecord();
  CBaseRecord(const CBaseRecord&) = delete;
  CBaseRecord& operator=(const CBaseRecord&) = delete;

  // 1 when both records have the same content, else 0. The base class compares every field but
  // the record ID, status and position fields.
  virtual int32_t Equals(const CBaseRecord& other) const;
  // Copies the content of a record of the same schema into this record's row: every field but
  // the record ID and the status; the archive flag stays. kTblErrSchema for another schema.
  virtual int32_t Assign(const CBaseRecord& other);
  // The number of bytes the row's fields hold.
  virtual int32_t GetRawDataSize() const;

  CBaseTable& GetTable() const { return *table_; }
  uint16_t GetFlag() const { return flag_; }
  // Whether the record is bound to a row (its fields are set up). A record stays bound while rows
  // are appended to the table; it becomes unbound when its row is purged or its table destroyed.
  bool IsBound() const { return row_ != nullptr; }
  CTableRow* GetRow() const { return row_; }
  // Binds the record to a row of any table (null unbinds it). Getters and setters then work on
  // that row, by the layout of the table that holds it.
  void Bind(CTableRow* row);
  // Field `index` of the row, or null when unbound or when the row has no such field.
  CBaseField* GetField(int32_t index) const;

  int32_t GetRecordId(uint32_t& id) const;
  int32_t SetRecordId(uint32_t id);
  int32_t GetCategoryId(int32_t& category) const;
  int32_t SetCategoryId(int32_t category);
  int32_t GetStatus(int32_t& status) const;
  // status: kStatusUnchanged, kStatusAdded, kStatusModified, kStatusDeleted or kStatusPending.
  int32_t SetStatus(int32_t status);
  bool IsAdded() const;
  bool IsModified() const;
  bool IsDeleted() const;
  bool IsPending() const;
  int32_t SetArchiveBit(bool archived);
  bool IsArchived() const;

 protected:
  // The schema of the table that holds the bound row; null when unbound.
  const CBaseSchema* RowSchema() const;
  // The integer field at a schema position; null when the row has none there.
  CIntegerField* IntegerAt(int32_t index) const;
  // Sets an integer field that may be a sort key, and tells the table.
  int32_t SetKeyField(int32_t index, int32_t value);

  CBaseTable* table_;
  CTableRow* row_ = nullptr;
  uint16_t flag_;

 private:
  friend class CBaseTable;
  CBaseTable* bound_table_ = nullptr;  // the table the record is registered with
};

class CDateBkRecord : public CBaseRecord {
 public:
  CDateBkRecord(CBaseTable& table, uint16_t flag) : CBaseRecord(table, flag) {}

  // Copies the content of another Date Book record (fields 3 to 14).
  int32_t Assign(const CBaseRecord& other) override;

  int32_t GetStartTime(int32_t& time) const;
  int32_t SetStartTime(int32_t time);
  int32_t GetEndTime(int32_t& time) const;
  int32_t SetEndTime(int32_t time);
  bool IsUnTimed() const;
  int32_t SetUnTimedFlag(int32_t untimed);

  bool IsAlarmSet() const;
  int32_t SetAlarmFlag(int32_t set);
  // -1 when no alarm was set.
  int32_t GetAlarmAdvTime(int32_t& advance) const;
  int32_t SetAlarmAdvTime(int32_t advance);
  // 0 minutes, 1 hours, 2 days.
  int32_t GetAlarmAdvUnit(int32_t& unit) const;
  int32_t SetAlarmAdvUnit(int32_t unit);

  int32_t GetDescription(std::string& text) const;
  int32_t SetDescription(std::string_view text);
  int32_t GetNote(std::string& text) const;
  int32_t SetNote(std::string_view text);
  // Whether the note is not empty.
  bool IsNote() const;
  bool IsPrivate() const;
  int32_t SetPrivate(int32_t is_private);

  bool IsRepeatingEvt() const;
  // Removes the repeat rule and the exceptions.
  int32_t StopRepeatingEvt();
  // The repeat rule, or null when the event does not repeat. Valid until the record changes.
  const CRepeateDayInfo* GetRepeateInfo() const;
  // Each sets the rule (replacing one the record had) and keeps the exceptions.
  int32_t SetRepDaily(const CDayName& rule);
  int32_t SetRepWeekly(const CWeekly& rule);
  int32_t SetRepMonthlyByDay(const CDayOfMonth& rule);
  int32_t SetRepMonthlyByDate(const CDateOfMonth& rule);
  int32_t SetRepYearlyByDate(const CDateOfYear& rule);

  int32_t GetNumExceptions() const;
  // Walk the exceptions in ascending order; 0 while one was found.
  int32_t FindFirstException(CDateException& exception);
  int32_t FindNextException(CDateException& exception);
  // Adds the day of `date` (stored as that day at 00:00 local time); a day already present is not
  // added twice (answers 0).
  int32_t AddException(int32_t date);
  // Whether the day of `date` is an exception day.
  bool IsException(int32_t date) const;

  // The first occurrence whose day is on or after the day of `from`, never before the event's own
  // start day, never after the rule's end date, skipping exception days: 0 and *next set to that
  // day plus the event's start time of day (local time). A non-repeating event occurs once, on its
  // start day. Non-zero (kTblErrNotFound) when there is none.
  int32_t CalcNextOccurrance(int32_t from, int32_t& next) const;

 private:
  int32_t SetRule(const CRepeateDayInfo& rule);
  CRepeatEventField* RepeatField() const;
  size_t exception_cursor_ = 0;
};

#endif  // DBC_TABLELIB_RECORD_H_
