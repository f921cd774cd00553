#include "host/hotsync/hotsync_options.h"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>

#include "host/device/device_control.h"
#include "host/settings/settings_host.h"

const char kHotSyncVersion[] = "1.1";

const char kUsage[] =
    "usage: hotsync [--home DIR] [--user NAME] [--conduit PATH] COMMAND [ARGS]\n"
    "       hotsync --help | --version\n"
    "\n"
    "Runs the Date Book conduit against an emulated handheld, as a HotSync host does.\n"
    "\n"
    "Commands (hotsync COMMAND --help shows a command's own options):\n"
    "  info        the conduit's name and version, the user's data folder and desktop file\n"
    "  settings    list, get, set and unset the conduit's settings (its registry key)\n"
    "  configure   the conduit's change-action dialog; the choice is used by the next sync\n"
    "              (\"this time only\") or every sync (\"default\")\n"
    "  sync        one HotSync; prints the log\n"
    "  log         prints the log entries of the home's earlier syncs\n"
    "\n"
    "Options (before or after the command; \"--home DIR\" or \"--home=DIR\"):\n"
    "  --home DIR       the home folder (default $HOTSYNC_HOME, else ~/.hotsync); a new home\n"
    "                   gets a device image and working conduit settings. Its path must hold\n"
    "                   no blanks.\n"
    "  --user NAME      the HotSync user (default the handheld's user name; a new device image\n"
    "                   takes NAME, else $USER). The user's data folder is <home>/users/<name>/,\n"
    "                   where <name> is the user name with letters, digits, '-', '_' and '.'\n"
    "                   kept and every other byte (a leading '.' too) written as %XX, so that\n"
    "                   each user has a folder of its own without blanks; at most 100 bytes.\n"
    "  --conduit PATH   the conduit library (default <program folder>/../lib/"
    "libdatebook_conduit.so)\n"
    "  -h, --help       this text\n"
    "  --version        hotsync's version\n"
    "\n"
    "Exit status: 0 success; 1 the sync failed (OpenConduit answered non-zero, the log says\n"
    "\"Datebook Synchronization Failed\" or the closing line has activity 21), settings get/unset\n"
    "found no value, configure was cancelled, or the output could not be written; 2 bad usage, a\n"
    "missing conduit library or export, an unusable or busy home.\n";

namespace {

enum { kOptionHome = kFirstCommandOptionId + 1000, kOptionUser, kOptionConduit, kOptionVersion };
constexpr int kNonOption = 1;  // what getopt_long answers for a word in "-" mode

// A word that getopt would take for options but that is a negative number ("-5").
bool IsNegativeNumber(const std::string& word) {
  return word.size() > 1 && word[0] == '-' &&
         word.find_first_not_of("0123456789", 1) == std::string::npos;
}

bool StoreGlobal(HotSyncOptions* options, int id, const char* value, std::string* error) {
  std::string* target = id == kOptionHome   ? &options->home
                        : id == kOptionUser ? &options->user
                                            : &options->conduit;
  if (value == nullptr || *value == '\0') {
    *error = std::string("option --") +
             (id == kOptionHome   ? "home"
              : id == kOptionUser ? "user"
                                  : "conduit") +
             " needs a value";
    return false;
  }
  *target = value;
  return true;
}

// The message for what getopt_long answered ':' or '?' to.
std::string OptionMistake(int answer, char** argv, const std::string& prefix) {
  std::string word = optind > 0 ? argv[optind - 1] : "";
  std::string name = word.substr(0, word.find('='));
  if (answer == ':') return prefix + "option " + name + " needs a value";
  if (optopt != 0 && word.rfind("--", 0) != 0) return prefix + "unknown option -" + char(optopt);
  return prefix + "unknown option " + name;
}

}  // namespace

int UsageError(const std::string& message) {
  std::fprintf(stderr, "hotsync: %s\n", message.c_str());
  return kExitUsage;
}

