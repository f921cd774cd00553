// The conduit's exports. Until the synchronisation flow lands they answer -1.
#include "conduit/entry/exports.h"

CONDUIT_EXPORT int32_t GetConduitName(char* /*buffer*/, int32_t /*size*/) { return -1; }

CONDUIT_EXPORT int32_t GetConduitVersion() { return -1; }

CONDUIT_EXPORT int32_t ConfigureConduit(HotSyncPrefs* /*prefs*/) { return -1; }

CONDUIT_EXPORT int32_t OpenConduit(void* /*host_context*/, HotSyncProps* /*props*/) { return -1; }
