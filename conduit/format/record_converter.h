// Conversion between the handheld's raw records and category block and desktop records.
#ifndef DBC_CONDUIT_FORMAT_RECORD_CONVERTER_H_
#define DBC_CONDUIT_FORMAT_RECORD_CONVERTER_H_

#include <stdint.h>

#include <memory>

#include "sdk/records.h"

class CBaseRecord;
class CCategoryMgr;

// Size of the converter's text buffer.
constexpr uint32_t kConverterTextBufferSize = 8192;

// The base converter: its four conversions are not supported (they answer -1). It owns the
// converter text buffer, allocated and zero-filled at construction (absent when that failed).
class CRecordConverter {
 public:
  CRecordConverter();
  virtual ~CRecordConverter();
  CRecordConverter(const CRecordConverter&) = delete;
  CRecordConverter& operator=(const CRecordConverter&) = delete;

  // Desktop record -> raw record in request->buffer (request->buffer_size bytes, zero-filled by
  // the caller); sets record_id, attributes, category and data_size.
  virtual int32_t ConvertToRemote(CBaseRecord& record, RecordRequest* request);
  // Raw record of the request -> desktop record.
  virtual int32_t ConvertFromRemote(CBaseRecord& record, RecordRequest* request);
  // The category block of the request's buffer -> categories added to list.
  virtual int32_t ConvertCategoriesFromRemote(AppInfoRequest* request, CCategoryMgr* list);
  // list -> the category block of the request's buffer.
  virtual int32_t ConvertCategoriesToRemote(AppInfoRequest* request, CCategoryMgr* list);

 protected:
  // The converter text buffer (kConverterTextBufferSize bytes), or null.
  char* text_buffer() const { return text_buffer_.get(); }
  // Releases the text buffer, leaving the converter as if its allocation had failed; tests use it
  // to reach that path.
  void ReleaseTextBuffer() { text_buffer_.reset(); }

 private:
  std::unique_ptr<char[]> text_buffer_;
};

#endif  // DBC_CONDUIT_FORMAT_RECORD_CONVERTER_H_
