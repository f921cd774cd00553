// Helpers shared by the entry tests: a scratch data folder, sync properties pointing at it, the
// settings of a working conduit in a fake settings store, and the HotSync log of the current run.
#ifndef DBC_CONDUIT_ENTRY_ENTRY_TEST_UTIL_H_
#define DBC_CONDUIT_ENTRY_ENTRY_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "conduit/platform/fake_os_services.h"
#include "host/device/device_control.h"
#include "host/log/log_control.h"
#include "sdk/hotsync_log.h"
#include "sdk/records.h"
#include "tests/support/log_lines.h"
#include "tests/support/test_files.h"

namespace entry_test {

using test_support::CScratchFolder;
using test_support::Line;
using test_support::LogLines;
using test_support::ReadFile;
using test_support::StartLogRun;
using test_support::WriteFile;

constexpr char kKey[] = "Conduits/DateBook";

// Sync properties for the data folder and the fake store's conduit key.
inline HotSyncProps MakeProps(const CFakeOsServices& os, const std::string& data_folder,
                              int32_t sync_type = 0) {
  HotSyncProps props;
  memset(&props, 0, sizeof props);
  props.sync_type = sync_type;
  snprintf(props.data_folder, sizeof props.data_folder, "%s", data_folder.c_str());
  snprintf(props.local_file_name, sizeof props.local_file_name, "%s", "datebook.dat");
  snprintf(props.user_name, sizeof props.user_name, "%s", "Jane");
  snprintf(props.registry_path, sizeof props.registry_path, "%s", kKey);
  props.registry_root = os.root();
  return props;
}

// Every setting of a working conduit; tests change or erase single values.
inline void SetWorkingSettings(CFakeOsServices& os) {
  os.SetNumberValue(kKey, "UserMode", 0);
  os.SetNumberValue(kKey, "FlushBackup", 0);
  os.SetTextValue(kKey, "UserID", "jdoe");
  os.SetTextValue(kKey, "DriverPath", "/opt/drv/hostdrv");
  os.SetTextValue(kKey, "HLLPath", "/opt/hll");
  os.SetTextValue(kKey, "HLLName", "HOSTCAL");
  os.SetNumberValue(kKey, "NumDays", 30);
  os.SetTextValue(kKey, "Install", "");
  os.SetTextValue(kKey, "ScreenID", "SCR1");
}

// --- The HotSync log ---

// A conduit failure line.
inline Line Err(const std::string& text) {
  return Line{kActivityConduitError, text};
}

// --- The emulated handheld ---

// Connects a fresh handheld (a device image in the scratch folder) for the object's lifetime, so
// that the monitor can read the system information.
class CHandheld {
 public:
  explicit CHandheld(const CScratchFolder& folder) {
    std::string path = folder.Path("device.db");
    std::string error;
    EXPECT_EQ(kDeviceOk, DeviceCreateImage(path, "Jane", &error)) << error;
    EXPECT_EQ(kDeviceOk, DeviceOpenImage(path, &error)) << error;
  }
  ~CHandheld() { DeviceCloseImage(); }
  CHandheld(const CHandheld&) = delete;
  CHandheld& operator=(const CHandheld&) = delete;
};

}  // namespace entry_test

#endif  // DBC_CONDUIT_ENTRY_ENTRY_TEST_UTIL_H_
