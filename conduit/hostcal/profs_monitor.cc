// CProfsMonitor: construction, the sync loop and the saves that end a turn.
#include "conduit/hostcal/profs_monitor.h"

#include <string.h>

#include <new>

#include "conduit/format/date_bk_converter.h"
#include "conduit/hostcal/host_entry_index.h"
#include "conduit/hostcal/sync_files.h"
#include "conduit/platform/table_file.h"
#include "conduit/resources/string_table.h"
#include "conduit/result_codes.h"
#include "sdk/hotsync_log.h"
#include "sdk/sync_manager.h"
#include "tablelib/category.h"
#include "tablelib/table.h"

namespace {

constexpr int32_t kLogFlag = 0;
// The closing line is built in a buffer of this size.
constexpr int32_t kClosingLineSize = 40;

}  // namespace

CProfsMonitor::CProfsMonitor(const HotSyncProps& props, ModuleInstance module, COsServices& os)
    : CSyncMonitor(props, module, os) {
  converter_.reset(new (std::nothrow) CDateBkConverter());
  static_assert(sizeof kDateBookArchiveExtension <= sizeof archive_extension_,
                "the archive extension fits its field");
  memcpy(archive_extension_, kDateBookArchiveExtension, sizeof kDateBookArchiveExtension);
  db_count_ = 1;
  db_index_ = 0;
}

// The groups go first (backup, then extract), then what CSyncMonitor owns.
CProfsMonitor::~CProfsMonitor() {
  backup_groups_.Clear();
  extract_groups_.Clear();
  new_host_entries_.reset();
}

void CProfsMonitor::SetWindow(int32_t window_start, int32_t window_end) {
  window_start_ = window_start;
  window_end_ = window_end;
}

int32_t CProfsMonitor::RunSync() {
  int32_t end_code = kActivitySyncOk;
  uint32_t session = 0;
  int32_t result = DevBeginSession(&session);
  if (result != kOk) return result;
  HsLogAddEntry("", kActivityRunStart, kLogFlag);
  memset(&app_info_request_, 0, sizeof app_info_request_);

  while (db_index_ < db_count_) {
    if (result != kOk) {
      end_code = kActivitySyncFailed;
      break;
    }
    result = RunTurn(&end_code);
    ++db_index_;
  }
  if (result != kOk) end_code = kActivitySyncFailed;

  char title[kClosingLineSize];
  memset(title, 0, sizeof title);
  GetConduitTitle(title, sizeof title);
  HsLogAddEntry(title, end_code, kLogFlag);
  // After a lost link the handheld cannot take the end of the session.
  if (!IsCommsError(result)) DevEndSession(session);
  return result;
}

int32_t CProfsMonitor::RunTurn(int32_t* end_code) {
  // Every step below converts records; without a converter nothing can be synchronised.
  if (converter_ == nullptr) return kErrNoConverter;
  int32_t result = OpenRemoteDatabase();
  if (result != kOk) return result;
  result = LoadLocalTables();
  if (result == kOk) {
    ResetLocalRecordIds();
    result = ReadRemoteCategories();
    if (result == kOk) result = SynchronizeCategories();
  }
  if (result == kOk) {
    const bool has_backup = os_.FileExists(BackupPath().c_str());
    result = has_backup && static_cast<uint32_t>(props_.sync_type) == kSyncFast ? FastSync()
                                                                                : SlowSync();
  }
  if (result == kOk || IsNonFatalError(result)) result = SaveTurn(end_code);
  DevCloseDatabase(db_handle_);
  return result;
}

// The saves come in the order that keeps a failure or a crash at any point safe. The desktop file
// is saved and moved to the update file's name first: from then on the synchronisation's result
// is on disk under the name that the next run applies before anything else, so the next extract
// cannot overwrite it. The category list and the backup are written only once the update file
// exists, and the handheld's sync flags are cleared and its removed records purged only once the
// backup is: until then a failed run leaves the handheld's changes marked, so that the next run
// reads them again, and the backup as it was, which still describes what the host holds.
int32_t CProfsMonitor::SaveTurn(int32_t* end_code) {
  // Records whose archive file could not be written stay on the handheld, marked archived, so
  // that the next run archives them again.
  const bool archived = ArchiveRecords() == kOk;
  if (!archived) LogArchiveFailed();
  int32_t result = SaveTableFile(*desktop_table_, DesktopPath());
  if (result == kOk && !os_.MoveFile(DesktopPath().c_str(), UpdatePath().c_str())) {
    result = kErrLoadDesktop;
  }
  if (result == kOk) {
    desktop_table_->PurgeDeletedRecords();
    if (desktop_categories_ != nullptr) {
      result = SaveCategoryList(CategoryListPath(), *desktop_categories_);
    }
    if (result == kOk) result = SaveTableFile(*desktop_table_, BackupPath());
  }
  if (result != kOk) {
    LogSaveLocalFailed();
    *end_code = kActivitySyncFailed;
    return result;
  }
  if (DevClearSyncFlags(db_handle_) != kOk) {
    LogClearFlagsFailed();
    *end_code = kActivitySyncFailed;
  }
  if (!archived) return kOk;
  const int32_t purged = DevPurgeRemoved(db_handle_);
  if (purged != kOk) {
    LogPurgeRemoteFailed(purged);
    *end_code = kActivitySyncFailed;
  }
  return kOk;
}

int32_t CProfsMonitor::SynchronizeCategories() {
  if (!category_list_loaded_ && handheld_categories_ != nullptr) {
    if (static_cast<uint32_t>(props_.sync_type) == kSyncDesktopOverwrites) {
      // The host calendar has no categories to give; an empty list would erase the handheld's.
      if (desktop_table_ != nullptr) desktop_categories_ = desktop_table_->GetCategoryManager();
      return CopyCategoriesToLocal(handheld_categories_.get());
    }
    // Nothing was agreed yet, so nothing can have been deleted on the desktop.
    MarkCategoriesDirty(handheld_categories_.get());
  }
  return CSyncMonitor::SynchronizeCategories();
}

void CProfsMonitor::GetConduitTitle(char* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) return;
  // Only the low 16 bits of the size count.
  const int32_t usable = size & 0xFFFF;
  if (usable == 0) return;
  os_.LoadString(module_, IDS_CONDUIT_NAME, buffer, usable);
}
