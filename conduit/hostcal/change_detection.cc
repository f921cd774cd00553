// Opening the handheld database, loading the extract and the backup, and working out what the
// host changed since the previous synchronisation.
#include <string.h>

#include <memory>
#include <new>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/hostcal/host_entry_index.h"
#include "conduit/hostcal/profs_monitor.h"
#include "conduit/hostcal/sync_files.h"
#include "conduit/result_codes.h"
#include "sdk/sync_manager.h"
#include "tablelib/iterator.h"
#include "tablelib/table_errors.h"

int32_t CProfsMonitor::OpenRemoteDatabase() {
  const char* name = RemoteDatabaseName();
  int32_t result = DevOpenDatabase(name, 0, &db_handle_, kSyncOpenModeReadWrite);
  if (result == kSyncErrNotFound) {
    CreateRequest request;
    memset(&request, 0, sizeof request);
    request.creator = props_.creator;
    request.card_number = props_.card_number;
    strncpy(request.database_name, name, sizeof request.database_name - 1);
    request.database_type = props_.database_type;
    result = DevCreateDatabase(&request);
    if (result != kOk) return result;
    db_handle_ = request.db_handle;
  } else if (result != kOk) {
    return result;
  }
  remote_table_.reset(new (std::nothrow) CProfsTable());
  if (remote_table_ == nullptr) {
    DevCloseDatabase(db_handle_);
    return kErrNoTable;
  }
  return kOk;
}

int32_t CProfsMonitor::CreateLocalTable(std::unique_ptr<CBaseTable>& table) {
  table.reset(new (std::nothrow) CDateBkTable());
  return table != nullptr ? kOk : kErrNotProvided;
}

std::string CProfsMonitor::DesktopPath() const {
  return std::string(props_.data_folder, strnlen(props_.data_folder, sizeof props_.data_folder)) +
         std::string(props_.local_file_name,
                     strnlen(props_.local_file_name, sizeof props_.local_file_name));
}

std::string CProfsMonitor::BackupPath() const {
  return SideFilePath(props_, kBackupSuffix);
}

std::string CProfsMonitor::UpdatePath() const {
  return std::string(props_.data_folder, strnlen(props_.data_folder, sizeof props_.data_folder)) +
         kUpdateFileName;
}

std::string CProfsMonitor::CategoryListPath() const {
  return SideFilePath(props_, kCategoryListSuffix);
}

int32_t CProfsMonitor::LoadLocalTables() {
  const std::string desktop_path = DesktopPath();
  // A local file name ending in "bak" or "cat" would make the saves at the end of the turn write
  // over the update; such a name cannot be synchronised.
  if (desktop_path == BackupPath() || desktop_path == CategoryListPath()) return kErrLoadDesktop;

  std::unique_ptr<CProfsTable> desktop(new (std::nothrow) CProfsTable());
  if (desktop == nullptr) return kErrLoadDesktop;
  const int32_t loaded = desktop->LoadFromFile(desktop_path);
  desktop_table_ = std::move(desktop);
  if (loaded != kTblOk && loaded != kTblErrFileNotFound) return kErrLoadDesktop;
  archive_table_.reset(new (std::nothrow) CDateBkTable());
  if (archive_table_ == nullptr) return kErrLoadDesktop;
  static_assert(sizeof kDateBookArchiveExtension <= sizeof archive_extension_,
                "the archive extension fits its field");
  memcpy(archive_extension_, kDateBookArchiveExtension, sizeof kDateBookArchiveExtension);

  // The host calendar holds no categories, so the desktop's list is the one both sides agreed on
  // at the end of the previous synchronisation.
  if (LoadCategoryList() != kOk) return kErrNoBackup;

  const uint32_t sync_type = static_cast<uint32_t>(props_.sync_type);
  if (sync_type != kSyncFast && sync_type != kSyncSlow) return kOk;

  std::unique_ptr<CProfsTable> backup(new (std::nothrow) CProfsTable());
  if (backup == nullptr) return kErrLoadDesktop;
  backup_table_ = std::move(backup);
  int32_t result = kOk;
  const int32_t backup_loaded =
      static_cast<CProfsTable&>(*backup_table_).LoadFromFile(BackupPath());
  if (backup_loaded != kTblOk && backup_loaded != kTblErrFileNotFound) result = kErrNoBackup;
  host_changes_known_ = backup_loaded == kTblOk;
  // A run whose backup could not be read neither synchronises nor saves, so what the detection
  // makes of a partly read backup reaches nobody.
  DetectHostChanges();
  backup_table_->PurgeAllRecords();
  return result;
}

