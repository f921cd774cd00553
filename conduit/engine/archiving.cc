// Archiving into one archive file per category, and the record-ID reset of a first
// synchronisation with an old handheld.
#include <string.h>

#include <string>

#include "conduit/engine/sync_monitor.h"
#include "conduit/platform/table_file.h"
#include "conduit/result_codes.h"
#include "tablelib/category.h"
#include "tablelib/iterator.h"
#include "tablelib/record.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"

namespace {

// Handhelds whose ROM major number is below this keep record IDs that the desktop must forget.
constexpr uint32_t kRomMajorKeepsIds = 2;
constexpr int32_t kNoCategory = -1;
constexpr int32_t kHighestCategory = kMaxCategories - 1;
const char kUnfiledFileName[] = "Unfiled";

// Whether table already holds record: the same record ID and the same content. A run cut off
// after saving an archive file and before the handheld purged the archived records archives
// them again at the next run; they are in the file already and must not be added twice.
bool HoldsRecord(CBaseTable& table, const CBaseRecord& record) {
  uint32_t id = 0;
  if (record.GetRecordId(id) != kOk || id == 0) return false;
  CBaseRecord other(table, 0);
  for (int32_t i = 0; i < table.GetRecordCount(); ++i) {
    other.Bind(table.RowAt(i));
    uint32_t other_id = 0;
    if (other.GetRecordId(other_id) == kOk && other_id == id && record.Equals(other) == 1) {
      return true;
    }
  }
  return false;
}

}  // namespace

int32_t CSyncMonitor::ResetLocalRecordIds() {
  const uint32_t rom_major = system_info_request_.rom_version >> 24;
  if (props_.first_sync != kFirstSyncNewDevice || desktop_table_ == nullptr ||
      rom_major >= kRomMajorKeepsIds) {
    return kOk;
  }
  CBaseRecord record(*desktop_table_, 0);
  CBaseIterator iterator(*desktop_table_);
  for (int32_t found = iterator.FindFirst(record, 0); found == kOk;
       found = iterator.FindNext(record, 0)) {
    record.SetRecordId(0);
  }
  return kOk;
}

// The file name part comes only from CCategory::GetFileName, which never yields a separator, "."
// or "..", so a category name from the handheld cannot lead the file out of the data folder.
std::string CSyncMonitor::ArchiveFileName(int32_t category_index) const {
  std::string path(props_.data_folder, strnlen(props_.data_folder, sizeof(props_.data_folder)));
  CCategory* category = nullptr;
  if (desktop_categories_ != nullptr) desktop_categories_->FindIndex(category_index, category);
  path += category != nullptr ? category->GetFileName() : std::string(kUnfiledFileName);
  path.append(archive_extension_, strnlen(archive_extension_, sizeof(archive_extension_)));
  return path;
}

int32_t CSyncMonitor::ArchiveRecords() {
  if (archive_table_ == nullptr || archive_table_->GetRecordCount() == 0) return kOk;

  CBaseIterator iterator(*archive_table_);
  int32_t error = iterator.SortByCatId();
  if (error != kOk) return error;

  CBaseRecord record(*archive_table_, 0);
  std::unique_ptr<CBaseTable> file_table;
  std::string file_name;
  int32_t current = kNoCategory;
  for (int32_t found = iterator.FindFirst(record, 0); found == kOk && error == kOk;
       found = iterator.FindNext(record, 0)) {
    int32_t category = kUnfiledCategory;
    if (record.GetCategoryId(category) != kOk || category < kUnfiledCategory ||
        category > kHighestCategory) {
      category = kUnfiledCategory;
    }
    if (category != current) {
      if (file_table != nullptr) {
        error = SaveTableFile(*file_table, file_name);
        file_table.reset();
        if (error != kOk) break;
      }
      file_name = ArchiveFileName(category);
      error = CreateLocalTable(file_table);
      if (error == kOk && file_table == nullptr) error = kErrNoTable;
      if (error != kOk) {
        file_table.reset();
        break;
      }
      int32_t opened = file_table->OpenFrom(file_name, 0);
      if (opened == kOk) {
        file_table->PurgeDeletedRecords();
      } else if (opened != kTblErrFileNotFound) {
        error = opened;
        file_table.reset();
        break;
      }
      current = category;
    }
    record.SetCategoryId(kUnfiledCategory);
    if (!HoldsRecord(*file_table, record)) error = CopyRecordToTable(record, *file_table);
  }

  if (file_table != nullptr) {
    if (error == kOk) error = SaveTableFile(*file_table, file_name);
    file_table.reset();
  }
  return error;
}
