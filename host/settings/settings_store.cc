// The settings store: keys and typed values in memory, saved to one text file after every change.
//
// File format (a person can read and edit it):
//   # hotsync settings store 1
//   [Software/Conduits/DateBook]
//   NumDays=number:30
//   DriverPath=text:/usr/lib/driver
// Texts escape "\" as "\\", and bytes below 0x20 or 0x7F and above as "\xHH".
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/settings/settings_host.h"

namespace {

constexpr char kMagicLine[] = "# hotsync settings store 1";

struct Value {
  uint32_t type = kSettingsTypeText;
  std::string bytes;  // a number: 4 little-endian bytes; a text: without its terminator
};

struct Store {
  std::string file;
  std::map<std::string, std::map<std::string, Value>> keys;  // full key path -> values
};

}  // namespace

struct SettingsKeyImpl {
  Store* store;
  std::string path;  // "" for the root
  bool owns_store;
};

namespace {

// "a//b\c/" -> "a/b/c"; false for a path with a "." or ".." part or bad characters.
bool NormalizePath(const std::string& base, const char* path, std::string* out) {
  std::string result = base;
  std::string part;
  auto flush = [&]() {
    if (part.empty()) return true;
    if (part == "." || part == "..") return false;
    if (!result.empty()) result += '/';
    result += part;
    part.clear();
    return true;
  };
  for (const char* p = path ? path : ""; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '/' || c == '\\') {
      if (!flush()) return false;
    } else if (c < 0x20 || c == ']' || c == '[') {
      return false;
    } else {
      part += *p;
    }
  }
  if (!flush()) return false;
  *out = result;
  return true;
}

bool ValidName(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  for (const char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == '=' || c == 0x7F) return false;
  }
  return name[0] != '[' && name[0] != '#';
}

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool Unescape(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\\') {
      *out += '\\';
      i += 1;
    } else if (i + 3 < text.size() && text[i + 1] == 'x') {
      unsigned value = 0;
      if (std::sscanf(text.substr(i + 2, 2).c_str(), "%2x", &value) != 1) return false;
      *out += static_cast<char>(value);
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

std::string NumberBytes(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

uint32_t BytesNumber(const std::string& bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < bytes.size(); ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

bool Parse(const std::string& content, Store* store) {
  size_t pos = 0;
  bool first = true;
  std::string key;
  bool have_key = false;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      if (line != kMagicLine) return false;
      first = false;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return false;
      if (!NormalizePath("", line.substr(1, line.size() - 2).c_str(), &key)) return false;
      store->keys[key];
      have_key = true;
      continue;
    }
    size_t eq = line.find('=');
    if (!have_key || eq == std::string::npos) return false;
    std::string name = line.substr(0, eq);
    std::string rest = line.substr(eq + 1);
    Value value;
    if (rest.rfind("number:", 0) == 0) {
      char* tail = nullptr;
      errno = 0;
      long long n = std::strtoll(rest.c_str() + 7, &tail, 0);
      if (errno != 0 || tail == rest.c_str() + 7 || *tail != '\0' || n < INT32_MIN ||
          n > UINT32_MAX) {
        return false;
      }
      value.type = kSettingsTypeNumber;
      value.bytes = NumberBytes(static_cast<uint32_t>(n));
    } else if (rest.rfind("text:", 0) == 0) {
      value.type = kSettingsTypeText;
      if (!Unescape(rest.substr(5), &value.bytes)) return false;
    } else {
      return false;
    }
    if (!ValidName(name.c_str())) return false;
    store->keys[key][name] = value;
  }
  return !first || content.empty();
}

std::string Render(const Store& store) {
  std::string out = std::string(kMagicLine) + "\n";
  for (const auto& [key, values] : store.keys) {
    out += "[" + key + "]\n";
    for (const auto& [name, value] : values) {
      if (value.type == kSettingsTypeNumber) {
        out += name + "=number:" + std::to_string(static_cast<int32_t>(BytesNumber(value.bytes))) +
               "\n";
      } else {
        out += name + "=text:" + Escape(value.bytes) + "\n";
      }
    }
  }
  return out;
}

// Writes the store to a temporary file beside it and renames it over the store file.
int32_t Save(const Store& store) {
  std::string content = Render(store);
  std::string temp = store.file + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) return kSettingsErrIo;
  bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  ok = (std::fflush(f) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), store.file.c_str()) != 0) {
    std::remove(temp.c_str());
    return kSettingsErrIo;
  }
  return kSettingsOk;
}

}  // namespace

