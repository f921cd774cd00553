#include "conduit/entry/open_conduit.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <limits>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "conduit/entry/entry_log.h"
#include "conduit/entry/host_driver.h"
#include "conduit/entry/settings.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/platform/table_file.h"
#include "conduit/result_codes.h"
#include "tablelib/local_time.h"

namespace {

// More days than a time value can hold; NumDays beyond it reach the end of the range anyway.
constexpr int64_t kMaxWindowDays = 30000;

constexpr char kBadPropsText[] =
    "The HotSync Manager passed a name or folder without an end. Date Book";
constexpr char kBadLocalFileName[] = "The desktop file name is not a plain file name. Date Book";
constexpr char kNoShortFolder[] =
    "Unable to get the short form of the data folder (at most 199 characters). Date Book";
constexpr char kUserNameTooLong[] =
    "The HotSync user name is longer than the 39 characters of a host user ID; set UserID in "
    "the conduit's settings. Date Book";
constexpr char kEnvironmentTooLong[] = "The Host Driver environment is too long. Date Book";
constexpr char kCannotFlush[] =
    "Unable to delete the backup file, its category list or update.dat for FlushBackup. Date Book";
constexpr char kUpdateNotDeletable[] =
    "update.dat cannot be deleted once applied (is the data folder read-only?); it was not "
    "applied, so that it is not applied twice. Date Book";
constexpr char kAppliedUpdateNotDeleted[] =
    "The Host Driver applied update.dat, but it cannot be deleted; delete it before the next "
    "HotSync, which would apply it again. Date Book";
constexpr char kCannotCopyExtract[] = "Unable to copy the desktop file to extract.dat. Date Book";
constexpr char kCannotMoveToUpdate[] = "Unable to rename the desktop file to update.dat. Date Book";
constexpr char kUpdateNotMarked[] =
    "Unable to note that the Host Driver update starts (update.run). Date Book";
constexpr char kUpdateNotChecked[] =
    "Unable to check the update file against the host calendar. Date Book";

// A text field of the sync properties, or false when it has no terminator inside its field.
bool PropsText(const char (&field)[kPropsTextSize], std::string* out) {
  size_t length = strnlen(field, kPropsTextSize);
  if (length == kPropsTextSize) return false;
  out->assign(field, length);
  return true;
}

// The local file name must name a file inside the data folder.
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string::npos;
}

// Notes on disk that the host driver's update is about to run: an empty exchange file.
bool MarkUpdateStarted(const std::string& path) {
  CProfsTable empty;
  return SaveTableFile(empty, path) == kOk;
}

// An update run was cut off, so the host may have taken the update already. Changes and deletions
// come to the same when applied twice, a new entry does not. Host entries of the extract (at
// extract_path) that the update does not name by number are new to the host since the update was
// written; every new entry of the update with the same content as one of them becomes an
// unchanged entry bound to it, each host entry standing for one. (An entry that the update names,
// for example one it deletes while adding its replacement, stands for none.) Saves the update back
// when it changed. False when a file cannot be read or written.
bool DropAppliedAdditions(const std::string& update_path, const std::string& extract_path) {
  CProfsTable update;
  CProfsTable extract;
  if (update.LoadFromFile(update_path) != kOk || extract.LoadFromFile(extract_path) != kOk) {
    return false;
  }
  CProfsRecord added(update, 0);
  CProfsRecord held(extract, 0);
  std::set<int32_t> named;
  for (int32_t i = 0; i < update.GetRecordCount(); ++i) {
    added.Bind(update.RowAt(i));
    int32_t number = 0;
    if (added.GetHostEntryNumber(number) == kOk && number != 0) named.insert(number);
  }
  std::vector<bool> taken(static_cast<size_t>(extract.GetRecordCount()), false);
  for (int32_t j = 0; j < extract.GetRecordCount(); ++j) {
    held.Bind(extract.RowAt(j));
    int32_t number = 0;
    taken[static_cast<size_t>(j)] =
        held.GetHostEntryNumber(number) != kOk || number == 0 || named.count(number) != 0;
  }
  bool changed = false;
  for (int32_t i = 0; i < update.GetRecordCount(); ++i) {
    added.Bind(update.RowAt(i));
    if (!added.IsAdded()) continue;
    for (int32_t j = 0; j < extract.GetRecordCount(); ++j) {
      if (taken[static_cast<size_t>(j)]) continue;
      held.Bind(extract.RowAt(j));
      int32_t number = 0;
      if (added.Equals(held) != 1) continue;
      held.GetHostEntryNumber(number);
      taken[static_cast<size_t>(j)] = true;
      added.SetHostEntryNumber(number);
      added.SetStatus(kStatusUnchanged);
      changed = true;
      break;
    }
  }
  return !changed || SaveTableFile(update, update_path) == kOk;
}

