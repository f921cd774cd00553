// handheld: the device side of the emulated handheld, as hotsync is the host side.
#include <string>
#include <vector>

#include "host/device/device_control.h"
#include "host/handheld/handheld_commands.h"

int main(int argc, char** argv) {
  HandheldOptions options;
  std::string error;
  if (!ParseHandheldOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    return HandheldError(kHandheldUsage, error + " (see handheld --help)");
  }
  const int status = RunHandheld(options);
  DeviceCloseImage();
  return status;
}
