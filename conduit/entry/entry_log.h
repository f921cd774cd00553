// The log lines of the conduit's entry, settings and host driver: one HotSync log entry per line,
// with the activity code for conduit failures and the flag 0.
#ifndef DBC_CONDUIT_ENTRY_ENTRY_LOG_H_
#define DBC_CONDUIT_ENTRY_ENTRY_LOG_H_

#include <stdint.h>

#include "sdk/conduit_exports.h"

// The line that ends every failed synchronisation.
constexpr char kSyncFailedLine[] = DATEBOOK_SYNC_FAILED_LINE;

// Adds text as one entry with kActivityConduitError.
void LogConduitError(const char* text);

// Adds the line built from format (one %d) and value.
void LogConduitErrorCode(const char* format, int32_t value);

#endif  // DBC_CONDUIT_ENTRY_ENTRY_LOG_H_
