// script_driver: a host driver whose behaviour a script decides, for tests and for trying the
// conduit by hand. Run `script_driver --help` for the script's keys.
//
// The conduit runs a host driver as
//   <driver> <command> <folder> <file> <user> <days> <screen> <hllname>
// with the environment PATH=<HLLPath>; and nothing else, so the script cannot come through the
// environment: it is the file "driver_script" in the folder word (the user's data folder) or,
// when that has none, in the HLLPath folder named by PATH.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
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
constexpr int kWordCount = 8;  // the program and its seven words

constexpr char kHelp[] =
    "usage: script_driver <install|extract|update> <folder> <file> <user> <days> <screen> <hll>\n"
    "\n"
    "A host driver for tests. Its script is the file \"driver_script\" in <folder> or, when that\n"
    "is missing, in the folder named by PATH (PATH=<folder>;). One \"key value\" per line; a key\n"
    "may carry a command prefix (\"extract.exit 3\"), which wins over the plain key for that\n"
    "command. Lines starting with # are comments. Keys:\n"
    "  record PATH        append this run's words and environment to PATH (on Windows its\n"
    "                     command line too)\n"
    "  sleep_ms N         sleep N milliseconds before doing anything else\n"
    "  extract_text TEXT  extract: write TEXT into <folder><file> (escapes \\n \\r \\t \\\\)\n"
    "  extract_file PATH  extract: copy PATH into <folder><file>\n"
    "  update_copy PATH   update: copy <folder><file> to PATH (what reached the host)\n"
    "  error TEXT         write TEXT (escapes as above) into <folder>conderr.txt\n"
    "  exit N             end with exit code N (default 0)\n"
    "Without a script, or without extract_text/extract_file, extract writes the empty exchange\n"
    "file \"0000\" unless <folder><file> already has content, which it leaves alone; update and\n"
    "install do nothing. Every command then ends with 0.\n"
    "The driver keeps no host calendar of its own: a host calendar that this driver extracts as\n"
    "empty after a synchronisation reads to the conduit as entries deleted on the host.\n";

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

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

// The folder that the environment's PATH names, without the trailing ";".
std::string PathFolder() {
  const char* path = std::getenv("PATH");
  std::string folder = path ? path : "";
  if (!folder.empty() && folder.back() == ';') folder.pop_back();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// The script's keys for this command: the plain ones, overridden by "<command>.key".
bool LoadScript(const std::string& folder, const std::string& command,
                std::map<std::string, std::string>* keys) {
  std::string text;
  if (!ReadWholeFile(folder + kScriptName, &text) &&
      !ReadWholeFile(PathFolder() + kScriptName, &text)) {
    return true;  // no script: the defaults
  }
  std::map<std::string, std::string> plain, specific;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t blank = line.find(' ');
    std::string key = line.substr(0, blank);
    std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
    size_t dot = key.find('.');
    if (dot == std::string::npos) {
      plain[key] = value;
    } else if (key.substr(0, dot) == command) {
      specific[key.substr(dot + 1)] = value;
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
  for (int i = 0; i < argc; ++i) std::fprintf(f, "arg=%s\n", argv[i]);
  for (char** e = environ; *e != nullptr; ++e) std::fprintf(f, "env=%s\n", *e);
  std::fprintf(f, "end\n");
  return std::fclose(f) == 0;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "script_driver: %s\n", message.c_str());
  return kExitScriptError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (argc < 3) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  const std::string command = argv[1];
  const std::string folder = argv[2];

  std::map<std::string, std::string> keys;
  LoadScript(folder, command, &keys);
  auto has = [&](const char* key) { return keys.count(key) != 0; };

  if (has("record") && !Record(keys["record"], argc, argv)) {
    return Fail("cannot append to " + keys["record"]);
  }
  // A value with a blank shifts the words; the run is recorded above, then refused.
  if (argc != kWordCount) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  const std::string file = folder + argv[3];
  if (has("sleep_ms")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(keys["sleep_ms"].c_str())));
  }
  if (command == "extract") {
    std::string content;
    if (has("extract_file")) {
      if (!ReadWholeFile(keys["extract_file"], &content)) {
        return Fail("cannot read " + keys["extract_file"]);
      }
    } else if (has("extract_text")) {
      content = Unescape(keys["extract_text"]);
    } else {
      std::string existing;
      content = ReadWholeFile(file, &existing) && !existing.empty() ? existing : kEmptyExchangeFile;
    }
    if (!WriteWholeFile(file, content)) return Fail("cannot write " + file);
  } else if (command == "update" && has("update_copy")) {
    std::string content;
    if (!ReadWholeFile(file, &content)) return Fail("cannot read " + file);
    if (!WriteWholeFile(keys["update_copy"], content)) {
      return Fail("cannot write " + keys["update_copy"]);
    }
  }
  if (has("error") && !WriteWholeFile(folder + kErrorFileName, Unescape(keys["error"]))) {
    return Fail("cannot write the error file");
  }
  return has("exit") ? std::atoi(keys["exit"].c_str()) : kExitOk;
}
