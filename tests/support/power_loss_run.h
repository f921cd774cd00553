// Starting programs with the power-loss layer (power_loss.h) on: the environment words that load
// it, and a host driver script that brings them to the driver, which the conduit starts with no
// environment but PATH.
#ifndef DBC_TESTS_SUPPORT_POWER_LOSS_RUN_H_
#define DBC_TESTS_SUPPORT_POWER_LOSS_RUN_H_

#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/power_loss.h"
#include "tests/support/test_files.h"

namespace test_support {

// "NAME=VALUE ..." that turn the layer on for a program, with `disk` as the shadow folder. The
// layer loads ahead of a sanitizer's runtime, which must then not insist on being first.
inline std::string PowerLossEnvironment(const std::string& disk) {
  const char* asan = getenv("ASAN_OPTIONS");
  return std::string(DBC_POWER_LOSS_ENV "='") + disk +
         "' LD_PRELOAD='" DBC_POWER_LOSS_LIBRARY "' ASAN_OPTIONS='" +
         (asan != nullptr ? std::string(asan) + ":" : "") + "verify_asan_link_order=0'";
}

// Writes an executable script at `path` that runs `driver` with its arguments, with the layer on
// while the shadow folder `disk` exists (during a watched run) and off otherwise.
inline void WritePowerLossDriver(const std::string& path, const std::string& disk,
                                 const std::string& driver) {
  WriteFile(path, "#!/bin/sh\nif [ -d '" + disk + "' ]; then\n  export " +
                      PowerLossEnvironment(disk) + "\nfi\nexec '" + driver + "' \"$@\"\n");
  chmod(path.c_str(), 0700);
}

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_POWER_LOSS_RUN_H_
