#include "tablelib/system.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tablelib {

bool SystemLocalTime(int64_t time, std::tm* out) {
  const std::time_t value = static_cast<std::time_t>(time);
  if (static_cast<int64_t>(value) != time) return false;
#if defined(_WIN32)
  return localtime_s(out, &value) == 0;
#else
  return localtime_r(&value, out) != nullptr;
#endif
}

bool SystemSyncFile(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

}  // namespace tablelib
