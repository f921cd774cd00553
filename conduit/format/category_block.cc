#include "conduit/format/category_block.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "conduit/result_codes.h"
#include "tablelib/category.h"

namespace {

constexpr size_t kIdsOffset = kCategoryCount * kCategoryNameSize;

}  // namespace

int32_t UnpackCategoryBlock(const uint8_t* names_and_ids, uint16_t changed_flags,
                            CCategoryMgr* list) {
  for (size_t i = 0; i < kCategoryCount; ++i) {
    const char* name = reinterpret_cast<const char*>(names_and_ids + i * kCategoryNameSize);
    if (name[0] == '\0') continue;
    std::unique_ptr<CCategory> category(new (std::nothrow) CCategory());
    if (category == nullptr) continue;
    category->SetIndex(static_cast<int32_t>(i));
    // A name that fills its 16 bytes without a zero byte is cut there.
    const void* zero = std::memchr(name, 0, kCategoryNameSize);
    const size_t length = zero == nullptr
                              ? kCategoryNameSize
                              : static_cast<size_t>(static_cast<const char*>(zero) - name);
    category->SetName(std::string_view(name, length));
    category->SetID(names_and_ids[kIdsOffset + i]);
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
    const std::string& name = category->GetName();
    const size_t length = std::min(name.size(), kCategoryNameSize - 1);
    std::memcpy(names_and_ids + j * kCategoryNameSize, name.data(), length);
    names_and_ids[kIdsOffset + j] = static_cast<uint8_t>(category->GetID() & 0xFF);
  }
  return kOk;
}
