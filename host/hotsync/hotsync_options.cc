#include "host/hotsync/hotsync_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "host/device/device_control.h"

const char kUsage[] =
    "usage: hotsync [--home DIR] [--user NAME] [--conduit PATH] COMMAND [ARGS]\n"
    "\n"
    "Runs the Date Book conduit against an emulated handheld, as a HotSync host does.\n"
    "\n"
    "Commands:\n"
    "  info                      the conduit's name and version, the user's data folder and\n"
    "                            desktop file\n"
    "  settings list             the conduit's settings (its registry key)\n"
    "  settings get NAME\n"
    "  settings set NAME VALUE [--number|--text]\n"
    "                            UserMode, FlushBackup and NumDays are numbers, the rest text\n"
    "  settings unset NAME\n"
    "  configure                 the conduit's change-action dialog; the choice is used by the\n"
    "                            next sync (\"this time only\") or every sync (\"default\")\n"
    "  sync [--type N] [--first-sync N] [--json] [--fail OP:N:CODE]... [--lose-link-after N]\n"
    "                            one HotSync; prints the log (--json: one JSON object per entry)\n"
    "\n"
    "Options:\n"
    "  --home DIR       the home folder (default $HOTSYNC_HOME, else ~/.hotsync); a new home\n"
    "                   gets a device image and working conduit settings. Its path must hold\n"
    "                   no blanks.\n"
    "  --user NAME      the HotSync user (default the handheld's user name; a new device image\n"
    "                   takes NAME, else $USER). The user's data folder is <home>/users/<name>/,\n"
    "                   where <name> is the user name with every byte other than a letter, a\n"
    "                   digit, '-', '_' or '.' turned into '_' (a leading '.' too), at most 64\n"
    "                   bytes: data folders hold no blanks.\n"
    "  --conduit PATH   the conduit library (default <program folder>/../lib/"
    "libdatebook_conduit.so)\n"
    "\n"
    "sync:\n"
    "  --type N         the sync type; default: what configure chose, else 0 (fast) when the\n"
    "                   handheld was last synchronised from this home, else 1 (slow)\n"
    "  --first-sync N   default: 0 when the handheld was last synchronised from this home;\n"
    "                   1 (new desktop) when this home never synchronised this user; otherwise\n"
    "                   2 (new or reset handheld)\n"
    "  --fail OP:N:CODE the Nth call of OP answers CODE; OP is any, begin-session, end-session,\n"
    "                   open, create, close, clear-sync-flags, read-at, read-next-changed,\n"
    "                   read-by-id, write, delete, purge, read-app-info, write-app-info,\n"
    "                   change-category, read-system-info or yield\n"
    "  --lose-link-after N  after N calls every call answers a communication error\n"
    "\n"
    "Exit status: 0 success; 1 the sync failed (OpenConduit answered non-zero, the log says\n"
    "\"Datebook Synchronization Failed\" or the closing line has activity 21), settings get/unset\n"
    "found no value, or configure was cancelled; 2 bad usage, a missing conduit library or\n"
    "export, or an unusable home.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "hotsync: %s\n", message.c_str());
  return kExitUsage;
}

bool ParseGlobalOptions(int argc, char** argv, HotSyncOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string* target = nullptr;
    if (arg == "--home") {
      target = &options->home;
    } else if (arg == "--user") {
      target = &options->user;
    } else if (arg == "--conduit") {
      target = &options->conduit;
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
      continue;
    } else {
      options->args.push_back(arg);
      continue;
    }
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
      *error = "option " + arg + " needs a value";
      return false;
    }
    *target = argv[++i];
  }
  return true;
}

bool OpenHome(const HotSyncOptions& options, CHotSyncHome* home, std::string* user) {
  std::string new_user = options.user;
  if (new_user.empty()) {
    const char* login = std::getenv("USER");
    new_user = (login != nullptr && *login != '\0') ? login : "HotSyncUser";
  }
  std::string error;
  if (!home->Open(options.home, new_user, &error)) {
    UsageError(error);
    return false;
  }
  *user = options.user;
  if (user->empty() && DeviceGetUserName(user) != kDeviceOk) {
    UsageError("cannot read the user name of the device image " + home->DevicePath());
    return false;
  }
  return true;
}

bool LoadConduit(const HotSyncOptions& options, CConduitLibrary* library) {
  std::string path = options.conduit.empty() ? DefaultConduitPath() : options.conduit;
  std::string error;
  if (!library->Load(path, &error)) {
    UsageError(error);
    return false;
  }
  return true;
}

bool ParseNumber(const std::string& text, int32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  // Decimal unless it starts with 0x: a leading zero does not make a number octal here.
  size_t sign = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  bool hex = text.compare(sign, 2, "0x") == 0 || text.compare(sign, 2, "0X") == 0;
  long long n = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || n < INT32_MIN || n > INT32_MAX) return false;
  *value = static_cast<int32_t>(n);
  return true;
}
