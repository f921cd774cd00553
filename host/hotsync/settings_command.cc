// hotsync settings: the conduit's values under its registry key. Needs only the settings store,
// not the device image.
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/hotsync/hotsync_options.h"
#include "host/settings/settings_host.h"

namespace {

constexpr char kSettingsUsage[] =
    "usage: hotsync [OPTIONS] settings list\n"
    "       hotsync [OPTIONS] settings get NAME\n"
    "       hotsync [OPTIONS] settings set NAME VALUE [--number|--text]\n"
    "       hotsync [OPTIONS] settings unset NAME\n"
    "\n"
    "The conduit's settings (its registry key). Numbers are decimal (VALUE may be negative).\n"
    "The conduit's own values are checked as it reads them:\n"
    "  UserMode, FlushBackup  numbers\n"
    "  NumDays                a number from 0 (days to synchronise from today)\n"
    "  DriverTimeLimit        a number from 0: seconds a host driver command may run (0: no\n"
    "                         limit; 600 when unset)\n"
    "  UserID                 text, at most 39 bytes\n"
    "  DriverPath             text, at most 199 bytes\n"
    "  HLLPath, HLLName, Install  text, at most 49 bytes\n"
    "  ScreenID               text, at most 19 bytes\n"
    "Other names take --number or --text (default text).\n";

enum { kOptionNumber = kFirstCommandOptionId, kOptionText };

// A value that the conduit reads, with the limits under which it can read it.
struct SettingRule {
  const char* name;
  bool number;
  uint32_t buffer;   // text: the conduit's buffer, the terminator included
  int32_t min;       // number: the smallest value that makes sense
  bool driver_word;  // text: becomes one word of the host driver's command lines
};

const SettingRule kRules[] = {
    {"UserMode", true, 0, INT32_MIN, false}, {"FlushBackup", true, 0, INT32_MIN, false},
    {"NumDays", true, 0, 0, false},          {"DriverTimeLimit", true, 0, 0, false},
    {"UserID", false, 40, 0, true},          {"DriverPath", false, 200, 0, true},
    {"HLLPath", false, 50, 0, false},        {"HLLName", false, 50, 0, true},
    {"Install", false, 50, 0, true},         {"ScreenID", false, 20, 0, true},
};

const SettingRule* RuleFor(const std::string& name) {
  for (const SettingRule& rule : kRules) {
    if (name == rule.name) return &rule;
  }
  return nullptr;
}

std::string Show(const SettingsValue& value) {
  return value.type == kSettingsTypeNumber ? std::to_string(static_cast<int32_t>(value.number))
                                           : value.text;
}

// Checks a value for `settings set`: false with *error for what the conduit would refuse.
bool CheckValue(const std::string& name, const std::string& value, bool number, bool typed,
                int32_t* number_value, std::string* error) {
  const SettingRule* rule = RuleFor(name);
  if (rule != nullptr && typed && number != rule->number) {
    *error = "settings set: " + name + " is a " + (rule->number ? "number" : "text") +
             " setting; the conduit cannot read it stored as a " + (number ? "number" : "text");
    return false;
  }
  if (number) {
    int32_t min = rule != nullptr ? rule->min : INT32_MIN;
    return ParseNumberInRange("settings set: " + name, value, min, INT32_MAX, number_value, error);
  }
  if (rule != nullptr && value.size() >= rule->buffer) {
    *error = "settings set: " + name + " holds at most " + std::to_string(rule->buffer - 1) +
             " bytes (the conduit reads it into " + std::to_string(rule->buffer) +
             " bytes with its end); this value has " + std::to_string(value.size());
    return false;
  }
  if (rule != nullptr && rule->driver_word && value.find_first_of(" \t") != std::string::npos) {
    std::fprintf(stderr,
                 "hotsync: warning: %s holds a blank; the host driver receives it as more than "
                 "one word\n",
                 name.c_str());
  }
  return true;
}

}  // namespace

int RunSettings(HotSyncOptions& options) {
  std::vector<FoundOption> found;
  std::vector<std::string> args;
  std::string error;
  if (!ParseCommandOptions(&options,
                           {{"number", false, kOptionNumber}, {"text", false, kOptionText}}, &found,
                           &args, &error)) {
    return UsageError(error);
  }
  if (options.help) {
    std::fputs(kSettingsUsage, stdout);
    return kExitOk;
  }
  std::string verb = args.empty() ? "" : args[0];
  bool valid = (verb == "list" && args.size() == 1) ||
               ((verb == "get" || verb == "unset") && args.size() == 2) ||
               (verb == "set" && args.size() == 3);
  if (!valid || (!found.empty() && verb != "set") || found.size() > 1) {
    return UsageError(
        "usage: hotsync settings list | get NAME | set NAME VALUE [--number|--text] | unset NAME "
        "(see hotsync settings --help)");
  }
  int32_t number_value = 0;
  bool typed = !found.empty();
  const SettingRule* rule = verb == "set" ? RuleFor(args[1]) : nullptr;
  bool number = typed ? found[0].id == kOptionNumber : rule != nullptr && rule->number;
  if (verb == "set" && !CheckValue(args[1], args[2], number, typed, &number_value, &error)) {
    return UsageError(error);
  }

  CHotSyncHome home;
  if (!OpenHomeSettings(options, &home)) return kExitUsage;
  SettingsKey key = nullptr;
  if (SettingsOpenKey(home.root(), kConduitKeyPath, 1, &key) != kSettingsOk) {
    return UsageError("cannot open the conduit's settings: " + SettingsLastError(home.root()));
  }
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
      if (value.name == args[1]) {
        std::printf("%s\n", Show(value).c_str());
        status = kExitOk;
      }
    }
    if (status != kExitOk) std::fprintf(stderr, "hotsync: no setting %s\n", args[1].c_str());
  } else if (verb == "unset") {
    int32_t rc = SettingsDeleteValue(key, args[1].c_str());
    if (rc == kSettingsErrNotFound) {
      std::fprintf(stderr, "hotsync: no setting %s\n", args[1].c_str());
      status = kExitFailed;
    } else if (rc != kSettingsOk) {
      status = UsageError("cannot write the settings store: " + SettingsLastError(key));
    }
  } else {
    int32_t rc = number
                     ? SettingsSetNumber(key, args[1].c_str(), static_cast<uint32_t>(number_value))
                     : SettingsSetText(key, args[1].c_str(), args[2].data(),
                                       static_cast<uint32_t>(args[2].size()));
    if (rc == kSettingsErrInvalid) {
      status = UsageError("settings set: " + args[1] + " is not a valid value name");
    } else if (rc != kSettingsOk) {
      status = UsageError("cannot write the settings store: " + SettingsLastError(key));
    }
  }
  SettingsCloseKey(key);
  return status;
}
