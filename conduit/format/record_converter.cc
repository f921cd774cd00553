#include "conduit/format/record_converter.h"

#include <new>

#include "conduit/result_codes.h"

CRecordConverter::CRecordConverter()
    : text_buffer_(new (std::nothrow) char[kConverterTextBufferSize]()) {}

CRecordConverter::~CRecordConverter() = default;

int32_t CRecordConverter::ConvertToRemote(CBaseRecord&, RecordRequest*) {
  return kErrNotProvided;
}

int32_t CRecordConverter::ConvertFromRemote(CBaseRecord&, RecordRequest*) {
  return kErrNotProvided;
}

int32_t CRecordConverter::ConvertCategoriesFromRemote(AppInfoRequest*, CCategoryMgr*) {
  return kErrNotProvided;
}

int32_t CRecordConverter::ConvertCategoriesToRemote(AppInfoRequest*, CCategoryMgr*) {
  return kErrNotProvided;
}
