#include "conduit/entry/settings.h"

#include <string.h>

#include "conduit/entry/entry_log.h"

namespace {

constexpr char kCannotOpenKey[] = "Unable to open conduit registry key. Date Book";
constexpr char kCannotReadUserId[] = "Unable to read UserID in registry. Date Book";
constexpr char kCannotReadDriverPath[] = "Unable to read DriverPath in registry. Date Book";
constexpr char kCannotReadHllPath[] = "Unable to read HLLPath in registry. Date Book";
constexpr char kCannotReadHllName[] = "Unable to read HLLName in registry. Date Book";
constexpr char kCannotReadNumDays[] =
    "Unable to read Number of Days to Sync in registry. Date Book";
constexpr char kCannotReadInstall[] = "Unable to read Install path in registry. Date Book";
constexpr char kCannotReadScreenId[] = "Unable to read screen ID in registry. Date Book";
constexpr char kBadDriverTimeLimit[] =
    "DriverTimeLimit in registry is negative; set 0 (no limit) or a number of seconds. Date Book";
constexpr char kCannotResetFlushBackup[] = "Unable to reset FlushBackup key in registry. Date Book";
constexpr char kCannotResetInstall[] = "Unable to reset Install key in registry. Date Book";

// Closes the key on every path out of the reader.
class CKeyCloser {
 public:
  CKeyCloser(COsServices& os, SettingsKey key) : os_(os), key_(key) {}
  ~CKeyCloser() { os_.CloseKey(key_); }
  CKeyCloser(const CKeyCloser&) = delete;
  CKeyCloser& operator=(const CKeyCloser&) = delete;

 private:
  COsServices& os_;
  SettingsKey key_;
};

// Reads a number value of at most 4 bytes; a shorter value fills the low bytes.
bool ReadNumber(COsServices& os, SettingsKey key, const char* name, int32_t* value) {
  uint8_t bytes[4] = {};
  if (os.ReadValue(key, name, bytes, sizeof bytes) != 0) return false;
  *value = static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

// Reads a text value into a zero-filled buffer. A value that fills the buffer without a
// terminator (a number or raw bytes stored under a text's name) is refused like one that is too
// long, so the buffer always holds a terminated text.
bool ReadText(COsServices& os, SettingsKey key, const char* name, char* buffer, uint32_t size) {
  memset(buffer, 0, size);
  if (os.ReadValue(key, name, buffer, size) != 0) return false;
  if (memchr(buffer, '\0', size) == nullptr) {
    memset(buffer, 0, size);
    return false;
  }
  return true;
}

}  // namespace

bool ReadConduitSettings(COsServices& os, SettingsKey root, const char* path,
                         ConduitSettings* settings) {
  SettingsKey key = nullptr;
  if (os.OpenKey(root, path, false, &key) != 0 || key == nullptr) {
    LogConduitError(kCannotOpenKey);
    return false;
  }
  CKeyCloser closer(os, key);

  if (!ReadNumber(os, key, kValueUserMode, &settings->user_mode)) settings->user_mode = 0;
  if (!ReadNumber(os, key, kValueFlushBackup, &settings->flush_backup)) settings->flush_backup = 0;

  memset(settings->user_id, 0, sizeof settings->user_id);
  if (settings->user_mode == 0 &&
      !ReadText(os, key, kValueUserId, settings->user_id, sizeof settings->user_id)) {
    LogConduitError(kCannotReadUserId);
    return false;
  }
  if (!ReadText(os, key, kValueDriverPath, settings->driver_path, sizeof settings->driver_path)) {
    LogConduitError(kCannotReadDriverPath);
    return false;
  }
  if (!ReadText(os, key, kValueHllPath, settings->hll_path, sizeof settings->hll_path)) {
    LogConduitError(kCannotReadHllPath);
    return false;
  }
  if (!ReadText(os, key, kValueHllName, settings->hll_name, sizeof settings->hll_name)) {
    LogConduitError(kCannotReadHllName);
    return false;
  }
  if (!ReadNumber(os, key, kValueNumDays, &settings->num_days)) {
    LogConduitError(kCannotReadNumDays);
    return false;
  }
  if (!ReadText(os, key, kValueInstall, settings->install, sizeof settings->install)) {
    LogConduitError(kCannotReadInstall);
    return false;
  }
  if (!ReadText(os, key, kValueScreenId, settings->screen_id, sizeof settings->screen_id)) {
    LogConduitError(kCannotReadScreenId);
    return false;
  }
  if (!ReadNumber(os, key, kValueDriverTimeLimit, &settings->driver_time_limit)) {
    settings->driver_time_limit = kDefaultDriverTimeLimit;
  } else if (settings->driver_time_limit < 0) {
    LogConduitError(kBadDriverTimeLimit);
    return false;
  }
  return true;
}

bool ResetFlushBackup(COsServices& os, SettingsKey root, const char* path) {
  SettingsKey key = nullptr;
  if (os.OpenKey(root, path, true, &key) != 0 || key == nullptr) {
    LogConduitError(kCannotOpenKey);
    return false;
  }
  CKeyCloser closer(os, key);
  if (os.SetNumber(key, kValueFlushBackup, 0) != 0) {
    LogConduitError(kCannotResetFlushBackup);
    return false;
  }
  return true;
}

bool ResetInstall(COsServices& os, SettingsKey root, const char* path) {
  SettingsKey key = nullptr;
  if (os.OpenKey(root, path, true, &key) != 0 || key == nullptr) {
    LogConduitError(kCannotOpenKey);
    return false;
  }
  CKeyCloser closer(os, key);
  if (os.SetText(key, kValueInstall, "", 0) != 0) {
    LogConduitError(kCannotResetInstall);
    return false;
  }
  return true;
}
