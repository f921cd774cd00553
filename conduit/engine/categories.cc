// Category synchronisation: the handheld's category block, and the reconciliation of the handheld
// and desktop category lists.
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "conduit/engine/sync_monitor.h"
#include "conduit/resources/string_table.h"
#include "conduit/result_codes.h"
#include "sdk/sync_manager.h"
#include "tablelib/category.h"
#include "tablelib/iterator.h"
#include "tablelib/record.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"

namespace {

constexpr int32_t kNoFreeIndex = -1;

// A message of the desktop pass, written once the reconciled list reached the handheld.
struct PendingMessage {
  enum Kind { kDeletedOnHandheld, kTooMany } kind;
  std::string name;
};

}  // namespace

int32_t CSyncMonitor::ReadRemoteCategories() {
  handheld_categories_.reset(new (std::nothrow) CCategoryMgr());

  app_info_request_.buffer = nullptr;
  app_info_buffer_.reset();
  memset(&app_info_request_, 0, sizeof(app_info_request_));
  app_info_buffer_.reset(new (std::nothrow) uint8_t[kAppInfoBufferSize]());
  if (app_info_buffer_ != nullptr) {
    app_info_request_.buffer = app_info_buffer_.get();
    app_info_request_.buffer_size = kAppInfoBufferSize;
  }
  strncpy(app_info_request_.database_name, RemoteDatabaseName(),
          sizeof(app_info_request_.database_name) - 1);

  if (handheld_categories_ == nullptr || app_info_buffer_ == nullptr || converter_ == nullptr) {
    return kErrNoCategoryList;
  }
  int32_t result = DevReadAppInfo(db_handle_, &app_info_request_);
  if (result != kOk) return result;
  return converter_->ConvertCategoriesFromRemote(&app_info_request_, handheld_categories_.get());
}

// The block is written only when the converter built it: writing the buffer anyway would put an
// out-of-date (or, without a preceding read, empty) category block on the handheld and report
// success for a list the handheld never received.
int32_t CSyncMonitor::WriteRemoteCategories(CCategoryMgr* list) {
  if (converter_ == nullptr) return kErrNoCategoryList;
  int32_t result = converter_->ConvertCategoriesToRemote(&app_info_request_, list);
  if (result != kOk) return result;
  return DevWriteAppInfo(db_handle_, &app_info_request_);
}

int32_t CSyncMonitor::CopyCategoriesToLocal(CCategoryMgr* list) {
  if (desktop_categories_ == nullptr || list == nullptr || list == desktop_categories_) {
    return kOk;
  }
  desktop_categories_->DeleteAllCategories(1);
  CCategory* category = nullptr;
  for (int32_t found = list->FindFirst(category); found == kOk && category != nullptr;
       found = list->FindNext(category)) {
    std::unique_ptr<CCategory> copy(new (std::nothrow) CCategory(
        category->GetID(), category->GetIndex(), category->GetName(), false));
    if (copy != nullptr) desktop_categories_->Add(copy);
  }
  return kOk;
}

void CSyncMonitor::MarkCategoriesDirty(CCategoryMgr* list) {
  if (list == nullptr) return;
  CCategory* category = nullptr;
  for (int32_t found = list->FindFirst(category); found == kOk && category != nullptr;
       found = list->FindNext(category)) {
    category->SetNameDirty(true);
  }
}

void CSyncMonitor::RemapRecordCategories(const CategoryIndexMap& map) {
  if (map.count <= 0 || desktop_table_ == nullptr) return;
  int32_t count = map.count < CategoryIndexMap::kCapacity ? map.count : CategoryIndexMap::kCapacity;
  CBaseRecord record(*desktop_table_, 0);
  CBaseIterator iterator(*desktop_table_);
  for (int32_t found = iterator.FindFirst(record, 0); found == kOk;
       found = iterator.FindNext(record, 0)) {
    int32_t category = 0;
    if (record.GetCategoryId(category) != kOk) continue;
    for (int32_t i = 0; i < count; ++i) {
      if (map.entries[i].old_index == category) {
        record.SetCategoryId(map.entries[i].new_index);
        break;
      }
    }
  }
}

