// hotsync sync: one HotSync of the Date Book conduit with the emulated handheld.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/device/device_control.h"
#include "host/hotsync/hotsync_options.h"
#include "host/hotsync/hotsync_platform.h"
#include "host/hotsync/log_output.h"
#include "host/hotsync/sync_lock.h"
#include "host/hotsync/sync_summary.h"
#include "host/log/log_control.h"
#include "host/settings/settings_host.h"
#include "sdk/conduit_exports.h"
#include "sdk/hotsync_log.h"
#include "sdk/records.h"

namespace {

// The sync types that a host passes: 0 to 3 are synchronised, 4 to 7 are types that the conduit
// answers without synchronising.
constexpr int32_t kLastSyncType = kSyncType7;
constexpr int32_t kDefaultWaitSeconds = 5;
constexpr int32_t kMaxWaitSeconds = 24 * 3600;

constexpr char kSyncUsage[] =
    "usage: hotsync [OPTIONS] sync [--type N] [--first-sync N] [--json] [--wait SECONDS]\n"
    "                              [--fail OP:N:CODE]... [--lose-link-after N]\n"
    "                              [--crash-after OP:N]...\n"
    "\n"
    "Runs one HotSync and prints its log; every entry also goes to <home>/log.jsonl as it is\n"
    "made. One sync runs in a home at a time.\n"
    "\n"
    "  --type N         the sync type, 0 to 7; default: what configure chose, else 0 (fast) when\n"
    "                   the handheld was last synchronised from this home, else 1 (slow)\n"
    "  --first-sync N   0 to 2; default: 0 when the handheld was last synchronised from this\n"
    "                   home; 1 (new desktop) when this home never synchronised this user;\n"
    "                   otherwise 2 (new or reset handheld)\n"
    "  --json           one JSON object per log entry, and nothing else, on standard output\n"
    "  --wait SECONDS   how long to wait for a sync that runs in this home already (default 5)\n"
    "  --fail OP:N:CODE the Nth call of OP answers CODE; OP is any, begin-session, end-session,\n"
    "                   open, create, close, clear-sync-flags, read-at, read-next-changed,\n"
    "                   read-by-id, write, delete, purge, read-app-info, write-app-info,\n"
    "                   change-category, read-system-info or yield, or one of the conduit's file\n"
    "                   operations file-save, file-rename, file-delete or file-copy (28: no\n"
    "                   space left)\n"
    "  --lose-link-after N  after N calls every call answers a communication error\n"
    "  --crash-after OP:N   the Nth call of OP ends hotsync at once with status 86, nothing of\n"
    "                   the call done and nothing flushed, as a crash would; OP as for --fail\n";

enum {
  kOptionType = kFirstCommandOptionId,
  kOptionFirstSync,
  kOptionJson,
  kOptionWait,
  kOptionFail,
  kOptionLoseLink,
  kOptionCrash
};

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
  int32_t wait_seconds = kDefaultWaitSeconds;
  std::vector<Fault> faults;
  std::vector<Fault> crashes;
  bool lose_link = false;
  uint32_t lose_link_after = 0;
};

// What the host hands the conduit as its context; the conduit only checks that there is one.
struct HostContext {
  const char* host_name;
};

// OP:N, N from 1.
bool ParseCrash(const std::string& text, Fault* crash) {
  size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  int32_t nth = 0;
  std::string ignored;
  if (!DeviceOpFromName(text.substr(0, colon), &crash->op) ||
      !ParseNumberInRange("N", text.substr(colon + 1), 1, INT32_MAX, &nth, &ignored)) {
    return false;
  }
  crash->nth = static_cast<uint32_t>(nth);
  return true;
}

// OP:N:CODE, N from 1.
bool ParseFault(const std::string& text, Fault* fault) {
  size_t first = text.find(':');
  size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos) return false;
  int32_t nth = 0;
  std::string ignored;
  if (!DeviceOpFromName(text.substr(0, first), &fault->op) ||
      !ParseNumberInRange("N", text.substr(first + 1, second - first - 1), 1, INT32_MAX, &nth,
                          &ignored) ||
      !SettingsParseNumber(text.substr(second + 1), &fault->code)) {
    return false;
  }
  fault->nth = static_cast<uint32_t>(nth);
  return true;
}

