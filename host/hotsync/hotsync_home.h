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

// The name of a user's data folder: every byte of the user name other than a letter, a digit,
// "-", "_" or "." becomes "_" (so the folder holds no blanks), a leading "." becomes "_", at most
// 64 bytes are kept, and an empty result is "user".
std::string DataFolderName(const std::string& user_name);

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

  // Opens the home `dir` (empty: $HOTSYNC_HOME, else ~/.hotsync), setting up what is missing.
  // `new_user` names the handheld's user when a device image is created. Connects the device
  // image. False with *error set when the home cannot be used.
  bool Open(const std::string& dir, const std::string& new_user, std::string* error);

  const std::string& dir() const { return dir_; }
  SettingsKey root() const { return root_; }
  std::string DevicePath() const { return dir_ + "/" + kDeviceImageName; }
  std::string LogPath() const { return dir_ + "/log.jsonl"; }
  // The data folder of `user`, ending with a separator.
  std::string DataFolder(const std::string& user) const;
  // This home's identity, which the handheld records when it was synchronised from here.
  const std::string& desktop_id() const { return desktop_id_; }

  // Per-user bookkeeping under "HotSync/Users/<folder>": number values, -1 when absent.
  int64_t GetUserNumber(const std::string& user, const char* name) const;
  bool SetUserNumber(const std::string& user, const char* name, uint32_t value);
  void UnsetUserValue(const std::string& user, const char* name);

 private:
  bool SetUpSettings(std::string* error);

  std::string dir_;
  std::string desktop_id_;
  SettingsKey root_ = nullptr;
};

#endif  // DBC_HOST_HOTSYNC_HOTSYNC_HOME_H_
