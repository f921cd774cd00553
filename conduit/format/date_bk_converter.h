// CDateBkConverter: converts the handheld's raw Date Book records and category block to desktop
// records and categories and back.
#ifndef DBC_CONDUIT_FORMAT_DATE_BK_CONVERTER_H_
#define DBC_CONDUIT_FORMAT_DATE_BK_CONVERTER_H_

#include <stdint.h>

#include "conduit/format/record_converter.h"

class CDateBkConverter : public CRecordConverter {
 public:
  CDateBkConverter() = default;

  // Desktop record (a CDateBkRecord) -> raw record. Sets the request's record ID, attributes
  // (deleted, dirty for added or modified, private, archived) and category, builds the raw record
  // and, when it fits request->buffer_size, copies it into request->buffer and sets data_size.
  // Answers 0, or the failing code of reading the description or note; kErrConvertToRemote (4111)
  // with data_size 0 and the buffer untouched when the record does not fit the buffer (texts are
  // never cut), when its start date lies outside 1904 to 2031 (which a date word cannot carry), or
  // when the request or its buffer is missing.
  int32_t ConvertToRemote(CBaseRecord& record, RecordRequest* request) override;

  // Raw record -> desktop record (a CDateBkRecord). Answers 0; kErrMovedTo1970 (4176) when a date
  // before 1970 was moved to 1970 (the record is still fully converted); the status or note
  // setter's failing code. A deleted record that is not archived sets only ID, category, flags and
  // status. The record is left untouched, with the answer kErrConvertFromRemote (4112), when the
  // raw record is malformed (data_size beyond buffer_size, too short for a flagged part, a text
  // without its zero byte), when it holds a value the desktop record cannot keep (an alarm unit
  // above 2; in a repeat part of kind 1 to 5 an interval of 0, a first day of the week above 6, or
  // bit 7 of a weekly rule's days), or when a text expanded to CR LF line breaks does not fit the
  // converter text buffer; with kErrNoRecordBuffer (4106) when the record has texts and the
  // converter has no text buffer.
  int32_t ConvertFromRemote(CBaseRecord& record, RecordRequest* request) override;

  // The category block at the start of request->buffer -> categories added to list: one per
  // non-empty name, with its index, name, ID and name-dirty flag. Answers 0;
  // kErrNoCategoryBufferIn (4110) when the buffer is missing or shorter than the block (274
  // bytes), kErrNoCategoryList (4108) when list is null.
  int32_t ConvertCategoriesFromRemote(AppInfoRequest* request, CCategoryMgr* list) override;

  // list -> the category block at the start of request->buffer: name-changed flags 0, the names
  // (cut to 15 bytes) and IDs of the list's categories at their indexes, zeros elsewhere. Bytes
  // from 274 on are not touched. Answers 0; kErrNoCategoryBufferOut (4109) when the buffer is
  // missing or shorter than the block, kErrNoCategoryList (4108) when list is null.
  int32_t ConvertCategoriesToRemote(AppInfoRequest* request, CCategoryMgr* list) override;
};

#endif  // DBC_CONDUIT_FORMAT_DATE_BK_CONVERTER_H_