bool ParseSyncOptions(HotSyncOptions* options, SyncOptions* out, std::string* error) {
  const std::vector<CommandOption> kOwn = {
      {"type", true, kOptionType},        {"first-sync", true, kOptionFirstSync},
      {"json", false, kOptionJson},       {"wait", true, kOptionWait},
      {"fail", true, kOptionFail},        {"lose-link-after", true, kOptionLoseLink},
      {"crash-after", true, kOptionCrash}};
  std::vector<FoundOption> found;
  std::vector<std::string> positional;
  if (!ParseCommandOptions(options, kOwn, &found, &positional, error)) return false;
  if (!positional.empty()) {
    *error = "sync: unexpected argument " + positional[0];
    return false;
  }
  for (const FoundOption& o : found) {
    std::string name = "sync: " + o.name;
    int32_t count = 0;
    bool ok = true;
    switch (o.id) {
      case kOptionType:
        out->has_type = ok = ParseNumberInRange(name, o.value, 0, kLastSyncType, &out->type, error);
        break;
      case kOptionFirstSync:
        out->has_first_sync = ok = ParseNumberInRange(name, o.value, kFirstSyncNone,
                                                      kFirstSyncNewDevice, &out->first_sync, error);
        break;
      case kOptionJson:
        out->json = true;
        break;
      case kOptionWait:
        ok = ParseNumberInRange(name, o.value, 0, kMaxWaitSeconds, &out->wait_seconds, error);
        break;
      case kOptionFail: {
        Fault fault{};
        ok = ParseFault(o.value, &fault);
        if (!ok) *error = name + ": bad value " + o.value + " (expected OP:N:CODE, see --help)";
        out->faults.push_back(fault);
        break;
      }
      case kOptionCrash: {
        Fault crash{};
        ok = ParseCrash(o.value, &crash);
        if (!ok) *error = name + ": bad value " + o.value + " (expected OP:N, see --help)";
        out->crashes.push_back(crash);
        break;
      }
      default:
        out->lose_link = ok = ParseNumberInRange(name, o.value, 0, INT32_MAX, &count, error);
        out->lose_link_after = static_cast<uint32_t>(count);
        break;
    }
    if (!ok) return false;
  }
  return true;
}

bool CopyText(char* field, const std::string& text) {
  if (text.size() >= kPropsTextSize) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

// Reads a file that the sync wrote (its modification time not before `since`).
bool ReadFreshFile(const std::string& path, std::filesystem::file_time_type since,
                   std::string* bytes) {
  std::error_code ec;
  if (std::filesystem::last_write_time(path, ec) < since || ec) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char chunk[65536];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes->append(chunk, n);
  std::fclose(f);
  return true;
}

}  // namespace

