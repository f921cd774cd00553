// The conflict rules for one handheld record, and the pass that writes the host's changes and
// new entries to the handheld.
#include <new>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/hostcal/host_entry_index.h"
#include "conduit/hostcal/profs_monitor.h"
#include "conduit/result_codes.h"
#include "sdk/sync_manager.h"
#include "tablelib/iterator.h"
#include "tablelib/table_errors.h"

namespace {

bool IsGone(const CDateBkRecord& record) {
  return record.IsDeleted() || record.IsArchived();
}

// Copies of a handheld record that go to the host as new entries: with the record's ID for a
// record new on the handheld, with ID 0 for the handheld's version in a conflict (the handheld
// gives it a new ID when it is written back). Never archived: it is to stay on both sides.
int32_t AppendHandheldCopy(CBaseTable& desktop_table, CProfsRecord& handheld, CProfsRecord& desktop,
                           bool new_id) {
  if (desktop_table.AppendDuplicateRecord(handheld, desktop, 1) != kTblOk) return kErrCopyRecord;
  if (new_id) desktop.SetRecordId(0);
  desktop.SetStatus(kStatusAdded);
  desktop.SetArchiveBit(false);
  return kOk;
}

}  // namespace

bool CProfsMonitor::PairWithNewHostEntry(CProfsRecord& handheld) {
  if (new_host_entries_ == nullptr) {
    new_host_entries_.reset(new (std::nothrow) CHostEntryIndex());
    if (new_host_entries_ == nullptr) return false;
    new_host_entries_->Build(*desktop_table_);
  }
  CTableRow* row = new_host_entries_->Take(handheld);
  if (row == nullptr) return false;
  CProfsRecord entry(*desktop_table_, 0);
  entry.Bind(row);
  uint32_t id = 0;
  handheld.GetRecordId(id);
  entry.SetRecordId(id);
  // A new host entry is reported to the host as modified, with the ID it has on the handheld.
  if (entry.IsPending()) entry.SetStatus(kStatusModified);
  return true;
}

int32_t CProfsMonitor::MatchHandheldRecord(CProfsRecord& handheld, CProfsRecord& desktop,
                                           CProfsRecord& remote) {
  CBaseIterator desktop_it(*desktop_table_);
  CBaseIterator remote_it(*remote_table_);
  // The tables keep their sorted orders, so this costs O(log n) plus the rows appended since the
  // last record.
  if (desktop_table_->GetRecordCount() > 0) {
    const int32_t sorted = desktop_it.SortByRecordId();
    if (sorted != kTblOk) return sorted;
  }
  if (remote_table_->GetRecordCount() > 0) {
    const int32_t sorted = remote_it.SortByRecordId();
    if (sorted != kTblOk) return sorted;
  }

  int32_t result = kOk;
  bool may_archive = true;
  uint32_t id = 0;
  handheld.GetRecordId(id);
  const bool gone = IsGone(handheld);
  const bool in_remote =
      remote_table_->GetRecordCount() > 0 && remote_it.FindByRecordId(id, remote, 0) == kTblOk;

  if (!in_remote) {
    const bool in_desktop =
        desktop_table_->GetRecordCount() > 0 && desktop_it.FindByRecordId(id, desktop, 0) == kTblOk;
    if (!in_desktop) {
      if (!gone && !PairWithNewHostEntry(handheld)) {
        result = AppendHandheldCopy(*desktop_table_, handheld, desktop, false);
      }
    } else if (host_changes_known_ && desktop.IsPending() &&
               (gone || (handheld.IsModified() && !SameHostContent(handheld, desktop)))) {
      // The host's entry is new since the last run (moved into the window, or a copy that kept
      // the ID) while the handheld changed or removed the record: both versions are kept. The
      // host's entry stays pending and reaches the handheld under a new ID.
      if (gone) {
        LogModifiedDeleted(desktop);
      } else {
        if (AppendHandheldCopy(*desktop_table_, handheld, desktop, false) != kOk) {
          return kErrCopyRecord;
        }
        LogModifiedBothArchived(desktop);
      }
    } else if (gone) {
      desktop.SetStatus(kStatusDeleted);
    } else {
      int32_t entry = 0;
      const bool has_entry = desktop.GetHostEntryNumber(entry) == kTblOk;
      result = desktop.Assign(handheld);
      if (has_entry) desktop.SetHostEntryNumber(entry);
      desktop.SetStatus(kStatusModified);
    }
  } else if (remote.IsDeleted()) {
    // The host deleted it. A version changed on the handheld survives on both sides.
    if (handheld.IsModified() && !gone) {
      remote.Assign(handheld);
      remote.SetStatus(kStatusModified);
      if (AppendHandheldCopy(*desktop_table_, handheld, desktop, false) != kOk) {
        return kErrCopyRecord;
      }
      LogModifiedDeleted(desktop);
    }
  } else if (gone) {
    // The host changed it and the handheld removed it.
    if (SameHostContent(handheld, remote)) {
      CProfsRecord entry(*desktop_table_, 0);
      if (desktop_table_->GetRecordCount() > 0 &&
          desktop_it.FindByRecordId(id, entry, 0) == kTblOk) {
        entry.SetStatus(kStatusDeleted);
      }
      remote.SetStatus(kStatusDeleted);
    } else if (handheld.IsModified()) {
      // The handheld's version stays as a record of its own, so it is not archived as well.
      may_archive = false;
      if (AppendHandheldCopy(*desktop_table_, handheld, desktop, true) != kOk) {
        return kErrCopyRecord;
      }
      if (new_host_entries_ != nullptr) new_host_entries_->Add(desktop);
      LogModifiedBothArchived(desktop);
    } else {
      // The host's version comes back to the handheld; an archived version still goes to its
      // archive file, where the person asked for it to be kept.
      LogModifiedDeleted(remote);
    }
  } else if (!SameHostContent(handheld, remote) && handheld.IsModified()) {
    // Changed on both sides, differently: both versions stay on both sides.
    if (AppendHandheldCopy(*desktop_table_, handheld, desktop, true) != kOk) {
      return kErrCopyRecord;
    }
    if (new_host_entries_ != nullptr) new_host_entries_->Add(desktop);
    LogModifiedBothArchived(desktop);
  }

  if (handheld.IsArchived() && may_archive) {
    result = CopyToArchiveTable(handheld, archive_table_.get());
  }
  return result;
}

