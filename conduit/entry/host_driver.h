// Runs the host driver, the separate program that does all host communication, with its install,
// extract and update commands, and reports its failures to the HotSync log.
//
// A command line is the driver's path followed by seven words: the command, the short data folder,
// a file (or the install path), the host user ID, a number of days, the screen ID and HLLName.
// Values are inserted as they are, without quoting, so a value with a blank becomes two words.
// The driver's whole environment is the given block. While the driver runs the calling thread
// yields to the sync manager (SyncYieldCycles(100)) and sleeps 250 ms between exit-code checks.
// A driver that runs longer than the time limit is ended, with every process it started, and the
// command fails.
#ifndef DBC_CONDUIT_ENTRY_HOST_DRIVER_H_
#define DBC_CONDUIT_ENTRY_HOST_DRIVER_H_

#include <stdint.h>

#include "conduit/platform/os_services.h"

// Longest command line, the terminator included; a longer one is refused with a log line. Every
// word comes from a bounded buffer (DriverPath 199, short folder 199, local file name 255, user
// 39, Install 49, screen 19, HLLName 49 characters), so the longest line that settings and sync
// properties can produce (about 790 characters) always fits.
constexpr size_t kCommandLineSize = 1024;
// Most bytes of the error file that are copied into the log; the entry says when there were more.
constexpr uint64_t kErrorFileLogLimit = 64 * 1024;
// The file, in the data folder, in which the driver may explain a failure.
constexpr char kErrorFileName[] = "conderr.txt";
// The pause after a successful install, so that the host settles before the extract.
constexpr uint32_t kInstallPauseMs = 5000;
// One wait cycle while the driver runs.
constexpr uint16_t kDriverYieldCycles = 100;
constexpr uint32_t kDriverPollMs = 250;

// The values that every command uses. The texts are borrowed and must outlive the CHostDriver.
struct HostDriverSetup {
  const char* driver_path;   // first word of every command line
  const char* short_folder;  // the data folder's short form, ending with a separator
  const char* environment;   // "NAME=value" strings ending with an empty one
  const char* hll_name;      // last word of every command line
  uint32_t time_limit_ms;    // how long one command may run; 0: no limit
};

class CHostDriver {
 public:
  CHostDriver(COsServices& os, const HostDriverSetup& setup) : os_(os), setup_(setup) {}

  // Each command answers true when the driver ended with exit code 0. On failure the HotSync log
  // holds the reason and then the error file's text (when the file exists and is not empty).
  // Install pauses kInstallPauseMs after a success.
  bool RunInstall(const char* install_path);
  bool RunExtract(const char* local_file_name, const char* user_id, int32_t num_days,
                  const char* screen_id);
  bool RunUpdate(const char* file_name, const char* user_id, const char* screen_id);

  // Starts the driver with command_line, waits for its end (at most the time limit) and judges
  // its exit code; logs the reason of a failure (not the error file).
  bool RunDriver(const char* command_line);

  // Logs the error file's text, at most kErrorFileLogLimit bytes of it, as one entry, with control
  // bytes other than line breaks and tabs (a NUL, a terminal's escape) shown as "\xHH". Nothing
  // when the file is missing or empty; a line saying so when it is not a regular file (a link to
  // another file, a pipe), which is not read.
  void LogErrorFile();

 private:
  // Formats the command line and runs it; on failure logs the error file too.
  bool RunCommand(const char* command, const char* file, const char* user_id, int32_t num_days,
                  const char* screen_id);

  COsServices& os_;
  HostDriverSetup setup_;
};

#endif  // DBC_CONDUIT_ENTRY_HOST_DRIVER_H_
