// The table library's only calls into the operating system: the local time zone and flushing a
// file to disk. Everything else of the library is portable C++.
#ifndef DBC_TABLELIB_SYSTEM_H_
#define DBC_TABLELIB_SYSTEM_H_

#include <stdint.h>

#include <cstdio>
#include <ctime>

namespace tablelib {

// Breaks `time` (seconds since 1970 UTC) down in the local time zone; false when the system
// cannot, with *out unspecified.
bool SystemLocalTime(int64_t time, std::tm* out);

// Writes the file's buffered data and waits until the system has it on disk.
bool SystemSyncFile(std::FILE* file);

}  // namespace tablelib

#endif  // DBC_TABLELIB_SYSTEM_H_
