// Fast and slow synchronisation: the passes that read handheld records and hand each to the
// expansion of repeating events or to the conflict rules, before the host's changes are sent.
//
// A handheld read that fails (other than "no further record") fails the run: the records not
// read would otherwise lose their changes when the handheld's sync flags are cleared at the end.
#include <string.h>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/hostcal/host_entry_index.h"
#include "conduit/hostcal/profs_monitor.h"
#include "conduit/result_codes.h"
#include "sdk/sync_manager.h"
#include "tablelib/iterator.h"
#include "tablelib/table_errors.h"

// The working objects of one FastSync or SlowSync. The record objects bind to rows of any table;
// they are made on the scratch table, which holds the one row that handheld records are converted
// into.
struct CSyncPass {
  CProfsTable scratch;
  CProfsRecord desktop{scratch, 0};
  CProfsRecord remote{scratch, 0};
  CProfsRecord handheld{scratch, 0};
  RecordRequest request;
  // Whether the last conversion moved a date before 1970 to 1970.
  bool moved_to_1970 = false;

  CSyncPass() { memset(&request, 0, sizeof request); }
  ~CSyncPass() { CSyncMonitor::FreeRecordBuffer(&request); }
};

namespace {

bool IsGone(const CDateBkRecord& record) {
  return record.IsDeleted() || record.IsArchived();
}

}  // namespace

int32_t CProfsMonitor::StartPass(CSyncPass* pass) {
  if (remote_table_ == nullptr || desktop_table_ == nullptr ||
      pass->scratch.AppendBlankRecord(static_cast<CDateBkRecord&>(pass->handheld)) != kTblOk) {
    return kErrNoTable;
  }
  pass->request.db_handle = db_handle_;
  new_host_entries_.reset();
  return AllocRecordBuffer(&pass->request, kRecordBufferSize);
}

// Each record is converted into a fresh blank row: a deleted record carries only its ID,
// category and flags, and must not be judged by the content of the record read before it.
int32_t CProfsMonitor::ConvertHandheld(CSyncPass* pass, bool log_1970) {
  pass->scratch.PurgeAllRecords();
  if (pass->scratch.AppendBlankRecord(static_cast<CDateBkRecord&>(pass->handheld)) != kTblOk) {
    return kErrConvertFromRemote;
  }
  const int32_t converted = converter_->ConvertFromRemote(pass->handheld, &pass->request);
  pass->moved_to_1970 = converted == kErrMovedTo1970;
  if (pass->moved_to_1970) {
    if (log_1970) LogMovedTo1970(pass->handheld);
    return kOk;
  }
  return converted == kOk ? kOk : kErrConvertFromRemote;
}

int32_t CProfsMonitor::HandleHandheldRecord(CSyncPass* pass) {
  CProfsRecord& handheld = pass->handheld;
  uint32_t id = 0;
  handheld.GetRecordId(id);
  if (handheld.IsRepeatingEvt() || (handheld.IsDeleted() && FindExtractGroup(id) >= 0)) {
    return HandleRepeatingEvent(pass);
  }
  // A record outside the window that the host does not hold waits until its day enters the
  // window (CatchUpHandheldRecords sends it then). One the host holds is matched wherever it now
  // lies, so that a change that moved it out of the window reaches the host, and a removed one
  // is matched wherever it lies, so that an archived one reaches its archive file.
  int32_t start = 0;
  handheld.GetStartTime(start);
  if (!IsGone(handheld) && !InWindow(start) && !HostHoldsRecord(id)) return kOk;
  return MatchHandheldRecord(handheld, pass->desktop, pass->remote);
}

// An archived event is expanded as a deleted one (its occurrences leave the host) and goes to its
// archive file like any other archived record.
int32_t CProfsMonitor::HandleRepeatingEvent(CSyncPass* pass) {
  CProfsRecord& event = pass->handheld;
  int32_t result = ExpandRepeatingEvent(event, pass->desktop, pass->remote);
  if (result == kOk && event.IsArchived()) {
    result = CopyToArchiveTable(event, archive_table_.get());
  }
  return result;
}

int32_t CProfsMonitor::FastSync() {
  CSyncPass pass;
  int32_t result = StartPass(&pass);
  if (result == kErrNoTable) return result;
  int32_t read = kOk;
  while (result == kOk) {
    read = DevReadNextChanged(&pass.request);
    if (read != kOk) break;
    result = ConvertHandheld(&pass, true);
    if (result != kOk) break;
    result = HandleHandheldRecord(&pass);
    memset(pass.request.buffer, 0, pass.request.buffer_size);
  }
  if (read != kOk && read != kSyncErrNotFound) {
    LogReadRemoteFailed(read);
    result = read;
  }
  // A failure above already fails the run; the later passes could only hide it.
  if (result == kOk) result = ExpandGroupEvents(&pass);
  if (result == kOk) result = CatchUpHandheldRecords(&pass);
  return FinishPass(&pass, result);
}