int RunSync(HotSyncOptions& options) {
  SyncOptions sync;
  std::string error;
  if (!ParseSyncOptions(&options, &sync, &error)) return UsageError(error);
  if (options.help) {
    std::fputs(kSyncUsage, stdout);
    return kExitOk;
  }
  CConduitLibrary library;
  if (!LoadConduit(options, &library)) return kExitUsage;
  CHotSyncHome home;
  if (!OpenHomeSettings(options, &home)) return kExitUsage;
  // Everything after this point, the device image included, belongs to this sync alone.
  CSyncLock lock;
  if (!lock.Acquire(home.SyncLockPath(), static_cast<uint32_t>(sync.wait_seconds) * 1000, &error)) {
    return UsageError(error);
  }
  if (!OpenHomeDevice(options, &home)) return kExitUsage;
  const std::string& user = home.user();

  std::string last_desktop;
  DeviceGetLastDesktopId(&last_desktop);
  bool synced_from_here = !last_desktop.empty() && last_desktop == home.desktop_id();
  int32_t configured = 0;
  int32_t configured_kind = 0;
  bool has_configured = home.GetUserNumber(kNextSyncType, &configured);
  home.GetUserNumber(kNextActionKind, &configured_kind);
  if (has_configured && !sync.has_type && (configured < 0 || configured > kLastSyncType)) {
    return UsageError("the stored NextSyncType of " + user + " is " + std::to_string(configured) +
                      ", outside 0 to " + std::to_string(kLastSyncType) +
                      "; choose again with hotsync configure, or give --type N");
  }
  int32_t sync_type = sync.has_type      ? sync.type
                      : has_configured   ? configured
                      : synced_from_here ? kSyncFast
                                         : kSyncSlow;
  int32_t first_sync = kFirstSyncNone;
  int32_t synchronised = 0;
  if (sync.has_first_sync) {
    first_sync = sync.first_sync;
  } else if (!synced_from_here) {
    first_sync = home.GetUserNumber(kSynchronised, &synchronised) && synchronised > 0
                     ? kFirstSyncNewDevice
                     : kFirstSyncNewDesktop;
  }

  static char remote_name[] = "DatebookDB";
  HotSyncProps props;
  std::memset(&props, 0, sizeof props);
  std::string folder = home.DataFolder();
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
  if (!MakeFolders(folder, &error)) {
    return UsageError("cannot create the data folder " + folder + ": " + error);
  }

  // The log file gets each entry as it is made, so that a killed sync leaves what it did.
  HsLogStartRun();
  if (HsLogOpenFile(home.LogPath(), &error) != 0) return UsageError(error);

  for (const Fault& fault : sync.faults) DeviceFailCall(fault.op, fault.nth, fault.code);
  for (const Fault& crash : sync.crashes) DeviceCrashAt(crash.op, crash.nth);
  if (sync.lose_link) DeviceLoseLinkAfter(sync.lose_link_after);

  CRecordSnapshot before;
  const bool before_known = SnapshotRecords(remote_name, &before);
  // Files written by this sync are those modified since now (less the file system's granularity).
  const auto started = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(2);

  HostContext context{"hotsync"};
  int32_t result = library.open(&context, &props);
  DeviceClearFaults();
  std::vector<HsLogEntry> entries = HsLogEntries();
  PrintLogEntries(entries, sync.json, false);
  if (HsLogCloseFile(&error) != 0) std::fprintf(stderr, "hotsync: %s\n", error.c_str());

  // Bookkeeping for the next run's defaults.
  std::string now_desktop;
  DeviceGetLastDesktopId(&now_desktop);
  if (now_desktop == home.desktop_id()) home.SetUserNumber(kSynchronised, 1);
  if (!sync.has_type && has_configured && configured_kind == kActionKindThisTime) {
    home.UnsetUserValue(kNextSyncType);
    home.UnsetUserValue(kNextActionKind);
  }

  bool failed = result != 0;
  for (const HsLogEntry& entry : entries) {
    if (entry.text == DATEBOOK_SYNC_FAILED_LINE || entry.activity == kActivitySyncFailed)
      failed = true;
  }
  if (!sync.json) {
    std::printf("OpenConduit answered %d; %s\n", result, failed ? "the sync failed" : "done");
    // The host's side is known only when the update was applied after this sync's extract.
    // The handheld's side is known when its records could be read before and after.
    CRecordSnapshot after;
    const bool handheld_known = before_known && SnapshotRecords(remote_name, &after);
    const CChangeCounts handheld = CompareSnapshots(before, after);
    std::string extract, backup;
    const std::string desktop = folder + kLocalFileName;
    CChangeCounts host;
    const bool host_known =
        !failed && ReadFreshFile(folder + "extract.dat", started, &extract) &&
        ReadFreshFile(desktop.substr(0, desktop.size() - 3) + "bak", started, &backup) &&
        CountHostChanges(extract, backup, &host);
    std::printf(
        "%s\n",
        SummaryLine(handheld_known ? &handheld : nullptr, host_known ? &host : nullptr).c_str());
  } else if (failed) {
    std::fprintf(stderr, "hotsync: the sync failed (OpenConduit answered %d)\n", result);
  }
  return failed ? kExitFailed : kExitOk;
}
