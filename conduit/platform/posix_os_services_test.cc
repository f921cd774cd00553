#include "conduit/platform/posix_os_services.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "conduit/resources/string_table.h"
#include "host/settings/settings_host.h"
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
