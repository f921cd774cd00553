// The four functions that the host calls in the conduit library.
#ifndef DBC_CONDUIT_ENTRY_EXPORTS_H_
#define DBC_CONDUIT_ENTRY_EXPORTS_H_

#include <stdint.h>

#include "conduit/platform/records.h"

#define CONDUIT_EXPORT extern "C" __attribute__((visibility("default")))

// Loads the conduit's name into buffer (the low 16 bits of size count): 0, or -1 when nothing
// was loaded.
CONDUIT_EXPORT int32_t GetConduitName(char* buffer, int32_t size);
// 257 (0x101).
CONDUIT_EXPORT int32_t GetConduitVersion();
// Lets the user choose the next HotSync's action: 0 on OK, -1 on cancel.
CONDUIT_EXPORT int32_t ConfigureConduit(HotSyncPrefs* prefs);
// Runs one synchronisation: 0, or the monitor's non-zero result.
CONDUIT_EXPORT int32_t OpenConduit(void* host_context, HotSyncProps* props);

#endif  // DBC_CONDUIT_ENTRY_EXPORTS_H_
