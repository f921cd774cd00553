#include "conduit/platform/posix_os_services.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "conduit/resources/string_table.h"
#include "host/settings/settings_host.h"
#include "tests/support/run_program.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;

std::string BinDir() {
  const char* dir = std::getenv("DBC_BIN_DIR");
  return dir ? dir : "";
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class PosixOsTest : public ::testing::Test {
 protected:
  // Runs a command line with an environment block and waits for the exit code.
  int32_t Run(const std::string& command, const std::string& block, int32_t* exit_code) {
    ProcessHandle process = 0;
    int32_t created = os_.CreateProcess(command.c_str(), block.c_str(), &process);
    if (created != 0) return created;
    do {
      EXPECT_EQ(0, os_.GetExitCode(process, exit_code));
      if (*exit_code == kOsStillActive) os_.Sleep(5);
    } while (*exit_code == kOsStillActive);
    os_.CloseProcess(process);
    return 0;
  }

  CPosixOsServices os_;
  test_support::CScratchFolder scratch_{"posix_os"};
  fs::path dir_ = scratch_.Root();
};

TEST_F(PosixOsTest, ChildGetsBlankSplitArgumentsAndExactlyTheEnvironmentBlock) {
  fs::path out = dir_ / "record.txt";
  std::string block = "RECORD_TO=" + out.string() + std::string(1, '\0') + "PATH=/hll;" +
                      std::string(1, '\0') + std::string(1, '\0');
  int32_t exit_code = -5;
  ASSERT_EQ(0, Run(BinDir() + "/record_args extract /data/ My Screen  3", block, &exit_code));
  EXPECT_EQ(0, exit_code);
  std::string expected = "argc=6\narg=" + BinDir() +
                         "/record_args\narg=extract\narg=/data/\narg=My\narg=Screen\narg=3\n"
                         "env=RECORD_TO=" +
                         out.string() + "\nenv=PATH=/hll;\n";
  EXPECT_EQ(expected, ReadAll(out));
}

TEST_F(PosixOsTest, ExitCodesAndMissingProgram) {
  for (int code : {0, 3, 255}) {
    std::string block = "EXIT_CODE=" + std::to_string(code) + std::string(2, '\0');
    int32_t exit_code = -5;
    ASSERT_EQ(0, Run(BinDir() + "/record_args", block, &exit_code));
    EXPECT_EQ(code, exit_code);
  }
  int32_t exit_code = 0;
  EXPECT_EQ(kOsErrFileNotFound,
            Run((dir_ / "no-such-driver").string() + " extract", std::string(2, '\0'), &exit_code));
}

TEST_F(PosixOsTest, KilledChildReportsNeitherSuccessNorStillRunning) {
  std::string block = "RAISE_SIGNAL=9" + std::string(2, '\0');
  int32_t exit_code = 0;
  ASSERT_EQ(0, Run(BinDir() + "/record_args", block, &exit_code));
  EXPECT_NE(0, exit_code);
  EXPECT_NE(kOsStillActive, exit_code);
}

TEST_F(PosixOsTest, FilesCopyReplacesMoveRefusesAnExistingTarget) {
  fs::path a = dir_ / "a", b = dir_ / "b", c = dir_ / "c";
  std::ofstream(a) << "new";
  std::ofstream(b) << "old";
  EXPECT_TRUE(os_.CopyFile(a.c_str(), b.c_str()));
  EXPECT_EQ("new", ReadAll(b));
  EXPECT_FALSE(os_.MoveFile(a.c_str(), b.c_str()));
  EXPECT_TRUE(os_.MoveFile(a.c_str(), c.c_str()));
  EXPECT_FALSE(os_.FileExists(a.c_str()));
  EXPECT_TRUE(os_.DeleteFile(c.c_str()));
  EXPECT_FALSE(os_.DeleteFile(c.c_str()));
}

TEST_F(PosixOsTest, ReadTextFileReadsCrLfAsLfAndStopsAtTheLimit) {
  fs::path f = dir_ / "conderr.txt";
  std::ofstream(f, std::ios::binary) << "line 1\r\nline 2\r\n";
  std::string text;
  uint64_t size = 0;
  ASSERT_TRUE(os_.ReadTextFile(f.c_str(), 1 << 16, &text, &size));
  EXPECT_EQ("line 1\nline 2\n", text);
  EXPECT_EQ(16u, size);
  ASSERT_TRUE(os_.ReadTextFile(f.c_str(), 4, &text, &size));
  EXPECT_EQ("line", text);
  EXPECT_FALSE(os_.ReadTextFile((dir_ / "none").c_str(), 10, &text, &size));
}

// The child gets no handle of the host, and what it prints goes to the host's error output, so
// that it never mixes with output that the host's readers parse.
TEST_F(PosixOsTest, ChildInheritsNoHandlesAndPrintsToTheErrorOutput) {
  fs::path record = dir_ / "record.txt";
  int held = open((dir_ / "held").c_str(), O_RDWR | O_CREAT, 0600);  // no close-on-exec
  ASSERT_GE(held, 0);
  ASSERT_EQ(50, dup2(held, 50));
  fflush(stdout);
  fflush(stderr);
  int saved_out = dup(1), saved_err = dup(2);
  int out = open((dir_ / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int err = open((dir_ / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(out, 1);
  dup2(err, 2);
  std::string block = "RECORD_TO=" + record.string() + std::string(1, '\0') + "RECORD_FDS=1" +
                      std::string(1, '\0') + "PRINT=stray output" + std::string(2, '\0');
  int32_t exit_code = -5;
  int32_t created = Run(BinDir() + "/record_args", block, &exit_code);
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  for (int fd : {saved_out, saved_err, out, err, held, 50}) close(fd);
  ASSERT_EQ(0, created);
  EXPECT_EQ(0, exit_code);
  EXPECT_EQ("", ReadAll(dir_ / "out"));
  EXPECT_EQ("stray output\n", ReadAll(dir_ / "err"));
  std::string recorded = ReadAll(record);
  EXPECT_NE(std::string::npos, recorded.find("fd=2\n")) << recorded;
  EXPECT_EQ(std::string::npos, recorded.find("fd=50\n")) << recorded;
}

TEST_F(PosixOsTest, KillEndsTheChildAndTheProcessesItStarted) {
  fs::path grandchild = dir_ / "grandchild";
  std::string block = "CHILD_PID_TO=" + grandchild.string() + std::string(1, '\0') +
                      "SLEEP_MS=60000" + std::string(2, '\0');
  ProcessHandle process = 0;
  ASSERT_EQ(0, os_.CreateProcess((BinDir() + "/record_args").c_str(), block.c_str(), &process));
  pid_t started = 0;
  for (int i = 0; i < 500 && started == 0; ++i) {
    started = std::atoi(ReadAll(grandchild).c_str());
    if (started == 0) usleep(10000);
  }
  ASSERT_GT(started, 0);
  int32_t exit_code = 0;
  ASSERT_EQ(0, os_.GetExitCode(process, &exit_code));
  EXPECT_EQ(kOsStillActive, exit_code);
  os_.KillProcess(process);
  ASSERT_EQ(0, os_.GetExitCode(process, &exit_code));
  EXPECT_EQ(128 + SIGKILL, exit_code);
  os_.CloseProcess(process);
  EXPECT_TRUE(test_support::ProcessEndsWithin(started, 2000));
}

TEST_F(PosixOsTest, CopyReplacesALinkInsteadOfWritingThroughIt) {
  fs::path desktop = dir_ / "datebook.dat", extract = dir_ / "extract.dat",
           secret = dir_ / "secret";
  std::ofstream(desktop) << "0000";
  std::ofstream(secret) << "keep me";
  fs::create_symlink(secret, extract);
  EXPECT_TRUE(os_.CopyFile(desktop.c_str(), extract.c_str()));
  EXPECT_FALSE(fs::is_symlink(extract));
  EXPECT_EQ("0000", ReadAll(extract));
  EXPECT_EQ("keep me", ReadAll(secret));
  EXPECT_FALSE(os_.CopyFile((dir_ / "none").c_str(), extract.c_str()));
  EXPECT_EQ("0000", ReadAll(extract));
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(std::string::npos, entry.path().string().find(".tmp-")) << entry.path();
  }
}

// Only a regular file is read, and never by waiting on it: a link could lead to any file of the
// user, a pipe would wait for a writer for ever.
TEST_F(PosixOsTest, ReadTextFileReadsOnlyARegularFileWithoutBlocking) {
  fs::path secret = dir_ / "secret", link = dir_ / "link", fifo = dir_ / "fifo";
  std::ofstream(secret) << "password";
  fs::create_symlink(secret, link);
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  std::string text = "untouched";
  uint64_t size = 0;
  for (const fs::path& path : {link, fifo, dir_}) {
    EXPECT_FALSE(os_.ReadTextFile(path.c_str(), 1 << 16, &text, &size)) << path;
    EXPECT_EQ("", text) << path;
  }
}

TEST_F(PosixOsTest, CanDeleteFileAsksTheFolder) {
  fs::path file = dir_ / "update.dat";
  std::ofstream(file) << "0000";
  EXPECT_TRUE(os_.CanDeleteFile(file.c_str()));
  EXPECT_FALSE(os_.CanDeleteFile((dir_ / "no" / "update.dat").c_str()));
  if (geteuid() != 0) {  // permissions do not bind root
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(os_.CanDeleteFile(file.c_str()));
    fs::permissions(dir_, fs::perms::owner_all);
  }
}

TEST_F(PosixOsTest, SettingsReadSizeRules) {
  SettingsKey root = nullptr;
  ASSERT_EQ(0, SettingsOpenStore((dir_ / "settings").c_str(), &root));
  SettingsKey writer = nullptr;
  ASSERT_EQ(0, SettingsOpenKey(root, "Conduits/DateBook", 1, &writer));
  std::string path199(199, 'p'), path200(200, 'p');
  ASSERT_EQ(0, SettingsSetText(writer, "Fits", path199.data(), 199));
  ASSERT_EQ(0, SettingsSetText(writer, "TooLong", path200.data(), 200));
  ASSERT_EQ(0, SettingsSetNumber(writer, "NumDays", 30));
  ASSERT_EQ(0, SettingsSetText(writer, "Empty", "", 0));
  SettingsCloseKey(writer);

  SettingsKey key = nullptr;
  ASSERT_EQ(0, os_.OpenKey(root, "Conduits/DateBook", false, &key));
  char buffer[200];
  EXPECT_EQ(0, os_.ReadValue(key, "Fits", buffer, sizeof buffer));
  EXPECT_EQ(path199, std::string(buffer));
  EXPECT_NE(0, os_.ReadValue(key, "TooLong", buffer, sizeof buffer));
  EXPECT_NE(0, os_.ReadValue(key, "Missing", buffer, sizeof buffer));
  uint32_t days = 0;
  EXPECT_EQ(0, os_.ReadValue(key, "NumDays", &days, sizeof days));
  EXPECT_EQ(30u, days);
  // The stored type is not checked: a text that fits 4 bytes reads as a number.
  uint32_t number = 0xFFFFFFFF;
  EXPECT_EQ(0, os_.ReadValue(key, "Empty", &number, sizeof number));
  EXPECT_EQ(0xFFFFFF00u, number);
  EXPECT_NE(0, os_.ReadValue(key, "Fits", &number, sizeof number));
  os_.CloseKey(key);
  SettingsKey missing = nullptr;
  EXPECT_NE(0, os_.OpenKey(root, "Conduits/Other", true, &missing));
  EXPECT_EQ(nullptr, missing);
  SettingsCloseStore(root);
}

TEST(StringTableTest, TextsAreExactAndTruncateLikeAResourceLoader) {
  CPosixOsServices os(ConduitModuleInstance(), FindConduitString);
  struct Case {
    uint32_t id;
    const char* text;
  } const kCases[] = {
      {3301, "Date Book"},       {3311, "     Please check your connections and try again."},
      {3321, "' to 'Unfiled'."}, {3320, "   - Could not move the Rizez records in category '"},
      {3305, ", Due: "},         {3357, "     following To Do item was moved to 1970:"},
  };
  char buffer[128];
  for (const Case& c : kCases) {
    EXPECT_EQ(static_cast<int32_t>(strlen(c.text)),
              os.LoadString(ConduitModuleInstance(), c.id, buffer, sizeof buffer));
    EXPECT_STREQ(c.text, buffer) << c.id;
  }
  EXPECT_EQ(4, os.LoadString(ConduitModuleInstance(), 3301, buffer, 5));
  EXPECT_STREQ("Date", buffer);
  EXPECT_EQ(0, os.LoadString(ConduitModuleInstance(), 3358, buffer, sizeof buffer));
  EXPECT_EQ(0, os.LoadString(nullptr, 3301, buffer, sizeof buffer));
  // Services made without a string table answer no text for any module.
  CPosixOsServices without_strings;
  EXPECT_EQ(0, without_strings.LoadString(ConduitModuleInstance(), 3301, buffer, sizeof buffer));
}

}  // namespace