// Deletes the file; a file that was not there counts as deleted.
bool DeleteIfPresent(COsServices& os, const std::string& path) {
  return os.DeleteFile(path.c_str()) || !os.FileExists(path.c_str());
}

// Applies the update file and deletes it. An update file that would stay after the host applied
// it would be applied again at the next synchronisation, so one that cannot be deleted is not
// applied at all. The marker update_started is on disk before the driver starts and goes after
// the update file: while both exist the host may hold the update, or part of it, already.
bool ApplyUpdate(COsServices& os, CHostDriver& driver, const std::string& update_file,
                 const std::string& update_started, const char* user_id, const char* screen_id) {
  if (!os.CanDeleteFile(update_file.c_str())) {
    LogConduitError(kUpdateNotDeletable);
    return false;
  }
  if (!os.FileExists(update_started.c_str()) && !MarkUpdateStarted(update_started)) {
    LogConduitError(kUpdateNotMarked);
    return false;
  }
  if (!driver.RunUpdate(kUpdateFileName, user_id, screen_id)) return false;
  if (!DeleteIfPresent(os, update_file)) {
    LogConduitError(kAppliedUpdateNotDeleted);
    return false;
  }
  DeleteIfPresent(os, update_started);
  return true;
}

}  // namespace

std::unique_ptr<CProfsMonitor> NewProfsMonitor(const HotSyncProps& props, ModuleInstance module,
                                               COsServices& os) {
  return std::unique_ptr<CProfsMonitor>(new (std::nothrow) CProfsMonitor(props, module, os));
}

void ComputeSyncWindow(int32_t now, int32_t num_days, int32_t* window_start, int32_t* window_end) {
  // Both ends are 00:00 on the local calendar, also on a day on which the clock changes: a start
  // an hour before midnight would take yesterday's last hour for today's, whose entries the
  // host's extract does not list, and the monitor would delete them from the handheld.
  int64_t today = now / tablelib::kSecondsPerDay;
  tablelib::LocalDayOf(now, &today);
  const tablelib::CCivilDate first = tablelib::CivilFromDays(today);
  // A huge NumDays must not wrap the end round to a time before the start: a day that does not
  // fit a time value gives the nearest end of the range.
  const tablelib::CCivilDate last =
      tablelib::CivilFromDays(today + std::min<int64_t>(num_days, kMaxWindowDays));
  tablelib::MakeLocalTime(first.year, first.month, first.day, 0, 0, 0, window_start);
  tablelib::MakeLocalTime(last.year, last.month, last.day, 0, 0, 0, window_end);
  if (*window_end < *window_start) *window_end = *window_start;
}

