// The conduit library end to end with the real pieces: the settings store file, the POSIX process
// runner starting script_driver, the HotSync log stand-in and the emulated handheld.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "conduit/entry/exports.h"
#include "conduit/entry/host_driver.h"
#include "host/device/device_control.h"
#include "host/log/log_control.h"
#include "host/settings/settings_host.h"
#include "sdk/hotsync_log.h"
#include "sdk/settings_store.h"
#include "tests/support/driver_runs.h"
#include "tests/support/log_lines.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::kMissing;
using test_support::Line;
using test_support::ReadFile;
using test_support::WriteFile;

constexpr char kKey[] = "Software/Conduits/DateBook";

std::string BinDir() {
  const char* dir = getenv("DBC_BIN_DIR");
  return dir ? dir : ".";
}

class ConduitEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    home_ = fs::path(::testing::TempDir()) /
            ("dbc_e2e_" + std::string(test->name()) + "_" + std::to_string(getpid()));
    fs::remove_all(home_);
    fs::create_directories(home_ / "data");
    data_ = (home_ / "data").string() + "/";

    ASSERT_EQ(kSettingsOk, SettingsOpenStore((home_ / "settings").c_str(), &root_));
    SettingsKey key = nullptr;
    ASSERT_EQ(kSettingsOk, SettingsOpenKey(root_, kKey, 1, &key));
    SetText(key, "UserID", "jdoe");
    SetText(key, "DriverPath", BinDir() + "/script_driver");
    SetText(key, "HLLPath", "/opt/hll");
    SetText(key, "HLLName", "HOSTCAL");
    SetText(key, "Install", "");
    SetText(key, "ScreenID", "SCR1");
    SettingsSetNumber(key, "NumDays", 14);
    SettingsCloseKey(key);

    std::string error;
    ASSERT_EQ(kDeviceOk, DeviceCreateImage((home_ / "device.db").string(), "Jane", &error));
    ASSERT_EQ(kDeviceOk, DeviceOpenImage((home_ / "device.db").string(), &error)) << error;

    memset(&props_, 0, sizeof props_);
    snprintf(props_.data_folder, sizeof props_.data_folder, "%s", data_.c_str());
    snprintf(props_.local_file_name, sizeof props_.local_file_name, "datebook.dat");
    snprintf(props_.user_name, sizeof props_.user_name, "Jane");
    snprintf(props_.registry_path, sizeof props_.registry_path, "%s", kKey);
    props_.registry_root = root_;
  }
  void TearDown() override {
    DeviceCloseImage();
    SettingsCloseStore(root_);
    fs::remove_all(home_);
  }

  static void SetText(SettingsKey key, const char* name, const std::string& text) {
    ASSERT_EQ(kSettingsOk,
              SettingsSetText(key, name, text.c_str(), static_cast<uint32_t>(text.size())));
  }
  void SetSetting(const char* name, const std::string& text) {
    SettingsKey key = nullptr;
    ASSERT_EQ(kSettingsOk, SettingsOpenKey(root_, kKey, 0, &key));
    SetText(key, name, text);
    SettingsCloseKey(key);
  }
  std::string Setting(const char* name) {
    SettingsKey key = nullptr;
    char value[256] = {};
    uint32_t size = sizeof value;
    EXPECT_EQ(kSettingsOk, SettingsOpenKey(root_, kKey, 0, &key));
    EXPECT_EQ(kSettingsOk, SettingsQueryValue(key, name, value, &size, nullptr));
    SettingsCloseKey(key);
    return value;
  }
  // The driver's script: it records every run and then does what `lines` say.
  void Script(const std::string& lines) {
    WriteFile(data_ + "driver_script", "record " + Record() + "\n" + lines);
  }
  std::string Record() const { return (home_ / "runs.txt").string(); }
  // The commands of the recorded driver runs, in order.
  std::vector<std::string> Runs() const { return test_support::RecordedDriverCommands(Record()); }
  int32_t Sync() {
    HsLogStartRun();
    int context = 0;
    return OpenConduit(&context, &props_);
  }
  static std::vector<Line> LogLines() { return test_support::LogLines(); }

  fs::path home_;
  std::string data_;
  SettingsKey root_ = nullptr;
  HotSyncProps props_;
};

