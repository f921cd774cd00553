#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/hotsync/hotsync_platform.h"
#include "host/support/sync_folder.h"

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

std::string ScriptDriverPath() {
  return ProgramFolder() + "/script_driver";
}

std::string DefaultDriverPath() {
  return ProgramFolder() + "/ical_driver";
}

std::string DefaultHllName() {
  return "calendar.ics";
}

bool PrepareHostCalendar(const std::string& driver, const std::string& hll,
                         const std::string& hll_name) {
  if (std::filesystem::exists(hll + "/" + hll_name)) return true;
  // The words of the conduit's install command; an empty path imports nothing.
  const std::string folder = hll + "/";
  const std::string path = "PATH=" + hll + ";";
  const char* argv[] = {driver.c_str(), "install",        folder.c_str(), "", "dummy", "0",
                        "XXX",          hll_name.c_str(), nullptr};
  const char* envp[] = {path.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, driver.c_str(), nullptr, nullptr, const_cast<char* const*>(argv),
                  const_cast<char* const*>(envp)) != 0) {
    return false;
  }
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string UserHomeFolder() {
  const char* home = std::getenv("HOME");
  return home != nullptr ? home : "";
}

bool CanUseFolder(const std::string& folder, std::string* why) {
  if (::access(folder.c_str(), R_OK | W_OK | X_OK) == 0) return true;
  *why = std::strerror(errno);
  return false;
}

bool ProcessHasEnded(long pid) {
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool MakeFolders(const std::string& folder, std::string* why) {
  namespace fs = std::filesystem;
  std::string name = folder;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  std::error_code ec;
  const fs::path path = fs::path(name).lexically_normal();
  if (fs::is_directory(path, ec)) return true;
  const fs::path parent = path.has_relative_path() ? path.parent_path() : fs::path();
  if (!parent.empty() && parent != path && !MakeFolders(parent.string(), why)) return false;
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
    *why = "cannot create " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  // The new name is on the disk once the folder that holds it is flushed.
  return SyncFolder(parent.empty() ? "." : parent.string(), why);
}
