// The host calendar file: locked, read and checked with libical, and written back atomically.
#ifndef DBC_DRIVERS_ICAL_CALENDAR_FILE_H_
#define DBC_DRIVERS_ICAL_CALENDAR_FILE_H_

#include <libical/ical.h>

#include <memory>
#include <string>
#include <vector>

namespace ical_driver {

struct CComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, CComponentFree>;

// Writes bytes to path atomically: a temporary file in the same folder, fsync, rename over path,
// fsync of the folder. A failure leaves path as it was and removes the temporary file. A new file
// gets mode 0644, an existing one keeps its mode.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

// Reads a whole file. Answers false with *error set when it cannot; *missing tells whether the
// reason is that the file does not exist.
bool ReadWholeFile(const std::string& path, std::string* bytes, bool* missing, std::string* error);

class CCalendarFile {
 public:
  explicit CCalendarFile(std::string path);
  ~CCalendarFile();
  CCalendarFile(const CCalendarFile&) = delete;
  CCalendarFile& operator=(const CCalendarFile&) = delete;

  const std::string& Path() const { return path_; }

  // Takes the lock that keeps two runs of the driver off this calendar at once: an exclusive
  // lock on the file "<calendar>.lock" beside it, held until this object goes. Waits up to ten
  // seconds for another run, then answers false with *error set.
  bool Lock(std::string* error);

  enum class LoadResult { kLoaded, kMissing, kFailed };
  // Reads and parses the calendar. kFailed (with *error) for a file that cannot be read, is not
  // one VCALENDAR, or in which libical found anything it could not parse: such a calendar is never
  // taken for an empty one. Empty properties ("DESCRIPTION:"), which libical drops with a
  // complaint, are accepted and dropped.
  LoadResult Load(std::string* error);

  // Makes the calendar a new, empty VCALENDAR (VERSION, PRODID).
  void CreateEmpty();

  icalcomponent* Calendar() const { return calendar_.get(); }

  // Checks the calendar with libical and writes it atomically. The serialised text must parse
  // back without any complaint, and each of the checked events (those this run created, and
  // those it changed that passed before) must pass PassesRestrictions. Answers
  // false with *error set, leaving the file as it was, when a check or the write fails.
  bool Save(const std::vector<icalcomponent*>& checked, std::string* error);

 private:
  std::string path_;
  ComponentPtr calendar_;
  int lock_fd_ = -1;
};

// Whether a VEVENT passes libical's restriction check and holds UID, DTSTAMP and DTSTART; *error
// says why not.
bool PassesRestrictions(icalcomponent* event, std::string* error);

// Parses iCalendar text into one VCALENDAR. Answers null with *error set for anything libical
// could not parse (see CCalendarFile::Load).
ComponentPtr ParseCalendarText(const std::string& text, std::string* error);

}  // namespace ical_driver

#endif  // DBC_DRIVERS_ICAL_CALENDAR_FILE_H_
