// hotsync settings: the conduit's values under its registry key.
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/hotsync/hotsync_options.h"
#include "host/settings/settings_host.h"

namespace {

// Values that the conduit reads as 4-byte numbers; every other value is text.
bool IsNumberSetting(const std::string& name) {
  return name == "UserMode" || name == "FlushBackup" || name == "NumDays";
}

std::string Show(const SettingsValue& value) {
  return value.type == kSettingsTypeNumber ? std::to_string(static_cast<int32_t>(value.number))
                                           : value.text;
}

// The conduit's key, created when missing; null after printing why.
SettingsKey OpenConduitKey(const CHotSyncHome& home) {
  SettingsKey key = nullptr;
  if (SettingsOpenKey(home.root(), kConduitKeyPath, 1, &key) != kSettingsOk) {
    UsageError("cannot open the conduit's settings in " + home.dir());
    return nullptr;
  }
  return key;
}

}  // namespace

int RunSettings(const HotSyncOptions& options) {
  const std::vector<std::string>& args = options.args;
  std::string verb = args.size() > 1 ? args[1] : "";
  bool valid = (verb == "list" && args.size() == 2) ||
               ((verb == "get" || verb == "unset") && args.size() == 3) ||
               (verb == "set" && (args.size() == 4 || args.size() == 5));
  if (!valid) {
    return UsageError(
        "usage: hotsync settings list | get NAME | set NAME VALUE [--number|--text] | unset NAME");
  }
  bool number = verb == "set" && IsNumberSetting(args[2]);
  if (args.size() == 5) {
    if (args[4] != "--number" && args[4] != "--text") {
      return UsageError("settings set: unknown option " + args[4]);
    }
    number = args[4] == "--number";
  }
  int32_t number_value = 0;
  if (verb == "set" && number && !ParseNumber(args[3], &number_value)) {
    return UsageError("settings set: " + args[3] + " is not a 32-bit number");
  }

  CHotSyncHome home;
  std::string user;
  if (!OpenHome(options, &home, &user)) return kExitUsage;
  SettingsKey key = OpenConduitKey(home);
  if (key == nullptr) return kExitUsage;
  std::vector<SettingsValue> values;
  SettingsListValues(key, &values);
  int status = kExitOk;
  if (verb == "list") {
    for (const SettingsValue& value : values) {
      std::printf("%s=%s\n", value.name.c_str(), Show(value).c_str());
    }
  } else if (verb == "get") {
    status = kExitFailed;
    for (const SettingsValue& value : values) {
      if (value.name == args[2]) {
        std::printf("%s\n", Show(value).c_str());
        status = kExitOk;
      }
    }
    if (status != kExitOk) std::fprintf(stderr, "hotsync: no setting %s\n", args[2].c_str());
  } else if (verb == "unset") {
    int32_t rc = SettingsDeleteValue(key, args[2].c_str());
    if (rc == kSettingsErrNotFound) {
      std::fprintf(stderr, "hotsync: no setting %s\n", args[2].c_str());
      status = kExitFailed;
    } else if (rc != kSettingsOk) {
      status = UsageError("cannot write the settings store in " + home.dir());
    }
  } else {
    int32_t rc = number
                     ? SettingsSetNumber(key, args[2].c_str(), static_cast<uint32_t>(number_value))
                     : SettingsSetText(key, args[2].c_str(), args[3].data(),
                                       static_cast<uint32_t>(args[3].size()));
    if (rc == kSettingsErrInvalid) {
      status = UsageError("settings set: " + args[2] + " is not a valid value name");
    } else if (rc != kSettingsOk) {
      status = UsageError("cannot write the settings store in " + home.dir());
    }
  }
  SettingsCloseKey(key);
  return status;
}
