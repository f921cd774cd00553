// The sync lock on Windows: a byte-range lock far beyond the note (so that the note stays
// readable), which ends with the handle and so with the process.
#include <windows.h>

#include "host/hotsync/sync_lock.h"

namespace sync_lock_file {

namespace {

constexpr DWORD kLockOffset = 0x40000000;

HANDLE ToHandle(intptr_t file) {
  return reinterpret_cast<HANDLE>(file);
}

}  // namespace

intptr_t Open(const std::string& path, std::string* error) {
  // Not inheritable: a host driver that outlives hotsync must not keep the home locked.
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error =
        "cannot open the lock file " + path + ": Windows error " + std::to_string(GetLastError());
    return -1;
  }
  return reinterpret_cast<intptr_t>(file);
}

Try Lock(intptr_t file, std::string* error) {
  OVERLAPPED at = {};
  at.Offset = kLockOffset;
  if (LockFileEx(ToHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &at)) {
    return Try::kLocked;
  }
  DWORD code = GetLastError();
  if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return Try::kBusy;
  *error = "cannot lock the sync lock file: Windows error " + std::to_string(code);
  return Try::kFailed;
}

std::string ReadNote(intptr_t file, size_t limit) {
  std::string text(limit, '\0');
  OVERLAPPED at = {};
  DWORD n = 0;
  if (!ReadFile(ToHandle(file), &text[0], static_cast<DWORD>(limit), &n, &at)) n = 0;
  text.resize(n);
  return text;
}

void WriteNote(intptr_t file, const std::string& note) {
  HANDLE handle = ToHandle(file);
  SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
  SetEndOfFile(handle);
  DWORD written = 0;
  WriteFile(handle, note.data(), static_cast<DWORD>(note.size()), &written, nullptr);
}

void Close(intptr_t file) {
  CloseHandle(ToHandle(file));
}

long ProcessId() {
  return static_cast<long>(GetCurrentProcessId());
}

}  // namespace sync_lock_file
