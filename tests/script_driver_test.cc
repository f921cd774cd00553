// script_driver, the test host driver: it must not say it succeeded when it did not.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "tests/support/run_program.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;
using test_support::WriteFile;

struct Result {
  int status = -1;
  std::string err;
};

class ScriptDriverTest : public ::testing::Test {
 protected:
  // Runs script_driver COMMAND <data folder> FILE with the seven words; `limit` is a shell
  // prefix such as "ulimit -f 0;" (a full disk: writes fail with EFBIG, SIGXFSZ ignored).
  Result Run(const std::string& command, const std::string& file = "datebook.dat",
             const std::string& limit = "") {
    const char* bin = getenv("DBC_BIN_DIR");
    // Standard error comes through a pipe, which the file size limit does not cover.
    std::string line = "trap '' XFSZ; " + limit + " exec " + std::string(bin ? bin : ".") +
                       "/script_driver " + command + " " + folder_ + " " + file +
                       " jdoe 30 main datebook 2>&1 >/dev/null";
    std::string shell = "sh -c \"" + line + "\"";
    const test_support::ProgramResult run = test_support::RunShellCommand(shell);
    return Result{run.status, run.out};
  }
  void Script(const std::string& lines) { WriteFile(folder_ + "driver_script", lines); }

  test_support::CScratchFolder scratch_{"drv"};
  std::string folder_ = scratch_.DataFolder();
};

TEST_F(ScriptDriverTest, EveryFailureEndsNonZeroWithAMessage) {
  struct Case {
    std::string script;
    std::string command;
    int status;
    std::string says;
  };
  const Case kCases[] = {
      {"", "frobnicate", 64, "unknown command frobnicate"},
      {"extract.exit_code 3\n", "extract", 65, "line 1: unknown key extract.exit_code"},
      {"# comment\nextrct.exit 3\n", "update", 65, "line 2: unknown key extrct.exit"},
      {"exit three\n", "update", 65, "exit needs a number"},
      {"exit 300\n", "update", 65, "exit needs a number"},
      {"sleep_ms soon\n", "update", 65, "sleep_ms needs a number"},
      {"extract_file " + scratch_.Path("none") + "\n", "extract", 74, "cannot read"},
      {"update_copy " + scratch_.Path("no/such/folder") + "\n", "update", 74, "cannot create"},
  };
  for (const Case& c : kCases) {
    Script(c.script);
    WriteFile(folder_ + "datebook.dat", "0000");
    Result r = Run(c.command);
    EXPECT_EQ(c.status, r.status) << c.script;
    EXPECT_NE(std::string::npos, r.err.find(c.says)) << c.script << ": " << r.err;
  }
}

// A full disk: the extract fails, and the old desktop file stays whole instead of becoming an
// empty file that the conduit would read as a host calendar without entries.
TEST_F(ScriptDriverTest, ExtractThatCannotBeWrittenFailsAndKeepsTheOldFile) {
  Script("extract_text 0001longer than what the disk takes\n");
  WriteFile(folder_ + "datebook.dat", "0000");
  Result r = Run("extract", "datebook.dat", "ulimit -f 0;");
  EXPECT_EQ(74, r.status);
  EXPECT_NE(std::string::npos, r.err.find("cannot write " + folder_ + "datebook.dat")) << r.err;
  EXPECT_EQ("0000", ReadFile(folder_ + "datebook.dat"));
  EXPECT_EQ((std::vector<std::string>{"datebook.dat", "driver_script"}), scratch_.DataFiles());
}

TEST_F(ScriptDriverTest, ReplacesALinkInsteadOfWritingThroughIt) {
  WriteFile(scratch_.Path("secret"), "keep me");
  fs::create_symlink(scratch_.Path("secret"), folder_ + "datebook.dat");
  Script("extract_text 0000\n");
  EXPECT_EQ(0, Run("extract").status);
  EXPECT_FALSE(fs::is_symlink(folder_ + "datebook.dat"));
  EXPECT_EQ("0000", ReadFile(folder_ + "datebook.dat"));
  EXPECT_EQ("keep me", ReadFile(scratch_.Path("secret")));
}

TEST_F(ScriptDriverTest, CountsTheUpdatesItApplied) {
  std::string count = scratch_.Path("applied");
  Script("update_count " + count + "\n");
  WriteFile(folder_ + "update.dat", "0000");
  EXPECT_EQ(0, Run("update", "update.dat").status);
  EXPECT_EQ("1\n", ReadFile(count));
  EXPECT_EQ(0, Run("update", "update.dat").status);
  EXPECT_EQ("2\n", ReadFile(count));
  EXPECT_EQ(0, Run("extract").status);  // only updates count
  EXPECT_EQ("2\n", ReadFile(count));
}

}  // namespace
