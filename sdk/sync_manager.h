// The sync manager: the conduit's access to the handheld's databases.
//
// The host provides these calls (on this machine, the emulated handheld of host/). Every call
// answers 0 for success. kSyncErrNotFound means "no database of that name" or "no further record".
// Codes with bit kSyncCommsErrorBit set are communication errors: the link to the handheld is gone.
#ifndef DBC_SDK_SYNC_MANAGER_H_
#define DBC_SDK_SYNC_MANAGER_H_

#include <stdint.h>

#include "sdk/records.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
  kSyncErrNotFound = 16387,     // 0x4003
  kSyncCommsErrorBit = 0x2000,  // set in every communication error
  // Failures that concern the one record of the call, with the link and the database intact, so
  // that a conduit goes on with the other records: the handheld refused the record (for example,
  // no room for it), or the record of the request is no longer there.
  kSyncErrRecordRefused = 16403,  // 0x4013
  kSyncErrRecordGone = 16404,     // 0x4014
  kSyncOpenModeReadWrite = 0xE0,
};

// Starts the conduit's session with the handheld; the first call of a run. *session receives a
// handle for DevEndSession.
int32_t DevBeginSession(uint32_t* session);
// Ends the session; the last call of a run (skipped after a communication error).
int32_t DevEndSession(uint32_t session);

// Opens the database `name` on card `card` in `mode`; *handle receives its handle.
// kSyncErrNotFound when no such database exists.
int32_t DevOpenDatabase(const char* name, uint8_t card, uint8_t* handle, uint8_t mode);
// Creates a database from the request; the new database's handle comes back in db_handle. A new
// database's application-information block holds a category block with "Unfiled" at index 0.
int32_t DevCreateDatabase(CreateRequest* request);
int32_t DevCloseDatabase(uint8_t handle);
// Clears the dirty bit of every record and remembers that this desktop synchronised the handheld.
int32_t DevClearSyncFlags(uint8_t handle);

// The record calls fill, from the record found, record_id, record_index, attributes, category,
// data_size and up to buffer_size bytes of data into buffer.
// Reads the record at request->record_index; deleted and archived records included.
int32_t DevReadRecordAt(RecordRequest* request);
// Reads the next record (per open handle) whose attributes say dirty, deleted or archived.
int32_t DevReadNextChanged(RecordRequest* request);
// Reads the record whose ID is request->record_id.
int32_t DevReadRecordWithId(RecordRequest* request);
// Writes data_size bytes of buffer with the attributes and category of the request. Record ID 0
// adds a record under a new ID; another ID replaces that record, or adds it under that ID when no
// record has it. On return request->record_id holds the record's ID.
int32_t DevWriteRecord(RecordRequest* request);
// Removes the record whose ID is request->record_id.
int32_t DevDeleteRecord(RecordRequest* request);
// Removes every record marked deleted or archived.
int32_t DevPurgeRemoved(uint8_t handle);

// Reads the database's application-information block into request->buffer (at most buffer_size
// bytes).
int32_t DevReadAppInfo(uint8_t handle, AppInfoRequest* request);
// Writes request->buffer_size bytes of request->buffer as the application-information block.
int32_t DevWriteAppInfo(uint8_t handle, AppInfoRequest* request);

// Moves every record of category `from` to category `to`.
int32_t SyncChangeCategory(uint8_t handle, uint8_t from, uint8_t to);
// Fills the handheld's system information.
int32_t SyncReadSystemInfo(SystemInfoRequest* request);
// Gives the sync manager the chance to run while the conduit waits.
int32_t SyncYieldCycles(uint16_t cycles);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // DBC_SDK_SYNC_MANAGER_H_
