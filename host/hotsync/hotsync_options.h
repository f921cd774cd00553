// The hotsync command line: global options, the command and its arguments, and what the commands
// share (exit statuses, opening the home, loading the conduit).
#ifndef DBC_HOST_HOTSYNC_HOTSYNC_OPTIONS_H_
#define DBC_HOST_HOTSYNC_HOTSYNC_OPTIONS_H_

#include <string>
#include <vector>

#include "host/hotsync/conduit_library.h"
#include "host/hotsync/hotsync_home.h"

enum { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct HotSyncOptions {
  std::string home;     // --home DIR
  std::string user;     // --user NAME
  std::string conduit;  // --conduit PATH
  bool help = false;
  std::vector<std::string> args;  // the command and its own arguments
};

// Takes --home, --user, --conduit and --help wherever they stand; the rest goes to args.
bool ParseGlobalOptions(int argc, char** argv, HotSyncOptions* options, std::string* error);

extern const char kUsage[];

// Prints "hotsync: <message>" on standard error and answers kExitUsage.
int UsageError(const std::string& message);

// Opens the home and finds the user: --user, else the handheld's user name. Prints the reason
// and answers false when the home cannot be used.
bool OpenHome(const HotSyncOptions& options, CHotSyncHome* home, std::string* user);
// Loads --conduit or the default library; prints the reason and answers false on failure.
bool LoadConduit(const HotSyncOptions& options, CConduitLibrary* library);

// Parses a signed 32-bit number (decimal, or hex with 0x); false for anything else.
bool ParseNumber(const std::string& text, int32_t* value);

int RunInfo(const HotSyncOptions& options);
int RunSettings(const HotSyncOptions& options);
int RunConfigure(const HotSyncOptions& options);
int RunSync(const HotSyncOptions& options);

#endif  // DBC_HOST_HOTSYNC_HOTSYNC_OPTIONS_H_
