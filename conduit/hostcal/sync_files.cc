#include "conduit/hostcal/sync_files.h"

#include <string.h>

#include "conduit/platform/table_file.h"
#include "tablelib/category.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"

namespace {
constexpr size_t kSuffixLength = 3;
}  // namespace

std::string SideFileName(const std::string& local_file_name, const char* suffix) {
  if (local_file_name.size() >= kSuffixLength) {
    return local_file_name.substr(0, local_file_name.size() - kSuffixLength) + suffix;
  }
  return local_file_name.substr(0, local_file_name.rfind('.')) + "." + suffix;
}

std::string BackupFileName(const std::string& local_file_name) {
  return SideFileName(local_file_name, kBackupSuffix);
}

std::string CategoryListFileName(const std::string& local_file_name) {
  return SideFileName(local_file_name, kCategoryListSuffix);
}

std::string SideFilePath(const HotSyncProps& props, const char* suffix) {
  const std::string folder(props.data_folder, strnlen(props.data_folder, sizeof props.data_folder));
  const std::string name(props.local_file_name,
                         strnlen(props.local_file_name, sizeof props.local_file_name));
  return folder + SideFileName(name, suffix);
}

int32_t SaveCategoryList(const std::string& path, const CCategoryMgr& list) {
  CDateBkTable table;
  *table.GetCategoryManager() = list;
  return SaveTableFile(table, path);
}

int32_t LoadSavedCategories(const std::string& path, CCategoryMgr* list) {
  CDateBkTable table;
  const int32_t opened = table.OpenFrom(path, 0);
  if (opened != kTblOk) return opened;
  // The list is saved without rows; a table file with rows is some other file.
  if (table.GetRecordCount() != 0) return kTblErrBadFormat;
  *list = *table.GetCategoryManager();
  return kTblOk;
}
