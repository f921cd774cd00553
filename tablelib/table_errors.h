// Result codes of the desktop table library. Every operation that answers a code answers
// kTblOk (0) for success.
#ifndef DBC_TABLELIB_TABLE_ERRORS_H_
#define DBC_TABLELIB_TABLE_ERRORS_H_

#include <stdint.h>

constexpr int32_t kTblOk = 0;
// A record object not bound to a row, or a row without the field asked for.
constexpr int32_t kTblErrBadRecord = 24577;  // 0x6001
constexpr int32_t kTblErrNoMemory = 24578;   // 0x6002
// No record (no further record, no record of that ID).
constexpr int32_t kTblErrNotFound = 24579;     // 0x6003
constexpr int32_t kTblErrBadArgument = 24580;  // 0x6004
// A file that exists but cannot be opened as asked (permissions, a folder).
constexpr int32_t kTblErrAccess = 24581;        // 0x6005
constexpr int32_t kTblErrFileNotFound = 24582;  // 0x6006
// A stream that ended inside a value.
constexpr int32_t kTblErrEndOfFile = 24583;  // 0x6007
// A foreign, damaged or unsupported table file.
constexpr int32_t kTblErrBadFormat = 24584;  // 0x6008
// Writing, flushing or renaming a file failed.
constexpr int32_t kTblErrIo = 24585;  // 0x6009
// A field of another type than the schema says, or a table without a schema.
constexpr int32_t kTblErrSchema = 24586;  // 0x600A

// CCategoryMgr::FindID when no category has the ID.
constexpr int32_t kCatErrNotFound = 4;

#endif  // DBC_TABLELIB_TABLE_ERRORS_H_
