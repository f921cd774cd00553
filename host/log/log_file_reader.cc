// Reading the log file back: one JSON object per line as HsLogEntryJson writes them. Only what
// that writer produces is read (an object of string and integer members); any other line, such
// as the cut last line of a killed run, is skipped.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "host/log/log_control.h"

namespace {

class CLineParser {
 public:
  explicit CLineParser(const std::string& line) : s_(line) {}

  bool ParseEntry(HsLogEntry* entry) {
    bool has_activity = false;
    bool has_text = false;
    SkipBlanks();
    if (!Take('{')) return false;
    SkipBlanks();
    if (Take('}')) return false;
    do {
      std::string key;
      SkipBlanks();
      if (!ParseString(&key)) return false;
      SkipBlanks();
      if (!Take(':')) return false;
      SkipBlanks();
      if (key == "activity") {
        int64_t value = 0;
        if (!ParseInteger(&value) || value < INT32_MIN || value > INT32_MAX) return false;
        entry->activity = static_cast<int32_t>(value);
        has_activity = true;
      } else if (key == "text") {
        if (!ParseString(&entry->text)) return false;
        has_text = true;
      } else if (key == "time") {
        std::string time;
        if (!ParseString(&time) || !ParseUtc(time, &entry->time)) return false;
      } else {
        return false;
      }
      SkipBlanks();
    } while (Take(','));
    if (!Take('}')) return false;
    SkipBlanks();
    return pos_ == s_.size() && has_activity && has_text;
  }

 private:
  bool Take(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  void SkipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r')) ++pos_;
  }
  bool ParseInteger(int64_t* value) {
    size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    size_t digits = pos_;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9' && pos_ - digits < 12) ++pos_;
    if (pos_ == digits) return false;
    *value = std::strtoll(s_.substr(start, pos_ - start).c_str(), nullptr, 10);
    return true;
  }
  // A JSON string; \u escapes of code points up to 0xFF give that byte (the writer escapes each
  // byte on its own), higher ones their UTF-8 form.
  bool ParseString(std::string* out) {
    out->clear();
    if (!Take('"')) return false;
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        *out += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      char e = s_[pos_++];
      static const char kNames[] = "\"\\/bfnrt";
      static const char kValues[] = "\"\\/\b\f\n\r\t";
      const char* simple = std::strchr(kNames, e);
      if (e != '\0' && simple != nullptr) {
        *out += kValues[simple - kNames];
      } else if (e == 'u' && pos_ + 4 <= s_.size()) {
        char* end = nullptr;
        std::string hex = s_.substr(pos_, 4);
        unsigned long code = std::strtoul(hex.c_str(), &end, 16);
        if (end != hex.c_str() + 4) return false;
        pos_ += 4;
        AppendCodePoint(code, out);
      } else {
        return false;
      }
    }
    return false;
  }
  static void AppendCodePoint(unsigned long code, std::string* out) {
    if (code <= 0xFF) {
      *out += static_cast<char>(code);
    } else if (code <= 0x7FF) {
      *out += static_cast<char>(0xC0 | (code >> 6));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *out += static_cast<char>(0xE0 | (code >> 12));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  static bool ParseUtc(const std::string& text, int64_t* seconds) {
    std::tm tm_utc{};
    char z = 0;
    if (text.size() != 20 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &tm_utc.tm_year, &tm_utc.tm_mon,
                    &tm_utc.tm_mday, &tm_utc.tm_hour, &tm_utc.tm_min, &tm_utc.tm_sec, &z) != 7 ||
        z != 'Z') {
      return false;
    }
    tm_utc.tm_year -= 1900;
    tm_utc.tm_mon -= 1;
#if defined(_WIN32)
    *seconds = static_cast<int64_t>(_mkgmtime(&tm_utc));
#else
    *seconds = static_cast<int64_t>(timegm(&tm_utc));
#endif
    return true;
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

int32_t HsLogReadFile(const std::string& path, std::vector<HsLogEntry>* entries, size_t* skipped,
                      std::string* error) {
  entries->clear();
  *skipped = 0;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return 0;  // no run was logged yet
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read log file " + path + ": " + std::strerror(errno);
    return -1;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    HsLogEntry entry;
    // A line without its line end was cut while it was written, even when it parses.
    if (in.eof() || !CLineParser(line).ParseEntry(&entry)) {
      ++*skipped;
      continue;
    }
    entries->push_back(std::move(entry));
  }
  return 0;
}
