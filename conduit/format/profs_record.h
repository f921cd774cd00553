// CProfsRecord: a Date Book record of a CProfsTable, which reaches the host entry number (field 15)
// and compares the content of two records.
#ifndef DBC_CONDUIT_FORMAT_PROFS_RECORD_H_
#define DBC_CONDUIT_FORMAT_PROFS_RECORD_H_

#include <stdint.h>

#include "tablelib/record.h"

class CTableStream;

// Values of CompareStartDays.
enum : int32_t {
  kSameStartDay = 0,
  kLaterStartDay = 1,
  kEarlierStartDay = 2,
};

class CProfsRecord : public CDateBkRecord {
 public:
  // flag keeps the table library's meaning (callers pass 0 or 1).
  CProfsRecord(CBaseTable& table, uint16_t flag) : CDateBkRecord(table, flag) {}

  // 1 when fields 3 to 13 (start to repeat kind) of both records compare equal, else 0. The record
  // ID, status, position, repeat rule and host entry number take no part; a record without one of
  // the compared fields is never equal.
  int32_t Equals(const CBaseRecord& other) const override;

  // Field 15. Both answer 0, or kTblErrBadRecord (24577) when the record is not bound to a row, the
  // row has no field 15 or that field is not an integer field; *number is then left as it was.
  int32_t GetHostEntryNumber(int32_t& number) const;
  int32_t SetHostEntryNumber(int32_t number);

  // The start time moved back to 00:00 of its day: the start's hour and minute in local time are
  // subtracted (no correction on a day on which the clock changes). Sets day and answers it.
  int32_t GetStartDay(int32_t& day) const;
  // kEarlierStartDay when this record's start day is earlier than other's, kLaterStartDay when it
  // is later, kSameStartDay when both are the same.
  int32_t CompareStartDays(const CProfsRecord& other) const;

  // Writes this record as one record line of an exchange file, or reads one record line into
  // this record, by the stream's direction (exchange_record.cc). Failures are left in the
  // stream's error: kTblErrEndOfFile for a line cut short (the record is then left as it was).
  void SerializeText(CTableStream& stream);
};

#endif  // DBC_CONDUIT_FORMAT_PROFS_RECORD_H_
