// One record line of an exchange file (the desktop, extract, update and backup files).
//
// A record line is 39 + N bytes and CR LF:
//   0 record ID (8, "%08X")           30 status (1)              35 text length N (4, "%04d")
//   8 host entry number (4, "%04d")   31 alarm advance (2)       39 folded record text (N)
//  12 date (8, YYYYMMDD)              33 alarm unit (1)          39+N CR LF
//  20 start, 25 end (5 each, HH:MM)   34 repeat flag (1)
// Blank (space-filled) ID and host entry number fields mean "not set"; blank times mean untimed.
#ifndef DBC_CONDUIT_FORMAT_EXCHANGE_RECORD_H_
#define DBC_CONDUIT_FORMAT_EXCHANGE_RECORD_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

class CProfsRecord;
class CTableStream;

// Widths of the fixed fields of a record line.
constexpr size_t kLineIdWidth = 8;
constexpr size_t kLineEntryWidth = 4;
constexpr size_t kLineDateWidth = 8;
constexpr size_t kLineTimeWidth = 5;
constexpr size_t kLineAlarmWidth = 2;
constexpr size_t kLineLengthWidth = 4;
// Largest values the four-digit and two-digit fields carry.
constexpr int32_t kMaxExchangeCount = 9999;  // records in a file, bytes of folded text
constexpr int32_t kMaxHostEntryNumber = 9999;
constexpr int32_t kMaxExchangeAlarmAdvance = 99;

// The raw fields of one record line as read, before they are applied to a record. Fields are
// space-filled where the line had spaces.
struct CExchangeLine {
  char id[kLineIdWidth + 1] = {};
  char entry[kLineEntryWidth + 1] = {};
  char date[kLineDateWidth + 1] = {};
  char start[kLineTimeWidth + 1] = {};
  char end[kLineTimeWidth + 1] = {};
  uint8_t status = 0;
  char alarm_advance[kLineAlarmWidth + 1] = {};
  uint8_t alarm_unit = 0;
  uint8_t repeat = 0;
  int32_t text_length = 0;  // N as read; 0 or less means no text
  std::string text;         // the N bytes of folded text
};

// Reads one record line. Answers false, with the stream's error set (kTblErrEndOfFile when the
// file ends inside the line before its text is complete), when the line could not be read; a
// missing line end at the very end of the file is accepted.
bool ReadExchangeLine(CTableStream& stream, CExchangeLine* line);

// Sets the record (bound to a row, normally a fresh blank one) from a line: ID and host entry
// number unless blank, start and end time in local time, untimed flag, status, alarm, daily
// repetition for repeat flag "1", private flag for a text beginning "PERS:" or "CONF:",
// description (at most 60 bytes, cut at the first ";") and the unfolded note.
void ApplyExchangeLine(const CExchangeLine& line, CProfsRecord& record);

// Writes the record as one record line. Values the line cannot carry are fitted: a host entry
// number outside 0 to 9999 is written blank (not set), an alarm advance above 99 is expressed in
// a coarser unit when exact and otherwise clamped to 99, and a folded text is cut at 9999 bytes.
void WriteExchangeLine(CProfsRecord& record, CTableStream& stream);

#endif  // DBC_CONDUIT_FORMAT_EXCHANGE_RECORD_H_
