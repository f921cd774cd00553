#include "host/hotsync/hotsync_home.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "host/device/device_control.h"
#include "host/settings/settings_host.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kHllPathSize = 50;  // the conduit reads HLLPath into 50 bytes
constexpr char kUsersKeyPath[] = "HotSync/Users";
constexpr char kStoreName[] = "settings.txt";
// Temporary files that a killed hotsync can leave in the home: "<name><pid>..." while the file
// is written under a name of its own, before it is renamed or linked into place.
constexpr const char* kTempPrefixes[] = {"device.db.new-", "settings.txt.tmp-"};

std::string NewDesktopId() {
  std::random_device random;
  char text[32];
  std::snprintf(text, sizeof text, "%08x%08x", random(), random());
  return text;
}

bool IsPlainByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

// Removes the temporary files of hotsync processes that no longer run. A file whose process
// still runs (or whose number now belongs to another process) is left alone.
void RemoveLeftoverTempFiles(const std::string& dir) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    for (const char* prefix : kTempPrefixes) {
      size_t length = std::strlen(prefix);
      if (name.compare(0, length, prefix) != 0) continue;
      char* end = nullptr;
      long pid = std::strtol(name.c_str() + length, &end, 10);
      if (end == name.c_str() + length || pid <= 0) continue;
      std::error_code ignored;
      if (ProcessHasEnded(pid)) fs::remove(entry.path(), ignored);
    }
  }
}

}  // namespace

bool DataFolderName(const std::string& user_name, std::string* folder, std::string* error) {
  if (user_name.empty()) {
    *error = "the user name is empty; give one with --user NAME";
    return false;
  }
  std::string name;
  for (size_t i = 0; i < user_name.size(); ++i) {
    char c = user_name[i];
    if (IsPlainByte(c) && !(i == 0 && c == '.')) {
      name += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      name += escaped;
    }
  }
  if (name.size() > kMaxFolderName) {
    *error = "the user name \"" + user_name + "\" needs a data folder name of " +
             std::to_string(name.size()) + " bytes; at most " + std::to_string(kMaxFolderName) +
             " are allowed";
    return false;
  }
  *folder = name;
  return true;
}

CHotSyncHome::~CHotSyncHome() {
  DeviceCloseImage();
  SettingsCloseStore(root_);
}

bool ResolveHomeDir(const std::string& dir, std::string* resolved, std::string* error) {
  std::string chosen = dir;
  if (chosen.empty()) {
    const char* env = std::getenv(kHomeEnv);
    std::string user_home = UserHomeFolder();
    if (env != nullptr && *env != '\0') {
      chosen = env;
    } else if (!user_home.empty()) {
      chosen = user_home + kPathSeparator + ".hotsync";
    } else {
      *error = "no home folder: give --home DIR or set HOTSYNC_HOME";
      return false;
    }
  }
  std::error_code ec;
  *resolved = fs::absolute(chosen, ec).lexically_normal().string();
  if (resolved->size() > 1 && (resolved->back() == '/' || resolved->back() == kPathSeparator)) {
    resolved->pop_back();
  }
  return true;
}

bool CHotSyncHome::OpenSettings(const std::string& dir, std::string* error) {
  if (!ResolveHomeDir(dir, &dir_, error)) return false;
  fs::path path(dir_);
  std::error_code ec;
  if (dir_.find_first_of(" \t") != std::string::npos) {
    *error = "the home folder " + dir_ + " contains a blank; data folders must hold none";
    return false;
  }
  if (fs::exists(path, ec) && !fs::is_directory(path, ec)) {
    *error = "the home " + dir_ + " is not a folder";
    return false;
  }
  std::string why;
  if (!MakeFolders((path / "hll").string(), &why) || !CanUseFolder(dir_, &why)) {
    *error = "cannot use the home folder " + dir_ + ": " + why;
    return false;
  }
  RemoveLeftoverTempFiles(dir_);
  std::string store = dir_ + "/" + kStoreName;
  if (SettingsOpenStoreFile(store, &root_, &why) != kSettingsOk) {
    *error = "cannot read the settings store " + store + ": " + why;
    return false;
  }
  return SetUpSettings(error);
}

bool CHotSyncHome::OpenDevice(const std::string& new_user, std::string* error) {
  std::string device = DevicePath();
  std::error_code ec;
  // Another hotsync may create the image at the same moment; then its image is the one to use.
  if (!fs::exists(device, ec) && DeviceCreateImage(device, new_user, error) != kDeviceOk &&
      !fs::exists(device, ec)) {
    return false;
  }
  if (DeviceOpenImage(device, error) != kDeviceOk) return false;
  DeviceSetDesktopId(desktop_id_);
  return true;
}

bool CHotSyncHome::SetUser(const std::string& user, std::string* error) {
  if (!DataFolderName(user, &user_folder_, error)) return false;
  user_ = user;
  return true;
}

