#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "host/hotsync/hotsync_platform.h"

std::string ProgramFolder() {
  std::vector<char> path(MAX_PATH);
  while (true) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return ".";
    if (length < path.size()) {
      std::string exe(path.data(), length);
      size_t separator = exe.find_last_of("\\/");
      return separator == std::string::npos ? "." : exe.substr(0, separator);
    }
    path.resize(path.size() * 2);
  }
}

std::string ScriptDriverPath() {
  return ProgramFolder() + "\\script_driver.exe";
}

std::string DefaultDriverPath() {
  return ScriptDriverPath();
}

std::string DefaultHllName() {
  return "datebook";
}

bool PrepareHostCalendar(const std::string&, const std::string&, const std::string&) {
  return true;
}

std::string UserHomeFolder() {
  const char* home = std::getenv("USERPROFILE");
  return home != nullptr ? home : "";
}

bool CanUseFolder(const std::string& folder, std::string* why) {
  // Access rights on Windows are the file system's; a file made and removed again shows them.
  std::string probe = folder + "\\.hotsync-probe";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *why = "Windows error " + std::to_string(GetLastError());
    return false;
  }
  CloseHandle(file);
  return true;
}

bool ProcessHasEnded(long pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  DWORD code = 0;
  bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return ended;
}

bool MakeFolders(const std::string& folder, std::string* why) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) *why = ec.message();
  return !ec;
}
