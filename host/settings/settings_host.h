// The host's side of the settings store: opening the store file that holds every key.
#ifndef DBC_HOST_SETTINGS_SETTINGS_HOST_H_
#define DBC_HOST_SETTINGS_SETTINGS_HOST_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "sdk/settings_store.h"

extern "C" {
// Opens the store kept in `file` and returns its root key; a missing file is a new, empty store
// (created by the first change). Fails with kSettingsErrIo, leaving the file untouched, when the
// file cannot be read, is empty, cut short or not a store.
int32_t SettingsOpenStore(const char* file, SettingsKey* root);
// Closes a root key from SettingsOpenStore; keys opened below it must be closed first.
void SettingsCloseStore(SettingsKey root);
}

// SettingsOpenStore that says why it failed: *error (may be null) names the line and the problem
// ("line 4: NumDays: \"0x1F\" is not a decimal number ...") or the file's trouble.
int32_t SettingsOpenStoreFile(const std::string& file, SettingsKey* root, std::string* error);

// Why the last change made through any key of this store failed with kSettingsErrIo ("" after a
// success): the file and the reason, such as a read-only file or a lock held too long.
std::string SettingsLastError(SettingsKey key);

// Set the value only when the store file does not hold it yet, under the store's lock; the key
// then holds the value in the file, whoever set it. For setting up a store that several processes
// may set up at once without one undoing another's values.
int32_t SettingsSetDefaultNumber(SettingsKey key, const char* name, uint32_t number);
int32_t SettingsSetDefaultText(SettingsKey key, const char* name, const std::string& text);

// A value as listed by SettingsListValues.
struct SettingsValue {
  std::string name;
  uint32_t type;     // kSettingsTypeNumber or kSettingsTypeText
  uint32_t number;   // for numbers
  std::string text;  // for texts
};

// The values of a key in name order; kSettingsErrNotFound for a missing key.
int32_t SettingsListValues(SettingsKey key, std::vector<SettingsValue>* values);

// The one way numbers are read, in the store file and on the command line: decimal, an optional
// "-", digits only (leading zeros do not make a number octal), from -2147483648 to 2147483647.
bool SettingsParseNumber(const std::string& text, int32_t* value);

#endif  // DBC_HOST_SETTINGS_SETTINGS_HOST_H_