int32_t CProfsMonitor::SlowSync() {
  CSyncPass pass;
  int32_t result = StartPass(&pass);
  if (result == kErrNoTable) return result;
  int32_t read = kOk;
  for (uint16_t index = 0; result == kOk; ++index) {
    pass.request.record_index = index;
    read = DevReadRecordAt(&pass.request);
    if (read != kOk) break;
    result = ConvertHandheld(&pass, true);
    if (result != kOk) break;
    result = HandleHandheldRecord(&pass);
    memset(pass.request.buffer, 0, pass.request.buffer_size);
    if (index == UINT16_MAX) break;
  }
  if (read != kOk && read != kSyncErrNotFound) {
    LogReadRemoteFailed(read);
    result = read;
  }
  return FinishPass(&pass, result);
}

bool CProfsMonitor::HostHoldsRecord(uint32_t id) {
  for (CBaseTable* table : {desktop_table_.get(), remote_table_.get()}) {
    if (table == nullptr || table->GetRecordCount() == 0) continue;
    CBaseIterator it(*table);
    CDateBkRecord probe(*table, 0);
    if (it.SortByRecordId() == kTblOk && it.FindByRecordId(id, probe, 0) == kTblOk) return true;
  }
  return false;
}

int32_t CProfsMonitor::FinishPass(CSyncPass* pass, int32_t result) {
  FreeRecordBuffer(&pass->request);
  if (result == kOk) result = SendHostChanges(pass->remote, pass->desktop);
  return result;
}

// The repeating events whose occurrences the host holds and that the first pass did not meet.
// Every group is removed here, whatever the handheld holds under its ID, so the pass ends.
int32_t CProfsMonitor::ExpandGroupEvents(CSyncPass* pass) {
  int32_t result = kOk;
  for (int32_t index = extract_groups_.First(); index >= 0 && result == kOk;
       index = extract_groups_.First()) {
    const uint32_t id = extract_groups_.At(index)->record_id;
    pass->request.record_id = id;
    const int32_t read = DevReadRecordWithId(&pass->request);
    if (read != kOk && read != kSyncErrNotFound) {
      LogReadRemoteFailed(read);
      return read;
    }
    if (read == kOk && ConvertHandheld(pass, true) == kOk &&
        (pass->handheld.IsRepeatingEvt() || IsGone(pass->handheld))) {
      result = HandleRepeatingEvent(pass);
    }
    // A record gone from the handheld, one that no longer repeats (handled by the first pass if
    // it was changed) or one that cannot be converted: its occurrence entries stay deleted.
    const int32_t left = FindExtractGroup(id);
    if (left >= 0) extract_groups_.Remove(left);
    memset(pass->request.buffer, 0, pass->request.buffer_size);
  }
  return result;
}

// What the host does not hold yet although it lies in the window, met by neither pass above
// because the handheld did not change it since the last run: a repeating event whose occurrences
// were all outside the previous window (a yearly birthday), and a record that was outside the
// window when it was made or changed. Every handheld record is read once more; repeating events
// not expanded in this run are expanded, and records in the window that neither the extract nor
// the host's changes know are matched as new ones.
int32_t CProfsMonitor::CatchUpHandheldRecords(CSyncPass* pass) {
  int32_t result = kOk;
  for (uint16_t index = 0; result == kOk; ++index) {
    pass->request.record_index = index;
    const int32_t read = DevReadRecordAt(&pass->request);
    if (read == kSyncErrNotFound) break;
    if (read != kOk) {
      LogReadRemoteFailed(read);
      return read;
    }
    // Records that do not convert were either met by the first pass (and failed it) or are
    // unchanged records that nothing here would touch.
    if (ConvertHandheld(pass, false) == kOk && !IsGone(pass->handheld)) {
      CProfsRecord& record = pass->handheld;
      uint32_t id = 0;
      record.GetRecordId(id);
      int32_t start = 0;
      record.GetStartTime(start);
      if (record.IsRepeatingEvt()) {
        if (expanded_events_.count(id) == 0) {
          if (pass->moved_to_1970) LogMovedTo1970(record);
          result = ExpandRepeatingEvent(record, pass->desktop, pass->remote);
        }
      } else if (InWindow(start) && !HostHoldsRecord(id)) {
        result = MatchHandheldRecord(record, pass->desktop, pass->remote);
      }
    }
    memset(pass->request.buffer, 0, pass->request.buffer_size);
    if (index == UINT16_MAX) break;
  }
  return result;
}
