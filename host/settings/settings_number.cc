// Numbers as the settings store and the command line read them, the same on every platform.
#include <cstdint>
#include <string>

#include "host/settings/settings_host.h"

bool SettingsParseNumber(const std::string& text, int32_t* value) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 2147483648LL) return false;
  }
  int64_t n = text[0] == '-' ? -magnitude : magnitude;
  if (n > 2147483647LL) return false;
  *value = static_cast<int32_t>(n);
  return true;
}
