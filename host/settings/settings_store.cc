// The settings store: keys and typed values kept in one text file (settings_file.h).
//
// An open store holds the values as they were read. Every change takes the store's lock, reads
// the file again, makes only its own change to what it read and replaces the file: changes that
// other processes made meanwhile are kept, and a process never writes back values it read long
// ago.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/settings/settings_file.h"
#include "host/settings/settings_host.h"

using settings_file::Keys;
using settings_file::Value;
using settings_file::Values;

namespace {

// How long a change waits for another process's change to end.
constexpr uint32_t kLockWaitMs = 10000;

struct Store {
  std::string file;
  Keys keys;
  std::string last_error;
};

}  // namespace

struct SettingsKeyImpl {
  Store* store;
  std::string path;  // "" for the root
  bool owns_store;
};

namespace {

// Makes one change under the store's lock: reads the file afresh, lets `change` edit what was
// read (it answers kSettingsOk to have it written) and replaces the file. The open store then
// holds what was written; on failure nothing changes and last_error says why.
int32_t Change(Store* store, const std::function<int32_t(Keys*)>& change) {
  std::string target;
  std::string error;
  int32_t result = kSettingsErrIo;
  if (settings_file::ResolveStoreTarget(store->file, &target, &error)) {
    settings_file::CStoreLock lock(target, kLockWaitMs);
    Keys fresh;
    bool exists = false;
    if (!lock.held()) {
      error = lock.error();
    } else if (settings_file::ReadStoreFile(target, &fresh, &exists, &error)) {
      result = change(&fresh);
      if (result == kSettingsOk) {
        if (settings_file::WriteStoreFile(target, settings_file::RenderStore(fresh), &error)) {
          store->keys = std::move(fresh);
        } else {
          result = kSettingsErrIo;
        }
      }
    }
  }
  store->last_error = result == kSettingsErrIo ? store->file + ": " + error : std::string();
  return result;
}

// The values of an open key in `keys`, or null when the key is not there.
Values* ValuesIn(Keys* keys, const std::string& path) {
  auto it = keys->find(path);
  return it == keys->end() ? nullptr : &it->second;
}

}  // namespace

int32_t SettingsOpenStoreFile(const std::string& file, SettingsKey* root, std::string* error) {
  if (root == nullptr) return kSettingsErrInvalid;
  *root = nullptr;
  if (file.empty()) return kSettingsErrInvalid;
  auto store = std::make_unique<Store>();
  store->file = file;
  bool exists = false;
  std::string why;
  if (!settings_file::ReadStoreFile(file, &store->keys, &exists, &why)) {
    if (error != nullptr) *error = why;
    return kSettingsErrIo;
  }
  *root = new SettingsKeyImpl{store.release(), "", true};
  return kSettingsOk;
}

std::string SettingsLastError(SettingsKey key) {
  return key == nullptr ? std::string() : key->store->last_error;
}

extern "C" int32_t SettingsOpenStore(const char* file, SettingsKey* root) {
  return SettingsOpenStoreFile(file != nullptr ? file : "", root, nullptr);
}

extern "C" void SettingsCloseStore(SettingsKey root) {
  if (root == nullptr) return;
  if (root->owns_store) delete root->store;
  delete root;
}

extern "C" int32_t SettingsOpenKey(SettingsKey root, const char* path, int32_t create,
                                   SettingsKey* key) {
  if (key == nullptr) return kSettingsErrInvalid;
  *key = nullptr;
  if (root == nullptr) return kSettingsErrInvalid;
  std::string full;
  if (!settings_file::NormalizeKeyPath(root->path, path, &full)) return kSettingsErrInvalid;
  Store* store = root->store;
  if (store->keys.count(full) == 0) {
    if (!create) return kSettingsErrNotFound;
    // Create the key and every missing key above it.
    int32_t made = Change(store, [&](Keys* keys) {
      for (size_t slash = full.find('/');; slash = full.find('/', slash + 1)) {
        (*keys)[full.substr(0, slash)];
        if (slash == std::string::npos) break;
      }
      return static_cast<int32_t>(kSettingsOk);
    });
    if (made != kSettingsOk) return made;
  }
  *key = new SettingsKeyImpl{store, full, false};
  return kSettingsOk;
}

