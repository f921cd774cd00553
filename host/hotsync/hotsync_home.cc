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

constexpr size_t kMaxFolderName = 64;
constexpr size_t kHllPathSize = 50;  // the conduit reads HLLPath into 50 bytes
constexpr char kUsersKeyPath[] = "HotSync/Users";

std::string NewDesktopId() {
  std::random_device random;
  char text[32];
  std::snprintf(text, sizeof text, "%08x%08x", random(), random());
  return text;
}

bool SetText(SettingsKey key, const char* name, const std::string& value) {
  return SettingsSetText(key, name, value.data(), static_cast<uint32_t>(value.size())) ==
         kSettingsOk;
}

}  // namespace

std::string DataFolderName(const std::string& user_name) {
  std::string name;
  for (char c : user_name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || c == '.';
    name += plain ? c : '_';
    if (name.size() == kMaxFolderName) break;
  }
  // No hidden folder, and never "." or "..".
  if (!name.empty() && name[0] == '.') name[0] = '_';
  return name.empty() ? "user" : name;
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

bool CHotSyncHome::Open(const std::string& dir, const std::string& new_user, std::string* error) {
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
  fs::create_directories(path / "hll", ec);
  std::string why;
  if (ec || !CanUseFolder(dir_, &why)) {
    *error = "cannot use the home folder " + dir_ + ": " + (ec ? ec.message() : why);
    return false;
  }
  std::string store = dir_ + "/settings.txt";
  if (SettingsOpenStore(store.c_str(), &root_) != kSettingsOk) {
    *error = "cannot read the settings store " + store + " (unreadable or not a settings store)";
    return false;
  }
  if (!SetUpSettings(error)) return false;
  std::string device = DevicePath();
  if (!fs::exists(device, ec) && DeviceCreateImage(device, new_user, error) != kDeviceOk) {
    return false;
  }
  if (DeviceOpenImage(device, error) != kDeviceOk) return false;
  DeviceSetDesktopId(desktop_id_);
  return true;
}

bool CHotSyncHome::SetUpSettings(std::string* error) {
  SettingsKey host = nullptr;
  if (SettingsOpenKey(root_, kHostKeyPath, 1, &host) != kSettingsOk) {
    *error = "cannot write the settings store in " + dir_;
    return false;
  }
  char id[64] = {};
  uint32_t size = sizeof id;
  if (SettingsQueryValue(host, "DesktopID", id, &size, nullptr) == kSettingsOk && id[0] != '\0') {
    desktop_id_ = id;
  } else {
    desktop_id_ = NewDesktopId();
    if (!SetText(host, "DesktopID", desktop_id_)) {
      SettingsCloseKey(host);
      *error = "cannot write the settings store in " + dir_;
      return false;
    }
  }
  SettingsCloseKey(host);

  // The conduit's values are set up once, with the key; afterwards they are the user's.
  SettingsKey conduit = nullptr;
  if (SettingsOpenKey(root_, kConduitKeyPath, 0, &conduit) == kSettingsOk) {
    SettingsCloseKey(conduit);
    return true;
  }
  if (SettingsOpenKey(root_, kConduitKeyPath, 1, &conduit) != kSettingsOk) {
    *error = "cannot write the settings store in " + dir_;
    return false;
  }
  std::string hll = dir_ + kPathSeparator + "hll";
  bool ok = SetText(conduit, "DriverPath", ScriptDriverPath()) &&
            SetText(conduit, "HLLPath", hll) && SetText(conduit, "HLLName", "datebook") &&
            SettingsSetNumber(conduit, "NumDays", 30) == kSettingsOk &&
            SetText(conduit, "ScreenID", "main") &&
            SettingsSetNumber(conduit, "UserMode", 1) == kSettingsOk &&
            SettingsSetNumber(conduit, "FlushBackup", 0) == kSettingsOk &&
            SetText(conduit, "Install", "") && SetText(conduit, "UserID", "");
  SettingsCloseKey(conduit);
  if (!ok) {
    *error = "cannot write the settings store in " + dir_;
    return false;
  }
  if (hll.size() >= kHllPathSize) {
    std::fprintf(stderr,
                 "hotsync: warning: HLLPath %s is longer than the conduit accepts (%zu bytes); "
                 "set a shorter one with: hotsync settings set HLLPath DIR\n",
                 hll.c_str(), kHllPathSize - 1);
  }
  return true;
}

std::string CHotSyncHome::DataFolder(const std::string& user) const {
  return dir_ + kPathSeparator + "users" + kPathSeparator + DataFolderName(user) + kPathSeparator;
}

int64_t CHotSyncHome::GetUserNumber(const std::string& user, const char* name) const {
  SettingsKey key = nullptr;
  std::string path = std::string(kUsersKeyPath) + "/" + DataFolderName(user);
  if (SettingsOpenKey(root_, path.c_str(), 0, &key) != kSettingsOk) return -1;
  uint32_t value = 0;
  uint32_t size = sizeof value;
  uint32_t type = 0;
  int32_t rc = SettingsQueryValue(key, name, &value, &size, &type);
  SettingsCloseKey(key);
  if (rc != kSettingsOk || type != kSettingsTypeNumber) return -1;
  return static_cast<int32_t>(value);
}

bool CHotSyncHome::SetUserNumber(const std::string& user, const char* name, uint32_t value) {
  SettingsKey key = nullptr;
  std::string path = std::string(kUsersKeyPath) + "/" + DataFolderName(user);
  if (SettingsOpenKey(root_, path.c_str(), 1, &key) != kSettingsOk) return false;
  bool ok = SettingsSetNumber(key, name, value) == kSettingsOk;
  SettingsCloseKey(key);
  return ok;
}

void CHotSyncHome::UnsetUserValue(const std::string& user, const char* name) {
  SettingsKey key = nullptr;
  std::string path = std::string(kUsersKeyPath) + "/" + DataFolderName(user);
  if (SettingsOpenKey(root_, path.c_str(), 0, &key) != kSettingsOk) return;
  SettingsDeleteValue(key, name);
  SettingsCloseKey(key);
}
