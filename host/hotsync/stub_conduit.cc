// A conduit for testing the hotsync program: its four exports do what environment variables say.
//
//   STUB_NAME, STUB_NAME_RESULT   GetConduitName's name (default "Stub Conduit") and answer (0)
//   STUB_VERSION                  GetConduitVersion's answer (default 1)
//   STUB_OPEN_RESULT              OpenConduit's answer (default 0)
//   STUB_LOG                      log entries OpenConduit adds, one per line: "ACTIVITY TEXT"
//   STUB_PROPS_FILE               OpenConduit writes what it received there, "name=value" lines
//   STUB_SLEEP_MS                 OpenConduit first sleeps this many milliseconds
//   STUB_TOUCH_DEVICE             when set, OpenConduit runs a short session with the handheld:
//                                 open or create the database, add a record, clear the sync
//                                 flags; a failing call is logged as "device: OP answered CODE"
// ConfigureConduit shows the action dialog with the usual mapping of sync types to actions.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "sdk/action_dialog.h"
#include "sdk/conduit_exports.h"
#include "sdk/hotsync_log.h"
#include "sdk/settings_store.h"
#include "sdk/sync_manager.h"

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

int32_t EnvNumber(const char* name, int32_t fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? static_cast<int32_t>(std::strtol(value, nullptr, 0)) : fallback;
}

[[maybe_unused]] void AddLog() {
  std::string log = Env("STUB_LOG", "");
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = log.find('\n', pos);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(pos, end - pos);
    pos = end + 1;
    size_t space = line.find(' ');
    std::string text = space == std::string::npos ? "" : line.substr(space + 1);
    HsLogAddEntry(text.c_str(), static_cast<int32_t>(std::strtol(line.c_str(), nullptr, 10)), 0);
  }
}

std::string NumDays(SettingsKey root, const char* path) {
  SettingsKey key = nullptr;
  if (SettingsOpenKey(root, path, 0, &key) != kSettingsOk) return "unreadable";
  uint32_t value = 0;
  uint32_t size = sizeof value;
  int32_t rc = SettingsQueryValue(key, "NumDays", &value, &size, nullptr);
  SettingsCloseKey(key);
  return rc == kSettingsOk ? std::to_string(value) : "unreadable";
}

[[maybe_unused]] void WriteProps(void* context, const HotSyncProps& p) {
  std::string path = Env("STUB_PROPS_FILE", "");
  if (path.empty()) return;
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return;
  uint32_t creator = p.creator;
  uint32_t type = p.database_type;
  int32_t sync_type = p.sync_type;
  int32_t first_sync = p.first_sync;
  std::fprintf(f, "sync_type=%d\ndata_folder=%s\nlocal_file=%s\nuser=%s\nremote_name=%s\n",
               sync_type, p.data_folder, p.local_file_name, p.user_name,
               p.remote_names[0] ? p.remote_names[0] : "(null)");
  std::fprintf(f, "creator=0x%08x\ncard=%u\ndatabase_type=0x%08x\nfirst_sync=%d\n", creator,
               p.card_number, type, first_sync);
  std::fprintf(f, "registry_path=%s\nNumDays=%s\nhost_context=%s\n", p.registry_path,
               NumDays(p.registry_root, p.registry_path).c_str(), context ? "set" : "null");
  std::fclose(f);
}

bool Check(const char* op, int32_t rc) {
  if (rc == 0) return true;
  std::string line = std::string("device: ") + op + " answered " + std::to_string(rc);
  HsLogAddEntry(line.c_str(), kActivityConduitError, 0);
  return false;
}

[[maybe_unused]] void TouchDevice(const HotSyncProps& p) {
  uint32_t session = 0;
  if (!Check("begin-session", DevBeginSession(&session))) return;
  SystemInfoRequest info{};
  Check("read-system-info", SyncReadSystemInfo(&info));
  uint8_t handle = 0;
  int32_t rc = DevOpenDatabase(p.remote_names[0], 0, &handle, kSyncOpenModeReadWrite);
  if (rc == kSyncErrNotFound) {
    CreateRequest create{};
    create.creator = p.creator;
    create.database_type = p.database_type;
    std::snprintf(create.database_name, sizeof create.database_name, "%s", p.remote_names[0]);
    rc = DevCreateDatabase(&create);
    handle = create.db_handle;
    if (!Check("create", rc)) return;
  } else if (!Check("open", rc)) {
    return;
  }
  uint8_t data[] = {'s', 't', 'u', 'b'};
  RecordRequest write{};
  write.db_handle = handle;
  write.attributes = kRecAttrDirty;
  write.data_size = sizeof data;
  write.buffer_size = sizeof data;
  write.buffer = data;
  if (Check("write", DevWriteRecord(&write)) &&
      Check("clear-sync-flags", DevClearSyncFlags(handle))) {
    HsLogAddEntry("device: ok", kActivityText, 0);
  }
  Check("close", DevCloseDatabase(handle));
  Check("end-session", DevEndSession(session));
}

}  // namespace

CONDUIT_EXPORT int32_t GetConduitName(char* buffer, int32_t size) {
  std::string name = Env("STUB_NAME", "Stub Conduit");
  if (buffer != nullptr && size > 0)
    std::snprintf(buffer, static_cast<size_t>(size), "%s", name.c_str());
  return EnvNumber("STUB_NAME_RESULT", 0);
}

CONDUIT_EXPORT int32_t GetConduitVersion() {
  return EnvNumber("STUB_VERSION", 1);
}

CONDUIT_EXPORT int32_t ConfigureConduit(HotSyncPrefs* prefs) {
  static const int32_t kTypeOfAction[] = {kSyncFast, kSyncDesktopOverwrites,
                                          kSyncHandheldOverwrites, kSyncDoNothing};
  int32_t type = prefs->sync_type;
  CHotSyncActionDlg dialog(nullptr);
  dialog.SetConduitName("Stub Conduit");
  dialog.SetActionIndex(type == 0 || type == 1 ? 0 : type == 3 ? 1 : type == 2 ? 2 : 3);
  prefs->action_kind = 0;
  if (dialog.DoModal() != 1) return -1;
  int32_t action = dialog.GetActionIndex();
  prefs->sync_type = kTypeOfAction[action >= 0 && action < 4 ? action : 3];
  prefs->action_kind = dialog.GetDefaultFlag() != 0 ? 1 : 2;
  return 0;
}

#ifndef STUB_WITHOUT_OPEN_CONDUIT
CONDUIT_EXPORT int32_t OpenConduit(void* context, HotSyncProps* props) {
  if (props == nullptr) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(EnvNumber("STUB_SLEEP_MS", 0)));
  WriteProps(context, *props);
  if (std::getenv("STUB_TOUCH_DEVICE") != nullptr) TouchDevice(*props);
  AddLog();
  return EnvNumber("STUB_OPEN_RESULT", 0);
}
#endif
