// The category block of the application-information block, both ways.
#include "conduit/format/category_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "conduit/format/date_bk_converter.h"
#include "conduit/result_codes.h"
#include "tablelib/category.h"

namespace {

using Bytes = std::vector<uint8_t>;

AppInfoRequest RequestFor(Bytes& block) {
  AppInfoRequest request{};
  request.buffer = block.data();
  request.buffer_size = static_cast<uint16_t>(block.size());
  return request;
}

void PutName(Bytes& block, int index, const std::string& name, uint8_t id) {
  std::memcpy(block.data() + 2 + 16 * index, name.data(), name.size());
  block[258 + index] = id;
}

void AddCategory(CCategoryMgr& list, int index, const std::string& name, int id) {
  auto category = std::make_unique<CCategory>(id, index, name);
  ASSERT_EQ(0, list.Add(category));
}

TEST(CategoryBlockTest, NamesBecomeCategoriesWithTheirDirtyFlags) {
  Bytes block(800, 0);
  block[0] = 0x00;
  block[1] = 0x05;
  PutName(block, 0, "Unfiled", 0);
  PutName(block, 2, "Business", 17);
  PutName(block, 3, "Personal", 200);
  PutName(block, 15, std::string(16, 'F'), 255);  // fills its 16 bytes, no zero byte
  AppInfoRequest request = RequestFor(block);
  CCategoryMgr list;
  CDateBkConverter converter;
  ASSERT_EQ(0, converter.ConvertCategoriesFromRemote(&request, &list));
  EXPECT_EQ(4, list.GetCount());
  struct Expected {
    int index;
    const char* name;
    int id;
    bool dirty;
  } const kExpected[] = {{0, "Unfiled", 0, true},
                         {2, "Business", 17, true},
                         {3, "Personal", 200, false},
                         {15, "FFFFFFFFFFFFFFFF", 255, false}};
  for (const Expected& e : kExpected) {
    CCategory* category = nullptr;
    list.FindIndex(e.index, category);
    ASSERT_NE(nullptr, category) << e.index;
    EXPECT_EQ(e.name, category->GetName());
    EXPECT_EQ(e.id, category->GetID());
    EXPECT_EQ(e.dirty, category->GetNameDirty()) << e.index;
  }

  Bytes empty(800, 0);
  empty[1] = 0xFF;
  AppInfoRequest empty_request = RequestFor(empty);
  CCategoryMgr none;
  ASSERT_EQ(0, converter.ConvertCategoriesFromRemote(&empty_request, &none));
  EXPECT_EQ(0, none.GetCount());
}

TEST(CategoryBlockTest, ListIsWrittenAtItsIndexesAndTheRestIsKept) {
  Bytes block(800, 0);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 1);
  const Bytes tail(block.begin() + 274, block.end());
  CCategoryMgr list;
  AddCategory(list, 3, "A name of twenty chr", 0x1FE);
  AddCategory(list, 0, "Unfiled", 0);
  AppInfoRequest request = RequestFor(block);
  CDateBkConverter converter;
  ASSERT_EQ(0, converter.ConvertCategoriesToRemote(&request, &list));

  Bytes expected(274, 0);
  PutName(expected, 0, "Unfiled", 0);
  PutName(expected, 3, "A name of twent", 0xFE);
  EXPECT_EQ(expected, Bytes(block.begin(), block.begin() + 274));
  EXPECT_EQ(tail, Bytes(block.begin() + 274, block.end()));

  // And back: the 15-byte name, nothing renamed.
  CCategoryMgr back;
  ASSERT_EQ(0, converter.ConvertCategoriesFromRemote(&request, &back));
  CCategory* category = nullptr;
  back.FindIndex(3, category);
  ASSERT_NE(nullptr, category);
  EXPECT_EQ("A name of twent", category->GetName());
  EXPECT_FALSE(category->GetNameDirty());
}

TEST(CategoryBlockTest, MissingOrShortBuffersAndListsAreRefused) {
  CDateBkConverter converter;
  CCategoryMgr list;
  AddCategory(list, 1, "Kept", 1);
  AppInfoRequest none{};
  EXPECT_EQ(kErrNoCategoryBufferIn, converter.ConvertCategoriesFromRemote(&none, &list));
  EXPECT_EQ(kErrNoCategoryBufferOut, converter.ConvertCategoriesToRemote(&none, &list));
  EXPECT_EQ(kErrNoCategoryBufferIn, converter.ConvertCategoriesFromRemote(nullptr, &list));

  Bytes short_block(273, 0xAB);
  AppInfoRequest short_request = RequestFor(short_block);
  EXPECT_EQ(kErrNoCategoryBufferIn, converter.ConvertCategoriesFromRemote(&short_request, &list));
  EXPECT_EQ(kErrNoCategoryBufferOut, converter.ConvertCategoriesToRemote(&short_request, &list));
  EXPECT_EQ(Bytes(273, 0xAB), short_block);
  EXPECT_EQ(1, list.GetCount());

  Bytes block(274, 0xAB);
  AppInfoRequest request = RequestFor(block);
  EXPECT_EQ(kErrNoCategoryList, converter.ConvertCategoriesToRemote(&request, nullptr));
  EXPECT_EQ(kErrNoCategoryList, converter.ConvertCategoriesFromRemote(&request, nullptr));
  EXPECT_EQ(Bytes(274, 0xAB), block);
  EXPECT_EQ(0, converter.ConvertCategoriesToRemote(&request, &list));
}

}  // namespace
