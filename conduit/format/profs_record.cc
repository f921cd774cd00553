#include "conduit/format/profs_record.h"

#include <limits>

#include "conduit/format/profs_schema.h"
#include "tablelib/fields.h"
#include "tablelib/local_time.h"
#include "tablelib/table_errors.h"

namespace {

// The content fields that Equals compares.
constexpr int32_t kFirstComparedField = CDateBkSchema::kStart;
constexpr int32_t kLastComparedField = CDateBkSchema::kRepeatKind;

CIntegerField* HostEntryField(const CBaseRecord& record) {
  CBaseField* field = record.GetField(kHostEntryNumberField);
  if (field == nullptr || field->GetType() != kFieldInteger) return nullptr;
  return static_cast<CIntegerField*>(field);
}

}  // namespace

int32_t CProfsRecord::Equals(const CBaseRecord& other) const {
  for (int32_t i = kFirstComparedField; i <= kLastComparedField; ++i) {
    const CBaseField* mine = GetField(i);
    const CBaseField* theirs = other.GetField(i);
    if (mine == nullptr || theirs == nullptr || mine->Compare(*theirs) != 0) return 0;
  }
  return 1;
}

int32_t CProfsRecord::GetHostEntryNumber(int32_t& number) const {
  CIntegerField* field = HostEntryField(*this);
  if (field == nullptr) return kTblErrBadRecord;
  int32_t value = 0;
  if (field->GetValue(value) != 0) return kTblErrBadRecord;
  number = value;
  return kTblOk;
}

int32_t CProfsRecord::SetHostEntryNumber(int32_t number) {
  CIntegerField* field = HostEntryField(*this);
  if (field == nullptr || field->SetValue(number) != 0) return kTblErrBadRecord;
  return kTblOk;
}

int32_t CProfsRecord::GetStartDay(int32_t& day) const {
  int32_t start = 0;
  GetStartTime(start);
  tablelib::CLocalTime local;
  int64_t value = start;
  if (tablelib::BreakDownLocalTime(start, &local)) value -= local.hour * 3600 + local.minute * 60;
  // A start in the first hours of the 32-bit range would move below it.
  if (value < std::numeric_limits<int32_t>::min()) value = std::numeric_limits<int32_t>::min();
  day = static_cast<int32_t>(value);
  return day;
}

int32_t CProfsRecord::CompareStartDays(const CProfsRecord& other) const {
  int32_t mine = 0;
  int32_t theirs = 0;
  GetStartDay(mine);
  other.GetStartDay(theirs);
  if (mine < theirs) return kEarlierStartDay;
  if (mine > theirs) return kLaterStartDay;
  return kSameStartDay;
}
