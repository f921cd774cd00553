// The conduit through the hotsync program, as a user runs it: the real library, the real process
// runner and script_driver as the host driver.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/driver_runs.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::kMissing;
using test_support::ReadFile;
using test_support::WriteFile;

constexpr char kUser[] = "tester";

struct Result {
  int status = -1;
  std::string out;  // standard output; standard error goes to <home>/stderr.txt
};

class HotSyncConduitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = getenv("DBC_BIN_DIR");
    bin_ = bin ? bin : ".";
    ASSERT_EQ(0, Run("info").status);  // sets up the home
    data_ = home_ + "/users/" + kUser + "/";
    fs::create_directories(data_);  // info names the data folder; sync would create it
  }

  Result Run(const std::string& args) {
    std::string command = "env -u HOTSYNC_HOME -u HOTSYNC_DIALOG_SCRIPT " + bin_ +
                          "/hotsync --home " + home_ + " --user " + kUser + " " + args + " 2>" +
                          home_ + "/stderr.txt";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    size_t n = 0;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.out.append(chunk, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }
  // The driver script: record every run, then do what `lines` say.
  void Script(const std::string& lines) {
    WriteFile(data_ + "driver_script", "record " + home_ + "/runs.txt\n" + lines);
  }
  // The commands of the recorded driver runs, in order.
  std::vector<std::string> Runs() const {
    return test_support::RecordedDriverCommands(home_ + "/runs.txt");
  }

  test_support::CScratchFolder scratch_{"dbc_hs"};
  std::string home_ = scratch_.Root();
  std::string bin_;
  std::string data_;
};

TEST_F(HotSyncConduitTest, InfoShowsNameAndVersion) {
  Result r = Run("info");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(0u, r.out.find("name: Date Book\nversion: 257\n")) << r.out;
}

TEST_F(HotSyncConduitTest, FailingExtractLeavesExtractAndUpdateFilesUntouched) {
  WriteFile(data_ + "extract.dat", "0000");
  Script("extract.extract_text 0001broken\nextract.error Host down.\nextract.exit 3\n");
  Result r = Run("sync --json");
  EXPECT_NE(0, r.status);
  EXPECT_EQ(
      "{\"activity\":22,\"text\":\"Host Communication Error = 3\"}\n"
      "{\"activity\":22,\"text\":\"Host down.\"}\n"
      "{\"activity\":22,\"text\":\"Datebook Synchronization Failed\"}\n",
      r.out);
  EXPECT_EQ(std::vector<std::string>{"extract"}, Runs());
  EXPECT_EQ("0000", ReadFile(data_ + "extract.dat"));
  EXPECT_EQ(kMissing, ReadFile(data_ + "update.dat"));
}

TEST_F(HotSyncConduitTest, FailingUpdateIsRetriedAloneAtTheNextSync) {
  WriteFile(data_ + "update.dat", "0000");
  Script("update.exit 4\n");
  EXPECT_NE(0, Run("sync").status);
  EXPECT_EQ("0000", ReadFile(data_ + "update.dat"));

  Script("update.update_copy " + home_ + "/applied.dat\n");
  Result r = Run("sync --json");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_EQ((std::vector<std::string>{"update", "update"}), Runs());
  EXPECT_EQ("0000", ReadFile(home_ + "/applied.dat"));
  EXPECT_EQ(kMissing, ReadFile(data_ + "update.dat"));
  EXPECT_EQ(kMissing, ReadFile(data_ + "extract.dat"));  // no extract ran
}

}  // namespace
