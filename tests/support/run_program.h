// Running a program of the build from a test, on POSIX and on Windows, and capturing what it
// prints.
#ifndef DBC_TESTS_SUPPORT_RUN_PROGRAM_H_
#define DBC_TESTS_SUPPORT_RUN_PROGRAM_H_

#include <stdio.h>

#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#endif

namespace test_support {

// The separator between the names of a path on this platform.
#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

struct ProgramResult {
  int status = -1;  // the exit status; -1 when the program did not end normally
  std::string out;  // standard output, its line ends read as "\n"
};

#if !defined(_WIN32)
// True when the process has ended: gone, or a zombie that nobody has reaped yet (POSIX only).
inline bool ProcessEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// Waits up to `ms` milliseconds for the process to end; answers whether it did.
inline bool ProcessEndsWithin(pid_t pid, int ms) {
  for (int waited = 0; waited < ms && !ProcessEnded(pid); waited += 10) usleep(10000);
  return ProcessEnded(pid);
}

// Runs a shell command line (POSIX only) with its standard output captured.
inline ProgramResult RunShellCommand(const std::string& line) {
  ProgramResult result;
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.out.append(chunk, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}
#endif

// Runs `command` (the program's path and its arguments, separated by blanks, none holding a blank
// or a quote) with standard output captured and standard error written to the file `error_file`.
// Its environment is this process's, changed by `environment`: "NAME=value" sets a variable,
// "NAME" removes it.
inline ProgramResult RunProgram(const std::string& command, const std::string& error_file,
                                const std::vector<std::string>& environment) {
  ProgramResult result;
#if defined(_WIN32)
  // The child inherits this process's environment, so the changes are made to this one.
  for (const std::string& change : environment) {
    size_t equals = change.find('=');
    SetEnvironmentVariableA(change.substr(0, equals).c_str(),
                            equals == std::string::npos ? nullptr : change.c_str() + equals + 1);
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE error = CreateFileA(error_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = error;
  PROCESS_INFORMATION info = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                &startup, &info);
  CloseHandle(write_end);
  if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
  if (started) {
    char chunk[4096];
    DWORD n = 0;
    while (ReadFile(read_end, chunk, sizeof chunk, &n, nullptr) && n > 0)
      result.out.append(chunk, n);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(info.hProcess, &code)) result.status = static_cast<int>(code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  CloseHandle(read_end);
  // Windows programs end their printed lines with CR LF.
  std::string text;
  for (size_t i = 0; i < result.out.size(); ++i) {
    if (result.out[i] != '\r' || i + 1 == result.out.size() || result.out[i + 1] != '\n') {
      text += result.out[i];
    }
  }
  result.out = text;
#else
  std::string line = "env";
  for (const std::string& change : environment) {
    line += change.find('=') == std::string::npos ? " -u " + change : " " + change;
  }
  line += " " + command + " 2>" + error_file;
  result = RunShellCommand(line);
#endif
  return result;
}

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_RUN_PROGRAM_H_