extern "C" int32_t SettingsOpenStore(const char* file, SettingsKey* root) {
  if (root == nullptr) return kSettingsErrInvalid;
  *root = nullptr;
  if (file == nullptr || *file == '\0') return kSettingsErrInvalid;
  auto store = std::make_unique<Store>();
  store->file = file;
  std::FILE* f = std::fopen(file, "rb");
  if (f != nullptr) {
    std::string content;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) content.append(chunk, n);
    bool read_ok = !std::ferror(f);
    std::fclose(f);
    if (!read_ok || !Parse(content, store.get())) return kSettingsErrIo;
  } else if (errno != ENOENT) {
    return kSettingsErrIo;
  }
  *root = new SettingsKeyImpl{store.release(), "", true};
  return kSettingsOk;
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
  if (!NormalizePath(root->path, path, &full)) return kSettingsErrInvalid;
  Store* store = root->store;
  if (store->keys.count(full) == 0) {
    if (!create) return kSettingsErrNotFound;
    // Create the key and every missing key above it.
    std::string prefix;
    size_t start = 0;
    while (true) {
      size_t slash = full.find('/', start);
      prefix = full.substr(0, slash);
      store->keys[prefix];
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
    int32_t saved = Save(*store);
    if (saved != kSettingsOk) return saved;
  }
  *key = new SettingsKeyImpl{store, full, false};
  return kSettingsOk;
}

extern "C" void SettingsCloseKey(SettingsKey key) {
  if (key != nullptr && !key->owns_store) delete key;
}

namespace {
// The values of an open key, or null when the key was deleted meanwhile.
std::map<std::string, Value>* ValuesOf(SettingsKey key) {
  if (key == nullptr) return nullptr;
  auto it = key->store->keys.find(key->path);
  return it == key->store->keys.end() ? nullptr : &it->second;
}
}  // namespace

extern "C" int32_t SettingsQueryValue(SettingsKey key, const char* name, void* buffer,
                                      uint32_t* size, uint32_t* type) {
  if (name == nullptr || size == nullptr) return kSettingsErrInvalid;
  auto* values = ValuesOf(key);
  if (values == nullptr) return kSettingsErrNotFound;
  auto it = values->find(name);
  if (it == values->end()) return kSettingsErrNotFound;
  const Value& value = it->second;
  // A text is handed out with its terminator.
  uint32_t needed = static_cast<uint32_t>(value.bytes.size()) +
                    (value.type == kSettingsTypeText ? 1u : 0u);
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
int32_t SetValue(SettingsKey key, const char* name, Value value) {
  if (!ValidName(name)) return kSettingsErrInvalid;
  auto* values = ValuesOf(key);
  if (values == nullptr) return kSettingsErrNotFound;
  auto it = values->find(name);
  bool existed = it != values->end();
  Value old = existed ? it->second : Value{};
  (*values)[name] = value;
  int32_t saved = Save(*key->store);
  if (saved != kSettingsOk) {
    // Keep memory and file in step: the change did not happen.
    if (existed) {
      (*values)[name] = old;
    } else {
      values->erase(name);
    }
  }
  return saved;
}
}  // namespace

extern "C" int32_t SettingsSetNumber(SettingsKey key, const char* name, uint32_t number) {
  return SetValue(key, name, Value{kSettingsTypeNumber, NumberBytes(number)});
}

extern "C" int32_t SettingsSetText(SettingsKey key, const char* name, const char* text,
                                   uint32_t length) {
  if (text == nullptr && length != 0) return kSettingsErrInvalid;
  std::string bytes = length == 0 ? std::string() : std::string(text, length);
  // A text value ends at its first NUL, as it reads back.
  bytes.resize(std::strlen(bytes.c_str()));
  return SetValue(key, name, Value{kSettingsTypeText, bytes});
}

extern "C" int32_t SettingsDeleteValue(SettingsKey key, const char* name) {
  auto* values = ValuesOf(key);
  if (values == nullptr || name == nullptr) return kSettingsErrNotFound;
  auto it = values->find(name);
  if (it == values->end()) return kSettingsErrNotFound;
  Value old = it->second;
  values->erase(it);
  int32_t saved = Save(*key->store);
  if (saved != kSettingsOk) (*values)[name] = old;
  return saved;
}

int32_t SettingsListValues(SettingsKey key, std::vector<SettingsValue>* out) {
  auto* values = ValuesOf(key);
  if (values == nullptr || out == nullptr) return kSettingsErrNotFound;
  out->clear();
  for (const auto& [name, value] : *values) {
    SettingsValue v{name, value.type, 0, ""};
    if (value.type == kSettingsTypeNumber) {
      v.number = BytesNumber(value.bytes);
    } else {
      v.text = value.bytes;
    }
    out->push_back(v);
  }
  return kSettingsOk;
}
