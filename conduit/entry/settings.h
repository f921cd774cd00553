// The conduit's settings: the values under its key in the settings store (the registry), read
// afresh at every synchronisation, and the resets of the two one-time requests.
//
// Every failure writes exactly one line to the HotSync log (activity kActivityConduitError) and
// answers false; reading stops at the first value that fails, so later fields keep their initial
// values.
#ifndef DBC_CONDUIT_ENTRY_SETTINGS_H_
#define DBC_CONDUIT_ENTRY_SETTINGS_H_

#include <stdint.h>

#include "conduit/platform/os_services.h"

// Buffer sizes of the text settings, the terminator included. A value that does not fit (with its
// terminator) cannot be read.
constexpr uint32_t kUserIdSize = 40;
constexpr uint32_t kDriverPathSize = 200;
constexpr uint32_t kHllPathSize = 50;
constexpr uint32_t kHllNameSize = 50;
constexpr uint32_t kInstallSize = 50;
constexpr uint32_t kScreenIdSize = 20;

// Names of the values under the conduit's key.
constexpr char kValueUserMode[] = "UserMode";
constexpr char kValueFlushBackup[] = "FlushBackup";
constexpr char kValueUserId[] = "UserID";
constexpr char kValueDriverPath[] = "DriverPath";
constexpr char kValueHllPath[] = "HLLPath";
constexpr char kValueHllName[] = "HLLName";
constexpr char kValueNumDays[] = "NumDays";
constexpr char kValueInstall[] = "Install";
constexpr char kValueScreenId[] = "ScreenID";
constexpr char kValueDriverTimeLimit[] = "DriverTimeLimit";

// How long one host driver command may run, in seconds, when DriverTimeLimit is not set. Host
// exchanges can be slow, so the limit is generous; it is there so that a driver that hangs
// cannot hang the HotSync for ever.
constexpr int32_t kDefaultDriverTimeLimit = 600;

struct ConduitSettings {
  int32_t user_mode = 0;     // 0: the host user ID comes from UserID (or the user name when empty)
  int32_t flush_backup = 0;  // non-zero: drop the backup and a pending update first
  char user_id[kUserIdSize] = {};
  char driver_path[kDriverPathSize] = {};  // the host driver program
  char hll_path[kHllPathSize] = {};        // the driver's only PATH entry
  char hll_name[kHllNameSize] = {};        // last word of every driver command
  int32_t num_days = 0;                    // days to synchronise from 00:00 today
  char install[kInstallSize] = {};         // non-empty: run the install command once
  char screen_id[kScreenIdSize] = {};
  int32_t driver_time_limit = kDefaultDriverTimeLimit;  // seconds; 0: no limit
};

// Reads the settings from the key `path` below `root` into *settings. UserMode and FlushBackup are
// 0 when missing; UserID is read only when UserMode is 0; DriverTimeLimit is
// kDefaultDriverTimeLimit when missing and must not be negative; every other value must exist.
bool ReadConduitSettings(COsServices& os, SettingsKey root, const char* path,
                         ConduitSettings* settings);

// Sets FlushBackup to the number 0, so that the flush is not repeated.
bool ResetFlushBackup(COsServices& os, SettingsKey root, const char* path);

// Sets Install to the empty text, so that the install command is not run again.
bool ResetInstall(COsServices& os, SettingsKey root, const char* path);

#endif  // DBC_CONDUIT_ENTRY_SETTINGS_H_
