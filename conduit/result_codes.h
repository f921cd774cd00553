// The conduit's result codes. Every operation answers a signed 32-bit code, 0 for success; sync
// manager and table library codes pass through unchanged.
#ifndef DBC_CONDUIT_RESULT_CODES_H_
#define DBC_CONDUIT_RESULT_CODES_H_

#include <stdint.h>

constexpr int32_t kOk = 0;
// An operation that the monitor's specialisation did not provide.
constexpr int32_t kErrNotProvided = -1;
constexpr int32_t kErrNoTable = 4100;         // a table not allocated, or the remote table missing
constexpr int32_t kErrLoadDesktop = 4101;     // desktop or archive table, or the desktop file
constexpr int32_t kErrNoBackup = 4102;        // the backup file unreadable
constexpr int32_t kErrCopyRecord = 4103;      // a record not copied into a table
constexpr int32_t kErrNoAddBuffer = 4104;     // no data buffer for a record to add
constexpr int32_t kErrNoChangeBuffer = 4105;  // no data buffer for a record to change
constexpr int32_t kErrNoRecordBuffer = 4106;  // no memory for a record request's buffer
constexpr int32_t kErrSortStatus = 4107;      // sorting by record status failed
constexpr int32_t kErrNoCategoryList = 4108;  // no app-info buffer or handheld category list
constexpr int32_t kErrNoCategoryBufferOut = 4109;  // categories to the handheld: no buffer
constexpr int32_t kErrNoCategoryBufferIn = 4110;   // categories from the handheld: no buffer
constexpr int32_t kErrConvertToRemote = 4111;      // a desktop record did not convert
constexpr int32_t kErrConvertFromRemote = 4112;    // a handheld record did not convert
constexpr int32_t kErrNoConverter = 4113;          // the monitor has no record converter
constexpr int32_t kErrSyncTypeUnsupported = 4114;  // sync type 6 or above 7
constexpr int32_t kErrMovedTo1970 = 4176;          // a date before 1970 was moved to 1970

#endif  // DBC_CONDUIT_RESULT_CODES_H_
