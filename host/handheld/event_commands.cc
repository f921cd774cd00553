// list, add, edit, delete and archive.
#include <cstdio>

#include "host/handheld/date_book.h"
#include "host/handheld/event_format.h"
#include "host/handheld/event_options.h"
#include "host/handheld/handheld_commands.h"
#include "sdk/date_book_record.h"

namespace {

// The record `text` names, for a command that changes it: not found, deleted or not parseable
// records are refused with a message.
int FindLiveRecord(const std::string& text, DeviceRecord* record, CRawDateBkRecord* raw) {
  uint32_t id = 0;
  if (!ParseRecordId(text, &id)) {
    return HandheldError(kHandheldUsage, text + " is not a record ID (1 to 4294967295)");
  }
  const int32_t result = ReadDateBookRecord(id, record);
  if (result == kDeviceErrNotFound) {
    return HandheldError(kHandheldRefused, "the Date Book has no record " + text);
  }
  if (result != kDeviceOk) {
    return HandheldError(kHandheldRefused,
                         "cannot read record " + text + ": " + DeviceErrorText(result));
  }
  if (record->attributes & kRecAttrDeleted) {
    return HandheldError(kHandheldRefused,
                         "record " + text + " is marked deleted" +
                             ((record->attributes & kRecAttrArchived) ? " and archived" : ""));
  }
  if (raw != nullptr && !ParseRawDateBkRecord(record->data.data(), record->data.size(), raw)) {
    return HandheldError(kHandheldRefused, "record " + text +
                                               " does not parse as a Date Book record; "
                                               "replace it with handheld raw write --id " +
                                               text);
  }
  return kHandheldOk;
}

int Categories(CCategoryBlock* categories) {
  std::vector<uint8_t> app_info;
  std::string error;
  if (ReadDateBookCategories(categories, &app_info, &error) != kDeviceOk) {
    return HandheldError(kHandheldRefused, error);
  }
  return kHandheldOk;
}

int Write(DeviceRecord* record) {
  const int32_t result = WriteDateBookRecord(record);
  if (result != kDeviceOk) {
    return HandheldError(kHandheldRefused, "cannot write the record: " + DeviceErrorText(result));
  }
  return kHandheldOk;
}

}  // namespace

int RunList(const HandheldOptions& options) {
  bool json = false;
  bool all = false;
  for (const std::string& arg : options.args) {
    if (arg == "--json") {
      json = true;
    } else if (arg == "--all") {
      all = true;
    } else {
      return HandheldError(kHandheldUsage, "list: unexpected argument " + arg);
    }
  }
  if (!Connect(options)) return kHandheldRefused;
  CCategoryBlock categories;
  if (int status = Categories(&categories)) return status;
  std::vector<DeviceRecord> records;
  const int32_t result = ReadDateBookRecords(&records);
  if (result != kDeviceOk) {
    return HandheldError(kHandheldRefused, "cannot read the Date Book: " + DeviceErrorText(result));
  }
  for (const DeviceRecord& record : records) {
    if (!all && (record.attributes & (kRecAttrDeleted | kRecAttrArchived))) continue;
    const std::string line = json ? FormatEventJson(record, categories) : FormatEventLine(record);
    std::printf("%s\n", line.c_str());
  }
  return kHandheldOk;
}

int RunAdd(const HandheldOptions& options) {
  CEventOptions event;
  std::string error;
  if (!ParseEventOptions(options.args, true, &event, &error)) {
    return HandheldError(kHandheldUsage, "add: " + error);
  }
  if (!Connect(options)) return kHandheldRefused;
  CCategoryBlock categories;
  if (int status = Categories(&categories)) return status;
  CRawDateBkRecord raw;
  raw.start_hour = raw.start_minute = raw.end_hour = raw.end_minute = kRawUntimed;
  DeviceRecord record;
  if (!ApplyEventOptions(event, categories, &raw, &record, &error)) {
    return HandheldError(kHandheldUsage, "add: " + error);
  }
  if (int status = Write(&record)) return status;
  std::printf("%u\n", record.id);
  return kHandheldOk;
}

int RunEdit(const HandheldOptions& options) {
  if (options.args.empty()) return HandheldError(kHandheldUsage, "edit needs a record ID");
  CEventOptions event;
  std::string error;
  const std::vector<std::string> rest(options.args.begin() + 1, options.args.end());
  if (!ParseEventOptions(rest, false, &event, &error)) {
    return HandheldError(kHandheldUsage, "edit: " + error);
  }
  if (!Connect(options)) return kHandheldRefused;
  CCategoryBlock categories;
  if (int status = Categories(&categories)) return status;
  DeviceRecord record;
  CRawDateBkRecord raw;
  if (int status = FindLiveRecord(options.args[0], &record, &raw)) return status;
  if (!ApplyEventOptions(event, categories, &raw, &record, &error)) {
    return HandheldError(kHandheldUsage, "edit: " + error);
  }
  return Write(&record);
}

int RunDelete(const HandheldOptions& options, bool archive) {
  const char* command = archive ? "archive" : "delete";
  if (options.args.size() != 1) {
    return HandheldError(kHandheldUsage, std::string(command) + " needs one record ID");
  }
  if (!Connect(options)) return kHandheldRefused;
  DeviceRecord record;
  if (int status = FindLiveRecord(options.args[0], &record, nullptr)) return status;
  record.attributes |= kRecAttrDeleted | kRecAttrDirty;
  if (archive) {
    record.attributes |= kRecAttrArchived;
  } else {
    record.data.clear();
  }
  return Write(&record);
}
