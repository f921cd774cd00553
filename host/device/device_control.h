// Control of the emulated handheld: which device image the sync manager calls act on, direct
// access to its databases for setting up and checking, and fault injection.
//
// A device image is one SQLite file holding the handheld's user name, its ROM version, the
// desktop it last synchronised with, and its databases (name, card, creator, type, flags,
// version, application-information block) with their records (ID, attributes, category, data)
// in index order. Every call that changes the image is one committed transaction.
//
// At most one device is current per process: the Dev*/Sync* calls of
// sdk/sync_manager.h act on it. All calls here are thread-safe.
//
// Result codes of the sync manager calls (signed 32-bit, 0 is success):
//   kDeviceErrBadArgument   a null pointer, a name without terminator, a category outside 0..15
//   kDeviceErrNotFound      no such database, record, or no further record (16387)
//   kDeviceErrBadHandle     no open database has that handle
//   kDeviceErrExists        create: a database of that name is already on that card
//   kDeviceErrTooManyOpen   every handle is in use
//   kDeviceErrTooLarge      a record or block larger than kDeviceMaxRecordSize
//   kDeviceErrBufferSmall   read: the caller's buffer holds only part of the record or block;
//                           what fits was copied, data_size holds the full size
//   kDeviceErrReadOnly      a change through a handle opened without the write bit
//   kDeviceErrStorage       the device image could not be read or written (nothing changed)
//   kDeviceErrFull          no record ID left
//   kDeviceErrImage         DeviceCreateImage/DeviceOpenImage: see the error text
//   kDeviceErrNoDevice      communication error: no device image is connected
//   kDeviceErrLinkLost      communication error: the link was lost (fault injection)
// The two communication errors carry bit kSyncCommsErrorBit; no other code does.
#ifndef DBC_HOST_DEVICE_DEVICE_CONTROL_H_
#define DBC_HOST_DEVICE_DEVICE_CONTROL_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "sdk/sync_manager.h"

enum : int32_t {
  kDeviceOk = 0,
  kDeviceErrBadArgument = 0x4002,                  // 16386
  kDeviceErrNotFound = kSyncErrNotFound,           // 16387
  kDeviceErrBadHandle = 0x4005,                    // 16389
  kDeviceErrExists = 0x4006,                       // 16390
  kDeviceErrTooManyOpen = 0x4007,                  // 16391
  kDeviceErrTooLarge = 0x4008,                     // 16392
  kDeviceErrBufferSmall = 0x4009,                  // 16393
  kDeviceErrReadOnly = 0x400A,                     // 16394
  kDeviceErrStorage = 0x400B,                      // 16395
  kDeviceErrFull = 0x400C,                         // 16396
  kDeviceErrImage = 0x400D,                        // 16397
  kDeviceErrNoDevice = kSyncCommsErrorBit | 0x01,  // 8193
  kDeviceErrLinkLost = kSyncCommsErrorBit | 0x02,  // 8194
};

enum : uint32_t {
  kDeviceMaxRecordSize = 65535,
  kDeviceFirstRecordId = 1001,  // the seed of a new database's record IDs
  kDeviceDefaultRomMajor = 3,
};

// The exit status of a process ended by DeviceCrashAt.
constexpr int kDeviceCrashExitStatus = 86;

// Open-mode bits of DevOpenDatabase (kSyncOpenModeReadWrite is all three).
enum : uint8_t { kDeviceModeRead = 0x80, kDeviceModeWrite = 0x40, kDeviceModeExclusive = 0x20 };

// Creates a new device image at `path` for the handheld of `user_name`. Fails with
// kDeviceErrImage, writing nothing, when `path` already exists or cannot be written. Does not
// make the image current. *error (may be null) receives a message on failure.
int32_t DeviceCreateImage(const std::string& path, const std::string& user_name,
                          std::string* error = nullptr);
// Opens the image at `path` and makes it the current device (closing the previous one). A
// missing, unreadable, corrupt or foreign file fails with kDeviceErrImage and a message naming
// the file and the problem (an image that another program keeps locked is "busy", not damaged); the
// file is left untouched and no device is current.
int32_t DeviceOpenImage(const std::string& path, std::string* error = nullptr);
// How long DeviceOpenImage waits for another program that has the image locked before it says
// that the image is busy (default 2000 ms).
void DeviceSetBusyWait(uint32_t milliseconds);
// Closes the current device: open databases are closed, fault injection and call counts cleared.
void DeviceCloseImage();
bool DeviceIsOpen();

// The current device's user name and ROM major version (0..255, default 3).
int32_t DeviceGetUserName(std::string* name);
int32_t DeviceSetUserName(const std::string& name);
int32_t DeviceSetRomMajor(uint8_t major);

// The desktop that synchronises now: DevClearSyncFlags records it on the device. Kept in memory
// only (the host sets it every run); empty until set.
void DeviceSetDesktopId(const std::string& desktop_id);
// The desktop recorded by the last DevClearSyncFlags, "" when the device was never synchronised.
int32_t DeviceGetLastDesktopId(std::string* desktop_id);

