// The HotSync log as the entry tests read it.
// TEMPORARY: captures the entries in this test program until the host's log stand-in publishes a
// way to start a run and read its entries.
#include <vector>

#include "conduit/entry/entry_test_util.h"

namespace {
std::vector<entry_test::Line>& Captured() {
  static std::vector<entry_test::Line> lines;
  return lines;
}
}  // namespace

extern "C" int32_t HsLogAddEntry(const char* text, int32_t activity, int32_t) {
  Captured().push_back(entry_test::Line{activity, text ? text : ""});
  return 0;
}

namespace entry_test {
void StartLogRun() {
  Captured().clear();
}
std::vector<Line> LogLines() {
  return Captured();
}
}  // namespace entry_test
