#include "conduit/format/category_block.h"

#include <cstring>
#include <memory>
#include <new>

#include "conduit/result_codes.h"
#include "tablelib/category.h"

int32_t UnpackCategoryBlock(const uint8_t* names_and_ids, uint16_t changed_flags,
                            CCategoryMgr* list) {
  for (size_t i = 0; i < kCategoryCount; ++i) {
    // A name that fills its 16 bytes without a zero byte is cut there.
    const std::string_view name = CategoryNameInSlot(names_and_ids, i);
    if (name.empty()) continue;
    std::unique_ptr<CCategory> category(new (std::nothrow) CCategory());
    if (category == nullptr) continue;
    category->SetIndex(static_cast<int32_t>(i));
    category->SetName(name);
    category->SetID(names_and_ids[kCategoryIdsOffset + i]);
    category->SetNameDirty(((changed_flags >> i) & 1) != 0);
    // The list takes the category, or leaves it here to be destroyed.
    list->Add(category);
  }
  return kOk;
}

int32_t PackCategoryBlock(uint8_t* names_and_ids, CCategoryMgr* list) {
  std::memset(names_and_ids, 0, kCategoryNamesAndIdsSize);
  for (size_t j = 0; j < kCategoryCount; ++j) {
    CCategory* category = nullptr;
    list->FindIndex(static_cast<int32_t>(j), category);
    if (category == nullptr) continue;
    PutCategoryNameInSlot(names_and_ids, j, category->GetName());
    names_and_ids[kCategoryIdsOffset + j] = static_cast<uint8_t>(category->GetID() & 0xFF);
  }
  return kOk;
}
