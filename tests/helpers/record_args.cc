// A child program for process tests: writes its arguments and its environment, one per line, to
// the file named by the RECORD_TO variable, then exits with the code in EXIT_CODE (default 0), or
// kills itself with the signal in RAISE_SIGNAL.
#include <csignal>
#include <cstdio>
#include <cstdlib>

extern char** environ;

int main(int argc, char** argv) {
  const char* path = std::getenv("RECORD_TO");
  if (path != nullptr) {
    std::FILE* f = std::fopen(path, "w");
    if (f == nullptr) return 100;
    std::fprintf(f, "argc=%d\n", argc);
    for (int i = 0; i < argc; ++i) std::fprintf(f, "arg=%s\n", argv[i]);
    for (char** e = environ; *e; ++e) std::fprintf(f, "env=%s\n", *e);
    std::fclose(f);
  }
  if (const char* sig = std::getenv("RAISE_SIGNAL")) std::raise(std::atoi(sig));
  const char* code = std::getenv("EXIT_CODE");
  return code ? std::atoi(code) : 0;
}
