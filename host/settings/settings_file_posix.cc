#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "host/settings/settings_file.h"
#include "host/settings/settings_host.h"
#include "host/support/sync_folder.h"

namespace settings_file {

namespace {

constexpr char kHeaderV1[] = "# hotsync settings store 1";
constexpr char kHeader[] = "# hotsync settings store 2";
constexpr char kClosingLine[] = "# end of settings store";
constexpr char kNumberPrefix[] = "number:";
constexpr char kTextPrefix[] = "text:";
constexpr mode_t kNewStoreMode = 0600;
constexpr uint32_t kLockPollMs = 10;

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      *out += '\\';
      i += 1;
    } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      *out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

// Parses one "NAME=number:N" or "NAME=text:T" line into *name and *value.
bool ParseValueLine(const std::string& line, std::string* name, Value* value,
                    std::string* problem) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) {
    *problem = "expected NAME=number:N or NAME=text:TEXT";
    return false;
  }
  *name = line.substr(0, eq);
  if (!ValidValueName(name->c_str())) {
    *problem = "\"" + Escape(*name) + "\" is not a valid value name";
    return false;
  }
  std::string rest = line.substr(eq + 1);
  if (rest.rfind(kNumberPrefix, 0) == 0) {
    std::string digits = rest.substr(sizeof kNumberPrefix - 1);
    int32_t number = 0;
    if (!SettingsParseNumber(digits, &number)) {
      *problem = *name + ": \"" + Escape(digits) +
                 "\" is not a decimal number from -2147483648 to 2147483647";
      return false;
    }
    value->type = kSettingsTypeNumber;
    value->bytes = NumberBytes(static_cast<uint32_t>(number));
    return true;
  }
  if (rest.rfind(kTextPrefix, 0) == 0) {
    value->type = kSettingsTypeText;
    if (!Unescape(rest.substr(sizeof kTextPrefix - 1), &value->bytes)) {
      *problem = *name + ": a \"\\\" in the text is neither \"\\\\\" nor \"\\xHH\"";
      return false;
    }
    if (value->bytes.find('\0') != std::string::npos) {
      *problem = *name + ": a text cannot hold a NUL byte";
      return false;
    }
    return true;
  }
  *problem = *name + ": the value must start with \"number:\" or \"text:\"";
  return false;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool NormalizeKeyPath(const std::string& base, const char* path, std::string* out) {
  std::string result = base;
  std::string part;
  auto flush = [&]() {
    if (part.empty()) return true;
    if (part == "." || part == "..") return false;
    if (!result.empty()) result += '/';
    result += part;
    part.clear();
    return true;
  };
  for (const char* p = path ? path : ""; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '/' || c == '\\') {
      if (!flush()) return false;
    } else if (c < 0x20 || c == 0x7F || c == ']' || c == '[') {
      return false;
    } else {
      part += *p;
    }
  }
  if (!flush()) return false;
  *out = result;
  return true;
}

bool ValidValueName(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  for (const char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == '=' || c == 0x7F) return false;
  }
  return name[0] != '[' && name[0] != '#';
}

