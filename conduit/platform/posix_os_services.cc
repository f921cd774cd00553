#include "conduit/platform/posix_os_services.h"

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "sdk/settings_store.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kOsErrAccessDenied = 5;
constexpr int32_t kOsErrBadExeFormat = 193;

struct ChildProcess {
  pid_t pid;
  bool reaped;
  int32_t exit_code;
};

int32_t MapSpawnError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kOsErrFileNotFound;
    case EACCES:
    case EPERM:
      return kOsErrAccessDenied;
    case ENOEXEC:
      return kOsErrBadExeFormat;
    default:
      return error;
  }
}

}  // namespace

std::vector<std::string> SplitCommandLine(const char* command_line) {
  std::vector<std::string> words;
  std::string word;
  for (const char* p = command_line ? command_line : ""; *p; ++p) {
    if (*p == ' ' || *p == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += *p;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::vector<std::string> SplitEnvironmentBlock(const char* block) {
  std::vector<std::string> strings;
  if (block == nullptr) return strings;
  for (const char* p = block; *p; p += std::strlen(p) + 1) strings.emplace_back(p);
  return strings;
}

int32_t CPosixOsServices::OpenKey(SettingsKey root, const char* path, bool /*for_write*/,
                                  SettingsKey* key) {
  // Opening for setting values does not create the key, as opening for reading does not.
  return SettingsOpenKey(root, path, 0, key);
}

void CPosixOsServices::CloseKey(SettingsKey key) {
  SettingsCloseKey(key);
}

int32_t CPosixOsServices::ReadValue(SettingsKey key, const char* name, void* buffer,
                                    uint32_t size) {
  uint32_t in_out = size;
  return SettingsQueryValue(key, name, buffer, &in_out, nullptr);
}

int32_t CPosixOsServices::SetNumber(SettingsKey key, const char* name, uint32_t value) {
  return SettingsSetNumber(key, name, value);
}

int32_t CPosixOsServices::SetText(SettingsKey key, const char* name, const char* text,
                                  uint32_t length) {
  return SettingsSetText(key, name, text, length);
}

int32_t CPosixOsServices::CreateProcess(const char* command_line, const char* environment,
                                        ProcessHandle* process) {
  *process = 0;
  std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) return kOsErrFileNotFound;
  std::vector<std::string> env = SplitEnvironmentBlock(environment);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  // A program named without a folder is looked for in the host's PATH, as the system's own
  // process creation does; the child's environment plays no part in the search.
  int error = words[0].find('/') == std::string::npos
                  ? posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data())
                  : posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data());
  if (error != 0) return MapSpawnError(error);
  *process = reinterpret_cast<ProcessHandle>(new ChildProcess{pid, false, 0});
  return 0;
}

int32_t CPosixOsServices::GetExitCode(ProcessHandle process, int32_t* exit_code) {
  auto* child = reinterpret_cast<ChildProcess*>(process);
  if (child == nullptr) return -1;
  if (!child->reaped) {
    int status = 0;
    pid_t got = waitpid(child->pid, &status, WNOHANG);
    if (got == 0) {
      *exit_code = kOsStillActive;
      return 0;
    }
    if (got < 0) return errno;
    child->reaped = true;
    if (WIFEXITED(status)) {
      child->exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
      child->exit_code = 128 + WTERMSIG(status);
    } else {
      child->exit_code = -1;
    }
  }
  *exit_code = child->exit_code;
  return 0;
}

void CPosixOsServices::CloseProcess(ProcessHandle process) {
  auto* child = reinterpret_cast<ChildProcess*>(process);
  if (child == nullptr) return;
  if (!child->reaped) {
    int status = 0;
    waitpid(child->pid, &status, WNOHANG);
  }
  delete child;
}

void CPosixOsServices::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int32_t CPosixOsServices::Now() {
  return static_cast<int32_t>(std::time(nullptr));
}

bool CPosixOsServices::DeleteFile(const char* path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  return fs::remove(path, ec);
}

bool CPosixOsServices::CopyFile(const char* from, const char* to) {
  std::error_code ec;
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
}

bool CPosixOsServices::MoveFile(const char* from, const char* to) {
  std::error_code ec;
  if (fs::exists(to, ec)) return false;
  fs::rename(from, to, ec);
  return !ec;
}

bool CPosixOsServices::FileExists(const char* path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

uint32_t CPosixOsServices::GetShortPath(const char* path, char* out, uint32_t size) {
  size_t length = std::strlen(path);
  if (out == nullptr || length + 1 > size) return 0;
  std::memcpy(out, path, length + 1);
  return static_cast<uint32_t>(length);
}

bool CPosixOsServices::ReadTextFile(const char* path, uint64_t max_bytes, std::string* text,
                                    uint64_t* file_size) {
  text->clear();
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  std::error_code ec;
  uintmax_t size = fs::file_size(path, ec);
  *file_size = ec ? 0 : size;
  std::string raw;
  char chunk[4096];
  while (raw.size() < max_bytes) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, max_bytes - raw.size()));
    size_t n = std::fread(chunk, 1, want, f);
    if (n == 0) break;
    raw.append(chunk, n);
  }
  std::fclose(f);
  // Text mode: a CR LF pair reads as one LF.
  text->reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    *text += raw[i];
  }
  return true;
}

int32_t CPosixOsServices::LoadString(ModuleInstance module, uint32_t id, char* buffer,
                                     int32_t size) {
  if (buffer == nullptr || size <= 0) return 0;
  const char* text = module != nullptr && module == string_module_ && find_string_ != nullptr
                         ? find_string_(id)
                         : nullptr;
  if (text == nullptr) {
    buffer[0] = '\0';
    return 0;
  }
  size_t length = std::min<size_t>(std::strlen(text), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return static_cast<int32_t>(length);
}
