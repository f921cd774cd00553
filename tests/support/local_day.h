// Days relative to today in the machine's local time, as the programs under test see them.
#ifndef DBC_TESTS_SUPPORT_LOCAL_DAY_H_
#define DBC_TESTS_SUPPORT_LOCAL_DAY_H_

#include <time.h>

#include <string>

namespace test_support {

// YYYYMMDD, or YYYY-MM-DD with `dashes`, of today plus `days`, local time.
inline std::string LocalDay(int days, bool dashes) {
  time_t now = time(nullptr) + days * 86400;
  struct tm local {};
  localtime_r(&now, &local);
  char text[16];
  strftime(text, sizeof text, dashes ? "%Y-%m-%d" : "%Y%m%d", &local);
  return text;
}

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_LOCAL_DAY_H_
