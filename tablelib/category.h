// Categories of a table: at most 16, keyed by index 0 to 15 (index 0 is Unfiled).
#ifndef DBC_TABLELIB_CATEGORY_H_
#define DBC_TABLELIB_CATEGORY_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

constexpr int32_t kMaxCategories = 16;
// The index of Unfiled, the category that every list holds and that nobody deletes.
constexpr int32_t kUnfiledCategory = 0;

class CCategory {
 public:
  CCategory() = default;
  CCategory(int32_t id, int32_t index, std::string_view name, bool name_dirty = false)
      : id_(id), index_(index), name_(name), name_dirty_(name_dirty) {}
  virtual ~CCategory() = default;

  int32_t GetID() const { return id_; }
  void SetID(int32_t id) { id_ = id; }
  int32_t GetIndex() const { return index_; }
  void SetIndex(int32_t index) { index_ = index; }
  const std::string& GetName() const { return name_; }
  void SetName(std::string_view name) { name_.assign(name); }
  bool GetNameDirty() const { return name_dirty_; }
  void SetNameDirty(bool dirty) { name_dirty_ = dirty; }

  // A file name (without folder or extension) made from the category's name that is safe inside a
  // folder: never empty, never "." or "..", without path separators or control characters.
  // Characters that are not safe are replaced, so different names may give the same file name.
  std::string GetFileName() const;

 private:
  int32_t id_ = 0;
  int32_t index_ = 0;
  std::string name_;
  bool name_dirty_ = false;
};

// An ordered list of categories (the order of Add). The list owns its categories.
class CCategoryMgr {
 public:
  CCategoryMgr() = default;
  CCategoryMgr(const CCategoryMgr& other);
  CCategoryMgr& operator=(const CCategoryMgr& other);

  // Walks the list in its order; 0 while a category was found (and *category set), else
  // kTblErrNotFound with *category null. Delete during a walk is safe: the walk goes on with the
  // category that followed the deleted one.
  int32_t FindFirst(CCategory*& category);
  int32_t FindNext(CCategory*& category);

  // 0 and the category with that ID, or kCatErrNotFound (4) with category null.
  int32_t FindID(int32_t id, CCategory*& category) const;
  // The category with that index, or null.
  void FindIndex(int32_t index, CCategory*& category) const;
  // The first category with exactly that name, or null.
  CCategory* FindName(std::string_view name) const;
  // The lowest free index from 1 to 15, or -1 when none is free.
  int32_t GetFreeIndex() const;
  int32_t GetCount() const { return static_cast<int32_t>(categories_.size()); }
  // The category at a position of the list (0 to GetCount() - 1), or null; does not move a walk.
  const CCategory* At(int32_t position) const {
    return position >= 0 && static_cast<size_t>(position) < categories_.size()
               ? categories_[static_cast<size_t>(position)].get()
               : nullptr;
  }

  // Takes the category (category becomes null) and answers 0; refuses, leaving category with the
  // caller, when its index is outside 0 to 15 or taken (kTblErrBadArgument).
  int32_t Add(std::unique_ptr<CCategory>& category);
  // Removes the category with that index; kTblErrNotFound when there is none.
  int32_t Delete(int32_t index);
  // Removes every category. The flag is accepted for callers that pass one and has no effect.
  void DeleteAllCategories(int32_t flag = 1);

 private:
  std::vector<std::unique_ptr<CCategory>> categories_;
  size_t cursor_ = 0;  // the next position FindNext looks at
};

#endif  // DBC_TABLELIB_CATEGORY_H_
