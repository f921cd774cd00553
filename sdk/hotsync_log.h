// The HotSync log: where the conduit reports to the user.
#ifndef DBC_SDK_HOTSYNC_LOG_H_
#define DBC_SDK_HOTSYNC_LOG_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Activity codes of log entries.
enum {
  kActivityText = -1,          // continuation text, the heading
  kActivityRunStart = 19,      // the empty entry that opens a run
  kActivitySyncOk = 20,        // closing line of a run without problems
  kActivitySyncFailed = 21,    // closing line of a run with a problem
  kActivityConduitError = 22,  // failures of the settings and the host driver
};

// Adds one entry to the log of the current run. The answer carries no meaning.
int32_t HsLogAddEntry(const char* text, int32_t activity, int32_t flag);
// 0 until an entry with a message activity code (1 to 17) was added in the current run, non-zero
// afterwards.
uint16_t HsLogState(void);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // DBC_SDK_HOTSYNC_LOG_H_