// SyncYieldCycles calls since the device was opened (or since the last reset).
uint32_t DeviceYieldCount();
void DeviceResetYieldCount();

// Direct access for setting up and checking; these calls need no handle, take no part in fault
// injection and do not move any read-next-changed position.
struct DeviceDatabase {
  std::string name;  // at most 31 bytes
  uint8_t card = 0;
  uint32_t creator = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  uint16_t version = 0;
};
struct DeviceRecord {
  uint32_t id = 0;
  uint8_t attributes = 0;  // kRecAttr* bits
  uint8_t category = 0;    // 0..15
  std::vector<uint8_t> data;
};

// Creates a database with the default application-information block (kDeviceErrExists when one
// of that name is on that card).
int32_t DeviceAddDatabase(const DeviceDatabase& database);
int32_t DeviceListDatabases(std::vector<DeviceDatabase>* databases);
// Record calls name the database on card 0. Put: id 0 adds under a new ID, an existing ID
// replaces that record in place, an unknown ID adds at the end under that ID; record->id holds
// the ID on return.
int32_t DevicePutRecord(const std::string& database, DeviceRecord* record);
int32_t DeviceGetRecord(const std::string& database, uint32_t id, DeviceRecord* record);
// The database's records in index order, deleted and archived ones included.
int32_t DeviceListRecords(const std::string& database, std::vector<DeviceRecord>* records);
int32_t DeviceRemoveRecord(const std::string& database, uint32_t id);
int32_t DeviceGetAppInfo(const std::string& database, std::vector<uint8_t>* block);
int32_t DeviceSetAppInfo(const std::string& database, const std::vector<uint8_t>& block);
// Moves every record of category `from` to category `to` and marks each moved record dirty, as
// the handheld's own application does when a category goes; one transaction.
int32_t DeviceMoveCategory(const std::string& database, uint8_t from, uint8_t to);
// What a hard reset leaves: no database and no record, and no last desktop (the next sync is a
// first one from the handheld's side). The user name and ROM version stay. One transaction.
int32_t DeviceHardReset();
// The block a new database gets: the category block (16 names of 16 bytes, 16 IDs) with
// "Unfiled" (ID 0) at index 0, followed by two zero bytes.
std::vector<uint8_t> DeviceDefaultAppInfo();

// The operations that fault injection can target; kDeviceOpAny matches every one but
// SyncYieldCycles, whose call count depends on timing.
enum DeviceOp {
  kDeviceOpAny = 0,
  kDeviceOpBeginSession,
  kDeviceOpEndSession,
  kDeviceOpOpenDatabase,
  kDeviceOpCreateDatabase,
  kDeviceOpCloseDatabase,
  kDeviceOpClearSyncFlags,
  kDeviceOpReadRecordAt,
  kDeviceOpReadNextChanged,
  kDeviceOpReadRecordWithId,
  kDeviceOpWriteRecord,
  kDeviceOpDeleteRecord,
  kDeviceOpPurgeRemoved,
  kDeviceOpReadAppInfo,
  kDeviceOpWriteAppInfo,
  kDeviceOpChangeCategory,
  kDeviceOpReadSystemInfo,
  kDeviceOpYieldCycles,
  // The conduit's file operations (sdk/fault_points.h). They are counted apart: not among "any",
  // and a lost link does not touch them.
  kDeviceOpFileSave,
  kDeviceOpFileRename,
  kDeviceOpFileDelete,
  kDeviceOpFileCopy,
  kDeviceOpCount
};
// Names for the command line: "any", "begin-session", "end-session", "open", "create", "close",
// "clear-sync-flags", "read-at", "read-next-changed", "read-by-id", "write", "delete", "purge",
// "read-app-info", "write-app-info", "change-category", "read-system-info", "yield", and the file
// operations "file-save", "file-rename", "file-delete", "file-copy".
const char* DeviceOpName(DeviceOp op);
bool DeviceOpFromName(const std::string& name, DeviceOp* op);

// The `nth` call (1 = the next one) of `op`, counted from now, answers `code` and changes
// nothing. Several rules may stand at once; each fires once.
void DeviceFailCall(DeviceOp op, uint32_t nth, int32_t code);
// After `calls` more calls (of any operation but SyncYieldCycles) the link is lost: every later
// call, SyncYieldCycles included, answers kDeviceErrLinkLost and changes nothing.
void DeviceLoseLinkAfter(uint32_t calls);
// The `nth` call (1 = the next one) of `op`, counted from now, ends the process at once with
// kDeviceCrashExitStatus: no clean-up, no buffered data flushed, nothing of the call done, as a
// crash or a power cut would.
void DeviceCrashAt(DeviceOp op, uint32_t nth);
// Removes every fault rule and restores a lost link.
void DeviceClearFaults();
// Calls of `op` (kDeviceOpAny: of every operation but SyncYieldCycles) since the device was
// opened, failed ones included.
uint32_t DeviceCallCount(DeviceOp op);

#endif  // DBC_HOST_DEVICE_DEVICE_CONTROL_H_
