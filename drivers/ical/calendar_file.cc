#include "drivers/ical/calendar_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace ical_driver {
namespace {

constexpr char kProductId[] = "-//Date Book conduit//iCalendar host driver//EN";
constexpr int kLockWaitMs = 10000;
constexpr int kLockPollMs = 100;
// The start of the complaint that libical makes about a property without a value.
constexpr char kNoValue[] = "No value for ";
// Properties whose loss would change when or whether an event happens: an empty one is an error.
const char* const kTimingProperties[] = {"DTSTART", "DTEND",  "DURATION",      "RRULE", "RDATE",
                                         "EXDATE",  "EXRULE", "RECURRENCE-ID", "UID",   "TRIGGER"};

std::string Errno(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Names a component for an error text: its kind, and its SUMMARY and UID when it has them.
std::string Describe(icalcomponent* c) {
  std::string text = icalcomponent_kind_to_string(icalcomponent_isa(c));
  const char* summary = icalcomponent_get_summary(c);
  const char* uid = icalcomponent_get_uid(c);
  if (summary != nullptr && *summary != '\0') text += std::string(" \"") + summary + "\"";
  if (uid != nullptr && *uid != '\0') text += std::string(" (UID ") + uid + ")";
  return text;
}

bool IsBenign(const char* message) {
  if (std::strncmp(message, kNoValue, std::strlen(kNoValue)) != 0) return false;
  const char* name = message + std::strlen(kNoValue);
  for (const char* timing : kTimingProperties) {
    const size_t n = std::strlen(timing);
    if (std::strncmp(name, timing, n) == 0 && name[n] == ' ') return false;
  }
  return true;
}

// Finds libical's complaints (X-LIC-ERROR properties) in c and below. Benign ones are removed when
// drop_benign is set; the first other one is described in *error.
bool CheckComplaints(icalcomponent* c, bool drop_benign, std::string* error) {
  std::vector<icalproperty*> benign;
  for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY); p;
       p = icalcomponent_get_next_property(c, ICAL_XLICERROR_PROPERTY)) {
    const char* message = icalproperty_get_xlicerror(p);
    if (message == nullptr) message = "";
    if (drop_benign && IsBenign(message)) {
      benign.push_back(p);
      continue;
    }
    *error = "in " + Describe(c) + ": " + message;
    return false;
  }
  for (icalproperty* p : benign) {
    icalcomponent_remove_property(c, p);
    icalproperty_free(p);
  }
  for (icalcomponent* s = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); s;
       s = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT)) {
    if (!CheckComplaints(s, drop_benign, error)) return false;
  }
  return true;
}

bool HasProperty(icalcomponent* c, icalproperty_kind kind) {
  return icalcomponent_get_first_property(c, kind) != nullptr;
}

}  // namespace

ComponentPtr ParseCalendarText(const std::string& text, std::string* error) {
  if (text.find('\0') != std::string::npos) {
    *error = "it holds a zero byte";
    return nullptr;
  }
  ComponentPtr parsed(icalparser_parse_string(text.c_str()));
  if (parsed == nullptr) {
    *error = "libical found no calendar in it";
    return nullptr;
  }
  if (icalcomponent_isa(parsed.get()) != ICAL_VCALENDAR_COMPONENT) {
    *error = icalcomponent_isa(parsed.get()) == ICAL_XROOT_COMPONENT
                 ? "it holds more than one VCALENDAR"
                 : "it is not a VCALENDAR";
    return nullptr;
  }
  if (!CheckComplaints(parsed.get(), true, error)) return nullptr;
  return parsed;
}

