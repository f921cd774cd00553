// Placeholder HotSync log until the log stand-in lands: entries are dropped.
#include "conduit/platform/hotsync_log.h"

extern "C" int32_t HsLogAddEntry(const char*, int32_t, int32_t) { return 0; }
extern "C" uint16_t HsLogState(void) { return 0; }