bool ParseGlobalOptions(int argc, char** argv, HotSyncOptions* options, std::string* error) {
  static const struct option kLong[] = {{"home", required_argument, nullptr, kOptionHome},
                                        {"user", required_argument, nullptr, kOptionUser},
                                        {"conduit", required_argument, nullptr, kOptionConduit},
                                        {"help", no_argument, nullptr, 'h'},
                                        {"version", no_argument, nullptr, kOptionVersion},
                                        {nullptr, 0, nullptr, 0}};
  optind = 0;  // a full new start of getopt
  opterr = 0;
  int answer = 0;
  while ((answer = getopt_long(argc, argv, "+:h", kLong, nullptr)) != -1) {
    if (answer == 'h') {
      options->help = true;
    } else if (answer == kOptionVersion) {
      options->version = true;
    } else if (answer == ':' || answer == '?') {
      *error = OptionMistake(answer, argv, "");
      return false;
    } else if (!StoreGlobal(options, answer, optarg, error)) {
      return false;
    }
  }
  if (optind < argc) {
    options->command = argv[optind];
    for (int i = optind + 1; i < argc; ++i) options->args.push_back(argv[i]);
  }
  return true;
}

bool ParseCommandOptions(HotSyncOptions* options, const std::vector<CommandOption>& own,
                         std::vector<FoundOption>* found, std::vector<std::string>* positional,
                         std::string* error) {
  std::vector<struct option> table = {{"home", required_argument, nullptr, kOptionHome},
                                      {"user", required_argument, nullptr, kOptionUser},
                                      {"conduit", required_argument, nullptr, kOptionConduit},
                                      {"help", no_argument, nullptr, 'h'}};
  for (const CommandOption& o : own) {
    table.push_back({o.name, o.takes_value ? required_argument : no_argument, nullptr, o.id});
  }
  table.push_back({nullptr, 0, nullptr, 0});

  // Negative numbers are values, not options: they pass getopt under a stand-in word.
  std::vector<std::string> words = {"hotsync"};
  std::vector<std::string> negatives;
  for (const std::string& arg : options->args) {
    if (IsNegativeNumber(arg)) {
      words.push_back("\x01" + std::to_string(negatives.size()));
      negatives.push_back(arg);
    } else {
      words.push_back(arg);
    }
  }
  auto restore = [&](const char* word) -> std::string {
    if (word[0] != '\x01') return word;
    return negatives.at(std::strtoul(word + 1, nullptr, 10));
  };
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(words.size());

  std::string prefix = options->command + ": ";
  optind = 0;
  opterr = 0;
  int answer = 0;
  int index = 0;
  while ((answer = getopt_long(argc, argv.data(), "-:h", table.data(), &index)) != -1) {
    if (answer == kNonOption) {
      positional->push_back(restore(optarg));
    } else if (answer == 'h') {
      options->help = true;
    } else if (answer == ':' || answer == '?') {
      *error = OptionMistake(answer, argv.data(), prefix);
      return false;
    } else if (answer == kOptionHome || answer == kOptionUser || answer == kOptionConduit) {
      if (!StoreGlobal(options, answer, optarg, error)) return false;
    } else {
      found->push_back({answer, std::string("--") + table[index].name,
                        optarg != nullptr ? restore(optarg) : std::string()});
    }
  }
  for (int i = optind; i < argc; ++i) positional->push_back(restore(argv[i]));  // after "--"
  return true;
}

bool ParseNumberInRange(const std::string& option, const std::string& text, int32_t min,
                        int32_t max, int32_t* value, std::string* error) {
  if (!SettingsParseNumber(text, value) || *value < min || *value > max) {
    *error = option + " must be a decimal number from " + std::to_string(min) + " to " +
             std::to_string(max) + ", not " + text;
    return false;
  }
  return true;
}

bool OpenHomeSettings(const HotSyncOptions& options, CHotSyncHome* home) {
  std::string error;
  if (!home->OpenSettings(options.home, &error)) {
    UsageError(error);
    return false;
  }
  return true;
}

bool OpenHome(const HotSyncOptions& options, CHotSyncHome* home) {
  return OpenHomeSettings(options, home) && OpenHomeDevice(options, home);
}

bool OpenHomeDevice(const HotSyncOptions& options, CHotSyncHome* home) {
  std::string new_user = options.user;
  if (new_user.empty()) {
    const char* login = std::getenv("USER");
    new_user = (login != nullptr && *login != '\0') ? login : "HotSyncUser";
  }
  std::string error;
  if (!home->OpenDevice(new_user, &error)) {
    UsageError(error);
    return false;
  }
  std::string user = options.user;
  if (user.empty() && DeviceGetUserName(&user) != kDeviceOk) {
    UsageError("cannot read the user name of the device image " + home->DevicePath());
    return false;
  }
  if (!home->SetUser(user, &error)) {
    UsageError(error);
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
