// categories, raw and reset.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/handheld/date_book.h"
#include "host/handheld/event_format.h"
#include "host/handheld/handheld_commands.h"
#include "host/support/json_text.h"

namespace {

// The lowest category ID from 128 on that no category uses: the handheld's own range, apart
// from the IDs a desktop hands out.
int32_t FreeCategoryId(const CCategoryBlock& categories) {
  for (int32_t id = 128; id <= 255; ++id) {
    bool used = false;
    for (size_t i = 0; i < kCategoryCount; ++i) {
      used = used || (!categories.names[i].empty() && categories.ids[i] == id);
    }
    if (!used) return id;
  }
  return -1;
}

// A name a category may take: 1 to 15 bytes, no NUL.
bool CheckName(const std::string& name, std::string* error) {
  if (name.empty() || name.size() > kCategoryMaxNameLength) {
    *error =
        "a category name has 1 to 15 bytes; \"" + name + "\" has " + std::to_string(name.size());
    return false;
  }
  if (name.find('\0') != std::string::npos) {
    *error = "a category name holds no NUL byte";
    return false;
  }
  return true;
}

int Store(const CCategoryBlock& categories, const std::vector<uint8_t>& app_info) {
  const int32_t result = WriteDateBookCategories(categories, app_info);
  if (result != kDeviceOk) {
    return HandheldError(kHandheldRefused,
                         "cannot write the categories: " + DeviceErrorText(result));
  }
  return kHandheldOk;
}

int ListCategories(const CCategoryBlock& categories, bool json) {
  for (size_t i = 0; i < kCategoryCount; ++i) {
    const std::string name = CategoryName(categories, static_cast<uint8_t>(i));
    if (name.empty()) continue;
    const bool renamed = (categories.changed_flags >> i) & 1;
    if (json) {
      std::printf("{\"index\":%zu,\"name\":%s,\"id\":%u,\"renamed\":%s}\n", i,
                  JsonQuote(name).c_str(), categories.ids[i], renamed ? "true" : "false");
    } else {
      std::printf("%2zu  %-15s  id %3u%s\n", i, name.c_str(), categories.ids[i],
                  renamed ? "  renamed" : "");
    }
  }
  return kHandheldOk;
}

}  // namespace

int RunCategories(const HandheldOptions& options) {
  const std::vector<std::string>& args = options.args;
  const std::string action = args.empty() ? "" : args[0];
  const bool listing = args.empty() || (args.size() == 1 && action == "--json");
  const size_t wanted = action == "add" || action == "delete" ? 2 : action == "rename" ? 3 : 0;
  if (!listing && (wanted == 0 || args.size() != wanted)) {
    return HandheldError(kHandheldUsage,
                         "categories: expected [--json], add NAME, rename OLD NEW or delete NAME");
  }
  std::string error;
  if (action == "add" && !CheckName(args[1], &error)) {
    return HandheldError(kHandheldUsage, "categories add: " + error);
  }
  if (action == "rename" && !CheckName(args[2], &error)) {
    return HandheldError(kHandheldUsage, "categories rename: " + error);
  }
  if (!Connect(options)) return kHandheldRefused;
  CCategoryBlock categories;
  std::vector<uint8_t> app_info;
  if (ReadDateBookCategories(&categories, &app_info, &error) != kDeviceOk) {
    return HandheldError(kHandheldRefused, error);
  }
  if (listing) return ListCategories(categories, action == "--json");

  const int32_t found = FindCategory(categories, args[1]);
  if (action == "add") {
    if (found >= 0) return HandheldError(kHandheldRefused, "a category " + args[1] + " exists");
    size_t slot = 1;
    while (slot < kCategoryCount && !categories.names[slot].empty()) ++slot;
    const int32_t id = FreeCategoryId(categories);
    if (slot == kCategoryCount || id < 0) {
      return HandheldError(kHandheldRefused,
                           "the handheld holds 15 categories besides Unfiled, no more");
    }
    categories.names[slot] = args[1];
    categories.ids[slot] = static_cast<uint8_t>(id);
    categories.changed_flags = static_cast<uint16_t>(categories.changed_flags | (1u << slot));
    return Store(categories, app_info);
  }
  if (found < 0) return HandheldError(kHandheldRefused, "no category " + args[1]);
  if (found == 0) {
    return HandheldError(kHandheldRefused, "Unfiled cannot be renamed or deleted");
  }
  if (action == "rename") {
    const int32_t other = FindCategory(categories, args[2]);
    if (other >= 0 && other != found) {
      return HandheldError(kHandheldRefused, "a category " + args[2] + " exists");
    }
    categories.names[found] = args[2];
    categories.changed_flags = static_cast<uint16_t>(categories.changed_flags | (1u << found));
    return Store(categories, app_info);
  }
  // The records move first: should the block not be written, the category stands, empty, and
  // the command can be run again.
  const int32_t moved = MoveDateBookCategoryToUnfiled(static_cast<uint8_t>(found));
  if (moved != kDeviceOk) {
    return HandheldError(kHandheldRefused,
                         "cannot move the records to Unfiled: " + DeviceErrorText(moved));
  }
  categories.names[found].clear();
  categories.ids[found] = 0;
  categories.changed_flags = static_cast<uint16_t>(categories.changed_flags & ~(1u << found));
  return Store(categories, app_info);
}

