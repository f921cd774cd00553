// The lock that lets one sync at a time run in a home: both syncs would run their host drivers
// in the same data folder and change the same device image.
#ifndef DBC_HOST_HOTSYNC_SYNC_LOCK_H_
#define DBC_HOST_HOTSYNC_SYNC_LOCK_H_

#include <stdint.h>

#include <string>

class CSyncLock {
 public:
  CSyncLock() = default;
  ~CSyncLock();
  CSyncLock(const CSyncLock&) = delete;
  CSyncLock& operator=(const CSyncLock&) = delete;

  // Takes the lock file `path` (released when the process ends, however it ends) and writes this
  // process's number and start time into it. When another process holds it, tries again for up
  // to wait_ms; then false with *error naming the process that holds it.
  bool Acquire(const std::string& path, uint32_t wait_ms, std::string* error);

 private:
  intptr_t file_ = -1;
};

// The platform's part (sync_lock_posix.cc, sync_lock_win32.cc): an open lock file is an intptr_t,
// -1 for none; the lock covers the whole file for other processes but leaves its text readable.
namespace sync_lock_file {
enum class Try { kLocked, kBusy, kFailed };
// Opens (creating) the lock file so that no child process inherits it; -1 with *error.
intptr_t Open(const std::string& path, std::string* error);
Try Lock(intptr_t file, std::string* error);
// The text in the file (at most `limit` bytes), and replacing it.
std::string ReadNote(intptr_t file, size_t limit);
void WriteNote(intptr_t file, const std::string& note);
// Closes the file, which releases the lock.
void Close(intptr_t file);
// This process's number.
long ProcessId();
}  // namespace sync_lock_file

#endif  // DBC_HOST_HOTSYNC_SYNC_LOCK_H_
