// The real operating-system services on Windows.
#ifndef DBC_CONDUIT_PLATFORM_WIN32_OS_SERVICES_H_
#define DBC_CONDUIT_PLATFORM_WIN32_OS_SERVICES_H_

#include <string>

#include "conduit/platform/os_services.h"

// Settings are registry values: a SettingsKey is a registry key handle (HKEY), and the root that
// the host hands over is an open key. Numbers are REG_DWORD values, texts REG_SZ values stored
// with their terminator. Processes are created with CreateProcessA from the command line and the
// environment block exactly as given (no shell, no quoting, the caller's current folder); the only
// handles they inherit are their standard handles: input from NUL, output and errors to the
// caller's error output. Creation errors are the system's own codes (GetLastError). Each runs in a
// job object that ends it, and the processes it starts, when KillProcess is called or the caller's
// process ends however it ends. The short form of a
// path is GetShortPathNameA's, and strings are the module's string resources (LoadStringA), the
// module being a module instance (HINSTANCE).
class CWin32OsServices : public COsServices {
 public:
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
};

#endif  // DBC_CONDUIT_PLATFORM_WIN32_OS_SERVICES_H_
