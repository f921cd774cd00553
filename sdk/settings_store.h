// The settings store: the host's typed key/value store that stands for the registry.
//
// Keys are paths of names separated by "/" below a root. Values are either a 4-byte number or a
// text. The store is one file, written atomically after every change; on Windows it is the
// registry (a SettingsKey is a registry key handle).
#ifndef DBC_SDK_SETTINGS_STORE_H_
#define DBC_SDK_SETTINGS_STORE_H_

#include <stdint.h>

#include "sdk/records.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
  kSettingsOk = 0,
  kSettingsErrNotFound = 2,    // no such key or value
  kSettingsErrMoreData = 234,  // the value does not fit the caller's buffer
  kSettingsErrInvalid = 87,    // a bad argument
  kSettingsErrIo = 29,         // the store file could not be written or read
};

enum { kSettingsTypeNumber = 4, kSettingsTypeText = 1 };

// Opens the key `path` below `root`. With `create` non-zero a missing key is created (for setting
// values); otherwise kSettingsErrNotFound when it is absent. *key receives a key to close.
int32_t SettingsOpenKey(SettingsKey root, const char* path, int32_t create, SettingsKey* key);
void SettingsCloseKey(SettingsKey key);
// Copies the value's bytes (a number as 4 little-endian bytes, a text with its terminating NUL)
// into buffer. *size holds the buffer's size on entry and the value's size on return. Fails with
// kSettingsErrMoreData, copying nothing, when the value is larger than the buffer. *type (may be
// null) receives kSettingsTypeNumber or kSettingsTypeText. The stored type is not checked.
int32_t SettingsQueryValue(SettingsKey key, const char* name, void* buffer, uint32_t* size,
                           uint32_t* type);
int32_t SettingsSetNumber(SettingsKey key, const char* name, uint32_t value);
// Sets a text value of `length` bytes (no terminator needed); length 0 gives the empty text.
int32_t SettingsSetText(SettingsKey key, const char* name, const char* text, uint32_t length);
int32_t SettingsDeleteValue(SettingsKey key, const char* name);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // DBC_SDK_SETTINGS_STORE_H_
