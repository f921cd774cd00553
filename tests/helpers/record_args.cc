// A child program for process tests. As its environment says:
//   RECORD_TO=PATH      writes its process ID, arguments, environment and (with RECORD_FDS set)
//                       its open file descriptors to PATH, one per line
//   PRINT=TEXT          prints TEXT on standard output
//   CHILD_PID_TO=PATH   starts a child that sleeps for a minute and writes its process ID to PATH
//   SLEEP_MS=N          sleeps N milliseconds before it ends
//   RAISE_SIGNAL=S      kills itself with signal S
//   EXIT_CODE=N         exits with N (default 0)
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

int main(int argc, char** argv) {
  if (const char* text = std::getenv("PRINT")) std::printf("%s\n", text);
  std::fflush(stdout);
  if (const char* path = std::getenv("CHILD_PID_TO")) {
    pid_t child = fork();
    if (child == 0) {
      std::this_thread::sleep_for(std::chrono::seconds(60));
      _exit(0);
    }
    std::FILE* f = std::fopen(path, "w");
    if (f == nullptr) return 100;
    std::fprintf(f, "%d\n", static_cast<int>(child));
    std::fclose(f);
  }
  const char* path = std::getenv("RECORD_TO");
  if (path != nullptr) {
    std::FILE* f = std::fopen(path, "w");
    if (f == nullptr) return 100;
    std::fprintf(f, "argc=%d\n", argc);
    for (int i = 0; i < argc; ++i) std::fprintf(f, "arg=%s\n", argv[i]);
    for (char** e = environ; *e; ++e) std::fprintf(f, "env=%s\n", *e);
    if (std::getenv("RECORD_FDS") != nullptr) {
      if (DIR* fds = opendir("/proc/self/fd")) {
        int own = dirfd(fds);
        while (dirent* entry = readdir(fds)) {
          int fd = std::atoi(entry->d_name);
          if (entry->d_name[0] != '.' && fd != own && fd != fileno(f)) {
            std::fprintf(f, "fd=%d\n", fd);
          }
        }
        closedir(fds);
      }
    }
    std::fclose(f);
  }
  if (const char* ms = std::getenv("SLEEP_MS")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(ms)));
  }
  if (const char* sig = std::getenv("RAISE_SIGNAL")) std::raise(std::atoi(sig));
  const char* code = std::getenv("EXIT_CODE");
  return code ? std::atoi(code) : 0;
}
