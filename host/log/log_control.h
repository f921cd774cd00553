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
// A time as "YYYY-MM-DDTHH:MM:SSZ" (UTC), as the entries carry it.
std::string HsLogFormatUtc(int64_t seconds);
// Keeps the entries in the log file `path` (created when missing) from now on: each entry is
// appended as it is added, one JSON object with its time per line, so that a run that is killed
// leaves what it logged. A last line that a killed run left cut is ended first, so that it does
// not glue onto the next entry. 0 on success; otherwise -1 and *error (may be null) says why.
int32_t HsLogOpenFile(const std::string& path, std::string* error = nullptr);
// Ends the file of HsLogOpenFile: syncs it to disk and closes it. 0 when every entry was written
// and synced; otherwise -1 and *error (may be null) says why.
int32_t HsLogCloseFile(std::string* error = nullptr);

// Reads a log file: its entries in order. A line that is not a whole entry (the cut last line of
// a run that was killed while it wrote) is skipped and counted in *skipped. 0 on success; -1
// with *error when the file cannot be read; a missing file holds no entries.
int32_t HsLogReadFile(const std::string& path, std::vector<HsLogEntry>* entries, size_t* skipped,
                      std::string* error = nullptr);

#endif  // DBC_HOST_LOG_LOG_CONTROL_H_
