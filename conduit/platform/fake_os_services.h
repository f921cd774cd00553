// Fakes of the operating-system services for tests: settings in memory, scripted processes that
// are recorded, and a clock and a sleep that the test controls. Files and string resources are
// the real ones (tests work in temporary folders), but a chosen file operation can be made to
// fail.
#ifndef DBC_CONDUIT_PLATFORM_FAKE_OS_SERVICES_H_
#define DBC_CONDUIT_PLATFORM_FAKE_OS_SERVICES_H_

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "conduit/platform/posix_os_services.h"
#include "conduit/resources/string_table.h"

class CFakeOsServices : public CPosixOsServices {
 public:
  // String resources are the conduit's own table.
  CFakeOsServices() : CPosixOsServices(ConduitModuleInstance(), FindConduitString) {}

  // The root key to put in HotSyncProps::registry_root.
  SettingsKey root() const { return root_; }

  // --- Settings in memory ---
  // Values are stored as bytes: a number as 4 little-endian bytes, a text with its terminator.
  void SetNumberValue(const std::string& key, const std::string& name, uint32_t value);
  void SetTextValue(const std::string& key, const std::string& name, const std::string& text);
  void EraseValue(const std::string& key, const std::string& name);
  // Creates the key with no values.
  void AddKey(const std::string& key);
  bool HasValue(const std::string& key, const std::string& name) const;
  uint32_t NumberValue(const std::string& key, const std::string& name) const;
  // The stored bytes up to their first NUL.
  std::string TextValue(const std::string& key, const std::string& name) const;
  // Opening for writing fails (as for a key without write access) when set.
  bool fail_open_for_write = false;
  // Setting any value fails when set.
  bool fail_set_value = false;

  // --- Processes ---
  struct Script {
    int32_t create_error = 0;  // non-zero: creation fails with this code
    int32_t exit_code = 0;
    int32_t polls_running = 0;  // GetExitCode answers kOsStillActive this many times first
  };
  // Scripts are used in order, one per CreateProcess; without one a process exits with 0 at once.
  std::deque<Script> scripts;
  struct Launch {
    std::string command_line;
    std::vector<std::string> environment;  // the block's strings
    std::string raw_environment;           // the block's bytes up to and including the double NUL
  };
  std::vector<Launch> launches;
  int32_t exit_code_reads = 0;
  // The handles that KillProcess ended, in order. A killed process exits with kKilledExitCode.
  std::vector<ProcessHandle> kills;
  static constexpr int32_t kKilledExitCode = 137;

  // --- Time ---
  int32_t now = 0;
  std::vector<uint32_t> sleeps;  // each Sleep's milliseconds; Now() does not move
  uint64_t monotonic_ms = 0;     // MonotonicMs(); each Sleep moves it on

  // --- Files ---
  enum class FileOp { kDelete, kCanDelete, kCopy, kMove };
  // From now on every `op` on a file named `file_name` (the last part of a path it is given,
  // either one for copy and move) fails, as it would in a read-only folder; the real operation
  // does not run. Every file operation passes FileOpFails first.
  void FailFileOperation(FileOp op, const std::string& file_name);
  void ClearFileFaults() { file_faults_.clear(); }

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
  void Sleep(uint32_t milliseconds) override {
    sleeps.push_back(milliseconds);
    monotonic_ms += milliseconds;
  }
  int32_t Now() override { return now; }
  uint64_t MonotonicMs() override { return monotonic_ms; }
  bool DeleteFile(const char* path) override;
  bool CanDeleteFile(const char* path) override;
  bool CopyFile(const char* from, const char* to) override;
  bool MoveFile(const char* from, const char* to) override;

 private:
  struct OpenedKey {
    std::string path;
  };
  std::map<std::string, std::map<std::string, std::string>> keys_;
  SettingsKey root_ = reinterpret_cast<SettingsKey>(&keys_);
  std::vector<std::unique_ptr<OpenedKey>> opened_;
  std::vector<Script> running_;  // scripts of launched processes, by handle - 1
  std::vector<std::pair<FileOp, std::string>> file_faults_;

  bool FileOpFails(FileOp op, const char* path, const char* other_path = nullptr) const;
};

#endif  // DBC_CONDUIT_PLATFORM_FAKE_OS_SERVICES_H_
