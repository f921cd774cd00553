#include "conduit/entry/host_driver.h"

#include <inttypes.h>
#include <stdio.h>

#include <string>

#include "conduit/entry/entry_log.h"
#include "sdk/sync_manager.h"

namespace {

constexpr char kCommandInstall[] = "install";
constexpr char kCommandExtract[] = "extract";
constexpr char kCommandUpdate[] = "update";
// What the install command passes in the places it does not use.
constexpr char kInstallUser[] = "dummy";
constexpr int32_t kInstallDays = 0;
constexpr char kInstallScreen[] = "XXX";
// The update command applies a whole file, so it names no number of days.
constexpr int32_t kUpdateDays = 0;

constexpr int32_t kExitSuccess = 0;

constexpr char kFileNotFound[] = "A required file or DLL cannot be found.";
constexpr char kModuleNotFound[] = "A required DLL cannot be found.";
constexpr char kLoadError[] = "Error loading Host Driver Err = %d.";
constexpr char kHostCommError[] = "Host Communication Error = %d";
constexpr char kExitCodeUnreadable[] = "Unable to read the Host Driver's exit code. Err = %d.";
constexpr char kDriverTimedOut[] =
    "The Host Driver did not end within %d seconds and was stopped (DriverTimeLimit). Date Book";
constexpr char kErrorFileRefused[] =
    "conderr.txt is not a regular file (a link, a pipe or a folder); it was not read. Date Book";
constexpr char kCommandTooLong[] =
    "The Host Driver command line is longer than 1023 characters. Date Book";

// The log entry is a terminated text shown to a person: a NUL would cut it, and escape sequences
// would reach the terminal.
std::string ShowControlBytes(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
      char hex[5];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

}  // namespace

bool CHostDriver::RunInstall(const char* install_path) {
  if (!RunCommand(kCommandInstall, install_path, kInstallUser, kInstallDays, kInstallScreen)) {
    return false;
  }
  os_.Sleep(kInstallPauseMs);
  return true;
}

bool CHostDriver::RunExtract(const char* local_file_name, const char* user_id, int32_t num_days,
                             const char* screen_id) {
  return RunCommand(kCommandExtract, local_file_name, user_id, num_days, screen_id);
}

bool CHostDriver::RunUpdate(const char* file_name, const char* user_id, const char* screen_id) {
  return RunCommand(kCommandUpdate, file_name, user_id, kUpdateDays, screen_id);
}

bool CHostDriver::RunCommand(const char* command, const char* file, const char* user_id,
                             int32_t num_days, const char* screen_id) {
  char line[kCommandLineSize];
  int length = snprintf(line, sizeof line, "%s %s %s %s %s %d %s %s", setup_.driver_path, command,
                        setup_.short_folder, file, user_id, static_cast<int>(num_days), screen_id,
                        setup_.hll_name);
  // A cut command line would name another file or user; refuse it rather than run it.
  if (length < 0 || static_cast<size_t>(length) >= sizeof line) {
    LogConduitError(kCommandTooLong);
    return false;
  }
  if (!RunDriver(line)) {
    LogErrorFile();
    return false;
  }
  return true;
}

bool CHostDriver::RunDriver(const char* command_line) {
  ProcessHandle process = 0;
  int32_t error = os_.CreateProcess(command_line, setup_.environment, &process);
  if (error != 0) {
    if (error == kOsErrFileNotFound) {
      LogConduitError(kFileNotFound);
    } else if (error == kOsErrModNotFound) {
      LogConduitError(kModuleNotFound);
    } else {
      LogConduitErrorCode(kLoadError, error);
    }
    return false;
  }

  // A host exchange may take long, and the sync manager keeps getting control through the
  // yields; but a driver that hangs must not hang the HotSync.
  uint64_t started = os_.MonotonicMs();
  int32_t exit_code = kOsStillActive;
  int32_t read_error = 0;
  do {
    SyncYieldCycles(kDriverYieldCycles);
    os_.Sleep(kDriverPollMs);
    read_error = os_.GetExitCode(process, &exit_code);
    if (read_error == 0 && exit_code == kOsStillActive && setup_.time_limit_ms != 0 &&
        os_.MonotonicMs() - started >= setup_.time_limit_ms) {
      os_.KillProcess(process);
      os_.CloseProcess(process);
      LogConduitErrorCode(kDriverTimedOut, static_cast<int32_t>(setup_.time_limit_ms / 1000));
      return false;
    }
  } while (read_error == 0 && exit_code == kOsStillActive);
  os_.CloseProcess(process);

  // An exit code that can never be read would otherwise keep the conduit waiting for ever.
  if (read_error != 0) {
    LogConduitErrorCode(kExitCodeUnreadable, read_error);
    return false;
  }
  if (exit_code != kExitSuccess) {
    LogConduitErrorCode(kHostCommError, exit_code);
    return false;
  }
  return true;
}

void CHostDriver::LogErrorFile() {
  std::string path = std::string(setup_.short_folder) + kErrorFileName;
  std::string text;
  uint64_t file_size = 0;
  if (!os_.ReadTextFile(path.c_str(), kErrorFileLogLimit, &text, &file_size)) {
    if (os_.FileExists(path.c_str())) LogConduitError(kErrorFileRefused);
    return;
  }
  if (text.empty()) return;
  text = ShowControlBytes(text);
  // A driver that wrote a huge error file must not flood the log or exhaust memory: only the
  // beginning is logged, with a note that says so, still as one entry.
  if (file_size > kErrorFileLogLimit) {
    char note[160];
    snprintf(note, sizeof note,
             "\n[conduit: conderr.txt holds %" PRIu64 " bytes; only the first %" PRIu64
             " are shown]",
             file_size, kErrorFileLogLimit);
    text += note;
  }
  LogConduitError(text.c_str());
}
