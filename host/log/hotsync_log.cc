// The HotSync log: the entries of the current run, kept in memory until the host reads them.
#include "sdk/hotsync_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "host/log/log_control.h"

namespace {

// Activity codes that count as a message of the run: the conduit writes its heading once, before
// the first of these. The run's opening entry, plain text and the conduit's own failures do not.
constexpr int32_t kFirstMessageActivity = 1;
constexpr int32_t kLastMessageActivity = 17;

struct RunLog {
  std::mutex mutex;
  std::vector<HsLogEntry> entries;
  bool message_logged = false;
};

RunLog& Log() {
  static RunLog log;
  return log;
}

std::string FormatUtc(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm_utc{};
  gmtime_r(&t, &tm_utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm_utc);
  return text;
}

}  // namespace

extern "C" int32_t HsLogAddEntry(const char* text, int32_t activity, int32_t /*flag*/) {
  RunLog& log = Log();
  std::lock_guard<std::mutex> lock(log.mutex);
  HsLogEntry entry;
  entry.activity = activity;
  entry.text = text != nullptr ? text : "";
  entry.time = static_cast<int64_t>(std::time(nullptr));
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

std::string HsLogEntryJson(const HsLogEntry& entry, bool with_time) {
  std::string out = "{";
  if (with_time) out += "\"time\":\"" + FormatUtc(entry.time) + "\",";
  out += "\"activity\":" + std::to_string(entry.activity) + ",\"text\":\"";
  for (unsigned char c : entry.text) {
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += "\"}";
  return out;
}

int32_t HsLogAppendRun(const std::string& path, std::string* error) {
  std::string lines;
  for (const HsLogEntry& entry : HsLogEntries()) lines += HsLogEntryJson(entry, true) + "\n";
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) {
    if (error) *error = "cannot open log file " + path + ": " + std::strerror(errno);
    return -1;
  }
  bool ok = std::fwrite(lines.data(), 1, lines.size(), f) == lines.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    if (error) *error = "cannot write log file " + path;
    return -1;
  }
  return 0;
}
