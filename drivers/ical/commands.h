// The driver's three commands. Each takes the calendar's lock for its whole run, and either
// completes or leaves the calendar file as it was.
#ifndef DBC_DRIVERS_ICAL_COMMANDS_H_
#define DBC_DRIVERS_ICAL_COMMANDS_H_

#include <string>

namespace ical_driver {

// Exit codes of the driver. The conduit treats every code but 0 as a failure and logs it.
enum : int {
  kExitOk = 0,
  kExitUsage = 2,
  kExitCalendar = 3,  // the calendar is missing, cannot be read or parsed, or is in use
  kExitExchange = 4,  // the update file is missing or damaged, or names an unknown entry
  kExitWrite = 5,     // a file could not be written
};

struct CDriverRequest {
  std::string folder;  // the data folder, ending with "/"
  std::string file;    // extract, update: the exchange file's name; install: the path to import
  int days = 0;        // extract: the window's length in days
  std::string calendar_path;
};

struct CDriverFailure {
  int exit_code = kExitOk;
  std::string message;
};

// Records a failure of a command; answers false, for `return Fail(...)`.
inline bool Fail(CDriverFailure* failure, int code, const std::string& message) {
  failure->exit_code = code;
  failure->message = message;
  return false;
}

// Writes the exchange file of every event instance that starts in the window: today 00:00 local
// time to 00:00 of the day the given number of days later, both ends included, as the conduit's
// window is.
bool RunExtract(const CDriverRequest& request, CDriverFailure* failure);

// Applies the update file by status. The whole file is checked and applied in memory first: a
// damaged file or a change to an unknown entry changes nothing. Applying a file twice gives the
// calendar of applying it once.
bool RunUpdate(const CDriverRequest& request, CDriverFailure* failure);

// Creates an empty calendar when there is none, and imports the iCalendar file the request names
// when there is one.
bool RunInstall(const CDriverRequest& request, CDriverFailure* failure);

}  // namespace ical_driver

#endif  // DBC_DRIVERS_ICAL_COMMANDS_H_
