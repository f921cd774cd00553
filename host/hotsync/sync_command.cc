// hotsync sync: one HotSync of the Date Book conduit with the emulated handheld.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/device/device_control.h"
#include "host/hotsync/hotsync_options.h"
#include "host/log/log_control.h"
#include "sdk/conduit_exports.h"
#include "sdk/hotsync_log.h"
#include "sdk/records.h"

namespace {

struct Fault {
  DeviceOp op;
  uint32_t nth;
  int32_t code;
};

struct SyncOptions {
  bool has_type = false;
  int32_t type = 0;
  bool has_first_sync = false;
  int32_t first_sync = 0;
  bool json = false;
  std::vector<Fault> faults;
  bool lose_link = false;
  uint32_t lose_link_after = 0;
};

// What the host hands the conduit as its context; the conduit only checks that there is one.
struct HostContext {
  const char* host_name;
};

bool ParseCount(const std::string& text, uint32_t* count) {
  int32_t value = 0;
  if (!ParseNumber(text, &value) || value < 0) return false;
  *count = static_cast<uint32_t>(value);
  return true;
}

// OP:N:CODE, N from 1.
bool ParseFault(const std::string& text, Fault* fault) {
  size_t first = text.find(':');
  size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos) return false;
  return DeviceOpFromName(text.substr(0, first), &fault->op) &&
         ParseCount(text.substr(first + 1, second - first - 1), &fault->nth) && fault->nth > 0 &&
         ParseNumber(text.substr(second + 1), &fault->code);
}

bool ParseSyncOptions(const std::vector<std::string>& args, SyncOptions* out, std::string* error) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool takes_value =
        arg == "--type" || arg == "--first-sync" || arg == "--fail" || arg == "--lose-link-after";
    if (arg == "--json") {
      out->json = true;
      continue;
    }
    if (!takes_value) {
      *error = "sync: unknown argument " + arg;
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = "sync: " + arg + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    bool ok = true;
    if (arg == "--type") {
      out->has_type = ok = ParseNumber(value, &out->type);
    } else if (arg == "--first-sync") {
      out->has_first_sync = ok = ParseNumber(value, &out->first_sync);
    } else if (arg == "--fail") {
      Fault fault{};
      ok = ParseFault(value, &fault);
      out->faults.push_back(fault);
    } else {
      out->lose_link = ok = ParseCount(value, &out->lose_link_after);
    }
    if (!ok) {
      *error = "sync: bad value for " + arg + ": " + value +
               (arg == "--fail" ? " (expected OP:N:CODE, see --help)" : "");
      return false;
    }
  }
  return true;
}

bool CopyText(char* field, const std::string& text) {
  if (text.size() >= kPropsTextSize) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

void PrintLog(const std::vector<HsLogEntry>& entries, bool json) {
  for (const HsLogEntry& entry : entries) {
    if (json) {
      std::printf("%s\n", HsLogEntryJson(entry, false).c_str());
    } else {
      std::printf("%4d  %s\n", entry.activity, entry.text.c_str());
    }
  }
}

}  // namespace

int RunSync(const HotSyncOptions& options) {
  SyncOptions sync;
  std::string error;
  if (!ParseSyncOptions(options.args, &sync, &error)) return UsageError(error);
  CConduitLibrary library;
  if (!LoadConduit(options, &library)) return kExitUsage;
  CHotSyncHome home;
  std::string user;
  if (!OpenHome(options, &home, &user)) return kExitUsage;

  std::string last_desktop;
  DeviceGetLastDesktopId(&last_desktop);
  bool synced_from_here = !last_desktop.empty() && last_desktop == home.desktop_id();
  int64_t configured = home.GetUserNumber(user, kNextSyncType);
  int64_t configured_kind = home.GetUserNumber(user, kNextActionKind);
  int32_t sync_type = sync.has_type      ? sync.type
                      : configured >= 0  ? static_cast<int32_t>(configured)
                      : synced_from_here ? kSyncFast
                                         : kSyncSlow;
  int32_t first_sync = kFirstSyncNone;
  if (sync.has_first_sync) {
    first_sync = sync.first_sync;
  } else if (!synced_from_here) {
    first_sync =
        home.GetUserNumber(user, kSynchronised) > 0 ? kFirstSyncNewDevice : kFirstSyncNewDesktop;
  }

  static char remote_name[] = "DatebookDB";
  HotSyncProps props;
  std::memset(&props, 0, sizeof props);
  std::string folder = home.DataFolder(user);
  props.sync_type = sync_type;
  if (!CopyText(props.data_folder, folder) || !CopyText(props.user_name, user)) {
    return UsageError("the data folder " + folder + " or the user name is too long");
  }
  CopyText(props.local_file_name, kLocalFileName);
  CopyText(props.registry_path, kConduitKeyPath);
  props.remote_names[0] = remote_name;
  props.creator = kDatebookCreator;
  props.card_number = 0;
  props.database_type = kDatebookType;
  props.first_sync = first_sync;
  props.registry_root = home.root();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return UsageError("cannot create the data folder " + folder + ": " + ec.message());

  for (const Fault& fault : sync.faults) DeviceFailCall(fault.op, fault.nth, fault.code);
  if (sync.lose_link) DeviceLoseLinkAfter(sync.lose_link_after);

  HostContext context{"hotsync"};
  HsLogStartRun();
  int32_t result = library.open(&context, &props);
  DeviceClearFaults();
  std::vector<HsLogEntry> entries = HsLogEntries();
  PrintLog(entries, sync.json);
  if (HsLogAppendRun(home.LogPath(), &error) != 0) {
    std::fprintf(stderr, "hotsync: %s\n", error.c_str());
  }

  // Bookkeeping for the next run's defaults.
  std::string now_desktop;
  DeviceGetLastDesktopId(&now_desktop);
  if (now_desktop == home.desktop_id()) home.SetUserNumber(user, kSynchronised, 1);
  if (!sync.has_type && configured >= 0 && configured_kind == kActionKindThisTime) {
    home.UnsetUserValue(user, kNextSyncType);
    home.UnsetUserValue(user, kNextActionKind);
  }

  bool failed = result != 0;
  for (const HsLogEntry& entry : entries) {
    if (entry.text == DATEBOOK_SYNC_FAILED_LINE || entry.activity == kActivitySyncFailed)
      failed = true;
  }
  if (!sync.json) {
    std::printf("OpenConduit answered %d; %s\n", result, failed ? "the sync failed" : "done");
  } else if (failed) {
    std::fprintf(stderr, "hotsync: the sync failed (OpenConduit answered %d)\n", result);
  }
  return failed ? kExitFailed : kExitOk;
}
