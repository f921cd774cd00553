// script_driver: a host driver whose behaviour a script decides, for tests and for trying the
// conduit by hand. Run `script_driver --help` for the script's keys.
//
// The conduit runs a host driver as
//   <driver> <command> <folder> <file> <user> <days> <screen> <hllname>
// with the environment PATH=<HLLPath>; and nothing else, so the script cannot come through the
// environment: it is the file "driver_script" in the folder word (the user's data folder) or,
// when that has none, in the HLLPath folder named by PATH.
//
// A test driver that says it succeeded when it did not makes the tests pass for the wrong reason:
// every failure (a file it cannot write, an unknown command, a script it cannot read) ends with a
// non-zero exit code and a message on standard error.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#endif

extern char** environ;

namespace {

constexpr char kScriptName[] = "driver_script";
constexpr char kErrorFileName[] = "conderr.txt";
// The exchange file of a host calendar without entries: a record count of 0 and no records.
constexpr char kEmptyExchangeFile[] = "0000";
constexpr int kExitOk = 0;
constexpr int kExitUsage = 64;
constexpr int kExitScriptError = 65;
constexpr int kExitIoError = 74;
constexpr int kWordCount = 8;  // the program and its seven words

constexpr char kHelp[] =
    "usage: script_driver <install|extract|update> <folder> <file> <user> <days> <screen> <hll>\n"
    "\n"
    "A host driver for tests. Its script is the file \"driver_script\" in <folder> or, when that\n"
    "is missing, in the folder named by PATH (PATH=<folder>;). One \"key value\" per line; a key\n"
    "may carry a command prefix (\"extract.exit 3\"), which wins over the plain key for that\n"
    "command. Lines starting with # are comments. Keys:\n"
    "  record PATH        append this run's process ID, words and environment to PATH (on\n"
    "                     Windows its command line too)\n"
    "  sleep_ms N         sleep N milliseconds before doing anything else\n"
    "  stdout TEXT        print TEXT on standard output\n"
    "  extract_text TEXT  extract: write TEXT into <folder><file> (escapes \\n \\r \\t \\\\)\n"
    "  extract_file PATH  extract: copy PATH into <folder><file>\n"
    "  update_copy PATH   update: copy <folder><file> to PATH (what reached the host)\n"
    "  update_count PATH  update: count the updates applied, in PATH (a decimal number)\n"
    "  error TEXT         write TEXT (escapes as above) into <folder>conderr.txt\n"
    "  exit N             end with exit code N (default 0)\n"
    "  kill WHEN          be killed (SIGKILL; on Windows terminated) \"before\" doing anything\n"
    "                     or \"after\" the command's work, as a driver cut off by a crash\n"
    "Without a script, or without extract_text/extract_file, extract writes the empty exchange\n"
    "file \"0000\" unless <folder><file> already has content, which it leaves alone; update and\n"
    "install do nothing. Every command then ends with 0.\n"
    "Files are replaced as a whole (written beside the target and renamed over it), never\n"
    "written through a link. Exit codes: 64 bad usage, 65 a script that cannot be used, 74 a file\n"
    "that cannot be read or written (its old content is kept).\n"
    "The driver keeps no host calendar of its own: a host calendar that this driver extracts as\n"
    "empty after a synchronisation reads to the conduit as entries deleted on the host.\n";

const std::set<std::string> kCommands = {"install", "extract", "update"};
const std::set<std::string> kKeys = {"record",       "sleep_ms",    "stdout",       "extract_text",
                                     "extract_file", "update_copy", "update_count", "error",
                                     "exit",         "kill"};

// Ends the driver at once, as a crash or the system killing it would.
void KillSelf() {
#if defined(_WIN32)
  TerminateProcess(GetCurrentProcess(), 9);
#else
  raise(SIGKILL);
#endif
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

bool ParseInt(const std::string& text, long min, long max, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long n = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || n < min || n > max) return false;
  *value = n;
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Forces what was written to the open file onto the disk.
bool SyncFile(std::FILE* f) {
  if (std::fflush(f) != 0) return false;
#if defined(_WIN32)
  return _commit(_fileno(f)) == 0;
#else
  return ::fsync(::fileno(f)) == 0;
#endif
}

#if !defined(_WIN32)
bool SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}
#endif

// Replaces `path` with `bytes`: written to a temporary file of this process beside it, synced and
// renamed over it. On failure the old file stays and *error says why.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string* error) {
  std::string temp = path + ".driver-" + std::to_string(static_cast<long>(::getpid()));
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) {
    *error = "cannot create a file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  errno = 0;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && SyncFile(f);
  ok = std::fclose(f) == 0 && ok;
  int failure = ok ? 0 : errno;
#if defined(_WIN32)
  if (ok && !MoveFileExA(temp.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    failure = EACCES;
  }
#else
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    failure = errno;
  }
  // The new name is on the disk only once its folder is.
  if (ok && !SyncFolderOf(path)) {
    ok = false;
    failure = errno;
  }
#endif
  if (!ok) {
    *error = "cannot write " + path + ": " + std::strerror(failure);
    std::remove(temp.c_str());
  }
  return ok;
}

