// Control of the HotSync log: the host starts a run before it calls the conduit, reads the run's
// entries afterwards and keeps them in the home's log file. Thread-safe.
#ifndef DBC_HOST_LOG_LOG_CONTROL_H_
#define DBC_HOST_LOG_LOG_CONTROL_H_

#include <stdint.h>

#include <string>
#include <vector>

struct HsLogEntry {
  int32_t activity = 0;
  std::string text;  // the entry's exact bytes
  int64_t time = 0;  // seconds since 1970 (UTC) when the entry was added
};

// Starts a new run: forgets the previous run's entries and sets the log state back to 0.
void HsLogStartRun();
// The entries of the current run, in the order they were added.
std::vector<HsLogEntry> HsLogEntries();

// One JSON object, without a line break: {"activity":N,"text":"..."} and, with `with_time`,
// "time":"YYYY-MM-DDTHH:MM:SSZ" first. Each byte of the text becomes one character: ", \ and
// bytes below 0x20 or from 0x7F on are written as escapes (\u00XX), so a reader gets every byte
// back as the code point of the same value.
std::string HsLogEntryJson(const HsLogEntry& entry, bool with_time);
// Appends the current run's entries to `path` (created when missing), one JSON object with its
// time per line. 0 on success; otherwise -1 and *error (may be null) says why.
int32_t HsLogAppendRun(const std::string& path, std::string* error = nullptr);

#endif  // DBC_HOST_LOG_LOG_CONTROL_H_
