// The HotSync log: the entries of the current run, kept in memory until the host reads them.
#include "sdk/hotsync_log.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "host/log/log_control.h"
#include "host/support/json_text.h"

namespace {

// Activity codes that count as a message of the run: the conduit writes its heading once, before
// the first of these. The run's opening entry, plain text and the conduit's own failures do not.
constexpr int32_t kFirstMessageActivity = 1;
constexpr int32_t kLastMessageActivity = 17;

struct RunLog {
  std::mutex mutex;
  std::vector<HsLogEntry> entries;
  bool message_logged = false;
  std::FILE* file = nullptr;  // the log file of HsLogOpenFile
  std::string file_path;
  std::string file_error;  // the first write that failed
};

RunLog& Log() {
  static RunLog log;
  return log;
}

// Appends `bytes` and hands them to the system, so that they outlive a killed process.
bool Append(std::FILE* file, const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
}

// Forces the file's written bytes onto the disk.
bool SyncToDisk(std::FILE* file) {
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return ::fsync(::fileno(file)) == 0;
#endif
}

// The last byte of the file, '\n' for an empty or unreadable one.
char LastByte(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return '\n';
  int last = '\n';
  if (std::fseek(f, -1, SEEK_END) == 0) last = std::fgetc(f);
  std::fclose(f);
  return last == EOF ? '\n' : static_cast<char>(last);
}

}  // namespace

extern "C" int32_t HsLogAddEntry(const char* text, int32_t activity, int32_t /*flag*/) {
  RunLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  HsLogEntry entry;
  entry.activity = activity;
  entry.text = text != nullptr ? text : "";
  entry.time = static_cast<int64_t>(std::time(nullptr));
  if (log.file != nullptr && !Append(log.file, HsLogEntryJson(entry, true) + "\n") &&
      log.file_error.empty()) {
    log.file_error = "cannot write log file " + log.file_path + ": " + std::strerror(errno);
  }
  log.entries.push_back(std::move(entry));
  if (activity >= kFirstMessageActivity && activity <= kLastMessageActivity) {
    log.message_logged = true;
  }
  return 0;
}

extern "C" uint16_t HsLogState(void) {
  RunLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  return log.message_logged ? 1 : 0;
}

void HsLogStartRun() {
  RunLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  log.entries.clear();
  log.message_logged = false;
}

std::vector<HsLogEntry> HsLogEntries() {
  RunLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  return log.entries;
}

std::string HsLogFormatUtc(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm_utc{};
  gmtime_r(&t, &tm_utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm_utc);
  return text;
}

std::string HsLogEntryJson(const HsLogEntry& entry, bool with_time) {
  std::string out = "{";
  if (with_time) out += "\"time\":\"" + HsLogFormatUtc(entry.time) + "\",";
  out += "\"activity\":" + std::to_string(entry.activity) + ",\"text\":" + JsonQuote(entry.text);
  out += "}";
  return out;
}

int32_t HsLogOpenFile(const std::string& path, std::string* error) {
  RunLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  // A run killed in the middle of a line left it without its line end.
  char last = LastByte(path);
  // Not inherited by child processes (the host driver): "e" on POSIX, "N" on Windows.
#if defined(_WIN32)
  std::FILE* file = std::fopen(path.c_str(), "abN");
#else
  std::FILE* file = std::fopen(path.c_str(), "abe");
#endif
  if (file == nullptr) {
    if (error) *error = "cannot open log file " + path + ": " + std::strerror(errno);
    return -1;
  }
  if (last != '\n' && !Append(file, "\n")) {
    if (error) *error = "cannot write log file " + path + ": " + std::strerror(errno);
    std::fclose(file);
    return -1;
  }
  if (log.file != nullptr) std::fclose(log.file);
  log.file = file;
  log.file_path = path;
  log.file_error.clear();
  return 0;
}

int32_t HsLogCloseFile(std::string* error) {
  RunLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  if (log.file == nullptr) return 0;
  std::string problem = log.file_error;
  if ((std::fflush(log.file) != 0 || !SyncToDisk(log.file)) && problem.empty()) {
    problem = "cannot sync log file " + log.file_path + ": " + std::strerror(errno);
  }
  if (std::fclose(log.file) != 0 && problem.empty()) {
    problem = "cannot close log file " + log.file_path + ": " + std::strerror(errno);
  }
  log.file = nullptr;
  if (problem.empty()) return 0;
  if (error) *error = problem;
  return -1;
}
