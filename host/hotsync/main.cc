// hotsync: the HotSync host program.
#include <cstdio>
#include <string>

#include "host/hotsync/hotsync_options.h"

int main(int argc, char** argv) {
  HotSyncOptions options;
  std::string error;
  if (!ParseGlobalOptions(argc, argv, &options, &error)) {
    return UsageError(error + " (see hotsync --help)");
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (options.args.empty()) return UsageError("no command given (see hotsync --help)");
  const std::string& command = options.args[0];
  if (command == "info") return RunInfo(options);
  if (command == "settings") return RunSettings(options);
  if (command == "configure") return RunConfigure(options);
  if (command == "sync") return RunSync(options);
  return UsageError("unknown command " + command + " (see hotsync --help)");
}
