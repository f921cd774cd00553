// The handheld program and a HotSync together: what a person adds on the handheld reaches the
// host through the conduit, the real hotsync program and script_driver.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

#include <filesystem>
#include <string>

#include "tests/support/run_program.h"
#include "tests/support/test_files.h"

namespace {

using test_support::ReadFile;
using test_support::WriteFile;

using Result = test_support::ProgramResult;

class HandheldSyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = scratch_.Path("home");
    const char* bin = getenv("DBC_BIN_DIR");
    bin_ = bin != nullptr ? bin : ".";
    ASSERT_EQ(0, Run("hotsync", "info").status);  // sets up the home and the device image
    // This test scripts the host driver.
    ASSERT_EQ(0, Run("hotsync", "settings set DriverPath " + bin_ + "/script_driver").status);
  }

  // Runs a program of the build with the home and `args` (a shell word list).
  Result Run(const std::string& program, const std::string& args) {
    const std::string user = program == "hotsync" ? " --user tester " : " ";
    const std::string command = "env -u HOTSYNC_HOME -u HOTSYNC_DIALOG_SCRIPT " + bin_ + "/" +
                                program + " --home " + home_ + user + args + " 2>>" +
                                scratch_.Path("stderr.txt");
    return test_support::RunShellCommand(command);
  }

  test_support::CScratchFolder scratch_{"hs"};
  std::string home_;
  std::string bin_;
};

TEST_F(HandheldSyncTest, AnEventAddedOnTheHandheldReachesTheHostAtTheFirstSync) {
  // Tomorrow, inside the window of the default NumDays that hotsync's clock starts today.
  const time_t tomorrow = time(nullptr) + 86400;
  struct tm local;
  localtime_r(&tomorrow, &local);
  char date[16];
  char day[16];
  strftime(date, sizeof date, "%Y-%m-%d", &local);
  strftime(day, sizeof day, "%Y%m%d", &local);
  Result added = Run("handheld", std::string("add --date ") + date +
                                     " --start 09:00 --end 10:30 --description 'Staff meeting'");
  ASSERT_EQ(0, added.status) << ReadFile(scratch_.Path("stderr.txt"));
  // The driver extracts an empty host calendar and keeps a copy of what the update brings.
  const std::string data = home_ + "/users/tester/";
  std::filesystem::create_directories(data);
  WriteFile(data + "driver_script", "update.update_copy " + home_ + "/applied.dat\n");

  Result sync = Run("hotsync", "sync");
  ASSERT_EQ(0, sync.status) << sync.out << ReadFile(scratch_.Path("stderr.txt"));
  EXPECT_NE(std::string::npos, sync.out.find("20  Date Book")) << sync.out;
  const std::string applied = ReadFile(home_ + "/applied.dat");
  EXPECT_NE(std::string::npos, applied.find(std::string(day) + "09:0010:30")) << applied;
  EXPECT_NE(std::string::npos, applied.find("Staff meeting")) << applied;
  // The handheld's record was synchronised: no longer dirty.
  Result listed = Run("handheld", "list --json");
  EXPECT_NE(std::string::npos, listed.out.find("\"dirty\":false")) << listed.out;
}

// hotsync sync --crash-after ends the program at the chosen step, nothing of it done; the next
// HotSyncs finish the work. Here it ends as the handheld's flags are to be cleared: the update
// file is in place already, so the next run hands it to the host and the one after it synchronises.
TEST_F(HandheldSyncTest, ACrashAtAStepAndTheRunsAfterIt) {
  const time_t tomorrow = time(nullptr) + 86400;
  struct tm local;
  localtime_r(&tomorrow, &local);
  char date[16];
  strftime(date, sizeof date, "%Y-%m-%d", &local);
  ASSERT_EQ(0, Run("handheld", std::string("add --date ") + date +
                                   " --start 09:00 --end 10:00 --description Dentist")
                   .status);
  const std::string data = home_ + "/users/tester/";
  std::filesystem::create_directories(data);
  WriteFile(data + "driver_script", "update.update_copy " + home_ + "/applied.dat\n");

  EXPECT_EQ(2, Run("hotsync", "sync --crash-after clear-sync-flags").status);
  EXPECT_EQ(2, Run("hotsync", "sync --crash-after nothing:1").status);
  Result crashed = Run("hotsync", "sync --crash-after clear-sync-flags:1");
  EXPECT_EQ(86, crashed.status) << crashed.out;
  EXPECT_EQ(test_support::kMissing, ReadFile(home_ + "/applied.dat"));
  EXPECT_NE(test_support::kMissing, ReadFile(data + "update.dat"));
  EXPECT_NE(std::string::npos, Run("handheld", "list --json").out.find("\"dirty\":true"));

  ASSERT_EQ(0, Run("hotsync", "sync").status);  // hands the update to the host
  EXPECT_NE(std::string::npos, ReadFile(home_ + "/applied.dat").find("Dentist"));
  EXPECT_EQ(test_support::kMissing, ReadFile(data + "update.dat"));
  ASSERT_EQ(0, Run("hotsync", "sync").status);
  EXPECT_NE(std::string::npos, Run("handheld", "list --json").out.find("\"dirty\":false"));

  // A crash at a file operation of the conduit: the first save, the desktop file's.
  EXPECT_EQ(86, Run("hotsync", "sync --crash-after file-save:1").status);
  EXPECT_EQ(0, Run("hotsync", "sync").status);
}

}  // namespace
