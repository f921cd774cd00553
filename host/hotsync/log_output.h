// Printing HotSync log entries on standard output, for hotsync sync and hotsync log.
#ifndef DBC_HOST_HOTSYNC_LOG_OUTPUT_H_
#define DBC_HOST_HOTSYNC_LOG_OUTPUT_H_

#include <string>
#include <vector>

#include "host/log/log_control.h"

// An entry's text for a terminal: line breaks and tabs stay, every other control byte (below
// 0x20, and 0x7F) is shown as "\xHH", so that no text can send escape sequences to the terminal.
std::string TerminalText(const std::string& text);

// One line per entry: "<activity>  <text>" (with_time: the UTC time first), or with json one JSON
// object per line (HsLogEntryJson).
void PrintLogEntries(const std::vector<HsLogEntry>& entries, bool json, bool with_time);

#endif  // DBC_HOST_HOTSYNC_LOG_OUTPUT_H_
