// hotsync log, and the printing of log entries that hotsync sync shares.
#include <cstdio>

#include "host/hotsync/hotsync_options.h"
#include "host/hotsync/log_output.h"
#include "host/log/log_control.h"

namespace {

constexpr char kLogUsage[] =
    "usage: hotsync [OPTIONS] log [--json]\n"
    "\n"
    "Prints the log entries of the home's earlier syncs (<home>/log.jsonl), oldest first, with\n"
    "their time (UTC). A line that a killed sync left cut is skipped, with a note on standard\n"
    "error.\n"
    "  --json   the entries as JSON objects, one per line, as the log file holds them\n";

enum { kOptionJson = kFirstCommandOptionId };

}  // namespace

std::string TerminalText(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void PrintLogEntries(const std::vector<HsLogEntry>& entries, bool json, bool with_time) {
  for (const HsLogEntry& entry : entries) {
    if (json) {
      std::printf("%s\n", HsLogEntryJson(entry, with_time).c_str());
    } else if (with_time) {
      std::printf("%s %4d  %s\n", HsLogFormatUtc(entry.time).c_str(), entry.activity,
                  TerminalText(entry.text).c_str());
    } else {
      std::printf("%4d  %s\n", entry.activity, TerminalText(entry.text).c_str());
    }
  }
}

int RunLog(HotSyncOptions& options) {
  std::vector<FoundOption> found;
  std::vector<std::string> positional;
  std::string error;
  if (!ParseCommandOptions(&options, {{"json", false, kOptionJson}}, &found, &positional, &error)) {
    return UsageError(error);
  }
  if (options.help) {
    std::fputs(kLogUsage, stdout);
    return kExitOk;
  }
  if (!positional.empty()) return UsageError("log takes no arguments");
  CHotSyncHome home;
  if (!OpenHomeSettings(options, &home)) return kExitUsage;
  std::vector<HsLogEntry> entries;
  size_t skipped = 0;
  if (HsLogReadFile(home.LogPath(), &entries, &skipped, &error) != 0) return UsageError(error);
  PrintLogEntries(entries, !found.empty(), true);
  if (skipped > 0) {
    std::fprintf(stderr, "hotsync: skipped %zu line%s of %s that %s not a whole entry\n", skipped,
                 skipped == 1 ? "" : "s", home.LogPath().c_str(), skipped == 1 ? "is" : "are");
  }
  return kExitOk;
}
