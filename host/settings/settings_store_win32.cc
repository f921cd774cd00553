// The settings store on Windows: the registry itself. A store is the registry key
//   HKEY_CURRENT_USER\Software\DateBookHotSync\Stores\<file>
// where <file> is the store's file name with "\" written as "/" (a key name holds no "\"), and
// a SettingsKey is the registry key handle (HKEY) that the conduit receives as its root. Key paths
// take "/" or "\" between names. Numbers are REG_DWORD values; texts are REG_SZ values, stored
// with their terminator. Every change is the registry's own, so there is no file to write.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/settings/settings_host.h"
#include "sdk/settings_store.h"

namespace {

constexpr char kStoresKey[] = "Software\\DateBookHotSync\\Stores\\";

HKEY ToHkey(SettingsKey key) {
  return reinterpret_cast<HKEY>(key);
}

SettingsKey FromHkey(HKEY key) {
  return reinterpret_cast<SettingsKey>(key);
}

int32_t MapError(LONG rc) {
  switch (rc) {
    case ERROR_SUCCESS:
      return kSettingsOk;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return kSettingsErrNotFound;
    case ERROR_INVALID_PARAMETER:
      return kSettingsErrInvalid;
    default:
      return kSettingsErrIo;
  }
}

// The same value names as the store file accepts, so that both platforms refuse the same ones.
bool ValidName(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  for (const char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == '=' || c == 0x7F) return false;
  }
  return name[0] != '[' && name[0] != '#';
}

uint32_t TypeOf(DWORD registry_type) {
  return registry_type == REG_DWORD ? kSettingsTypeNumber : kSettingsTypeText;
}

// The value's bytes as the store hands them out: a text always with its terminator (a REG_SZ
// value written without one, or with no data at all, reads as the text before its end).
int32_t ReadValue(HKEY key, const char* name, std::vector<BYTE>* bytes, DWORD* type) {
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return MapError(rc);
  bytes->assign(size + 1, 0);
  rc = RegQueryValueExA(key, name, nullptr, type, bytes->data(), &size);
  if (rc != ERROR_SUCCESS) return MapError(rc);
  bytes->resize(size);
  if (TypeOf(*type) == kSettingsTypeText) {
    auto end = std::find(bytes->begin(), bytes->end(), 0);
    bytes->erase(end, bytes->end());
    bytes->push_back(0);
  }
  return kSettingsOk;
}

}  // namespace

extern "C" {

int32_t SettingsOpenStore(const char* file, SettingsKey* root) {
  if (root == nullptr) return kSettingsErrInvalid;
  *root = nullptr;
  if (file == nullptr || *file == '\0') return kSettingsErrInvalid;
  std::string path = kStoresKey;
  for (const char* p = file; *p; ++p) path += *p == '\\' ? '/' : *p;
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return kSettingsErrIo;
  *root = FromHkey(key);
  return kSettingsOk;
}

void SettingsCloseStore(SettingsKey root) {
  if (root != nullptr) RegCloseKey(ToHkey(root));
}

int32_t SettingsOpenKey(SettingsKey root, const char* path, int32_t create, SettingsKey* key) {
  if (key == nullptr) return kSettingsErrInvalid;
  *key = nullptr;
  if (root == nullptr || path == nullptr) return kSettingsErrInvalid;
  std::string windows_path = path;
  std::replace(windows_path.begin(), windows_path.end(), '/', '\\');
  HKEY opened = nullptr;
  LONG rc =
      create ? RegCreateKeyExA(ToHkey(root), windows_path.c_str(), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened, nullptr)
             : RegOpenKeyExA(ToHkey(root), windows_path.c_str(), 0, KEY_ALL_ACCESS, &opened);
  if (rc != ERROR_SUCCESS) return MapError(rc);
  *key = FromHkey(opened);
  return kSettingsOk;
}

void SettingsCloseKey(SettingsKey key) {
  if (key != nullptr) RegCloseKey(ToHkey(key));
}

int32_t SettingsQueryValue(SettingsKey key, const char* name, void* buffer, uint32_t* size,
                           uint32_t* type) {
  if (key == nullptr || name == nullptr || size == nullptr) return kSettingsErrInvalid;
  std::vector<BYTE> bytes;
  DWORD registry_type = 0;
  int32_t rc = ReadValue(ToHkey(key), name, &bytes, &registry_type);
  if (rc != kSettingsOk) return rc;
  if (type != nullptr) *type = TypeOf(registry_type);
  uint32_t room = *size;
  *size = static_cast<uint32_t>(bytes.size());
  if (bytes.size() > room) return kSettingsErrMoreData;
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  return kSettingsOk;
}

int32_t SettingsSetNumber(SettingsKey key, const char* name, uint32_t value) {
  if (key == nullptr || !ValidName(name)) return kSettingsErrInvalid;
  DWORD number = value;
  return MapError(RegSetValueExA(ToHkey(key), name, 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&number), sizeof number));
}

