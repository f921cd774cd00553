#include "host/hotsync/sync_lock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace {

constexpr uint32_t kPollMs = 50;
constexpr size_t kMaxHolderText = 200;

std::string UtcNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm_utc{};
  gmtime_r(&now, &tm_utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm_utc);
  return text;
}

// What the holder wrote into the lock file, on one line.
std::string Holder(intptr_t file) {
  std::string holder = sync_lock_file::ReadNote(file, kMaxHolderText);
  while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\r')) holder.pop_back();
  for (char& c : holder) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return holder.empty() ? "a process that has not yet said which" : holder;
}

}  // namespace

CSyncLock::~CSyncLock() {
  if (file_ != -1) sync_lock_file::Close(file_);
}

bool CSyncLock::Acquire(const std::string& path, uint32_t wait_ms, std::string* error) {
  intptr_t file = sync_lock_file::Open(path, error);
  if (file == -1) return false;
  for (uint32_t waited = 0;; waited += kPollMs) {
    sync_lock_file::Try got = sync_lock_file::Lock(file, error);
    if (got == sync_lock_file::Try::kLocked) break;
    if (got == sync_lock_file::Try::kFailed) {
      sync_lock_file::Close(file);
      return false;
    }
    if (waited >= wait_ms) {
      *error = "another sync is running in this home (" + Holder(file) +
               "); try again when it has ended, or wait for it with --wait SECONDS";
      sync_lock_file::Close(file);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  // Without the note a waiting sync cannot name this one; the lock is held all the same.
  sync_lock_file::WriteNote(
      file, "pid " + std::to_string(sync_lock_file::ProcessId()) + ", started " + UtcNow() + "\n");
  file_ = file;
  return true;
}
