// Flushing a folder on POSIX: a file created, renamed or removed in a folder is on the disk only
// once the folder itself is flushed.
#ifndef DBC_HOST_SUPPORT_SYNC_FOLDER_H_
#define DBC_HOST_SUPPORT_SYNC_FOLDER_H_

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

// Flushes `folder` (a path to a folder, not to a file in it). False with *error set when the
// folder cannot be opened or flushed.
inline bool SyncFolder(const std::string& folder, std::string* error) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open the folder " + folder + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  if (!ok) *error = "cannot sync the folder " + folder + ": " + std::strerror(errno);
  ::close(fd);
  return ok;
}

#endif  // DBC_HOST_SUPPORT_SYNC_FOLDER_H_