extern "C" void SettingsCloseKey(SettingsKey key) {
  if (key != nullptr && !key->owns_store) delete key;
}

extern "C" int32_t SettingsQueryValue(SettingsKey key, const char* name, void* buffer,
                                      uint32_t* size, uint32_t* type) {
  if (name == nullptr || size == nullptr) return kSettingsErrInvalid;
  Values* values = key == nullptr ? nullptr : ValuesIn(&key->store->keys, key->path);
  if (values == nullptr) return kSettingsErrNotFound;
  auto it = values->find(name);
  if (it == values->end()) return kSettingsErrNotFound;
  const Value& value = it->second;
  // A text is handed out with its terminator.
  uint32_t needed =
      static_cast<uint32_t>(value.bytes.size()) + (value.type == kSettingsTypeText ? 1u : 0u);
  if (type != nullptr) *type = value.type;
  uint32_t available = *size;
  *size = needed;
  if (buffer == nullptr) return kSettingsOk;
  if (needed > available) return kSettingsErrMoreData;
  std::memcpy(buffer, value.bytes.data(), value.bytes.size());
  if (value.type == kSettingsTypeText) static_cast<char*>(buffer)[value.bytes.size()] = '\0';
  return kSettingsOk;
}

namespace {
// Sets the value; with only_if_absent a value that is there already stays as it is.
int32_t SetValue(SettingsKey key, const char* name, const Value& value,
                 bool only_if_absent = false) {
  if (key == nullptr || !settings_file::ValidValueName(name)) return kSettingsErrInvalid;
  return Change(key->store, [&](Keys* keys) {
    Values* values = ValuesIn(keys, key->path);
    if (values == nullptr) return static_cast<int32_t>(kSettingsErrNotFound);
    if (!only_if_absent || values->count(name) == 0) (*values)[name] = value;
    return static_cast<int32_t>(kSettingsOk);
  });
}

std::string TextBytes(const char* text, uint32_t length) {
  std::string bytes = length == 0 ? std::string() : std::string(text, length);
  // A text value ends at its first NUL, as it reads back.
  bytes.resize(std::strlen(bytes.c_str()));
  return bytes;
}
}  // namespace

int32_t SettingsSetDefaultNumber(SettingsKey key, const char* name, uint32_t number) {
  return SetValue(key, name, Value{kSettingsTypeNumber, settings_file::NumberBytes(number)}, true);
}

int32_t SettingsSetDefaultText(SettingsKey key, const char* name, const std::string& text) {
  return SetValue(key, name, Value{kSettingsTypeText, TextBytes(text.c_str(), text.size())}, true);
}

extern "C" int32_t SettingsSetNumber(SettingsKey key, const char* name, uint32_t number) {
  return SetValue(key, name, Value{kSettingsTypeNumber, settings_file::NumberBytes(number)});
}

extern "C" int32_t SettingsSetText(SettingsKey key, const char* name, const char* text,
                                   uint32_t length) {
  if (text == nullptr && length != 0) return kSettingsErrInvalid;
  return SetValue(key, name, Value{kSettingsTypeText, TextBytes(text, length)});
}

extern "C" int32_t SettingsDeleteValue(SettingsKey key, const char* name) {
  if (key == nullptr || name == nullptr) return kSettingsErrNotFound;
  return Change(key->store, [&](Keys* keys) {
    Values* values = ValuesIn(keys, key->path);
    if (values == nullptr || values->erase(name) == 0) {
      return static_cast<int32_t>(kSettingsErrNotFound);
    }
    return static_cast<int32_t>(kSettingsOk);
  });
}

int32_t SettingsListValues(SettingsKey key, std::vector<SettingsValue>* out) {
  Values* values = key == nullptr ? nullptr : ValuesIn(&key->store->keys, key->path);
  if (values == nullptr || out == nullptr) return kSettingsErrNotFound;
  out->clear();
  for (const auto& [name, value] : *values) {
    SettingsValue v{name, value.type, 0, ""};
    if (value.type == kSettingsTypeNumber) {
      v.number = settings_file::BytesNumber(value.bytes);
    } else {
      v.text = value.bytes;
    }
    out->push_back(v);
  }
  return kSettingsOk;
}
