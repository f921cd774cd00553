// Record transfer helpers: the two code tests, the archive copy and the record request buffers.
#include <string.h>

#include <new>

#include "conduit/engine/sync_monitor.h"
#include "conduit/result_codes.h"
#include "sdk/sync_manager.h"
#include "tablelib/record.h"
#include "tablelib/table.h"

bool CSyncMonitor::IsCommsError(int32_t code) {
  // -1 (an operation not provided) has every bit set but is never a lost link.
  return code != kErrNotProvided && (code & kSyncCommsErrorBit) != 0;
}

bool CSyncMonitor::IsNonFatalError(int32_t code) {
  return code == kSyncErrRecordRefused || code == kSyncErrRecordGone;
}

int32_t CSyncMonitor::CopyToArchiveTable(CBaseRecord& record, CBaseTable* table) {
  // The copy reaches the archive as an unchanged, unflagged record, whatever happens next.
  record.SetStatus(kStatusUnchanged);
  record.SetArchiveBit(false);
  if (table == nullptr || CopyRecordToTable(record, *table) != kOk) {
    LogCopyToLocalFailed(record);
    return kErrCopyRecord;
  }
  return kOk;
}

int32_t CSyncMonitor::AllocRecordBuffer(RecordRequest* request, uint16_t size) {
  if (request == nullptr) return kErrNoRecordBuffer;
  request->buffer_size = 0;
  request->buffer = new (std::nothrow) uint8_t[size == 0 ? 1 : size];
  if (request->buffer == nullptr) return kErrNoRecordBuffer;
  memset(request->buffer, 0, size);
  request->buffer_size = size;
  return kOk;
}

void CSyncMonitor::FreeRecordBuffer(RecordRequest* request) {
  if (request == nullptr) return;
  delete[] request->buffer;
  request->buffer = nullptr;
  request->buffer_size = 0;
}