int RunRaw(const HandheldOptions& options) {
  const std::vector<std::string>& args = options.args;
  if (!args.empty() && args[0] == "read") {
    uint32_t id = 0;
    if (args.size() != 2 || !ParseRecordId(args[1], &id)) {
      return HandheldError(kHandheldUsage, "raw read needs one record ID");
    }
    if (!Connect(options)) return kHandheldRefused;
    DeviceRecord record;
    const int32_t result = ReadDateBookRecord(id, &record);
    if (result == kDeviceErrNotFound) {
      return HandheldError(kHandheldRefused, "the Date Book has no record " + args[1]);
    }
    if (result != kDeviceOk) {
      return HandheldError(kHandheldRefused, "cannot read the record: " + DeviceErrorText(result));
    }
    std::printf("id: %u\nattributes: %02x\ncategory: %u\ndata: %s\n", record.id, record.attributes,
                record.category, ToHex(record.data).c_str());
    return kHandheldOk;
  }
  if (args.empty() || args[0] != "write") {
    return HandheldError(kHandheldUsage, "raw: expected read ID or write [OPTIONS] HEX");
  }
  DeviceRecord record;
  record.attributes = kRecAttrDirty;
  bool has_data = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool option = arg == "--id" || arg == "--attributes" || arg == "--category";
    if (option && i + 1 >= args.size()) {
      return HandheldError(kHandheldUsage, "raw write: " + arg + " needs a value");
    }
    std::vector<uint8_t> byte;
    if (arg == "--id") {
      if (!ParseRecordId(args[++i], &record.id)) {
        return HandheldError(kHandheldUsage, "raw write: --id: " + args[i] + " is not a record ID");
      }
    } else if (arg == "--attributes") {
      const std::string& value = args[++i];
      if (!FromHex(value.size() == 1 ? "0" + value : value, &byte) || byte.size() != 1) {
        return HandheldError(kHandheldUsage,
                             "raw write: --attributes: " + value + " is not a hex byte");
      }
      record.attributes = byte[0];
    } else if (arg == "--category") {
      const std::string& value = args[++i];
      if (value.empty() || value.size() > 2 ||
          value.find_first_not_of("0123456789") != std::string::npos ||
          std::atoi(value.c_str()) >= static_cast<int>(kCategoryCount)) {
        return HandheldError(kHandheldUsage, "raw write: --category: " + value +
                                                 " is not a category index (0 to 15)");
      }
      record.category = static_cast<uint8_t>(std::atoi(value.c_str()));
    } else if (!has_data && !option) {
      if (!FromHex(arg, &record.data)) {
        return HandheldError(kHandheldUsage, "raw write: " + arg + " is not hex bytes");
      }
      has_data = true;
    } else {
      return HandheldError(kHandheldUsage, "raw write: unexpected argument " + arg);
    }
  }
  if (!has_data) return HandheldError(kHandheldUsage, "raw write needs the data bytes in hex");
  if (record.data.size() > kDeviceMaxRecordSize) {
    return HandheldError(kHandheldUsage,
                         "raw write: the device holds records of at most 65535 bytes");
  }
  if (!Connect(options)) return kHandheldRefused;
  const int32_t result = WriteDateBookRecord(&record);
  if (result != kDeviceOk) {
    return HandheldError(kHandheldRefused, "cannot write the record: " + DeviceErrorText(result));
  }
  std::printf("%u\n", record.id);
  return kHandheldOk;
}

int RunReset(const HandheldOptions& options) {
  if (!options.args.empty()) return HandheldError(kHandheldUsage, "reset takes no arguments");
  if (!Connect(options)) return kHandheldRefused;
  int32_t result = DeviceHardReset();
  if (result == kDeviceOk) result = EnsureDateBook();
  if (result != kDeviceOk) {
    return HandheldError(kHandheldRefused, "cannot reset the handheld: " + DeviceErrorText(result));
  }
  return kHandheldOk;
}
