// The host driver's command lines, environment, waiting, exit codes and error file.
#include "conduit/entry/host_driver.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conduit/entry/entry_test_util.h"

namespace {

using entry_test::Err;
using entry_test::Line;
using entry_test::LogLines;

const char kEnvironment[] = "PATH=/opt/hll;\0";  // the literal adds the second NUL

class HostDriverTest : public ::testing::Test {
 protected:
  HostDriverTest()
      : folder_(dir_.DataFolder()),
        driver_(os_,
                HostDriverSetup{"/opt/drv/hostdrv", folder_.c_str(), kEnvironment, "HOSTCAL", 0}) {
    entry_test::StartLogRun();
  }
  void Script(int32_t create_error, int32_t exit_code, int32_t polls_running = 0) {
    os_.scripts.push_back(CFakeOsServices::Script{create_error, exit_code, polls_running});
  }

  entry_test::CScratchFolder dir_;
  std::string folder_;
  CFakeOsServices os_;
  CHostDriver driver_;
};

TEST_F(HostDriverTest, CommandLinesAndEnvironmentByteForByte) {
  ASSERT_TRUE(driver_.RunExtract("datebook.dat", "jdoe", 30, "SCR1"));
  ASSERT_TRUE(driver_.RunUpdate("update.dat", "jdoe", "SCR1"));
  ASSERT_TRUE(driver_.RunInstall("/media/setup"));
  ASSERT_EQ(3u, os_.launches.size());
  EXPECT_EQ("/opt/drv/hostdrv extract " + folder_ + " datebook.dat jdoe 30 SCR1 HOSTCAL",
            os_.launches[0].command_line);
  // The update names no days, whatever NumDays is.
  EXPECT_EQ("/opt/drv/hostdrv update " + folder_ + " update.dat jdoe 0 SCR1 HOSTCAL",
            os_.launches[1].command_line);
  // The install fills the places it does not use with fixed words.
  EXPECT_EQ("/opt/drv/hostdrv install " + folder_ + " /media/setup dummy 0 XXX HOSTCAL",
            os_.launches[2].command_line);
  for (const auto& launch : os_.launches) {
    EXPECT_EQ(std::string("PATH=/opt/hll;\0\0", 16), launch.raw_environment);
  }
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(HostDriverTest, ValuesWithBlanksAreNotQuoted) {
  ASSERT_TRUE(driver_.RunExtract("datebook.dat", "Jane Doe", 7, "SCR 1"));
  const std::string line = os_.launches.at(0).command_line;
  EXPECT_EQ("/opt/drv/hostdrv extract " + folder_ + " datebook.dat Jane Doe 7 SCR 1 HOSTCAL", line);
  EXPECT_EQ(10u, SplitCommandLine(line.c_str()).size());
}

// How the driver's start and end are judged: the log lines, the waiting and the result.
TEST_F(HostDriverTest, OutcomesOfARun) {
  struct Case {
    const char* name;
    int32_t create_error;
    int32_t exit_code;
    int32_t polls_running;
    const char* line;  // null: success
    size_t sleeps;
  };
  const Case kCases[] = {
      {"exits at once with 0", 0, 0, 0, nullptr, 1},
      {"runs for three checks", 0, 0, 3, nullptr, 4},
      {"exit code 3", 0, 3, 0, "Host Communication Error = 3", 1},
      {"exit code -1", 0, -1, 0, "Host Communication Error = -1", 1},
      {"program missing", kOsErrFileNotFound, 0, 0, "A required file or DLL cannot be found.", 0},
      {"library missing", kOsErrModNotFound, 0, 0, "A required DLL cannot be found.", 0},
      {"other start error", 193, 0, 0, "Error loading Host Driver Err = 193.", 0},
  };
  entry_test::CHandheld handheld(dir_);  // counts the yields
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DeviceResetYieldCount();
    CFakeOsServices os;
    os.scripts.push_back(CFakeOsServices::Script{c.create_error, c.exit_code, c.polls_running});
    CHostDriver driver(os,
                       HostDriverSetup{"/opt/drv/hostdrv", folder_.c_str(), kEnvironment, "P", 0});
    entry_test::StartLogRun();
    EXPECT_EQ(c.line == nullptr, driver.RunUpdate("update.dat", "jdoe", "S"));
    EXPECT_EQ(c.line ? std::vector<Line>{Err(c.line)} : std::vector<Line>{}, LogLines());
    // One yield and one 250 ms sleep before each check of the exit code.
    EXPECT_EQ(std::vector<uint32_t>(c.sleeps, kDriverPollMs), os.sleeps);
    EXPECT_EQ(static_cast<int32_t>(c.sleeps), os.exit_code_reads);
    EXPECT_EQ(c.sleeps, DeviceYieldCount());
  }
}

TEST_F(HostDriverTest, FailureLogsTheErrorFileAsOneEntry) {
  entry_test::WriteFile(folder_ + "conderr.txt", "Logon refused.\r\nCheck the password.\r\n");
  Script(0, 3);
  EXPECT_FALSE(driver_.RunExtract("datebook.dat", "jdoe", 30, "SCR1"));
  EXPECT_EQ((std::vector<Line>{Err("Host Communication Error = 3"),
                               Err("Logon refused.\nCheck the password.\n")}),
            LogLines());
}

TEST_F(HostDriverTest, MissingProgramLogsTheErrorFileToo) {
  entry_test::WriteFile(folder_ + "conderr.txt", "left by an earlier run");
  Script(kOsErrFileNotFound, 0);
  EXPECT_FALSE(driver_.RunInstall("/media/setup"));
  EXPECT_EQ((std::vector<Line>{Err("A required file or DLL cannot be found."),
                               Err("left by an earlier run")}),
            LogLines());
  EXPECT_TRUE(os_.sleeps.empty());  // no install pause after a failure
}

TEST_F(HostDriverTest, EmptyOrMissingErrorFileAddsNothing) {
  for (bool present : {false, true}) {
    if (present) entry_test::WriteFile(folder_ + "conderr.txt", "");
    entry_test::StartLogRun();
    Script(0, 3);
    EXPECT_FALSE(driver_.RunUpdate("update.dat", "jdoe", "SCR1"));
    EXPECT_EQ(std::vector<Line>{Err("Host Communication Error = 3")}, LogLines()) << present;
  }
}

TEST_F(HostDriverTest, SuccessDoesNotLogTheErrorFile) {
  entry_test::WriteFile(folder_ + "conderr.txt", "a warning");
  ASSERT_TRUE(driver_.RunUpdate("update.dat", "jdoe", "SCR1"));
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(HostDriverTest, HugeErrorFileIsLoggedAsABoundedPrefixWithANote) {
  std::string text(kErrorFileLogLimit + 1000, 'e');
  entry_test::WriteFile(folder_ + "conderr.txt", text);
  Script(0, 3);
  EXPECT_FALSE(driver_.RunUpdate("update.dat", "jdoe", "SCR1"));
  std::vector<Line> lines = LogLines();
  ASSERT_EQ(2u, lines.size());
  const std::string note =
      "\n[conduit: conderr.txt holds 66536 bytes; only the first 65536 are shown]";
  EXPECT_EQ(std::string(kErrorFileLogLimit, 'e') + note, lines[1].text);
  EXPECT_EQ(kActivityConduitError, lines[1].activity);
}

TEST_F(HostDriverTest, InstallPausesFiveSecondsAfterSuccess) {
  ASSERT_TRUE(driver_.RunInstall("/media/setup"));
  EXPECT_EQ((std::vector<uint32_t>{kDriverPollMs, kInstallPauseMs}), os_.sleeps);
}

TEST_F(HostDriverTest, LongestPossibleLineRunsAndAnOverlongOneIsRefused) {
  // Every word at the longest its setting or sync property allows.
  const std::string driver_path(199, 'p'), short_folder(std::string(198, 'f') + "/");
  const std::string file(255, 'n');
  const std::string user(39, 'u'), screen(19, 's'), hll_name(49, 'h');
  CHostDriver longest(os_, HostDriverSetup{driver_path.c_str(), short_folder.c_str(), kEnvironment,
                                           hll_name.c_str(), 0});
  EXPECT_TRUE(longest.RunExtract(file.c_str(), user.c_str(), -2147483647 - 1, screen.c_str()));
  ASSERT_EQ(1u, os_.launches.size());
  EXPECT_EQ(driver_path + " extract " + short_folder + " " + file + " " + user + " -2147483648 " +
                screen + " " + hll_name,
            os_.launches[0].command_line);

  std::string long_name(900, 'n');
  CHostDriver driver(os_,
                     HostDriverSetup{driver_path.c_str(), folder_.c_str(), kEnvironment, "P", 0});
  EXPECT_FALSE(driver.RunExtract(long_name.c_str(), "jdoe", 30, "SCR1"));
  EXPECT_EQ(1u, os_.launches.size());
  EXPECT_EQ(std::vector<Line>{Err(
                "The Host Driver command line is longer than 1023 characters. Date Book")},
            LogLines());
}

// A driver that hangs is ended, with what it started, once the time limit is over, and the
// command fails with a line that says so; one that ends in time, or runs without a limit, is not.
TEST_F(HostDriverTest, DriverPastTheTimeLimitIsEndedAndTheCommandFails) {
  const Line kStopped = Err(
      "The Host Driver did not end within 1 seconds and was stopped (DriverTimeLimit). Date Book");
  struct Case {
    uint32_t limit_ms;
    int32_t polls_running;
    bool ok;
    size_t sleeps;
  };
  const Case kCases[] = {
      {1000, 3, true, 4},   // the fourth check, at the limit, finds it ended
      {1000, 4, false, 4},  // still running at the limit
      {1000, 1000000, false, 4},
      {0, 40, true, 41},  // no limit
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.polls_running);
    CFakeOsServices os;
    os.scripts.push_back(CFakeOsServices::Script{0, 0, c.polls_running});
    CHostDriver driver(
        os, HostDriverSetup{"/opt/drv/hostdrv", folder_.c_str(), kEnvironment, "P", c.limit_ms});
    entry_test::StartLogRun();
    EXPECT_EQ(c.ok, driver.RunUpdate("update.dat", "jdoe", "S"));
    EXPECT_EQ(c.ok ? std::vector<Line>{} : std::vector<Line>{kStopped}, LogLines());
    EXPECT_EQ(c.ok ? 0u : 1u, os.kills.size());
    EXPECT_EQ(c.sleeps, os.sleeps.size());
  }
}

// The error file is shown, never followed: a link could lead to any file of the user, a pipe
// would hang the HotSync; a NUL would cut the text and escape sequences would reach a terminal.
TEST_F(HostDriverTest, ErrorFileIsReadOnlyAsARegularFileWithControlBytesShown) {
  const std::string error_file = folder_ + "conderr.txt";
  const Line kRefused = Err(
      "conderr.txt is not a regular file (a link, a pipe or a folder); it was not read. Date Book");
  entry_test::WriteFile(dir_.Path("secret"), "password");
  std::filesystem::create_symlink(dir_.Path("secret"), error_file);
  Script(0, 3);
  EXPECT_FALSE(driver_.RunUpdate("update.dat", "jdoe", "SCR1"));
  EXPECT_EQ((std::vector<Line>{Err("Host Communication Error = 3"), kRefused}), LogLines());

  std::filesystem::remove(error_file);
  ASSERT_EQ(0, mkfifo(error_file.c_str(), 0600));
  entry_test::StartLogRun();
  Script(0, 3);
  EXPECT_FALSE(driver_.RunUpdate("update.dat", "jdoe", "SCR1"));
  EXPECT_EQ((std::vector<Line>{Err("Host Communication Error = 3"), kRefused}), LogLines());

  std::filesystem::remove(error_file);
  entry_test::WriteFile(error_file, std::string("a\0b\x1b[2J\x07z\r\nnext\tline\x7f", 21));
  entry_test::StartLogRun();
  Script(0, 3);
  EXPECT_FALSE(driver_.RunUpdate("update.dat", "jdoe", "SCR1"));
  EXPECT_EQ((std::vector<Line>{Err("Host Communication Error = 3"),
                               Err("a\\x00b\\x1B[2J\\x07z\nnext\tline\\x7F")}),
            LogLines());
}

}  // namespace
