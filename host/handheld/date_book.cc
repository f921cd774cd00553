#include "host/handheld/date_book.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "host/hotsync/hotsync_home.h"

namespace {

bool Exists(const std::string& path, bool* is_dir, std::string* error) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  *is_dir = S_ISDIR(st.st_mode);
  return true;
}

}  // namespace

bool ConnectHandheld(const std::string& home_option, std::string* error) {
  std::string home;
  if (!ResolveHomeDir(home_option, &home, error)) return false;
  bool is_dir = false;
  std::string why;
  if (!Exists(home, &is_dir, &why)) {
    *error = "no hotsync home (" + why + "); set one up with: hotsync --home " + home + " info";
    return false;
  }
  if (!is_dir) {
    *error = "the home " + home + " is not a folder";
    return false;
  }
  const std::string image = home + "/" + kDeviceImageName;
  if (!Exists(image, &is_dir, &why)) {
    *error = "the home " + home + " has no device image (" + why +
             "); set it up with: hotsync --home " + home + " info";
    return false;
  }
  std::string message;
  if (DeviceOpenImage(image, &message) != kDeviceOk) {
    *error = message;
    return false;
  }
  return true;
}

int32_t EnsureDateBook() {
  std::vector<DeviceDatabase> databases;
  int32_t result = DeviceListDatabases(&databases);
  if (result != kDeviceOk) return result;
  for (const DeviceDatabase& d : databases) {
    if (d.name == kRemoteDatabaseName && d.card == 0) return kDeviceOk;
  }
  DeviceDatabase date_book;
  date_book.name = kRemoteDatabaseName;
  date_book.creator = kDatebookCreator;
  date_book.type = kDatebookType;
  return DeviceAddDatabase(date_book);
}

int32_t ReadDateBookRecords(std::vector<DeviceRecord>* records) {
  int32_t result = DeviceListRecords(kRemoteDatabaseName, records);
  if (result == kDeviceErrNotFound) {
    records->clear();
    return kDeviceOk;
  }
  return result;
}

int32_t ReadDateBookRecord(uint32_t id, DeviceRecord* record) {
  return DeviceGetRecord(kRemoteDatabaseName, id, record);
}

int32_t WriteDateBookRecord(DeviceRecord* record) {
  int32_t result = EnsureDateBook();
  return result != kDeviceOk ? result : DevicePutRecord(kRemoteDatabaseName, record);
}

int32_t ReadDateBookCategories(CCategoryBlock* categories, std::vector<uint8_t>* app_info,
                               std::string* error) {
  int32_t result = DeviceGetAppInfo(kRemoteDatabaseName, app_info);
  if (result == kDeviceErrNotFound) {
    *app_info = DeviceDefaultAppInfo();
  } else if (result != kDeviceOk) {
    *error = "cannot read the Date Book's categories: " + DeviceErrorText(result);
    return result;
  }
  if (!ReadCategoryBlock(app_info->data(), app_info->size(), categories)) {
    *error = "the Date Book's application-information block holds " +
             std::to_string(app_info->size()) + " bytes, too few for its category block";
    return kDeviceErrImage;
  }
  return kDeviceOk;
}

int32_t WriteDateBookCategories(const CCategoryBlock& categories, std::vector<uint8_t> app_info) {
  int32_t result = EnsureDateBook();
  if (result != kDeviceOk) return result;
  if (app_info.size() < kCategoryBlockSize) app_info.resize(kCategoryBlockSize, 0);
  WriteCategoryBlock(categories, app_info.data());
  return DeviceSetAppInfo(kRemoteDatabaseName, app_info);
}

int32_t MoveDateBookCategoryToUnfiled(uint8_t index) {
  int32_t result = DeviceMoveCategory(kRemoteDatabaseName, index, 0);
  return result == kDeviceErrNotFound ? kDeviceOk : result;
}

int32_t FindCategory(const CCategoryBlock& categories, const std::string& name) {
  if (name.empty()) return -1;
  for (size_t i = 0; i < kCategoryCount; ++i) {
    if (CategoryName(categories, static_cast<uint8_t>(i)) == name) return static_cast<int32_t>(i);
  }
  return -1;
}

std::string CategoryName(const CCategoryBlock& categories, uint8_t index) {
  if (index >= kCategoryCount) return "";
  if (index == 0 && categories.names[0].empty()) return kUnfiledCategoryName;
  return categories.names[index];
}

std::string DeviceErrorText(int32_t code) {
  switch (code) {
    case kDeviceErrNotFound:
      return "not found";
    case kDeviceErrTooLarge:
      return "the record is too large for the device";
    case kDeviceErrStorage:
      return "the device image could not be read or written";
    case kDeviceErrFull:
      return "the device has no record ID left";
    case kDeviceErrBadArgument:
      return "the device refused the values";
    default:
      return "device error " + std::to_string(code);
  }
}
