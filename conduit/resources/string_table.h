// The conduit's string table, compiled into the library; its texts are in strings.inc.
#ifndef DBC_CONDUIT_RESOURCES_STRING_TABLE_H_
#define DBC_CONDUIT_RESOURCES_STRING_TABLE_H_

#include <stdint.h>

constexpr uint32_t kFirstStringId = 3301;
constexpr uint32_t kLastStringId = 3357;

// String ids that the conduit loads.
enum : uint32_t {
  IDS_CONDUIT_NAME = 3301,  // "Date Book"
  IDS_AM = 3308,
  IDS_PM = 3309,
  IDS_UNTIMED = 3310,
  IDS_CHECK_CONNECTIONS = 3311,
  IDS_HANDHELD_FULL = 3312,
  IDS_DESKTOP_DISK_FULL = 3313,
  IDS_DESKTOP = 3314,
  IDS_COPY_TO_HANDHELD_FAILED = 3315,
  IDS_PURGE_FAILED = 3316,
  IDS_DELETE_FAILED = 3317,
  IDS_MODIFY_FAILED = 3318,
  IDS_COPY_TO_DESKTOP_FAILED = 3319,
  IDS_MOVE_TO_UNFILED_FAILED_1 = 3320,
  IDS_MOVE_TO_UNFILED_FAILED_2 = 3321,
  IDS_READ_NEXT_FAILED = 3322,
  IDS_TOO_MANY_CATEGORIES_1 = 3323,
  IDS_TOO_MANY_CATEGORIES_2 = 3324,
  IDS_CATEGORY = 3325,
  IDS_CATEGORY_DELETED_1 = 3326,
  IDS_CATEGORY_DELETED_2 = 3327,
  IDS_MODIFIED_BOTH_ARCHIVED_1 = 3331,
  IDS_MODIFIED_BOTH_ARCHIVED_2 = 3332,
  IDS_MODIFIED_BOTH_ARCHIVED_3 = 3333,
  IDS_MODIFIED_DELETED_1 = 3334,
  IDS_MODIFIED_DELETED_2 = 3335,
  IDS_BEFORE_1970_1 = 3336,
  IDS_BEFORE_1970_2 = 3337,
  IDS_ARCHIVE_FAILED = 3346,
  IDS_SAVE_FAILED = 3347,
  IDS_CLEAR_FLAGS_FAILED = 3348,
};

// The module instance of the conduit library. On Windows it is the instance that the loader handed
// to DllMain, whose string resources LoadString reads; elsewhere it is a value that names this
// table to the string loader.
const void* ConduitModuleInstance();

// The text of string `id`, or null when the table has no such string.
const char* FindConduitString(uint32_t id);

#endif  // DBC_CONDUIT_RESOURCES_STRING_TABLE_H_
