// The four functions that a conduit library exports and that a HotSync host looks up by name.
//
// A conduit defines them with CONDUIT_EXPORT; a host that loads a conduit at run time uses the
// pointer types below for what it finds.
#ifndef DBC_SDK_CONDUIT_EXPORTS_H_
#define DBC_SDK_CONDUIT_EXPORTS_H_

#include <stdint.h>

#include "sdk/records.h"

#if defined(_WIN32)
#define CONDUIT_EXPORT extern "C" __declspec(dllexport)
#else
#define CONDUIT_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Loads the conduit's name into buffer (the low 16 bits of size count): 0, or -1 when nothing
// was loaded.
typedef int32_t (*GetConduitNameFn)(char* buffer, int32_t size);
// The conduit's version: major in the high byte, minor in the low byte of the low 16 bits.
typedef int32_t (*GetConduitVersionFn)(void);
// Lets the user choose the next HotSync's action: 0 on OK, -1 on cancel.
typedef int32_t (*ConfigureConduitFn)(HotSyncPrefs* prefs);
// Runs one synchronisation: 0, or the conduit's non-zero result.
typedef int32_t (*OpenConduitFn)(void* host_context, HotSyncProps* props);

#ifdef __cplusplus
}  // extern "C"
#endif

// The names under which the host looks the four functions up.
#define CONDUIT_GET_NAME_EXPORT "GetConduitName"
#define CONDUIT_GET_VERSION_EXPORT "GetConduitVersion"
#define CONDUIT_CONFIGURE_EXPORT "ConfigureConduit"
#define CONDUIT_OPEN_EXPORT "OpenConduit"

// The line with which the Date Book conduit ends every failed synchronisation (activity
// kActivityConduitError); a host that reports the run's outcome looks for it.
#define DATEBOOK_SYNC_FAILED_LINE "Datebook Synchronization Failed"

#endif  // DBC_SDK_CONDUIT_EXPORTS_H_
