// The hotsync home: the folder that holds the settings store, the device image, the users' data
// folders, the host driver's library folder and the log file. A new home is set up with working
// values so that a HotSync runs without further set-up.
//
//   <home>/settings.txt       the settings store (the conduit's values under kConduitKeyPath); on
//                             Windows the registry key named after this file
//   <home>/device.db          the emulated handheld's device image
//   <home>/users/<folder>/    a user's data folder (see DataFolderName)
//   <home>/hll/               HLLPath, the host driver's library folder
//   <home>/log.jsonl          every run's log entries, one JSON object per line
//   <home>/sync.lock          held by the sync that runs in this home (see CSyncLock)
#ifndef DBC_HOST_HOTSYNC_HOTSYNC_HOME_H_
#define DBC_HOST_HOTSYNC_HOTSYNC_HOME_H_

#include <stdint.h>

#include <string>

#include "host/hotsync/hotsync_platform.h"
#include "sdk/settings_store.h"

// The conduit's key below the store's root, as HotSyncProps names it to the conduit: on Windows a
// registry key path, whose names are separated by "\".
#if defined(_WIN32)
constexpr char kConduitKeyPath[] = "Conduits\\DateBook";
#else
constexpr char kConduitKeyPath[] = "Conduits/DateBook";
#endif
constexpr char kHostKeyPath[] = "HotSync";
constexpr char kLocalFileName[] = "datebook.dat";
constexpr char kRemoteDatabaseName[] = "DatebookDB";
constexpr uint32_t kDatebookCreator = 0x64617465;  // 'date'
constexpr uint32_t kDatebookType = 0x44415441;     // 'DATA'
constexpr char kHomeEnv[] = "HOTSYNC_HOME";

// Per-user values of the home: the action that configure chose and how long it holds (1 every
// sync, 2 the next sync only), and whether a sync from this home ever reached the handheld.
constexpr char kNextSyncType[] = "NextSyncType";
constexpr char kNextActionKind[] = "NextActionKind";
constexpr char kSynchronised[] = "Synchronised";
constexpr int32_t kActionKindDefault = 1;
constexpr int32_t kActionKindThisTime = 2;

// Longest data folder name, in bytes.
constexpr size_t kMaxFolderName = 100;

// The name of a user's data folder, one to one with the user name: letters, digits, "-", "_" and
// "." stand for themselves (a leading "." does not), every other byte, "%" included, is written
// "%XX" with upper-case hex digits. So names that need no escaping keep their name, no two user
// names share a folder, and the folder holds no blanks and is never "." or "..". False with
// *error for an empty name and for a folder name longer than kMaxFolderName bytes.
bool DataFolderName(const std::string& user_name, std::string* folder, std::string* error);

// The device image's file name inside a home.
constexpr char kDeviceImageName[] = "device.db";

// The home folder that `dir` names, made absolute and without a trailing separator: `dir` itself,
// or when it is empty $HOTSYNC_HOME, else ~/.hotsync. False with *error set when `dir` is empty and
// neither variable helps.
bool ResolveHomeDir(const std::string& dir, std::string* resolved, std::string* error);

class CHotSyncHome {
 public:
  CHotSyncHome() = default;
  ~CHotSyncHome();
  CHotSyncHome(const CHotSyncHome&) = delete;
  CHotSyncHome& operator=(const CHotSyncHome&) = delete;

  // Opens the home `dir` (empty: $HOTSYNC_HOME, else ~/.hotsync) and its settings store, setting
  // up what is missing; removes the temporary files that a killed hotsync left behind. False
  // with *error set when the home cannot be used.
  bool OpenSettings(const std::string& dir, std::string* error);
  // Connects the device image, creating it for the handheld user `new_user` when missing. Call
  // after OpenSettings.
  bool OpenDevice(const std::string& new_user, std::string* error);
  // The HotSync user of this run; false with *error when the name has no data folder.
  bool SetUser(const std::string& user, std::string* error);

  const std::string& dir() const { return dir_; }
  SettingsKey root() const { return root_; }
  std::string DevicePath() const { return dir_ + "/" + kDeviceImageName; }
  std::string LogPath() const { return dir_ + "/log.jsonl"; }
  std::string SyncLockPath() const { return dir_ + "/sync.lock"; }
  const std::string& user() const { return user_; }
  // The user's data folder, ending with a separator.
  std::string DataFolder() const {
    return dir_ + kPathSeparator + "users" + kPathSeparator + user_folder_ + kPathSeparator;
  }
  // This home's identity, which the handheld records when it was synchronised from here.
  const std::string& desktop_id() const { return desktop_id_; }

  // The user's bookkeeping under "HotSync/Users/<folder>": number values. GetUserNumber answers
  // false when the value is absent or not a number.
  bool GetUserNumber(const char* name, int32_t* value) const;
  bool SetUserNumber(const char* name, uint32_t value);
  void UnsetUserValue(const char* name);

 private:
  bool SetUpSettings(std::string* error);
  std::string UserKeyPath() const;

  std::string dir_;
  std::string desktop_id_;
  std::string user_;
  std::string user_folder_;
  SettingsKey root_ = nullptr;
};

#endif  // DBC_HOST_HOTSYNC_HOTSYNC_HOME_H_
