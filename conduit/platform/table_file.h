// Saving a table file of the table library, as every file the conduit writes is saved.
#ifndef DBC_CONDUIT_PLATFORM_TABLE_FILE_H_
#define DBC_CONDUIT_PLATFORM_TABLE_FILE_H_

#include <stdint.h>

#include <string>

class CBaseTable;

// Saves table to path (a temporary file, flushed to disk and renamed over path, the folder
// flushed), after the host's fault point for a file save, which may fail the save (kTblErrIo,
// nothing written) or end the process. Answers the table library's code.
int32_t SaveTableFile(CBaseTable& table, const std::string& path);

#endif  // DBC_CONDUIT_PLATFORM_TABLE_FILE_H_