int32_t RunOpenConduit(COsServices& os, ModuleInstance module, void* host_context,
                       const HotSyncProps& props, MonitorFactory make_monitor) {
  if (host_context == nullptr) return kOk;

  int32_t result = kOk;
  std::unique_ptr<CProfsMonitor> monitor;
  // Every failure leaves through here: the failing step has logged its own line.
  auto fail = [&]() {
    monitor.reset();
    LogConduitError(kSyncFailedLine);
    return result;
  };

  std::string data_folder, local_file_name, user_name, registry_path;
  if (!PropsText(props.data_folder, &data_folder) ||
      !PropsText(props.local_file_name, &local_file_name) ||
      !PropsText(props.user_name, &user_name) || !PropsText(props.registry_path, &registry_path)) {
    LogConduitError(kBadPropsText);
    return fail();
  }
  if (!IsPlainFileName(local_file_name)) {
    LogConduitError(kBadLocalFileName);
    return fail();
  }
  char short_folder[kShortFolderSize] = {};
  if (os.GetShortPath(data_folder.c_str(), short_folder, sizeof short_folder) == 0) {
    LogConduitError(kNoShortFolder);
    return fail();
  }

  ConduitSettings settings;
  if (!ReadConduitSettings(os, props.registry_root, registry_path.c_str(), &settings)) {
    return fail();
  }

  const std::string desktop_file = data_folder + local_file_name;
  const std::string update_file = data_folder + kUpdateFileName;
  if (settings.flush_backup != 0) {
    // Missing files are fine: the request is only that none is used again. A pending update that
    // stayed would be applied below, though the user asked to discard it.
    bool backup_gone = DeleteIfPresent(os, data_folder + BackupFileName(local_file_name));
    bool categories_gone = DeleteIfPresent(os, data_folder + CategoryListFileName(local_file_name));
    if (!DeleteIfPresent(os, update_file) || !backup_gone || !categories_gone) {
      LogConduitError(kCannotFlush);
      return fail();
    }
    if (!ResetFlushBackup(os, props.registry_root, registry_path.c_str())) return fail();
  }

  std::string user_id = settings.user_id;
  if (user_id.empty()) {
    // Cutting the name would make the driver work on another host user's calendar.
    if (user_name.size() >= kUserIdSize) {
      LogConduitError(kUserNameTooLong);
      return fail();
    }
    user_id = user_name;
  }

  std::string hll_path = settings.hll_path;
  if (!hll_path.empty() && hll_path.back() == '\\') hll_path.pop_back();
  char environment[kEnvironmentSize] = {};
  int env_length = snprintf(environment, sizeof environment, "PATH=%s;", hll_path.c_str());
  // The block needs room for both terminating NUL bytes.
  if (env_length < 0 || static_cast<size_t>(env_length) + 2 > sizeof environment) {
    LogConduitError(kEnvironmentTooLong);
    return fail();
  }

  // Milliseconds in 32 bits: a limit of more than about 49 days is as good as none, and must not
  // wrap round to a short one.
  constexpr int32_t kLongestTimeLimit = 4294967;
  int32_t time_limit = std::min(settings.driver_time_limit, kLongestTimeLimit);
  CHostDriver driver(
      os, HostDriverSetup{settings.driver_path, short_folder, environment, settings.hll_name,
                          static_cast<uint32_t>(time_limit) * 1000});

  if (settings.install[0] != '\0') {
    if (!driver.RunInstall(settings.install)) return fail();
    if (!ResetInstall(os, props.registry_root, registry_path.c_str())) return fail();
  }

  // An update file left behind means the host has not seen the last synchronisation's result:
  // apply it first and synchronise at the next call, so that no change is lost or applied twice.
  const std::string update_started = data_folder + kUpdateStartedFileName;
  if (os.FileExists(update_file.c_str())) {
    if (os.FileExists(update_started.c_str())) {
      // The last update run was cut off: what the host took of it shows in a fresh extract.
      os.DeleteFile((data_folder + kErrorFileName).c_str());
      if (!driver.RunExtract(local_file_name.c_str(), user_id.c_str(), settings.num_days,
                             settings.screen_id)) {
        return fail();
      }
      const bool checked = DropAppliedAdditions(update_file, desktop_file);
      os.DeleteFile(desktop_file.c_str());
      if (!checked) {
        LogConduitError(kUpdateNotChecked);
        return fail();
      }
    }
    if (!ApplyUpdate(os, driver, update_file, update_started, user_id.c_str(),
                     settings.screen_id)) {
      return fail();
    }
    return kOk;
  }
  // Left by a run cut off after it removed the update file: that update is done.
  os.DeleteFile(update_started.c_str());

  monitor = make_monitor(props, module, os);
  if (monitor == nullptr) return kOk;

  int32_t window_start = 0;
  int32_t window_end = 0;
  ComputeSyncWindow(os.Now(), settings.num_days, &window_start, &window_end);
  monitor->SetWindow(window_start, window_end);

  os.DeleteFile((data_folder + kErrorFileName).c_str());
  if (!driver.RunExtract(local_file_name.c_str(), user_id.c_str(), settings.num_days,
                         settings.screen_id)) {
    return fail();
  }
  if (!os.CopyFile(desktop_file.c_str(), (data_folder + kExtractFileName).c_str())) {
    LogConduitError(kCannotCopyExtract);
    return fail();
  }

  result = monitor->Execute();
  if (result != kOk) return fail();

  // The monitor leaves its result under the update file's name before it clears the handheld's
  // flags; a monitor that leaves the desktop file has it moved here.
  if (!os.FileExists(update_file.c_str()) &&
      !os.MoveFile(desktop_file.c_str(), update_file.c_str())) {
    LogConduitError(kCannotMoveToUpdate);
    return fail();
  }
  if (!ApplyUpdate(os, driver, update_file, update_started, user_id.c_str(), settings.screen_id)) {
    return fail();
  }
  monitor.reset();
  return kOk;
}
