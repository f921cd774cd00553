// The table library's only calls into the operating system: the local time zone, flushing a
// file to disk and putting a finished file in place. Everything else of the library is portable
// C++.
#ifndef DBC_TABLELIB_SYSTEM_H_
#define DBC_TABLELIB_SYSTEM_H_

#include <stdint.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace tablelib {

// Breaks `time` (seconds since 1970 UTC) down in the local time zone; false when the system
// cannot, with *out unspecified.
bool SystemLocalTime(int64_t time, std::tm* out);

// Writes the file's buffered data and waits until the system has it on disk.
bool SystemSyncFile(std::FILE* file);

// Waits until the folder that holds `path` has its names on disk, so that a file created,
// renamed or removed there stays so after a power cut. POSIX only: on Windows it answers true
// (renames there are written through instead).
bool SystemSyncFolderOf(const std::string& path);

// Renames `from` to `to`, replacing an existing `to` in one step, and waits until the rename is
// on disk (on POSIX by flushing the folder, on Windows by a write-through move), so that after a
// power cut `to` is either the old file or the new one. False when the rename failed; when only
// the flush failed the rename stands but false is answered too.
bool SystemReplaceFile(const std::string& from, const std::string& to);

}  // namespace tablelib

#endif  // DBC_TABLELIB_SYSTEM_H_
