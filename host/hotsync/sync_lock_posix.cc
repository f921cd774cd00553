// The sync lock on POSIX: flock on the whole file, which ends with the process.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

#include "host/hotsync/sync_lock.h"

namespace sync_lock_file {

intptr_t Open(const std::string& path, std::string* error) {
  // Close-on-exec: a host driver that outlives hotsync must not keep the home locked.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) *error = "cannot open the lock file " + path + ": " + std::strerror(errno);
  return fd;
}

Try Lock(intptr_t file, std::string* error) {
  if (::flock(static_cast<int>(file), LOCK_EX | LOCK_NB) == 0) return Try::kLocked;
  if (errno == EWOULDBLOCK || errno == EINTR) return Try::kBusy;
  *error = std::string("cannot lock the sync lock file: ") + std::strerror(errno);
  return Try::kFailed;
}

std::string ReadNote(intptr_t file, size_t limit) {
  std::string text(limit, '\0');
  ssize_t n = ::pread(static_cast<int>(file), &text[0], limit, 0);
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

void WriteNote(intptr_t file, const std::string& note) {
  int fd = static_cast<int>(file);
  if (::ftruncate(fd, 0) == 0) {
    ssize_t written = ::pwrite(fd, note.data(), note.size(), 0);
    (void)written;
  }
}

void Close(intptr_t file) {
  ::close(static_cast<int>(file));
}

long ProcessId() {
  return static_cast<long>(::getpid());
}

}  // namespace sync_lock_file
