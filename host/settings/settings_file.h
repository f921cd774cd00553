// The settings store's file (POSIX; on Windows the store is the registry): its text format, reading
// it, and replacing it durably under a lock so that several processes can change one store
// without losing each other's changes.
//
// File format (a person can read and edit it):
//   # hotsync settings store 2
//   [Conduits/DateBook]
//   NumDays=number:30
//   DriverPath=text:/usr/lib/driver
//   # end of settings store
// Numbers are decimal and fit a signed 32-bit number. Texts escape "\" as "\\", and bytes below
// 0x20, 0x7F and above as "\xHH". Other lines starting with "#" and empty lines are ignored. The
// closing line shows that the file was written to its end: a file without it was cut short. A
// version 1 file (header "# hotsync settings store 1") had no closing line and is still read.
#ifndef DBC_HOST_SETTINGS_SETTINGS_FILE_H_
#define DBC_HOST_SETTINGS_SETTINGS_FILE_H_

#include <stdint.h>

#include <map>
#include <string>

namespace settings_file {

struct Value {
  uint32_t type = 0;  // kSettingsTypeNumber or kSettingsTypeText
  std::string bytes;  // a number: 4 little-endian bytes; a text: without its terminator
};
using Values = std::map<std::string, Value>;
using Keys = std::map<std::string, Values>;  // full key path -> values

// "a//b\c/" below `base` -> "base/a/b/c"; false for a "." or ".." part or a bad character.
bool NormalizeKeyPath(const std::string& base, const char* path, std::string* out);
bool ValidValueName(const char* name);

std::string NumberBytes(uint32_t value);
uint32_t BytesNumber(const std::string& bytes);

// Parses a store file's content. False with *error naming the line and the problem.
bool ParseStore(const std::string& content, Keys* keys, std::string* error);
std::string RenderStore(const Keys& keys);

// Reads and parses the file at `path`. A missing file is an empty store with *exists false; an
// empty, cut or damaged one fails with *error saying why (the file is left alone).
bool ReadStoreFile(const std::string& path, Keys* keys, bool* exists, std::string* error);

// The file that changes are written to: `path` itself, or the file that a symbolic link at
// `path` leads to (so that the link stays a link). False with *error for a dangling link.
bool ResolveStoreTarget(const std::string& path, std::string* target, std::string* error);

// Replaces `target` with `content`: a temporary file of this writer in the same folder, written,
// given the old file's mode (0600 for a new store), fsynced and renamed over the target; then the
// folder is fsynced. A read-only target (no write bit for its owner) is refused. On failure the
// old file is untouched and *error says why.
bool WriteStoreFile(const std::string& target, const std::string& content, std::string* error);

// The prefix of the temporary files of WriteStoreFile for `target`: "<target>.tmp-<pid>-".
std::string TempFilePrefix(const std::string& target);

// An exclusive lock on the store, held from construction until destruction: a lock file
// "<target>.lock" beside the store, locked with flock. Waits up to wait_ms for another holder.
class CStoreLock {
 public:
  CStoreLock(const std::string& target, uint32_t wait_ms);
  ~CStoreLock();
  CStoreLock(const CStoreLock&) = delete;
  CStoreLock& operator=(const CStoreLock&) = delete;
  bool held() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

}  // namespace settings_file

#endif  // DBC_HOST_SETTINGS_SETTINGS_FILE_H_
