// The host's side of the settings store: opening the store file that holds every key.
#ifndef DBC_HOST_SETTINGS_SETTINGS_HOST_H_
#define DBC_HOST_SETTINGS_SETTINGS_HOST_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "sdk/settings_store.h"

extern "C" {
// Opens (or, when absent, starts) the store kept in `file` and returns its root key. Fails with
// kSettingsErrIo, leaving the file untouched, when the file cannot be read or is not a store.
int32_t SettingsOpenStore(const char* file, SettingsKey* root);
// Closes a root key from SettingsOpenStore; keys opened below it must be closed first.
void SettingsCloseStore(SettingsKey root);
}

// A value as listed by SettingsListValues.
struct SettingsValue {
  std::string name;
  uint32_t type;     // kSettingsTypeNumber or kSettingsTypeText
  uint32_t number;   // for numbers
  std::string text;  // for texts
};

// The values of a key in name order; kSettingsErrNotFound for a missing key.
int32_t SettingsListValues(SettingsKey key, std::vector<SettingsValue>* values);

#endif  // DBC_HOST_SETTINGS_SETTINGS_HOST_H_
