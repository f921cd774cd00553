#include "tablelib/system.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#endif

namespace tablelib {

bool SystemLocalTime(int64_t time, std::tm* out) {
  const std::time_t value = static_cast<std::time_t>(time);
  if (static_cast<int64_t>(value) != time) return false;
#if defined(_WIN32)
  return localtime_s(out, &value) == 0;
#else
  return localtime_r(&value, out) != nullptr;
#endif
}

bool SystemSyncFile(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

bool SystemSyncFolderOf(const std::string& path) {
#if defined(_WIN32)
  (void)path;
  return true;
#else
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
#endif
}

bool SystemReplaceFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
#else
  return std::rename(from.c_str(), to.c_str()) == 0 && SystemSyncFolderOf(to);
#endif
}

}  // namespace tablelib