// The new records go to the handheld before the host's changes: the handheld's version of a
// record changed on both sides is added as a record of its own before its original is written
// over, so that a run that fails in between loses neither version.
int32_t CProfsMonitor::SendHostChanges(CProfsRecord& remote, CProfsRecord& desktop) {
  int32_t result = kOk;
  if (desktop_table_->GetRecordCount() > 0) {
    CBaseIterator it(*desktop_table_);
    if (it.SortByRecordStatus() != kTblOk) return kErrSortStatus;
    for (int32_t found = it.FindFirst(desktop, 0); found == kTblOk && result == kOk;
         found = it.FindNext(desktop, 0)) {
      uint32_t id = 0;
      desktop.GetRecordId(id);
      const bool pending = desktop.IsPending();
      if (!pending && !(desktop.IsAdded() && id == 0)) continue;
      const int32_t added = AddRemoteRecord(desktop);
      if (added != kOk) {
        LogAddRemoteFailed(desktop, added);
        result = added;
      } else if (pending) {
        desktop.SetStatus(kStatusModified);
      }
    }
  }
  if (remote_table_->GetRecordCount() > 0) {
    CBaseIterator it(*remote_table_);
    if (it.SortByRecordStatus() != kTblOk) return kErrSortStatus;
    for (int32_t found = it.FindFirst(remote, 0); found == kTblOk && result == kOk;
         found = it.FindNext(remote, 0)) {
      uint32_t id = 0;
      remote.GetRecordId(id);
      if (remote.IsArchived() || remote.IsDeleted()) {
        if (remote.IsArchived()) CopyToArchiveTable(remote, archive_table_.get());
        if (id == 0) continue;
        RecordRequest request{};
        request.db_handle = db_handle_;
        request.record_id = id;
        const int32_t deleted = DevDeleteRecord(&request);
        // A record that is not there any more is what the deletion asked for.
        if (deleted == kOk || deleted == kSyncErrNotFound) continue;
        LogDeleteRemoteFailed(remote, deleted);
        // The run fails, so that the backup keeps the record and the next run deletes it again.
        if (!IsNonFatalError(deleted)) result = deleted;
      } else if (remote.IsModified()) {
        const int32_t changed = ChangeRemoteRecord(remote);
        if (changed != kOk) {
          LogChangeRemoteFailed(remote, changed);
          if (!IsNonFatalError(changed)) result = changed;
        }
      }
    }
  }

  return result;
}
