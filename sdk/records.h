// Packed records exchanged between the host, the conduit and the sync manager.
//
// All records are packed and little-endian. On a 32-bit build every offset is the documented one
// (checked below with static_assert); on a 64-bit build pointer fields are pointer-sized, so the
// offsets after a pointer move. Code uses the members, never an offset after a pointer. Bytes whose
// meaning is not known to this system are reserved members and stay zero.
#ifndef DBC_SDK_RECORDS_H_
#define DBC_SDK_RECORDS_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// An open settings-store key. The host passes its open root key in HotSyncProps.
typedef struct SettingsKeyImpl* SettingsKey;

enum {
  kMaxRemoteNames = 32,
  kPropsTextSize = 256,
};

// Sync types of HotSyncProps::sync_type and HotSyncPrefs::sync_type.
enum {
  kSyncFast = 0,
  kSyncSlow = 1,
  kSyncHandheldOverwrites = 2,
  kSyncDesktopOverwrites = 3,
  // Types that this conduit does not synchronise: 4, 5 and 7 reach operations that answer "not
  // provided", 6 (and every type above 7) is refused.
  kSyncType4 = 4,
  kSyncType5 = 5,
  kSyncDoNothing = 6,
  kSyncType7 = 7,
};

// First-synchronisation values of HotSyncProps::first_sync.
enum {
  kFirstSyncNone = 0,        // the handheld last synchronised with this desktop
  kFirstSyncNewDesktop = 1,  // this desktop never synchronised the user: the handheld's data wins
  kFirstSyncNewDevice = 2,   // the handheld does not know this desktop (new or reset): desktop wins
};

#pragma pack(push, 1)

// The sync properties that the host hands to OpenConduit.
typedef struct HotSyncProps {
  int32_t sync_type;                     // 0: see the sync-type table of the monitor
  char data_folder[kPropsTextSize];      // 4: NUL-terminated, ends with a separator
  char local_file_name[kPropsTextSize];  // 260
  char user_name[kPropsTextSize];        // 516
  char* remote_names[kMaxRemoteNames];   // 772: NUL-terminated names, read at the database index
  uint8_t reserved1[8];                  // 900
  uint32_t creator;                      // 908
  uint8_t card_number;                   // 912
  uint8_t reserved2;                     // 913
  uint32_t database_type;                // 914
  uint8_t reserved3[8];                  // 918
  int32_t first_sync;                    // 926: 0, 1 or 2
  uint8_t reserved4[4];                  // 930
  char registry_path[kPropsTextSize];    // 934: the conduit's key below registry_root
  SettingsKey registry_root;             // 1190: an open key
  uint8_t reserved5[4];                  // 1194
} HotSyncProps;

// The preferences record that the host hands to ConfigureConduit.
typedef struct HotSyncPrefs {
  uint8_t reserved1[516];  // 0
  int32_t action_kind;     // 516: 0 none, 1 make default, 2 this time only
  int32_t sync_type;       // 520
} HotSyncPrefs;

// Record attribute bits of a handheld record.
enum {
  kRecAttrDeleted = 0x80,
  kRecAttrDirty = 0x40,
  kRecAttrPrivate = 0x10,
  kRecAttrArchived = 0x08,
};

// The handheld record request of the sync manager's record calls.
typedef struct RecordRequest {
  uint8_t db_handle;      // 0
  uint32_t record_id;     // 1
  uint16_t record_index;  // 5
  uint8_t attributes;     // 7: kRecAttr* bits
  int16_t category;       // 8
  uint8_t reserved1[4];   // 10
  uint32_t data_size;     // 14: bytes of data in the buffer
  uint16_t buffer_size;   // 18: size of the buffer
  uint8_t* buffer;        // 20
  uint8_t reserved2[4];   // 24
} RecordRequest;

// The request for a database's application-information block.
typedef struct AppInfoRequest {
  char database_name[32];  // 0
  uint16_t buffer_size;    // 32
  uint8_t reserved1[2];    // 34
  uint8_t* buffer;         // 36
  uint8_t reserved2[4];    // 40
} AppInfoRequest;

