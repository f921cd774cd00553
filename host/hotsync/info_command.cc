// hotsync info and hotsync configure.
#include <cstdio>
#include <cstring>

#include "host/hotsync/hotsync_options.h"

namespace {

constexpr int32_t kNameBufferSize = 256;

}  // namespace

int RunInfo(const HotSyncOptions& options) {
  if (options.args.size() != 1) return UsageError("info takes no arguments");
  CConduitLibrary library;
  if (!LoadConduit(options, &library)) return kExitUsage;
  CHotSyncHome home;
  std::string user;
  if (!OpenHome(options, &home, &user)) return kExitUsage;
  char name[kNameBufferSize];
  std::memset(name, 0, sizeof name);
  int32_t named = library.get_name(name, sizeof name);
  name[sizeof name - 1] = '\0';
  if (named != 0) std::fprintf(stderr, "hotsync: GetConduitName answered %d\n", named);
  std::string folder = home.DataFolder(user);
  std::printf("name: %s\nversion: %d\ndata folder: %s\ndesktop file: %s%s\n", name,
              library.get_version(), folder.c_str(), folder.c_str(), kLocalFileName);
  return kExitOk;
}

int RunConfigure(const HotSyncOptions& options) {
  if (options.args.size() != 1) return UsageError("configure takes no arguments");
  CConduitLibrary library;
  if (!LoadConduit(options, &library)) return kExitUsage;
  CHotSyncHome home;
  std::string user;
  if (!OpenHome(options, &home, &user)) return kExitUsage;
  HotSyncPrefs prefs;
  std::memset(&prefs, 0, sizeof prefs);
  int64_t configured = home.GetUserNumber(user, kNextSyncType);
  prefs.sync_type = configured >= 0 ? static_cast<int32_t>(configured) : 0;
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
  if (!home.SetUserNumber(user, kNextSyncType, static_cast<uint32_t>(sync_type)) ||
      !home.SetUserNumber(user, kNextActionKind, static_cast<uint32_t>(kind))) {
    return UsageError("cannot write the settings store in " + home.dir());
  }
  std::printf("next sync type: %d (%s)\n", sync_type,
              kind == kActionKindDefault ? "default" : "this time only");
  return kExitOk;
}
