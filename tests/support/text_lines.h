// Text helpers for the tests that read and write line-based files (calendars, program output).
#ifndef DBC_TESTS_SUPPORT_TEXT_LINES_H_
#define DBC_TESTS_SUPPORT_TEXT_LINES_H_

#include <sstream>
#include <string>
#include <vector>

namespace test_support {

// `text` with each "\n" written as "\r\n", as iCalendar files end their lines.
inline std::string CrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The lines of `text`, without their "\n" or "\r\n"; a last line without an end counts too.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_TEXT_LINES_H_
