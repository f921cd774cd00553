#include "conduit/platform/posix_os_services.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "sdk/fault_points.h"
#include "sdk/settings_store.h"
#include "tablelib/system.h"

namespace fs = std::filesystem;

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

void CPosixOsServices::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int32_t CPosixOsServices::Now() {
  return static_cast<int32_t>(std::time(nullptr));
}

// Each file operation first passes the host's fault point, which may fail it or end the process.
// A rename or removal is on disk only once the folder that holds the name is flushed.
bool CPosixOsServices::DeleteFile(const char* path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  if (HsFaultPoint(HS_FAULT_FILE_DELETE) != 0) return false;
  return fs::remove(path, ec) && tablelib::SystemSyncFolderOf(path);
}

bool CPosixOsServices::CanDeleteFile(const char* path) {
  // Deleting a file changes its folder, so the folder must let this process write and enter it.
  std::string folder = fs::path(path).parent_path().string();
  return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

bool CPosixOsServices::CopyFile(const char* from, const char* to) {
  if (HsFaultPoint(HS_FAULT_FILE_COPY) != 0) return false;
  int in = ::open(from, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  std::string temp = std::string(to) + ".tmp-XXXXXX";
  int out = ::mkstemp(temp.data());
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = ::fchmod(out, st.st_mode & 0777) == 0;
  char chunk[65536];
  while (ok) {
    ssize_t n = ::read(in, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      ssize_t w = ::write(out, chunk + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      ok = w > 0;
      done += w > 0 ? w : 0;
    }
  }
  ok = ok && ::fsync(out) == 0;
  ok = (::close(out) == 0) && ok;
  ::close(in);
  if (ok && ::rename(temp.c_str(), to) == 0) return tablelib::SystemSyncFolderOf(to);
  ::unlink(temp.c_str());
  return false;
}

bool CPosixOsServices::MoveFile(const char* from, const char* to) {
  std::error_code ec;
  if (fs::exists(to, ec)) return false;
  if (HsFaultPoint(HS_FAULT_FILE_RENAME) != 0) return false;
  fs::rename(from, to, ec);
  return !ec && tablelib::SystemSyncFolderOf(to);
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
  // Not through a link (it could lead to any file of the user), and never waiting on a pipe.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  *file_size = static_cast<uint64_t>(st.st_size);
  std::string raw;
  char chunk[4096];
  while (raw.size() < max_bytes) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, max_bytes - raw.size()));
    ssize_t n = ::read(fd, chunk, want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    raw.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
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