int32_t CSyncMonitor::SynchronizeCategories() {
  if (desktop_table_ != nullptr) desktop_categories_ = desktop_table_->GetCategoryManager();
  const uint32_t sync_type = static_cast<uint32_t>(props_.sync_type);

  if (sync_type == kSyncHandheldOverwrites) {
    if (handheld_categories_ == nullptr) return kErrNoCategoryList;
    return CopyCategoriesToLocal(handheld_categories_.get());
  }
  if (sync_type == kSyncDesktopOverwrites) return WriteRemoteCategories(desktop_categories_);
  if (handheld_categories_ == nullptr) return kErrNoCategoryList;
  // Without a desktop list every clean handheld category would look deleted on the desktop.
  if (desktop_categories_ == nullptr) return kErrNoTable;
  CCategoryMgr* handheld = handheld_categories_.get();
  CCategoryMgr* desktop = desktop_categories_;

  // Which side counts as changed as a whole.
  if (props_.first_sync == kFirstSyncNewDesktop) {
    MarkCategoriesDirty(handheld);
  } else if (props_.first_sync == kFirstSyncNewDevice) {
    MarkCategoriesDirty(desktop);
  } else if (sync_type == kSyncSlow) {
    MarkCategoriesDirty(handheld);
  }

  // Handheld pass: a clean handheld category that the desktop holds neither by name nor by ID was
  // deleted on the desktop; its handheld records move to Unfiled. Unfiled itself is never deleted.
  CCategory* h = nullptr;
  for (int32_t found = handheld->FindFirst(h); found == kOk && h != nullptr;
       found = handheld->FindNext(h)) {
    if (h->GetNameDirty() || h->GetIndex() == kUnfiledCategory) continue;
    if (desktop->FindName(h->GetName()) != nullptr) continue;
    CCategory* by_id = nullptr;
    if (desktop->FindID(h->GetID(), by_id) != kCatErrNotFound) continue;
    const int32_t index = h->GetIndex();
    const std::string name = h->GetName();
    if (SyncChangeCategory(db_handle_, static_cast<uint8_t>(index), kUnfiledCategory) == kOk) {
      LogCategoryDeleted(name.c_str(), kHandheldPlatformWord);
      handheld->Delete(index);  // the walk goes on with the category that followed
    } else {
      LogMoveToUnfiledFailed(name.c_str());
    }
  }

  // Desktop pass: where each desktop category's records go, and which categories the handheld
  // gains.
  CategoryIndexMap map;
  std::vector<PendingMessage> messages;
  CCategory* d = nullptr;
  for (int32_t found = desktop->FindFirst(d); found == kOk && d != nullptr;
       found = desktop->FindNext(d)) {
    const int32_t d_index = d->GetIndex();
    CCategory* match = handheld->FindName(d->GetName());
    if (match != nullptr) {
      if (match->GetIndex() != d_index) map.Add(d_index, match->GetIndex());
      continue;
    }
    if (handheld->FindID(d->GetID(), match) != kCatErrNotFound && match != nullptr) {
      if (d->GetNameDirty()) {
        match->SetName(d->GetName());
      } else if (match->GetIndex() != d_index) {
        map.Add(d_index, match->GetIndex());
      }
      continue;
    }
    if (!d->GetNameDirty()) {
      // Deleted on the handheld. Unfiled cannot be deleted: its records stay where they are.
      if (d_index == kUnfiledCategory) continue;
      map.Add(d_index, kUnfiledCategory);
      messages.push_back({PendingMessage::kDeletedOnHandheld, d->GetName()});
      continue;
    }
    // New on the desktop: it keeps its index when the handheld has that index free, else takes a
    // free one; with none free its records go to Unfiled.
    CCategory* taken = nullptr;
    handheld->FindIndex(d_index, taken);
    const int32_t new_index = taken == nullptr ? d_index : handheld->GetFreeIndex();
    bool placed = false;
    if (new_index != kNoFreeIndex) {
      std::unique_ptr<CCategory> added(new (std::nothrow)
                                           CCategory(d->GetID(), new_index, d->GetName(), false));
      placed = added != nullptr && handheld->Add(added) == kOk;
    }
    if (!placed) {
      map.Add(d_index, kUnfiledCategory);
      messages.push_back({PendingMessage::kTooMany, d->GetName()});
    } else if (new_index != d_index) {
      map.Add(d_index, new_index);
    }
  }

  // The handheld takes the reconciled list first, so that a failed write leaves the desktop list
  // and records as they were instead of pointing at categories the handheld does not have.
  int32_t result = WriteRemoteCategories(handheld);
  if (result != kOk) return result;

  char desktop_word[kLogLineSize];
  LoadLogString(IDS_DESKTOP, desktop_word);
  for (const PendingMessage& message : messages) {
    if (message.kind == PendingMessage::kDeletedOnHandheld) {
      LogCategoryDeleted(message.name.c_str(), desktop_word);
    } else {
      LogTooManyCategories(message.name.c_str());
    }
  }
  RemapRecordCategories(map);
  return CopyCategoriesToLocal(handheld);
}