// The handheld's system information. The most significant byte of rom_version is the ROM's major
// version number.
typedef struct SystemInfoRequest {
  uint32_t rom_version;   // 0
  uint8_t reserved1[5];   // 4
  uint8_t buffer_length;  // 9
  uint8_t* buffer;        // 10
  uint8_t reserved2[4];   // 14
} SystemInfoRequest;

// The request that creates a handheld database; the sync manager returns the new handle in
// db_handle.
typedef struct CreateRequest {
  uint8_t db_handle;       // 0
  uint32_t creator;        // 1
  uint32_t flags;          // 5
  uint8_t card_number;     // 9
  char database_name[32];  // 10
  uint32_t database_type;  // 42
  uint16_t version;        // 46
  uint8_t reserved[4];     // 48
} CreateRequest;

#pragma pack(pop)

// The monitor copies this many leading bytes of HotSyncProps: everything up to the registry root
// key and the four bytes after it (1198 bytes on a 32-bit build).
#define kSyncPropsCopySize \
  (offsetof(HotSyncProps, reserved5) + sizeof(((HotSyncProps*)0)->reserved5))

#ifdef __cplusplus
}  // extern "C"
#endif

#ifdef __cplusplus
static_assert(sizeof(CreateRequest) == 52, "create request is 52 bytes");
static_assert(offsetof(CreateRequest, database_name) == 10, "create request name");
static_assert(offsetof(CreateRequest, database_type) == 42, "create request type");
static_assert(offsetof(HotSyncPrefs, action_kind) == 516, "prefs action kind");
static_assert(offsetof(HotSyncPrefs, sync_type) == 520, "prefs sync type");
static_assert(offsetof(HotSyncProps, remote_names) == 772, "props remote names");
static_assert(offsetof(RecordRequest, buffer) == 20, "record request buffer");
static_assert(offsetof(AppInfoRequest, buffer) == 36, "app info request buffer");
static_assert(offsetof(SystemInfoRequest, buffer) == 10, "system info request buffer");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(HotSyncProps, data_folder) == 4, "props data folder");
static_assert(offsetof(HotSyncProps, local_file_name) == 260, "props local file name");
static_assert(offsetof(HotSyncProps, user_name) == 516, "props user name");
static_assert(offsetof(HotSyncProps, creator) == 908, "props creator");
static_assert(offsetof(HotSyncProps, card_number) == 912, "props card number");
static_assert(offsetof(HotSyncProps, database_type) == 914, "props database type");
static_assert(offsetof(HotSyncProps, first_sync) == 926, "props first sync");
static_assert(offsetof(HotSyncProps, registry_path) == 934, "props registry path");
static_assert(offsetof(HotSyncProps, registry_root) == 1190, "props registry root");
static_assert(kSyncPropsCopySize == 1198, "the monitor copies 1198 bytes");
static_assert(sizeof(RecordRequest) == 28, "record request is 28 bytes");
static_assert(offsetof(RecordRequest, record_id) == 1, "record id");
static_assert(offsetof(RecordRequest, record_index) == 5, "record index");
static_assert(offsetof(RecordRequest, attributes) == 7, "attributes");
static_assert(offsetof(RecordRequest, category) == 8, "category");
static_assert(offsetof(RecordRequest, data_size) == 14, "data size");
static_assert(offsetof(RecordRequest, buffer_size) == 18, "buffer size");
static_assert(sizeof(AppInfoRequest) == 44, "app info request is 44 bytes");
static_assert(offsetof(AppInfoRequest, buffer_size) == 32, "app info buffer size");
static_assert(sizeof(SystemInfoRequest) == 18, "system info request is 18 bytes");
static_assert(offsetof(SystemInfoRequest, buffer_length) == 9, "system info buffer length");
#else
static_assert(sizeof(RecordRequest) == 28 + sizeof(void*) - 4,
              "record request grows by the pointer");
static_assert(sizeof(AppInfoRequest) == 44 + sizeof(void*) - 4, "app info grows by the pointer");
static_assert(sizeof(SystemInfoRequest) == 18 + sizeof(void*) - 4,
              "system info grows by the pointer");
#endif
#endif

#endif  // DBC_SDK_RECORDS_H_
