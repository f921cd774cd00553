// Runs a shell command line for the tests that drive the programs of the build (POSIX only).
#ifndef DBC_TESTS_SUPPORT_RUN_COMMAND_H_
#define DBC_TESTS_SUPPORT_RUN_COMMAND_H_

#include <stdio.h>
#include <sys/wait.h>

#include <string>

namespace test_support {

struct CommandResult {
  int status = -1;  // the exit status; -1 when the command did not exit normally
  std::string out;  // standard output
};

inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.out.append(chunk, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_RUN_COMMAND_H_
