#include "tablelib/repeat.h"

#include <ctime>

int32_t maxDate() {
  std::tm t{};
  t.tm_year = 2031 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 31;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 59;
  t.tm_isdst = -1;
  return static_cast<int32_t>(std::mktime(&t));
}
