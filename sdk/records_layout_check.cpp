// Compiled for a 32-bit target by the records_32bit_layout test: the static_asserts of records.h
// then check every documented offset, and these check the record sizes as a whole.
#include "sdk/records.h"

static_assert(UINTPTR_MAX == 0xFFFFFFFFu, "this check must be compiled for a 32-bit target");
static_assert(sizeof(HotSyncProps) == 1198, "HotSyncProps ends after the 1198 copied bytes");
static_assert(sizeof(RecordRequest) == 28, "record request");
static_assert(sizeof(AppInfoRequest) == 44, "application-information request");
static_assert(sizeof(SystemInfoRequest) == 18, "system information request");
static_assert(sizeof(CreateRequest) == 52, "create request");
