// CDateBkConverter's category block conversions.
#include "conduit/format/category_block.h"
#include "conduit/format/date_bk_converter.h"
#include "conduit/result_codes.h"

int32_t CDateBkConverter::ConvertCategoriesFromRemote(AppInfoRequest* request, CCategoryMgr* list) {
  if (request == nullptr || request->buffer == nullptr ||
      request->buffer_size < kCategoryBlockSize) {
    return kErrNoCategoryBufferIn;
  }
  if (list == nullptr) return kErrNoCategoryList;
  return UnpackCategoryBlock(request->buffer + kCategoryFlagsSize,
                             ReadCategoryChangedFlags(request->buffer), list);
}

int32_t CDateBkConverter::ConvertCategoriesToRemote(AppInfoRequest* request, CCategoryMgr* list) {
  if (request == nullptr || request->buffer == nullptr ||
      request->buffer_size < kCategoryBlockSize) {
    return kErrNoCategoryBufferOut;
  }
  if (list == nullptr) return kErrNoCategoryList;
  WriteCategoryChangedFlags(request->buffer, 0);
  return PackCategoryBlock(request->buffer + kCategoryFlagsSize, list);
}
