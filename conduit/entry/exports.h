// The four functions that the host calls in the conduit library (see sdk/conduit_exports.h for
// the contract).
#ifndef DBC_CONDUIT_ENTRY_EXPORTS_H_
#define DBC_CONDUIT_ENTRY_EXPORTS_H_

#include <stdint.h>

#include "sdk/conduit_exports.h"
#include "sdk/records.h"

CONDUIT_EXPORT int32_t GetConduitName(char* buffer, int32_t size);
// 257 (0x101).
CONDUIT_EXPORT int32_t GetConduitVersion();
CONDUIT_EXPORT int32_t ConfigureConduit(HotSyncPrefs* prefs);
CONDUIT_EXPORT int32_t OpenConduit(void* host_context, HotSyncProps* props);

#endif  // DBC_CONDUIT_ENTRY_EXPORTS_H_
