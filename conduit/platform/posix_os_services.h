// The real operating-system services on POSIX.
#ifndef DBC_CONDUIT_PLATFORM_POSIX_OS_SERVICES_H_
#define DBC_CONDUIT_PLATFORM_POSIX_OS_SERVICES_H_

#include <string>
#include <vector>

#include "conduit/platform/os_services.h"

// Settings go to the host's settings store; processes are started with fork and exec (no shell;
// posix_processes.cc);
// files use the C++ standard library; strings come from the string table of the one module given
// at construction (on this platform a module's resources are compiled into it, so the module
// hands over its table's lookup instead of the loader reading it from the module's file).
// A child killed by signal S reports the exit code 128 + S; a program that cannot be started
// reports kOsErrFileNotFound (missing), 5 (not permitted), 193 (not an executable) or the
// system's error number.
class CPosixOsServices : public COsServices {
 public:
  // LoadString answers the texts of find_string for `module` and none for any other module.
  explicit CPosixOsServices(ModuleInstance module = nullptr, StringFinder find_string = nullptr)
      : string_module_(module), find_string_(find_string) {}

  int32_t OpenKey(SettingsKey root, const char* path, bool for_write, SettingsKey* key) override;
  void CloseKey(SettingsKey key) override;
  int32_t ReadValue(SettingsKey key, const char* name, void* buffer, uint32_t size) override;
  int32_t SetNumber(SettingsKey key, const char* name, uint32_t value) override;
  int32_t SetText(SettingsKey key, const char* name, const char* text, uint32_t length) override;

  int32_t CreateProcess(const char* command_line, const char* environment,
                        ProcessHandle* process) override;
  int32_t GetExitCode(ProcessHandle process, int32_t* exit_code) override;
  void CloseProcess(ProcessHandle process) override;
  void KillProcess(ProcessHandle process) override;

  void Sleep(uint32_t milliseconds) override;
  int32_t Now() override;
  uint64_t MonotonicMs() override;

  bool DeleteFile(const char* path) override;
  bool CanDeleteFile(const char* path) override;
  bool CopyFile(const char* from, const char* to) override;
  bool MoveFile(const char* from, const char* to) override;
  bool FileExists(const char* path) override;
  uint32_t GetShortPath(const char* path, char* out, uint32_t size) override;
  bool ReadTextFile(const char* path, uint64_t max_bytes, std::string* text,
                    uint64_t* file_size) override;

  int32_t LoadString(ModuleInstance module, uint32_t id, char* buffer, int32_t size) override;

 private:
  ModuleInstance string_module_;
  StringFinder find_string_;
};

// Splits a command line on blanks (spaces and tabs); empty words are dropped.
std::vector<std::string> SplitCommandLine(const char* command_line);
// The "NAME=value" strings of a double-NUL-terminated environment block.
std::vector<std::string> SplitEnvironmentBlock(const char* block);

#endif  // DBC_CONDUIT_PLATFORM_POSIX_OS_SERVICES_H_
