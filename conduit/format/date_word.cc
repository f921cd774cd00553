#include "conduit/format/date_word.h"

#include "conduit/result_codes.h"
#include "tablelib/local_time.h"

namespace {

constexpr int32_t kLastMonth = 12;

}  // namespace

uint16_t SwapWord(uint16_t value) {
  return static_cast<uint16_t>((value << 8) | (value >> 8));
}

bool PackDate(int32_t time, uint16_t* date_word, uint8_t* hour, uint8_t* minute) {
  tablelib::CLocalTime local;
  if (!tablelib::BreakDownLocalTime(time, &local)) return false;
  *hour = static_cast<uint8_t>(local.hour);
  *minute = static_cast<uint8_t>(local.minute);
  *date_word = MakeDateWord(local.year, local.month, local.day);
  return local.year >= kDateWordFirstYear && local.year <= kDateWordLastYear;
}

int32_t UnpackDate(uint16_t date_word, int32_t hour, int32_t minute, int32_t* time) {
  int32_t year = DateWordYear(date_word);
  int32_t month = DateWordMonth(date_word);
  const int32_t day = DateWordDay(date_word);
  int32_t result = kOk;
  if (year < kEarliestDesktopYear) {
    year = kEarliestDesktopYear;
    result = kErrMovedTo1970;
  }
  if (month == 0 || month > kLastMonth) month = kLastMonth;
  // Years up to 2031 always fit a time value; out-of-range parts are normalised.
  tablelib::MakeLocalTime(year, month, day, hour, minute, 0, time);
  return result;
}
