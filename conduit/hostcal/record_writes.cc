// Record writes to the handheld and to desktop tables, and the description of a record in a log
// line.
#include <stdio.h>
#include <string.h>

#include <string>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/hostcal/host_entry_index.h"
#include "conduit/hostcal/profs_monitor.h"
#include "conduit/resources/string_table.h"
#include "conduit/result_codes.h"
#include "sdk/sync_manager.h"
#include "tablelib/iterator.h"
#include "tablelib/local_time.h"
#include "tablelib/table_errors.h"

namespace {

constexpr size_t kLogDescriptionLength = 40;
constexpr int32_t kUntimedTextLength = 19;
constexpr int32_t kAmPmTextSize = 3;  // two characters and the terminator
constexpr int32_t kLastAmHour = 12;
constexpr uint8_t kChangedOrGone = kRecAttrDeleted | kRecAttrArchived | kRecAttrDirty;

}  // namespace

int32_t CProfsMonitor::CopyRecordToTable(CBaseRecord& record, CBaseTable& table) {
  CDateBkRecord copy(table, 0);
  return table.AppendDuplicateRecord(record, copy, 1) == kTblOk ? kOk : kErrCopyRecord;
}

int32_t CProfsMonitor::ReadHandheldRecord(uint32_t id, RecordRequest* request) {
  request->db_handle = db_handle_;
  request->record_id = id;
  return DevReadRecordWithId(request);
}

bool CProfsMonitor::AnotherDesktopRecordHasId(CBaseRecord& record, uint32_t id) {
  if (desktop_table_ == nullptr) return false;
  CBaseIterator it(*desktop_table_);
  if (it.SortByRecordId() != kTblOk) return false;
  CDateBkRecord probe(*desktop_table_, 0);
  for (int32_t found = it.FindByRecordId(id, probe, 0); found == kTblOk;
       found = it.FindNext(probe, 0)) {
    uint32_t probe_id = 0;
    probe.GetRecordId(probe_id);
    if (probe_id != id) break;
    if (probe.GetRow() != record.GetRow()) return true;
  }
  return false;
}

// Decides under which ID a desktop record that already carries one is written: its own, over the
// handheld record of that ID, only when that record is the same entry and the handheld left it
// as it was; otherwise a new one, so that no handheld record is overwritten. On return the
// request holds the handheld record (when it was read) and request->record_id the target ID.
int32_t CProfsMonitor::ResolveAddTarget(CBaseRecord& record, RecordRequest* request) {
  uint32_t id = 0;
  record.GetRecordId(id);
  // Another desktop entry with this ID is the one the handheld record stands for; this one is a
  // copy the host user made.
  if (id == 0 || AnotherDesktopRecordHasId(record, id)) {
    request->record_id = 0;
    return kOk;
  }
  const int32_t read = ReadHandheldRecord(id, request);
  if (read == kSyncErrNotFound) {
    request->record_id = 0;
    return kOk;
  }
  if (read != kOk) return read;
  bool same_entry = (request->attributes & kChangedOrGone) == 0;
  if (same_entry) {
    CProfsTable scratch;
    CProfsRecord handheld(scratch, 0);
    same_entry = scratch.AppendBlankRecord(static_cast<CDateBkRecord&>(handheld)) == kTblOk &&
                 converter_->ConvertFromRemote(handheld, request) == kOk &&
                 !handheld.IsRepeatingEvt();
  }
  request->record_id = same_entry ? id : 0;
  return kOk;
}

int32_t CProfsMonitor::AddRemoteRecord(CBaseRecord& record) {
  RecordRequest request;
  memset(&request, 0, sizeof request);
  request.db_handle = db_handle_;
  if (AllocRecordBuffer(&request, kRecordBufferSize) != kOk) return kErrNoAddBuffer;
  int32_t result = ResolveAddTarget(record, &request);
  const uint32_t target = request.record_id;
  const int16_t category = request.category;
  if (result == kOk) {
    memset(request.buffer, 0, request.buffer_size);
    result = converter_->ConvertToRemote(record, &request) == kOk ? kOk : kErrConvertToRemote;
  }
  if (result == kOk) {
    request.record_id = target;
    // An entry written over the handheld's record keeps that record's category.
    if (target != 0) request.category = category;
    // Marked changed, so that a run that fails after this write reads the record again and pairs
    // it with its host entry instead of adding the entry a second time.
    request.attributes |= kRecAttrDirty;
    result = DevWriteRecord(&request);
    if (result == kOk) record.SetRecordId(request.record_id);
  }
  FreeRecordBuffer(&request);
  return result;
}

int32_t CProfsMonitor::ChangeRemoteRecord(CBaseRecord& record) {
  RecordRequest request;
  memset(&request, 0, sizeof request);
  request.db_handle = db_handle_;
  if (AllocRecordBuffer(&request, kRecordBufferSize) != kOk) return kErrNoChangeBuffer;
  uint32_t id = 0;
  record.GetRecordId(id);
  // The host holds no categories: the handheld record keeps its own.
  int32_t result = ReadHandheldRecord(id, &request);
  bool keep_category = result == kOk;
  const int16_t category = request.category;
  if (result == kSyncErrNotFound) result = kOk;
  if (result == kOk) {
    memset(request.buffer, 0, request.buffer_size);
    result = converter_->ConvertToRemote(record, &request) == kOk ? kOk : kErrConvertToRemote;
  }
  if (result == kOk) {
    request.record_id = id;
    if (keep_category) request.category = category;
    result = DevWriteRecord(&request);
  }
  FreeRecordBuffer(&request);
  return result;
}

void CProfsMonitor::FormatRecordForLog(CBaseRecord& base, char* buffer) {
  CDateBkRecord* record = dynamic_cast<CDateBkRecord*>(&base);
  if (record == nullptr || buffer == nullptr) return;
  std::string description;
  record->GetDescription(description);
  if (description.size() > kLogDescriptionLength) description.resize(kLogDescriptionLength);
  int32_t start = 0;
  record->GetStartTime(start);
  tablelib::CLocalTime local;
  tablelib::BreakDownLocalTime(start, &local);

  char when[32];
  if (record->IsUnTimed()) {
    char untimed[kUntimedTextLength + 1] = {};
    os_.LoadString(module_, IDS_UNTIMED, untimed, sizeof untimed);
    snprintf(when, sizeof when, "%s", untimed);
  } else {
    char am_pm[kAmPmTextSize] = {};
    const bool am = local.hour <= kLastAmHour;
    os_.LoadString(module_, am ? IDS_AM : IDS_PM, am_pm, sizeof am_pm);
    snprintf(when, sizeof when, "%.1ld:%.2ld%s",
             static_cast<long>(am ? local.hour : local.hour - kLastAmHour),
             static_cast<long>(local.minute), am_pm);
  }
  char date[48];
  snprintf(date, sizeof date, "%.1ld/%.1ld/%.4ld, ", static_cast<long>(local.month),
           static_cast<long>(local.day), static_cast<long>(local.year));
  const std::string line = "       " + description + ", " + date + when;
  snprintf(buffer, kLogLineSize, "%s", line.c_str());
}