int32_t SettingsSetText(SettingsKey key, const char* name, const char* text, uint32_t length) {
  if (key == nullptr || !ValidName(name)) return kSettingsErrInvalid;
  if (text == nullptr && length != 0) return kSettingsErrInvalid;
  std::string bytes = length == 0 ? std::string() : std::string(text, length);
  // A text value ends at its first NUL, as it reads back; it is stored with its terminator.
  bytes.resize(std::strlen(bytes.c_str()));
  return MapError(RegSetValueExA(ToHkey(key), name, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(bytes.c_str()),
                                 static_cast<DWORD>(bytes.size() + 1)));
}

int32_t SettingsDeleteValue(SettingsKey key, const char* name) {
  if (key == nullptr || name == nullptr) return kSettingsErrInvalid;
  return MapError(RegDeleteValueA(ToHkey(key), name));
}

}  // extern "C"

int32_t SettingsOpenStoreFile(const std::string& file, SettingsKey* root, std::string* error) {
  int32_t rc = SettingsOpenStore(file.c_str(), root);
  if (rc != kSettingsOk && error != nullptr) {
    *error = "cannot open its registry key below HKEY_CURRENT_USER\\" + std::string(kStoresKey);
  }
  return rc;
}

std::string SettingsLastError(SettingsKey /*key*/) {
  // The registry makes each change itself and reports no more than its code.
  return "the registry refused the change";
}

namespace {
bool HasValue(SettingsKey key, const char* name) {
  uint32_t size = 0;
  int32_t rc = SettingsQueryValue(key, name, nullptr, &size, nullptr);
  return rc == kSettingsOk || rc == kSettingsErrMoreData;
}
}  // namespace

// The registry sets one value at a time, so another process's values are never written back;
// a value is only looked for first, so that a default does not replace what is there.
int32_t SettingsSetDefaultNumber(SettingsKey key, const char* name, uint32_t number) {
  return HasValue(key, name) ? kSettingsOk : SettingsSetNumber(key, name, number);
}

int32_t SettingsSetDefaultText(SettingsKey key, const char* name, const std::string& text) {
  return HasValue(key, name)
             ? kSettingsOk
             : SettingsSetText(key, name, text.data(), static_cast<uint32_t>(text.size()));
}

int32_t SettingsListValues(SettingsKey key, std::vector<SettingsValue>* values) {
  values->clear();
  if (key == nullptr) return kSettingsErrNotFound;
  DWORD longest_name = 0;
  LONG rc = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, &longest_name, nullptr, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) return MapError(rc);
  std::vector<char> name(longest_name + 1);
  for (DWORD i = 0;; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size());
    rc = RegEnumValueA(ToHkey(key), i, name.data(), &name_size, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return MapError(rc);
    SettingsValue value;
    value.name.assign(name.data(), name_size);
    std::vector<BYTE> bytes;
    DWORD registry_type = 0;
    if (ReadValue(ToHkey(key), value.name.c_str(), &bytes, &registry_type) != kSettingsOk) {
      continue;
    }
    value.type = TypeOf(registry_type);
    value.number = 0;
    if (value.type == kSettingsTypeNumber) {
      std::memcpy(&value.number, bytes.data(), std::min<size_t>(bytes.size(), sizeof value.number));
    } else {
      value.text.assign(reinterpret_cast<const char*>(bytes.data()));
    }
    values->push_back(value);
  }
  std::sort(values->begin(), values->end(),
            [](const SettingsValue& a, const SettingsValue& b) { return a.name < b.name; });
  return kSettingsOk;
}
