// hotsync: the HotSync host program.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/hotsync/hotsync_options.h"

namespace {

// A command that printed its answer succeeded only if the answer reached its reader.
int FinishOutput(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "hotsync: cannot write the output: %s\n", std::strerror(errno));
    return status == kExitOk ? kExitFailed : status;
  }
  return status;
}

int Dispatch(HotSyncOptions& options) {
  if (options.version) {
    std::printf("hotsync %s\n", kHotSyncVersion);
    return kExitOk;
  }
  if (options.command.empty()) {
    if (options.help) {
      std::fputs(kUsage, stdout);
      return kExitOk;
    }
    return UsageError("no command given (see hotsync --help)");
  }
  const std::string& command = options.command;
  if (command == "info") return RunInfo(options);
  if (command == "settings") return RunSettings(options);
  if (command == "configure") return RunConfigure(options);
  if (command == "sync") return RunSync(options);
  if (command == "log") return RunLog(options);
  return UsageError("unknown command " + command + " (see hotsync --help)");
}

}  // namespace

int main(int argc, char** argv) {
  HotSyncOptions options;
  std::string error;
  if (!ParseGlobalOptions(argc, argv, &options, &error)) {
    return UsageError(error + " (see hotsync --help)");
  }
  return FinishOutput(Dispatch(options));
}
