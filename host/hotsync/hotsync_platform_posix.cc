#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/hotsync/hotsync_platform.h"

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

std::string ScriptDriverPath() {
  return ProgramFolder() + "/script_driver";
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
