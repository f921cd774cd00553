#include "conduit/entry/entry_log.h"

#include <stdio.h>

#include "sdk/hotsync_log.h"

namespace {
constexpr int32_t kLogFlag = 0;
// Large enough for every format of this folder and a 32-bit number.
constexpr size_t kCodeLineSize = 128;
}  // namespace

void LogConduitError(const char* text) {
  HsLogAddEntry(text, kActivityConduitError, kLogFlag);
}

void LogConduitErrorCode(const char* format, int32_t value) {
  char line[kCodeLineSize];
  snprintf(line, sizeof line, format, static_cast<int>(value));
  LogConduitError(line);
}
