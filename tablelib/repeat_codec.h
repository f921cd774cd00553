// Checking repeat rules and writing them in the table library's file format (FORMAT.txt).
#ifndef DBC_TABLELIB_REPEAT_CODEC_H_
#define DBC_TABLELIB_REPEAT_CODEC_H_

#include <memory>

#include "tablelib/repeat.h"
#include "tablelib/table_codec.h"

namespace tablelib {

// Whether a rule's values lie in their ranges: interval at least 1, first day of the week 0 to 6,
// weekday bits within 0x7F, week index 0 to 4, weekday 0 to 6, day of month 1 to 31, month 0 to
// 11 (and a day that the month can have).
bool IsValidRule(const CRepeateDayInfo& rule);

// Writes a rule, or the mark of no rule when rule is null.
void PutRule(CTableCodec& codec, const CRepeateDayInfo* rule);
// Reads what PutRule wrote; *rule is null for no rule. False (the stream's error set) for a
// damaged or truncated rule or a failed allocation.
bool GetRule(CTableCodec& codec, std::unique_ptr<CRepeateDayInfo>* rule);

}  // namespace tablelib

#endif  // DBC_TABLELIB_REPEAT_CODEC_H_