bool ReadWholeFile(const std::string& path, std::string* bytes, bool* missing, std::string* error) {
  *missing = false;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *missing = errno == ENOENT;
    *error = Errno("cannot open", path);
    return false;
  }
  bytes->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = Errno("cannot read", path);
      close(fd);
      return false;
    }
    if (n == 0) break;
    bytes->append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  const std::string folder = FolderOf(path);
  std::string temp = path + ".tmp-XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    *error = Errno("cannot create a temporary file beside", path);
    return false;
  }
  struct stat old {};
  const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  bool ok = WriteAll(fd, bytes);
  if (!ok) *error = Errno("cannot write", temp);
  if (ok && fchmod(fd, mode) != 0) {
    ok = false;
    *error = Errno("cannot set the mode of", temp);
  }
  if (ok && fsync(fd) != 0) {
    ok = false;
    *error = Errno("cannot flush", temp);
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    *error = Errno("cannot close", temp);
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    *error = Errno("cannot rename the new file to", path);
  }
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // The rename is durable only once the folder's entry is on disk.
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0 || fsync(dir) != 0) {
    *error = Errno("cannot flush the folder", folder);
    if (dir >= 0) close(dir);
    return false;
  }
  close(dir);
  return true;
}

CCalendarFile::CCalendarFile(std::string path) : path_(std::move(path)) {}

CCalendarFile::~CCalendarFile() {
  if (lock_fd_ >= 0) close(lock_fd_);  // releases the lock
}

bool CCalendarFile::Lock(std::string* error) {
  const std::string lock_path = path_ + ".lock";
  lock_fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_fd_ < 0) {
    *error = Errno("cannot open the lock file", lock_path);
    return false;
  }
  for (int waited = 0;; waited += kLockPollMs) {
    if (flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      *error = Errno("cannot lock", lock_path);
      return false;
    }
    if (waited >= kLockWaitMs) {
      *error = "the calendar " + path_ + " is in use by another run of the driver (lock file " +
               lock_path + ")";
      return false;
    }
    const struct timespec pause = {0, kLockPollMs * 1000000L};
    nanosleep(&pause, nullptr);
  }
}

CCalendarFile::LoadResult CCalendarFile::Load(std::string* error) {
  std::string text;
  bool missing = false;
  if (!ReadWholeFile(path_, &text, &missing, error)) {
    return missing ? LoadResult::kMissing : LoadResult::kFailed;
  }
  std::string why;
  calendar_ = ParseCalendarText(text, &why);
  if (calendar_ == nullptr) {
    *error = "the calendar " + path_ + " cannot be read: " + why;
    return LoadResult::kFailed;
  }
  return LoadResult::kLoaded;
}

void CCalendarFile::CreateEmpty() {
  calendar_.reset(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
  icalcomponent_add_property(calendar_.get(), icalproperty_new_version("2.0"));
  icalcomponent_add_property(calendar_.get(), icalproperty_new_prodid(kProductId));
}

bool PassesRestrictions(icalcomponent* event, std::string* error) {
  if (!HasProperty(event, ICAL_UID_PROPERTY) || !HasProperty(event, ICAL_DTSTAMP_PROPERTY) ||
      !HasProperty(event, ICAL_DTSTART_PROPERTY)) {
    *error = Describe(event) + " lacks UID, DTSTAMP or DTSTART";
    return false;
  }
  ComponentPtr check(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
  icalcomponent_add_property(check.get(), icalproperty_new_version("2.0"));
  icalcomponent_add_property(check.get(), icalproperty_new_prodid(kProductId));
  icalcomponent_add_component(check.get(), icalcomponent_new_clone(event));
  return icalrestriction_check(check.get()) && CheckComplaints(check.get(), false, error);
}

bool CCalendarFile::Save(const std::vector<icalcomponent*>& checked, std::string* error) {
  for (icalcomponent* c : checked) {
    std::string why;
    if (!PassesRestrictions(c, &why)) {
      *error = "libical rejects an event the driver wrote, " + why;
      return false;
    }
  }
  char* raw = icalcomponent_as_ical_string_r(calendar_.get());
  if (raw == nullptr) {
    *error = "libical cannot serialise the calendar";
    return false;
  }
  const std::string text(raw);
  std::free(raw);
  std::string why;
  if (ParseCalendarText(text, &why) == nullptr) {
    *error = "the calendar the driver would write does not parse back: " + why;
    return false;
  }
  return WriteFileAtomically(path_, text, error);
}

}  // namespace ical_driver
