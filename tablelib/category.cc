#include "tablelib/category.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "tablelib/table_errors.h"

namespace {

// Characters that cannot stand in a file name on the desktop systems the files travel to.
bool IsUnsafeChar(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return true;
    default:
      return false;
  }
}

// Device names that some systems reserve in every folder, whatever the extension.
bool IsReservedDeviceName(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kReserved[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* reserved : kReserved) {
    if (stem == reserved) return true;
  }
  if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
      stem[3] >= '1' && stem[3] <= '9') {
    return true;
  }
  return false;
}

}  // namespace

std::string CCategory::GetFileName() const {
  std::string name = name_;
  for (char& c : name) {
    if (IsUnsafeChar(static_cast<unsigned char>(c))) c = '_';
  }
  // Trailing dots and blanks are dropped by some file systems, which would turn "a." into "a" and
  // "." or ".." into an empty name; replacing them also rules out "." and "..".
  for (size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i) {
    name[i - 1] = '_';
  }
  if (name.empty()) name = "_";
  if (IsReservedDeviceName(name)) name.insert(0, "_");
  return name;
}

CCategoryMgr::CCategoryMgr(const CCategoryMgr& other) {
  *this = other;
}

CCategoryMgr& CCategoryMgr::operator=(const CCategoryMgr& other) {
  if (this == &other) return *this;
  std::vector<std::unique_ptr<CCategory>> copy;
  copy.reserve(other.categories_.size());
  for (const auto& category : other.categories_) {
    copy.push_back(std::make_unique<CCategory>(*category));
  }
  categories_ = std::move(copy);
  cursor_ = 0;
  return *this;
}

int32_t CCategoryMgr::FindFirst(CCategory*& category) {
  cursor_ = 0;
  return FindNext(category);
}

int32_t CCategoryMgr::FindNext(CCategory*& category) {
  if (cursor_ >= categories_.size()) {
    category = nullptr;
    return kTblErrNotFound;
  }
  category = categories_[cursor_++].get();
  return kTblOk;
}

int32_t CCategoryMgr::FindID(int32_t id, CCategory*& category) const {
  for (const auto& candidate : categories_) {
    if (candidate->GetID() == id) {
      category = candidate.get();
      return kTblOk;
    }
  }
  category = nullptr;
  return kCatErrNotFound;
}

void CCategoryMgr::FindIndex(int32_t index, CCategory*& category) const {
  category = nullptr;
  for (const auto& candidate : categories_) {
    if (candidate->GetIndex() == index) {
      category = candidate.get();
      return;
    }
  }
}

CCategory* CCategoryMgr::FindName(std::string_view name) const {
  for (const auto& candidate : categories_) {
    if (candidate->GetName() == name) return candidate.get();
  }
  return nullptr;
}

int32_t CCategoryMgr::GetFreeIndex() const {
  for (int32_t index = 1; index < kMaxCategories; ++index) {
    CCategory* taken = nullptr;
    FindIndex(index, taken);
    if (taken == nullptr) return index;
  }
  return -1;
}

int32_t CCategoryMgr::Add(std::unique_ptr<CCategory>& category) {
  if (category == nullptr) return kTblErrBadArgument;
  const int32_t index = category->GetIndex();
  if (index < 0 || index >= kMaxCategories) return kTblErrBadArgument;
  CCategory* taken = nullptr;
  FindIndex(index, taken);
  if (taken != nullptr) return kTblErrBadArgument;
  try {
    categories_.push_back(std::move(category));
  } catch (const std::bad_alloc&) {
    return kTblErrNoMemory;  // push_back leaves the argument untouched when it throws
  }
  return kTblOk;
}

int32_t CCategoryMgr::Delete(int32_t index) {
  for (size_t i = 0; i < categories_.size(); ++i) {
    if (categories_[i]->GetIndex() != index) continue;
    categories_.erase(categories_.begin() + static_cast<std::ptrdiff_t>(i));
    // A walk that already passed the deleted category goes on with the one that followed it.
    if (i < cursor_) --cursor_;
    return kTblOk;
  }
  return kTblErrNotFound;
}

void CCategoryMgr::DeleteAllCategories(int32_t /*flag*/) {
  categories_.clear();
  cursor_ = 0;
}
