// Fault points: how a host tests that a synchronisation cut off at any step loses nothing.
//
// A conduit calls HsFaultPoint before each file it writes, renames, deletes or copies. An ordinary
// host answers 0 every time. A host under test may instead end the process on the spot (as a
// crash or a power cut would) or answer an error code that the operation must fail with, as a
// full disk would, without touching the file.
#ifndef DBC_SDK_FAULT_POINTS_H_
#define DBC_SDK_FAULT_POINTS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The operations, by the names a host's fault rules use.
#define HS_FAULT_FILE_SAVE "file-save"      // a whole file written (temporary file and rename)
#define HS_FAULT_FILE_RENAME "file-rename"  // a file moved to another name
#define HS_FAULT_FILE_DELETE "file-delete"
#define HS_FAULT_FILE_COPY "file-copy"

// Counts one call of `operation`. Answers 0 when it may go on, or the error code it must fail
// with, doing nothing. May not return at all.
int32_t HsFaultPoint(const char* operation);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // DBC_SDK_FAULT_POINTS_H_
