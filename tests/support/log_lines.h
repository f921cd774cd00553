// The HotSync log of the current run as the tests compare it: entries of activity code and text.
#ifndef DBC_TESTS_SUPPORT_LOG_LINES_H_
#define DBC_TESTS_SUPPORT_LOG_LINES_H_

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

#include "host/log/log_control.h"

namespace test_support {

struct Line {
  int32_t activity;
  std::string text;
};

inline bool operator==(const Line& a, const Line& b) {
  return a.activity == b.activity && a.text == b.text;
}

inline std::ostream& operator<<(std::ostream& out, const Line& l) {
  return out << "{" << l.activity << ",\"" << l.text << "\"}";
}

// Starts a new run of the log.
inline void StartLogRun() {
  HsLogStartRun();
}

// The entries of the current run, in order.
inline std::vector<Line> LogLines() {
  std::vector<Line> lines;
  for (const HsLogEntry& entry : HsLogEntries()) lines.push_back(Line{entry.activity, entry.text});
  return lines;
}

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_LOG_LINES_H_
