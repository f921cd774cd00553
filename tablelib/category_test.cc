// Category lists and category file names.
#include "tablelib/category.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tablelib/table_errors.h"

namespace {

void AddAll(CCategoryMgr& manager, const std::vector<int32_t>& indexes) {
  for (int32_t index : indexes) {
    auto category = std::make_unique<CCategory>(100 + index, index, "C" + std::to_string(index));
    ASSERT_EQ(manager.Add(category), kTblOk);
    EXPECT_EQ(category, nullptr);
  }
}

TEST(CategoryMgrTest, AddFindAndFreeIndexes) {
  CCategoryMgr manager;
  EXPECT_EQ(manager.GetFreeIndex(), 1);
  AddAll(manager, {0, 1, 2, 5});
  EXPECT_EQ(manager.GetFreeIndex(), 3);

  for (int32_t bad : {2, -1, 16}) {
    auto category = std::make_unique<CCategory>(1, bad, "x");
    EXPECT_EQ(manager.Add(category), kTblErrBadArgument) << bad;
    EXPECT_NE(category, nullptr);  // still the caller's
  }
  EXPECT_EQ(manager.GetCount(), 4);

  CCategory* found = nullptr;
  EXPECT_EQ(manager.FindID(105, found), kTblOk);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->GetIndex(), 5);
  EXPECT_EQ(manager.FindID(103, found), kCatErrNotFound);
  EXPECT_EQ(found, nullptr);
  manager.FindIndex(2, found);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->GetName(), "C2");
  manager.FindIndex(3, found);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(manager.FindName("C5"), manager.At(3));
  EXPECT_EQ(manager.FindName("c5"), nullptr);

  AddAll(manager, {3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14});
  EXPECT_EQ(manager.GetFreeIndex(), 15);
  AddAll(manager, {15});
  EXPECT_EQ(manager.GetFreeIndex(), -1);
  // Index 0 is never offered, even when it is free.
  ASSERT_EQ(manager.Delete(0), kTblOk);
  EXPECT_EQ(manager.GetFreeIndex(), -1);
  EXPECT_EQ(manager.Delete(0), kTblErrNotFound);

  CCategoryMgr copy(manager);
  manager.DeleteAllCategories();
  EXPECT_EQ(manager.GetCount(), 0);
  EXPECT_EQ(copy.GetCount(), 15);
}

TEST(CategoryMgrTest, DeleteDuringAWalkGoesOnWithTheFollowingCategory) {
  CCategoryMgr manager;
  AddAll(manager, {0, 3, 1, 7, 2, 9});
  std::vector<int32_t> seen;
  CCategory* category = nullptr;
  for (int32_t r = manager.FindFirst(category); r == kTblOk; r = manager.FindNext(category)) {
    const int32_t index = category->GetIndex();
    seen.push_back(index);
    if (index == 3) {
      ASSERT_EQ(manager.Delete(3), kTblOk);  // the current one
    }
    if (index == 1) {
      ASSERT_EQ(manager.Delete(2), kTblOk);  // one still ahead
    }
    if (index == 7) {
      ASSERT_EQ(manager.Delete(0), kTblOk);  // one already passed
    }
  }
  EXPECT_EQ(category, nullptr);
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 3, 1, 7, 9}));
  EXPECT_EQ(manager.GetCount(), 3);
}

TEST(CategoryTest, FileNamesStayInsideTheFolder) {
  struct Case {
    std::string name;
    std::string file;
  };
  const Case kCases[] = {
      {"Business", "Business"},
      {"", "_"},
      {".", "_"},
      {"..", "__"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"a\\b:c", "a_b_c"},
      {"tab\there\n", "tab_here_"},
      {"Trip.", "Trip_"},
      {"nul", "_nul"},
      {"COM1.txt", "_COM1.txt"},
      {"-rf", "-rf"},
      {"B\xFCro", "B\xFCro"},
  };
  for (const Case& c : kCases) {
    CCategory category(1, 1, c.name);
    const std::string file = category.GetFileName();
    EXPECT_EQ(file, c.file) << "name: " << c.name;
    EXPECT_FALSE(file.empty());
    EXPECT_NE(file, ".");
    EXPECT_NE(file, "..");
    for (char ch : file) {
      EXPECT_TRUE(ch != '/' && ch != '\\' && static_cast<unsigned char>(ch) >= 0x20) << c.name;
    }
  }
}

}  // namespace