const Line kFailed{kActivityConduitError, "Datebook Synchronization Failed"};

TEST_F(ConduitEndToEndTest, DriverGetsItsWordsAndOnlyPathInItsEnvironment) {
  Script("extract.exit 1\n");
  EXPECT_EQ(0, Sync());
  std::string record = ReadFile(Record());
  size_t pid = record.find("\npid=");  // the driver's process ID, different at every run
  ASSERT_NE(std::string::npos, pid);
  record.erase(pid, record.find('\n', pid + 1) - pid);
  EXPECT_EQ(
      "run argc=8\narg=" + BinDir() + "/script_driver\narg=extract\narg=" + data_ +
          "\narg=datebook.dat\narg=jdoe\narg=14\narg=SCR1\narg=HOSTCAL\nenv=PATH=/opt/hll;\nend\n",
      record);
  EXPECT_EQ((std::vector<Line>{{kActivityConduitError, "Host Communication Error = 1"}, kFailed}),
            LogLines());
}

TEST_F(ConduitEndToEndTest, FailingExtractLeavesExtractAndUpdateFilesUntouched) {
  WriteFile(data_ + "extract.dat", "0000");
  Script(
      "extract.extract_text 0001garbage\nextract.error Host down.\\r\\nTry later.\\r\\n\n"
      "extract.exit 3\n");
  EXPECT_EQ(0, Sync());
  EXPECT_EQ((std::vector<Line>{{kActivityConduitError, "Host Communication Error = 3"},
                               {kActivityConduitError, "Host down.\nTry later.\n"},
                               kFailed}),
            LogLines());
  EXPECT_EQ("0000", ReadFile(data_ + "extract.dat"));
  EXPECT_EQ(kMissing, ReadFile(data_ + "update.dat"));
}

TEST_F(ConduitEndToEndTest, MissingDriverIsReported) {
  SetSetting("DriverPath", (home_ / "no_such_driver").string());
  EXPECT_EQ(0, Sync());
  EXPECT_EQ((std::vector<Line>{{kActivityConduitError, "A required file or DLL cannot be found."},
                               kFailed}),
            LogLines());
}

TEST_F(ConduitEndToEndTest, PendingUpdateIsRetriedUntilTheHostTakesIt) {
  WriteFile(data_ + "update.dat", "0000");
  Script("update.exit 3\n");
  EXPECT_EQ(0, Sync());
  EXPECT_EQ("0000", ReadFile(data_ + "update.dat"));
  EXPECT_EQ(std::vector<std::string>{"update"}, Runs());

  Script("update.update_copy " + (home_ / "applied.dat").string() + "\n");
  EXPECT_EQ(0, Sync());
  EXPECT_TRUE(LogLines().empty());
  // The update had started, so the retry reads the host's calendar first.
  EXPECT_EQ((std::vector<std::string>{"update", "extract", "update"}), Runs());
  EXPECT_EQ("0000", ReadFile((home_ / "applied.dat").string()));
  EXPECT_EQ(kMissing, ReadFile(data_ + "update.dat"));
}

// The install pause is real here: the run lasts at least the pause.
TEST_F(ConduitEndToEndTest, InstallRunsOnceWithItsPause) {
  SetSetting("Install", "/media/setup");
  WriteFile(data_ + "update.dat", "0000");  // keeps the run short: install, then the update only
  Script("");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, Sync());
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start)
                .count();
  EXPECT_GE(ms, static_cast<long long>(kInstallPauseMs));
  EXPECT_EQ((std::vector<std::string>{"install", "update"}), Runs());
  EXPECT_EQ("", Setting("Install"));
  EXPECT_TRUE(LogLines().empty());
}

}  // namespace
