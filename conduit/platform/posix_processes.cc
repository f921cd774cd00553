// Child processes on POSIX: the host driver runs in a process group of its own, with no handles of
// the host, and does not outlive the host.
//
// The driver must not survive hotsync: a second sync would start another driver in the same data
// folder. So the child asks for SIGKILL when its parent dies (which covers a parent killed by
// SIGKILL), and while a child runs, SIGINT, SIGTERM and SIGHUP first kill the child's group and
// then take their former course. The conduit runs one driver at a time.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "conduit/platform/posix_os_services.h"

namespace {

constexpr int32_t kOsErrAccessDenied = 5;
constexpr int32_t kOsErrBadExeFormat = 193;
constexpr int kExitExecFailed = 127;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr size_t kEndingSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];

struct ChildProcess {
  pid_t pid;
  bool reaped;
  int32_t exit_code;
};

// The group of the running driver (0: none) and the dispositions that its handlers replaced.
volatile sig_atomic_t g_driver_group = 0;
struct sigaction g_former[kEndingSignalCount];

void EndDriverAndPassOn(int signal_number) {
  pid_t group = g_driver_group;
  if (group > 0) ::kill(-group, SIGKILL);
  for (size_t i = 0; i < kEndingSignalCount; ++i) {
    if (kEndingSignals[i] == signal_number) ::sigaction(signal_number, &g_former[i], nullptr);
  }
  // Delivered again when this handler returns, now to what handled it before.
  ::raise(signal_number);
}

void WatchEndingSignals(pid_t group) {
  g_driver_group = group;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = EndDriverAndPassOn;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kEndingSignalCount; ++i) {
    ::sigaction(kEndingSignals[i], nullptr, &g_former[i]);
    // A signal that the host ignores (nohup, a background job) stays ignored.
    if (g_former[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &action, nullptr);
  }
}

void StopWatchingEndingSignals() {
  if (g_driver_group == 0) return;
  g_driver_group = 0;
  for (size_t i = 0; i < kEndingSignalCount; ++i) {
    ::sigaction(kEndingSignals[i], &g_former[i], nullptr);
  }
}

int32_t MapSpawnError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kOsErrFileNotFound;
    case EACCES:
    case EPERM:
      return kOsErrAccessDenied;
    case ENOEXEC:
      return kOsErrBadExeFormat;
    default:
      return error;
  }
}

// The program to run: a word with a "/" as it is; otherwise the first executable of that name in
// the host's PATH, as the system's own process creation looks for it (the child's environment
// plays no part in the search). Empty when there is none.
std::string FindProgram(const std::string& word) {
  if (word.find('/') != std::string::npos) return word;
  const char* path = ::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + word;
    struct stat st;
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

// In the child between fork and exec: only calls that are safe after fork. Never returns.
[[noreturn]] void StartChild(pid_t parent, const char* program, char* const* argv,
                             char* const* envp, int report_fd) {
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(kExitExecFailed);  // the parent ended before the line above
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  int null = ::open("/dev/null", O_RDONLY);
  if (null >= 0 && null != STDIN_FILENO) {
    ::dup2(null, STDIN_FILENO);
    ::close(null);
  }
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
  // No handle of the host reaches the driver: not a lock, not a log file.
  unsigned first = STDERR_FILENO + 1;
  unsigned report = static_cast<unsigned>(report_fd);
  if ((report > first && ::close_range(first, report - 1, 0) != 0) ||
      ::close_range(report + 1, ~0U, 0) != 0) {
    long max_fd = ::sysconf(_SC_OPEN_MAX);
    for (int fd = STDERR_FILENO + 1; fd < (max_fd > 0 ? max_fd : 1024); ++fd) {
      if (fd != report_fd) ::close(fd);
    }
  }
  ::execve(program, argv, envp);
  int error = errno;
  ssize_t ignored = ::write(report_fd, &error, sizeof error);
  (void)ignored;
  ::_exit(kExitExecFailed);
}

}  // namespace

int32_t CPosixOsServices::CreateProcess(const char* command_line, const char* environment,
                                        ProcessHandle* process) {
  *process = 0;
  std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) return kOsErrFileNotFound;
  std::string program = FindProgram(words[0]);
  if (program.empty()) return kOsErrFileNotFound;
  std::vector<std::string> env = SplitEnvironmentBlock(environment);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  // The child reports a failed exec through this pipe; a successful exec closes it unwritten.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return MapSpawnError(errno);
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    int error = errno;
    ::close(report[0]);
    ::close(report[1]);
    return MapSpawnError(error);
  }
  if (pid == 0) StartChild(parent, program.c_str(), argv.data(), envp.data(), report[1]);
  ::close(report[1]);
  ::setpgid(pid, pid);  // also here, so that the group exists whichever side runs first
  int exec_error = 0;
  ssize_t got = 0;
  do {
    got = ::read(report[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof exec_error)) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return MapSpawnError(exec_error);
  }
  WatchEndingSignals(pid);
  *process = reinterpret_cast<ProcessHandle>(new ChildProcess{pid, false, 0});
  return 0;
}

int32_t CPosixOsServices::GetExitCode(ProcessHandle process, int32_t* exit_code) {
  auto* child = reinterpret_cast<ChildProcess*>(process);
  if (child == nullptr) return -1;
  if (!child->reaped) {
    int status = 0;
    pid_t got = ::waitpid(child->pid, &status, WNOHANG);
    if (got == 0) {
      *exit_code = kOsStillActive;
      return 0;
    }
    if (got < 0) return errno;
    child->reaped = true;
    if (WIFEXITED(status)) {
      child->exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
      child->exit_code = 128 + WTERMSIG(status);
    } else {
      child->exit_code = -1;
    }
  }
  *exit_code = child->exit_code;
  return 0;
}

void CPosixOsServices::KillProcess(ProcessHandle process) {
  auto* child = reinterpret_cast<ChildProcess*>(process);
  if (child == nullptr || child->reaped) return;
  ::kill(-child->pid, SIGKILL);
  ::kill(child->pid, SIGKILL);  // in case it left its group
  int status = 0;
  pid_t got = 0;
  do {
    got = ::waitpid(child->pid, &status, 0);
  } while (got < 0 && errno == EINTR);
  child->reaped = true;
  child->exit_code = got == child->pid && WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void CPosixOsServices::CloseProcess(ProcessHandle process) {
  auto* child = reinterpret_cast<ChildProcess*>(process);
  if (child == nullptr) return;
  if (!child->reaped) {
    int status = 0;
    ::waitpid(child->pid, &status, WNOHANG);
  }
  if (g_driver_group == child->pid) StopWatchingEndingSignals();
  delete child;
}

uint64_t CPosixOsServices::MonotonicMs() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}