// The folder that the environment's PATH names, without the trailing ";".
std::string PathFolder() {
  const char* path = std::getenv("PATH");
  std::string folder = path ? path : "";
  if (!folder.empty() && folder.back() == ';') folder.pop_back();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// The script's keys for this command: the plain ones, overridden by "<command>.key". False with
// *error for a key or a command prefix that the driver does not know.
bool LoadScript(const std::string& folder, const std::string& command,
                std::map<std::string, std::string>* keys, std::string* error) {
  std::string text;
  std::string name = folder + kScriptName;
  if (!ReadWholeFile(name, &text)) {
    name = PathFolder() + kScriptName;
    if (!ReadWholeFile(name, &text)) return true;  // no script: the defaults
  }
  std::map<std::string, std::string> plain, specific;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t blank = line.find(' ');
    std::string key = line.substr(0, blank);
    std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
    size_t dot = key.find('.');
    std::string prefix = dot == std::string::npos ? "" : key.substr(0, dot);
    std::string bare = dot == std::string::npos ? key : key.substr(dot + 1);
    if (kKeys.count(bare) == 0 || (dot != std::string::npos && kCommands.count(prefix) == 0)) {
      *error = name + " line " + std::to_string(number) + ": unknown key " + key;
      return false;
    }
    if (dot == std::string::npos) {
      plain[key] = value;
    } else if (prefix == command) {
      specific[bare] = value;
    }
  }
  *keys = plain;
  for (const auto& kv : specific) (*keys)[kv.first] = kv.second;
  return true;
}

bool Record(const std::string& path, int argc, char** argv) {
  std::FILE* f = std::fopen(path.c_str(), "a");
  if (f == nullptr) return false;
  std::fprintf(f, "run argc=%d\n", argc);
#if defined(_WIN32)
  // The command line as the process received it, before the C library split it into words.
  std::fprintf(f, "cmdline=%s\n", GetCommandLineA());
#endif
  std::fprintf(f, "pid=%d\n", static_cast<int>(::getpid()));
  for (int i = 0; i < argc; ++i) std::fprintf(f, "arg=%s\n", argv[i]);
  for (char** e = environ; *e != nullptr; ++e) std::fprintf(f, "env=%s\n", *e);
  std::fprintf(f, "end\n");
  bool ok = SyncFile(f);
  return std::fclose(f) == 0 && ok;
}

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "script_driver: %s\n", message.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kHelp, stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitIoError;
  }
  if (argc < 3) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  const std::string command = argv[1];
  const std::string folder = argv[2];
  if (kCommands.count(command) == 0) {
    return Fail(kExitUsage, "unknown command " + command + " (see script_driver --help)");
  }

  std::map<std::string, std::string> keys;
  std::string error;
  if (!LoadScript(folder, command, &keys, &error)) return Fail(kExitScriptError, error);
  auto has = [&](const char* key) { return keys.count(key) != 0; };
  long exit_code = kExitOk;
  long sleep_ms = 0;
  if (has("exit") && !ParseInt(keys["exit"], 0, 255, &exit_code)) {
    return Fail(kExitScriptError,
                "exit needs a number from 0 to 255, not \"" + keys["exit"] + "\"");
  }
  if (has("sleep_ms") && !ParseInt(keys["sleep_ms"], 0, 3600000, &sleep_ms)) {
    return Fail(kExitScriptError,
                "sleep_ms needs a number of milliseconds, not \"" + keys["sleep_ms"] + "\"");
  }

  if (has("record") && !Record(keys["record"], argc, argv)) {
    return Fail(kExitIoError, "cannot append to " + keys["record"]);
  }
  // A value with a blank shifts the words; the run is recorded above, then refused.
  if (argc != kWordCount) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  const std::string file = folder + argv[3];
  if (sleep_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
  if (has("stdout")) {
    std::printf("%s\n", keys["stdout"].c_str());
    std::fflush(stdout);
  }
  if (has("kill") && keys["kill"] == "before") KillSelf();
  if (command == "extract") {
    std::string content;
    if (has("extract_file")) {
      if (!ReadWholeFile(keys["extract_file"], &content)) {
        return Fail(kExitIoError, "cannot read " + keys["extract_file"]);
      }
    } else if (has("extract_text")) {
      content = Unescape(keys["extract_text"]);
    } else {
      std::string existing;
      content = ReadWholeFile(file, &existing) && !existing.empty() ? existing : kEmptyExchangeFile;
    }
    if (!ReplaceFile(file, content, &error)) return Fail(kExitIoError, error);
  } else if (command == "update") {
    if (has("update_copy")) {
      std::string content;
      if (!ReadWholeFile(file, &content)) return Fail(kExitIoError, "cannot read " + file);
      if (!ReplaceFile(keys["update_copy"], content, &error)) return Fail(kExitIoError, error);
    }
    if (has("update_count")) {
      std::string text = "0";
      long count = 0;
      ReadWholeFile(keys["update_count"], &text);
      while (!text.empty() && text.back() == '\n') text.pop_back();
      if (!ParseInt(text, 0, 1000000000, &count)) {
        return Fail(kExitIoError, keys["update_count"] + " does not hold a count");
      }
      if (!ReplaceFile(keys["update_count"], std::to_string(count + 1) + "\n", &error)) {
        return Fail(kExitIoError, error);
      }
    }
  }
  if (has("error") && !ReplaceFile(folder + kErrorFileName, Unescape(keys["error"]), &error)) {
    return Fail(kExitIoError, error);
  }
  if (has("kill") && keys["kill"] == "after") KillSelf();
  return static_cast<int>(exit_code);
}
