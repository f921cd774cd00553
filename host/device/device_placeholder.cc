// Placeholder sync manager until the emulated handheld lands: every call fails.
#include "conduit/platform/sync_manager.h"

namespace {
constexpr int32_t kNoDevice = kSyncCommsErrorBit | 1;
}

extern "C" {
int32_t DevBeginSession(uint32_t*) { return kNoDevice; }
int32_t DevEndSession(uint32_t) { return kNoDevice; }
int32_t DevOpenDatabase(const char*, uint8_t, uint8_t*, uint8_t) { return kNoDevice; }
int32_t DevCreateDatabase(CreateRequest*) { return kNoDevice; }
int32_t DevCloseDatabase(uint8_t) { return kNoDevice; }
int32_t DevClearSyncFlags(uint8_t) { return kNoDevice; }
int32_t DevReadRecordAt(RecordRequest*) { return kNoDevice; }
int32_t DevReadNextChanged(RecordRequest*) { return kNoDevice; }
int32_t DevReadRecordWithId(RecordRequest*) { return kNoDevice; }
int32_t DevWriteRecord(RecordRequest*) { return kNoDevice; }
int32_t DevDeleteRecord(RecordRequest*) { return kNoDevice; }
int32_t DevPurgeRemoved(uint8_t) { return kNoDevice; }
int32_t DevReadAppInfo(uint8_t, AppInfoRequest*) { return kNoDevice; }
int32_t DevWriteAppInfo(uint8_t, AppInfoRequest*) { return kNoDevice; }
int32_t SyncChangeCategory(uint8_t, uint8_t, uint8_t) { return kNoDevice; }
int32_t SyncReadSystemInfo(SystemInfoRequest*) { return kNoDevice; }
int32_t SyncYieldCycles(uint16_t) { return 0; }
}
