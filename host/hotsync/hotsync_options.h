// The hotsync command line: global options, the command and its own options (getopt_long style:
// "--home DIR" or "--home=DIR", "--" ends the options), and what the commands share (exit
// statuses, opening the home, loading the conduit).
#ifndef DBC_HOST_HOTSYNC_HOTSYNC_OPTIONS_H_
#define DBC_HOST_HOTSYNC_HOTSYNC_OPTIONS_H_

#include <string>
#include <utility>
#include <vector>

#include "host/hotsync/conduit_library.h"
#include "host/hotsync/hotsync_home.h"

enum { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

extern const char kHotSyncVersion[];
extern const char kUsage[];

struct HotSyncOptions {
  std::string home;     // --home DIR
  std::string user;     // --user NAME
  std::string conduit;  // --conduit PATH
  bool help = false;    // --help or -h
  bool version = false;
  std::string command;
  std::vector<std::string> args;  // the words after the command
};

// Reads the global options that stand before the command, and the command word.
bool ParseGlobalOptions(int argc, char** argv, HotSyncOptions* options, std::string* error);

// An option of one command. Ids are the command's own, from kFirstCommandOptionId on.
constexpr int kFirstCommandOptionId = 256;
struct CommandOption {
  const char* name;  // without "--"
  bool takes_value;
  int id;
};
struct FoundOption {
  int id;
  std::string name;  // as written, for messages ("--type")
  std::string value;
};

// Parses the words after the command: the command's own options and the global ones, wherever
// they stand ("hotsync sync --home DIR" as "hotsync --home DIR sync"); "--help" sets
// options->help. The command's options go to *found in order, the other words to *positional.
// False with *error ("sync: unknown option --bogus") on a mistake.
bool ParseCommandOptions(HotSyncOptions* options, const std::vector<CommandOption>& own,
                         std::vector<FoundOption>* found, std::vector<std::string>* positional,
                         std::string* error);

// Prints "hotsync: <message>" on standard error and answers kExitUsage.
int UsageError(const std::string& message);

// Parses a number of the command line (decimal, see SettingsParseNumber) that must lie in
// [min, max]. False with *error naming the option, the value and the range.
bool ParseNumberInRange(const std::string& option, const std::string& text, int32_t min,
                        int32_t max, int32_t* value, std::string* error);

// Opens the home's settings store (no device image); prints the reason and answers false when
// the home cannot be used.
bool OpenHomeSettings(const HotSyncOptions& options, CHotSyncHome* home);
// Opens the home with its device image and finds the user: --user, else the handheld's user
// name. Prints the reason and answers false when the home or the user cannot be used.
bool OpenHome(const HotSyncOptions& options, CHotSyncHome* home);
// The second half of OpenHome, for a home whose settings are open.
bool OpenHomeDevice(const HotSyncOptions& options, CHotSyncHome* home);
// Loads --conduit or the default library; prints the reason and answers false on failure.
bool LoadConduit(const HotSyncOptions& options, CConduitLibrary* library);

int RunInfo(HotSyncOptions& options);
int RunSettings(HotSyncOptions& options);
int RunConfigure(HotSyncOptions& options);
int RunSync(HotSyncOptions& options);
int RunLog(HotSyncOptions& options);

#endif  // DBC_HOST_HOTSYNC_HOTSYNC_OPTIONS_H_
