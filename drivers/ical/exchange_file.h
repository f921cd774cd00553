// The exchange files that the conduit and this driver pass through the data folder, as the
// driver reads and writes them.
//
// A file is a four-digit record count followed by that many record lines, each ending in CR LF:
//   0 record ID (8 upper-case hex digits, or 8 spaces: not set)
//   8 host entry number (4 digits, or 4 spaces: not set)
//  12 date YYYYMMDD, 20 start HH:MM, 25 end HH:MM (both 5 spaces: untimed)
//  30 status ("0" unchanged, "1" added, "2" deleted, "3" modified)
//  31 alarm advance (2 digits, "00": no alarm), 33 alarm unit ("0" minutes, "1" hours, "2" days)
//  34 repeat flag ("1": an occurrence of a repeating handheld event)
//  35 text length N (4 digits), 39 the folded record text (N bytes), then CR LF.
// The record text is the description, then CR LF and the note when there is one, folded so that it
// holds no line break: CR LF becomes ";", a ";" of the text ":", and a ";" follows every run of 60
// bytes. The conduit reads the description back as the bytes before the first ";" (at most 60)
// and the note as the rest, unfolded. This file is the driver's own codec of that format; the
// driver does not link the conduit.
#ifndef DBC_DRIVERS_ICAL_EXCHANGE_FILE_H_
#define DBC_DRIVERS_ICAL_EXCHANGE_FILE_H_

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

namespace ical_driver {

// Largest record count, host entry number, folded text length and alarm advance the fixed-width
// fields carry.
constexpr int kMaxRecords = 9999;
constexpr int kMaxEntryNumber = 9999;
constexpr size_t kMaxFoldedText = 9999;
constexpr int kMaxAlarmAdvance = 99;
// Bytes of a folded run before a ";" is inserted; also the longest description read back.
constexpr size_t kFoldWidth = 60;

enum class EntryStatus { kUnchanged, kAdded, kDeleted, kModified };
enum class AlarmUnit { kMinutes = 0, kHours = 1, kDays = 2 };

// One record line. Read from a file, the text is split and unfolded as the conduit reads it;
// written to a file, description and note are folded into one text.
struct CExchangeEntry {
  bool has_record_id = false;
  uint32_t record_id = 0;
  int entry_number = -1;  // -1: not set
  int year = 1970, month = 1, day = 1;
  bool untimed = false;
  int start_minute = 0;  // minutes after 00:00, timed entries only
  int end_minute = 0;
  EntryStatus status = EntryStatus::kUnchanged;
  int alarm_advance = 0;  // 0: no alarm
  AlarmUnit alarm_unit = AlarmUnit::kMinutes;
  bool repeat = false;
  // The description (private mark included) and the note, with CR LF line breaks. As read from a
  // file, the description is at most 60 bytes and holds no ";".
  std::string description;
  std::string note;
};

// The text that the conduit reads back from a record whose description (private mark included)
// and note are these, after folding (cut at kMaxFoldedText bytes) and splitting.
void NormaliseText(std::string_view description, std::string_view note, std::string* read_desc,
                   std::string* read_note);

// Replaces the entry's description and note by what the conduit reads back from them.
void ReadBackText(CExchangeEntry* entry);

// Serialises entries as an exchange file. Answers false, with *error set, when there are more
// than kMaxRecords entries or an entry number or alarm advance does not fit its field.
bool FormatExchangeFile(const std::vector<CExchangeEntry>& entries, std::string* bytes,
                        std::string* error);

// Parses an exchange file strictly: a count, exactly that many well-formed record lines and
// nothing after them. Answers false, with *error naming the record and the field, for anything
// else; *entries is then unspecified.
bool ParseExchangeFile(std::string_view bytes, std::vector<CExchangeEntry>* entries,
                       std::string* error);

}  // namespace ical_driver

#endif  // DBC_DRIVERS_ICAL_EXCHANGE_FILE_H_
