// hotsync info and hotsync configure.
#include <cstdio>
#include <cstring>

#include "host/hotsync/hotsync_options.h"
#include "host/settings/settings_host.h"

namespace {

constexpr int32_t kNameBufferSize = 256;

constexpr char kInfoUsage[] =
    "usage: hotsync [OPTIONS] info\n"
    "\n"
    "Prints the conduit's name and version, the user's data folder and desktop file.\n";

constexpr char kConfigureUsage[] =
    "usage: hotsync [OPTIONS] configure\n"
    "\n"
    "Shows the conduit's change-action dialog (on a terminal, or as HOTSYNC_DIALOG_SCRIPT says)\n"
    "and keeps the choice for the next sync (\"this time only\") or every sync (\"default\").\n";

// Parses a command that has no options and no arguments of its own. Answers -1 to go on, or the
// exit status (after the help or the mistake was printed).
int ParseBareCommand(HotSyncOptions& options, const char* usage) {
  std::vector<FoundOption> found;
  std::vector<std::string> positional;
  std::string error;
  if (!ParseCommandOptions(&options, {}, &found, &positional, &error)) return UsageError(error);
  if (options.help) {
    std::fputs(usage, stdout);
    return kExitOk;
  }
  if (!positional.empty()) return UsageError(options.command + " takes no arguments");
  return -1;
}

}  // namespace

int RunInfo(HotSyncOptions& options) {
  int parsed = ParseBareCommand(options, kInfoUsage);
  if (parsed >= 0) return parsed;
  CConduitLibrary library;
  if (!LoadConduit(options, &library)) return kExitUsage;
  CHotSyncHome home;
  if (!OpenHome(options, &home)) return kExitUsage;
  char name[kNameBufferSize];
  std::memset(name, 0, sizeof name);
  int32_t named = library.get_name(name, sizeof name);
  name[sizeof name - 1] = '\0';
  if (named != 0) std::fprintf(stderr, "hotsync: GetConduitName answered %d\n", named);
  std::string folder = home.DataFolder();
  std::printf("name: %s\nversion: %d\ndata folder: %s\ndesktop file: %s%s\n", name,
              library.get_version(), folder.c_str(), folder.c_str(), kLocalFileName);
  return kExitOk;
}

int RunConfigure(HotSyncOptions& options) {
  int parsed = ParseBareCommand(options, kConfigureUsage);
  if (parsed >= 0) return parsed;
  CConduitLibrary library;
  if (!LoadConduit(options, &library)) return kExitUsage;
  CHotSyncHome home;
  if (!OpenHome(options, &home)) return kExitUsage;
  HotSyncPrefs prefs;
  std::memset(&prefs, 0, sizeof prefs);
  int32_t configured = 0;
  prefs.sync_type = home.GetUserNumber(kNextSyncType, &configured) ? configured : 0;
  int32_t result = library.configure(&prefs);
  int32_t sync_type = prefs.sync_type;
  int32_t kind = prefs.action_kind;
  if (result != 0) {
    std::printf("cancelled: the next sync's action is unchanged\n");
    return kExitFailed;
  }
  if (kind != kActionKindDefault && kind != kActionKindThisTime) {
    std::fprintf(stderr, "hotsync: ConfigureConduit answered 0 with action kind %d\n", kind);
  }
  if (!home.SetUserNumber(kNextSyncType, static_cast<uint32_t>(sync_type)) ||
      !home.SetUserNumber(kNextActionKind, static_cast<uint32_t>(kind))) {
    return UsageError("cannot write the settings store: " + SettingsLastError(home.root()));
  }
  std::printf("next sync type: %d (%s)\n", sync_type,
              kind == kActionKindDefault ? "default" : "this time only");
  return kExitOk;
}
