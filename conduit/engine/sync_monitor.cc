// CSyncMonitor: construction, release, Execute and the operations that a specialisation supplies.
#include "conduit/engine/sync_monitor.h"

#include <string.h>

#include <new>

#include "conduit/result_codes.h"
#include "sdk/sync_manager.h"
#include "tablelib/category.h"
#include "tablelib/table.h"

CSyncMonitor::CSyncMonitor(const HotSyncProps& props, ModuleInstance module, COsServices& os)
    : module_(module), os_(os) {
  memset(&props_, 0, sizeof(props_));
  memcpy(&props_, &props, kSyncPropsCopySize);
  memset(&app_info_request_, 0, sizeof(app_info_request_));
  memset(&system_info_request_, 0, sizeof(system_info_request_));
  system_info_buffer_.reset(new (std::nothrow) uint8_t[kSystemInfoBufferSize]());
  if (system_info_buffer_ != nullptr) {
    system_info_request_.buffer = system_info_buffer_.get();
    system_info_request_.buffer_length = kSystemInfoBufferSize;
  }
}

// The owned objects go in a fixed order: converter, the archive, desktop, backup and remote
// tables, the handheld category list, then the request buffers. The desktop category list belongs
// to the desktop table, so it is only forgotten.
CSyncMonitor::~CSyncMonitor() {
  converter_.reset();
  desktop_categories_ = nullptr;
  archive_table_.reset();
  desktop_table_.reset();
  backup_table_.reset();
  remote_table_.reset();
  handheld_categories_.reset();
  app_info_request_.buffer = nullptr;
  app_info_request_.buffer_size = 0;
  app_info_buffer_.reset();
  system_info_request_.buffer = nullptr;
  system_info_buffer_.reset();
}

int32_t CSyncMonitor::Execute() {
  int32_t result = SyncReadSystemInfo(&system_info_request_);
  if (result != kOk) return result;
  switch (static_cast<uint32_t>(props_.sync_type)) {
    case kSyncFast:
    case kSyncSlow:
    case kSyncHandheldOverwrites:
    case kSyncDesktopOverwrites:
      return RunSync();
    case kSyncType4:
    case kSyncType7:
      return RunSyncTypes4And7();
    case kSyncType5:
      return RunSyncType5();
    default:
      return kErrSyncTypeUnsupported;
  }
}

const char* CSyncMonitor::RemoteDatabaseName() const {
  if (db_index_ < 0 || db_index_ >= kMaxRemoteNames) return "";
  const char* name = props_.remote_names[db_index_];
  return name != nullptr ? name : "";
}

// --- What the specialisation supplies ---

int32_t CSyncMonitor::OpenRemoteDatabase() {
  return kErrNotProvided;
}
int32_t CSyncMonitor::LoadLocalTables() {
  return kErrNotProvided;
}
int32_t CSyncMonitor::CopyRecordToTable(CBaseRecord&, CBaseTable&) {
  return kErrNotProvided;
}
int32_t CSyncMonitor::AddRemoteRecord(CBaseRecord&) {
  return kErrNotProvided;
}
int32_t CSyncMonitor::ChangeRemoteRecord(CBaseRecord&) {
  return kErrNotProvided;
}
int32_t CSyncMonitor::FastSync() {
  return kErrNotProvided;
}
int32_t CSyncMonitor::SlowSync() {
  return kErrNotProvided;
}
int32_t CSyncMonitor::CreateLocalTable(std::unique_ptr<CBaseTable>& table) {
  table.reset();
  return kErrNotProvided;
}
int32_t CSyncMonitor::RunSync() {
  return kErrNotProvided;
}
int32_t CSyncMonitor::RunSyncTypes4And7() {
  return kErrNotProvided;
}
int32_t CSyncMonitor::RunSyncType5() {
  return kErrNotProvided;
}
void CSyncMonitor::FormatRecordForLog(CBaseRecord&, char*) {}
void CSyncMonitor::GetConduitTitle(char*, int32_t) {}