std::string NumberBytes(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

uint32_t BytesNumber(const std::string& bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < bytes.size(); ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

bool ParseStore(const std::string& content, Keys* keys, std::string* error) {
  if (content.empty()) {
    *error = "the file is empty (cut short?); restore it, or remove it to start a new store";
    return false;
  }
  Keys parsed;
  std::string key;
  bool have_key = false;
  bool closed = false;
  bool needs_closing_line = true;
  size_t pos = 0;
  for (int number = 1; pos < content.size(); ++number) {
    size_t end = content.find('\n', pos);
    if (end == std::string::npos) {
      *error = "line " + std::to_string(number) + ": the last line has no line end: the file " +
               "was cut short";
      return false;
    }
    std::string line = content.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto fail = [&](const std::string& problem) {
      *error = "line " + std::to_string(number) + ": " + problem;
      return false;
    };
    if (number == 1) {
      if (line == kHeaderV1) {
        needs_closing_line = false;
      } else if (line != kHeader) {
        return fail(std::string("not a settings store (the first line is not \"") + kHeader +
                    "\")");
      }
      continue;
    }
    if (closed) return fail("text after the closing line \"" + std::string(kClosingLine) + "\"");
    if (line == kClosingLine) {
      closed = true;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']' ||
          !NormalizeKeyPath("", line.substr(1, line.size() - 2).c_str(), &key)) {
        return fail("\"" + Escape(line) + "\" is not a valid [key] line");
      }
      parsed[key];
      have_key = true;
      continue;
    }
    if (!have_key) return fail("a value before the first [key] line");
    std::string name;
    Value value;
    std::string problem;
    if (!ParseValueLine(line, &name, &value, &problem)) return fail(problem);
    parsed[key][name] = value;
  }
  if (needs_closing_line && !closed) {
    *error =
        std::string("the closing line \"") + kClosingLine + "\" is missing: the file was cut short";
    return false;
  }
  *keys = std::move(parsed);
  return true;
}

std::string RenderStore(const Keys& keys) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [key, values] : keys) {
    out += "[" + key + "]\n";
    for (const auto& [name, value] : values) {
      if (value.type == kSettingsTypeNumber) {
        out += name + "=" + kNumberPrefix +
               std::to_string(static_cast<int32_t>(BytesNumber(value.bytes))) + "\n";
      } else {
        out += name + "=" + kTextPrefix + Escape(value.bytes) + "\n";
      }
    }
  }
  return out + kClosingLine + "\n";
}

bool ReadStoreFile(const std::string& path, Keys* keys, bool* exists, std::string* error) {
  *exists = false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) {
      keys->clear();
      return true;
    }
    *error = Errno("cannot open it");
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = "it is not a regular file";
    return false;
  }
  std::string content;
  char chunk[4096];
  ssize_t n = 0;
  while ((n = ::read(fd, chunk, sizeof chunk)) > 0) content.append(chunk, static_cast<size_t>(n));
  bool read_ok = n == 0;
  if (!read_ok) *error = Errno("cannot read it");
  ::close(fd);
  *exists = true;
  return read_ok && ParseStore(content, keys, error);
}

bool ResolveStoreTarget(const std::string& path, std::string* target, std::string* error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
    *target = path;
    return true;
  }
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) {
    *error = Errno("it is a symbolic link that leads nowhere");
    return false;
  }
  *target = real;
  std::free(real);
  return true;
}

std::string TempFilePrefix(const std::string& target) {
  return target + ".tmp-" + std::to_string(::getpid()) + "-";
}

bool WriteStoreFile(const std::string& target, const std::string& content, std::string* error) {
  mode_t mode = kNewStoreMode;
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) {
    if ((st.st_mode & S_IWUSR) == 0) {
      *error = "it is read-only; make it writable (chmod u+w) to change settings";
      return false;
    }
    mode = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    *error = Errno("cannot look at it");
    return false;
  }
  std::string temp = TempFilePrefix(target) + "XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    *error = Errno("cannot create a temporary file beside it");
    return false;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  bool ok = ::fchmod(fd, mode) == 0;
  if (!ok) *error = Errno("cannot set the mode of " + temp);
  for (size_t done = 0; ok && done < content.size();) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = Errno("cannot write " + temp);
      ok = false;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  if (ok && ::fsync(fd) != 0) {
    *error = Errno("cannot sync " + temp);
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    *error = Errno("cannot close " + temp);
    ok = false;
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    *error = Errno("cannot rename " + temp + " over it");
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  return SyncFolder(FolderOf(target), error);
}

CStoreLock::CStoreLock(const std::string& target, uint32_t wait_ms) {
  std::string path = target + ".lock";
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewStoreMode);
  if (fd_ < 0) {
    error_ = Errno("cannot open the lock file " + path);
    return;
  }
  for (uint32_t waited = 0;; waited += kLockPollMs) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      error_ = Errno("cannot lock " + path);
      break;
    }
    if (waited >= wait_ms) {
      error_ =
          "another program has held the lock " + path + " for " + std::to_string(wait_ms) + " ms";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kLockPollMs));
  }
  ::close(fd_);
  fd_ = -1;
}

CStoreLock::~CStoreLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the flock
}

}  // namespace settings_file
