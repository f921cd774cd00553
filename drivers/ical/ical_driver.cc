// ical_driver: the host driver for an iCalendar (RFC 5545) file, built on libical.
//
// The conduit runs it as
//   ical_driver <command> <folder> <file> <user> <days> <screen> <hllname>
// with the environment PATH=<HLLPath>; and nothing else. The words are not quoted, so a user ID
// with blanks arrives as several words: the first three and the last three words are taken as
// they are and the words between them are the user ID. The calendar is <hllname> in the folder
// that PATH names, or <hllname> itself when it is an absolute path. A failure leaves its
// explanation in <folder>conderr.txt, which the conduit logs, and ends with a code other than 0.
#include <libical/ical.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "drivers/ical/commands.h"

namespace {

constexpr char kErrorFileName[] = "conderr.txt";
constexpr int kFixedWords = 6;  // command, folder, file ... days, screen, hllname

constexpr char kHelp[] =
    "usage: ical_driver <install|extract|update> <folder> <file> <user...> <days> <screen> "
    "<calendar>\n"
    "\n"
    "The host driver for an iCalendar file. <calendar> is a file name in the folder that the\n"
    "environment's PATH names (PATH=<folder>;), or an absolute path.\n"
    "  extract  writes <folder><file>: an exchange file of the calendar's events that start in\n"
    "           the <days> days from today 00:00, recurring events as their occurrences\n"
    "  update   applies the exchange file <folder><file> to the calendar\n"
    "  install  creates an empty calendar when there is none; <file> names an .ics file to\n"
    "           import into it, when it exists\n"
    "The calendar is written atomically, under a lock (<calendar>.lock). A failure writes its\n"
    "explanation to <folder>conderr.txt and ends with exit code 2 (usage), 3 (calendar),\n"
    "4 (exchange file) or 5 (writing).\n";

std::string CalendarPath(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  const char* path = std::getenv("PATH");
  std::string folder = path != nullptr ? path : "";
  const size_t end = folder.find(';');
  if (end != std::string::npos) folder.resize(end);
  if (folder.empty()) return "";
  if (folder.back() != '/') folder += '/';
  return folder + name;
}

void WriteErrorFile(const std::string& folder, const std::string& message) {
  std::ofstream out(folder + kErrorFileName, std::ios::binary | std::ios::trunc);
  out << message;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kHelp, stdout);
    return ical_driver::kExitOk;
  }
  const std::vector<std::string> words(argv + 1, argv + argc);
  if (words.size() < kFixedWords + 1) {
    std::fputs(kHelp, stderr);
    return ical_driver::kExitUsage;
  }
  icalerror_set_errors_are_fatal(0);
  const std::string& command = words[0];
  ical_driver::CDriverRequest request;
  request.folder = words[1];
  if (request.folder.empty() || request.folder.back() != '/') request.folder += '/';
  request.file = words[2];
  const std::string& days = words[words.size() - 3];
  request.calendar_path = CalendarPath(words.back());

  ical_driver::CDriverFailure failure;
  char* end = nullptr;
  const long day_count = std::strtol(days.c_str(), &end, 10);
  bool ok = false;
  if (request.calendar_path.empty()) {
    failure = {ical_driver::kExitUsage, "no calendar: PATH names no folder and the calendar name " +
                                            words.back() + " is not an absolute path"};
  } else if (end == days.c_str() || *end != '\0' || day_count < 0 || day_count > 100000) {
    failure = {ical_driver::kExitUsage, "the number of days \"" + days + "\" is not a number"};
  } else if (command == "extract") {
    request.days = static_cast<int>(day_count);
    ok = ical_driver::RunExtract(request, &failure);
  } else if (command == "update") {
    ok = ical_driver::RunUpdate(request, &failure);
  } else if (command == "install") {
    ok = ical_driver::RunInstall(request, &failure);
  } else {
    failure = {ical_driver::kExitUsage, "unknown command \"" + command + "\""};
  }
  if (ok) return ical_driver::kExitOk;
  const std::string message = "iCalendar host driver, " + command + ": " + failure.message;
  std::fprintf(stderr, "%s\n", message.c_str());
  WriteErrorFile(request.folder, message);
  return failure.exit_code;
}
