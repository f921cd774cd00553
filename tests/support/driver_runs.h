// What script_driver recorded of its runs ("record FILE" in its script): one "run" line per run,
// then one "arg=..." line per argument and the environment.
#ifndef DBC_TESTS_SUPPORT_DRIVER_RUNS_H_
#define DBC_TESTS_SUPPORT_DRIVER_RUNS_H_

#include <fstream>
#include <string>
#include <vector>

namespace test_support {

// The command (the first argument after the program) of every recorded run, in order; empty when
// the record file is missing.
inline std::vector<std::string> RecordedDriverCommands(const std::string& record_file) {
  std::vector<std::string> commands;
  std::ifstream in(record_file);
  std::string line;
  int arg = -1;
  while (std::getline(in, line)) {
    if (line.rfind("run ", 0) == 0) arg = 0;
    if (line.rfind("arg=", 0) == 0 && arg++ == 1) commands.push_back(line.substr(4));
  }
  return commands;
}

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_DRIVER_RUNS_H_