bool CHotSyncHome::SetUpSettings(std::string* error) {
  // Several hotsync processes may set up one new home at once: every value is set only where the
  // file does not hold it yet, so that the first desktop ID stays and no default undoes a value
  // that was set meanwhile.
  auto cannot_write = [&]() {
    *error = "cannot write the settings store: " + SettingsLastError(root_);
    return false;
  };
  SettingsKey host = nullptr;
  if (SettingsOpenKey(root_, kHostKeyPath, 1, &host) != kSettingsOk) return cannot_write();
  char id[64] = {};
  uint32_t size = sizeof id;
  if (SettingsQueryValue(host, "DesktopID", id, &size, nullptr) != kSettingsOk || id[0] == '\0') {
    size = sizeof id;
    if (SettingsSetDefaultText(host, "DesktopID", NewDesktopId()) != kSettingsOk ||
        SettingsQueryValue(host, "DesktopID", id, &size, nullptr) != kSettingsOk) {
      SettingsCloseKey(host);
      return cannot_write();
    }
  }
  desktop_id_ = id;
  SettingsCloseKey(host);

  // The conduit's values are set up once, with the key; afterwards they are the user's.
  SettingsKey conduit = nullptr;
  if (SettingsOpenKey(root_, kConduitKeyPath, 0, &conduit) == kSettingsOk) {
    SettingsCloseKey(conduit);
    return true;
  }
  if (SettingsOpenKey(root_, kConduitKeyPath, 1, &conduit) != kSettingsOk) return cannot_write();
  std::string hll = dir_ + kPathSeparator + "hll";
  const std::string driver = DefaultDriverPath();
  bool ok = SettingsSetDefaultText(conduit, "DriverPath", driver) == kSettingsOk &&
            SettingsSetDefaultText(conduit, "HLLPath", hll) == kSettingsOk &&
            SettingsSetDefaultText(conduit, "HLLName", DefaultHllName()) == kSettingsOk &&
            SettingsSetDefaultNumber(conduit, "NumDays", 30) == kSettingsOk &&
            SettingsSetDefaultText(conduit, "ScreenID", "main") == kSettingsOk &&
            SettingsSetDefaultNumber(conduit, "UserMode", 1) == kSettingsOk &&
            SettingsSetDefaultNumber(conduit, "FlushBackup", 0) == kSettingsOk &&
            SettingsSetDefaultText(conduit, "Install", "") == kSettingsOk &&
            SettingsSetDefaultText(conduit, "UserID", "") == kSettingsOk;
  SettingsCloseKey(conduit);
  if (!ok) return cannot_write();
  if (!PrepareHostCalendar(driver, hll, DefaultHllName())) {
    std::fprintf(stderr,
                 "hotsync: warning: cannot create the host calendar %s%c%s with %s install "
                 "(see %s%cconderr.txt)\n",
                 hll.c_str(), kPathSeparator, DefaultHllName().c_str(), driver.c_str(), hll.c_str(),
                 kPathSeparator);
  }
  if (hll.size() >= kHllPathSize) {
    std::fprintf(stderr,
                 "hotsync: warning: HLLPath %s is longer than the conduit accepts (%zu bytes); "
                 "set a shorter one with: hotsync settings set HLLPath DIR\n",
                 hll.c_str(), kHllPathSize - 1);
  }
  return true;
}

std::string CHotSyncHome::UserKeyPath() const {
  return std::string(kUsersKeyPath) + "/" + user_folder_;
}

bool CHotSyncHome::GetUserNumber(const char* name, int32_t* number) const {
  SettingsKey key = nullptr;
  if (SettingsOpenKey(root_, UserKeyPath().c_str(), 0, &key) != kSettingsOk) return false;
  uint32_t value = 0;
  uint32_t size = sizeof value;
  uint32_t type = 0;
  int32_t rc = SettingsQueryValue(key, name, &value, &size, &type);
  SettingsCloseKey(key);
  if (rc != kSettingsOk || type != kSettingsTypeNumber) return false;
  *number = static_cast<int32_t>(value);
  return true;
}

bool CHotSyncHome::SetUserNumber(const char* name, uint32_t value) {
  SettingsKey key = nullptr;
  if (SettingsOpenKey(root_, UserKeyPath().c_str(), 1, &key) != kSettingsOk) return false;
  bool ok = SettingsSetNumber(key, name, value) == kSettingsOk;
  SettingsCloseKey(key);
  return ok;
}

void CHotSyncHome::UnsetUserValue(const char* name) {
  SettingsKey key = nullptr;
  if (SettingsOpenKey(root_, UserKeyPath().c_str(), 0, &key) != kSettingsOk) return;
  SettingsDeleteValue(key, name);
  SettingsCloseKey(key);
}