int32_t CProfsMonitor::LoadCategoryList() {
  category_list_loaded_ = false;
  CCategoryMgr saved;
  const int32_t loaded = LoadSavedCategories(CategoryListPath(), &saved);
  if (loaded == kTblErrFileNotFound) return kOk;
  if (loaded != kTblOk) return loaded;
  *desktop_table_->GetCategoryManager() = saved;
  category_list_loaded_ = true;
  return kOk;
}

int32_t CProfsMonitor::DetectHostChanges() {
  CProfsTable& desktop = static_cast<CProfsTable&>(*desktop_table_);
  CProfsTable& backup = static_cast<CProfsTable&>(*backup_table_);
  CBaseIterator desktop_it(desktop);
  CBaseIterator backup_it(backup);
  CProfsRecord d(desktop, 0);
  CProfsRecord b(backup, 0);
  CProfsRecord copy(*remote_table_, 0);
  const int32_t backup_count = backup.GetRecordCount();

  for (int32_t found = backup_it.FindFirst(b, 0); found == kTblOk;
       found = backup_it.FindNext(b, 0)) {
    if (!b.IsRepeatingEvt()) continue;
    std::unique_ptr<CProfsRecord> added;
    AddToBackupGroup(b, added);
  }
  for (int32_t found = desktop_it.FindFirst(d, 0); found == kTblOk;
       found = desktop_it.FindNext(d, 0)) {
    if (!d.IsRepeatingEvt()) {
      d.SetStatus(kStatusPending);
      continue;
    }
    // Every occurrence the host returned is deleted on the host by the update; the handheld event
    // is expanded anew for the current window.
    d.SetStatus(kStatusUnchanged);
    std::unique_ptr<CProfsRecord> added;
    AddToExtractGroup(d, added);
    d.SetStatus(kStatusDeleted);
  }

  if (desktop.GetRecordCount() > 0) {
    const int32_t sorted = desktop_it.SortByRecordId();
    if (sorted != kTblOk) return sorted;
  }
  if (backup_count > 0) {
    const int32_t sorted = backup_it.SortByRecordId();
    if (sorted != kTblOk) return sorted;
  }

  int32_t result = kOk;
  for (int32_t found = backup_it.FindFirst(b, 0); found == kTblOk && result == kOk;
       found = backup_it.FindNext(b, 0)) {
    int32_t start = 0;
    uint32_t id = 0;
    b.GetStartTime(start);
    b.GetRecordId(id);
    // A backup entry with ID 0 never reached the handheld, so no handheld record stands for it.
    if (!InWindow(start) || b.IsRepeatingEvt() || id == 0) continue;
    if (desktop.GetRecordCount() > 0 && desktop_it.FindByRecordId(id, d, 0) == kTblOk) {
      d.SetStatus(kStatusUnchanged);
      if (!d.Equals(b)) {
        if (remote_table_->AppendDuplicateRecord(d, copy, 1) != kTblOk) {
          result = kErrCopyRecord;
        } else {
          copy.SetStatus(kStatusModified);
        }
      }
    } else if (remote_table_->AppendDuplicateRecord(b, copy, 1) != kTblOk) {
      result = kErrCopyRecord;
    } else {
      copy.SetStatus(kStatusDeleted);
    }
  }
  if (result != kOk) return result;
  return CompareOccurrenceGroups();
}

int32_t CProfsMonitor::AddToExtractGroup(CBaseRecord& record, std::unique_ptr<CProfsRecord>& out) {
  return extract_groups_.Add(record, out);
}

int32_t CProfsMonitor::AddToBackupGroup(CBaseRecord& record, std::unique_ptr<CProfsRecord>& out) {
  return backup_groups_.Add(record, out);
}
