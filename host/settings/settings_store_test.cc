// The settings store file: parse errors named by line, numbers, cut stores, changes from several
// processes at once, and how the file is replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/settings/settings_host.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::CScratchFolder;
using test_support::ReadFile;
using test_support::WriteFile;

constexpr char kHeader[] = "# hotsync settings store 2\n";
constexpr char kEnd[] = "# end of settings store\n";

// A number value of the key "K" in the store file, or -1 when it cannot be read.
int64_t NumberIn(const std::string& file, const char* name) {
  SettingsKey root = nullptr;
  if (SettingsOpenStore(file.c_str(), &root) != kSettingsOk) return -1;
  SettingsKey key = nullptr;
  uint32_t value = 0;
  uint32_t size = sizeof value;
  int32_t rc = SettingsOpenKey(root, "K", 0, &key);
  if (rc == kSettingsOk) rc = SettingsQueryValue(key, name, &value, &size, nullptr);
  SettingsCloseKey(key);
  SettingsCloseStore(root);
  return rc == kSettingsOk ? static_cast<int32_t>(value) : -1;
}

// Sets K/name to value through a store opened for this call alone.
int32_t SetIn(const std::string& file, const std::string& name, uint32_t value) {
  SettingsKey root = nullptr;
  if (SettingsOpenStore(file.c_str(), &root) != kSettingsOk) return -1;
  SettingsKey key = nullptr;
  int32_t rc = SettingsOpenKey(root, "K", 1, &key);
  if (rc == kSettingsOk) rc = SettingsSetNumber(key, name.c_str(), value);
  SettingsCloseKey(key);
  SettingsCloseStore(root);
  return rc;
}

TEST(SettingsStoreTest, ProblemsNameTheLineAndLeaveTheFileAlone) {
  CScratchFolder dir;
  std::string file = dir.Path("settings.txt");
  std::string h = kHeader;
  struct Case {
    std::string content;
    std::string says;
  };
  const Case kCases[] = {
      {"", "the file is empty"},
      {"# some other file\n", "line 1: not a settings store"},
      {h + "N=number:1\n" + kEnd, "line 2: a value before the first [key] line"},
      {h + "[K]\nNumDays=number:0x1F\n" + kEnd, "line 3: NumDays: \"0x1F\" is not a decimal"},
      {h + "[K]\nNumDays=number:2147483648\n" + kEnd, "line 3: NumDays: \"2147483648\" is not"},
      {h + "[K]\n\nN=number:\n" + kEnd, "line 4: N: \"\" is not a decimal"},
      {h + "[K]\nN=text:a\\qb\n" + kEnd, "line 3: N: a \"\\\" in the text"},
      {h + "[K]\nN=bool:1\n" + kEnd, "line 3: N: the value must start with"},
      {h + "[K]\nno equals sign\n" + kEnd, "line 3: expected NAME=number:N"},
      {h + "[K\n" + kEnd, "line 2: \"[K\" is not a valid [key] line"},
      {h + "[K]\nN=number:1\n" + kEnd + "M=number:2\n", "line 5: text after the closing line"},
      // Cut in the middle of a value, and cut after a whole line.
      {h + "[K]\nDriverPath=text:/usr/b", "line 3: the last line has no line end"},
      {h + "[K]\nN=number:1\n", "the closing line \"# end of settings store\" is missing"},
  };
  for (const Case& c : kCases) {
    WriteFile(file, c.content);
    SettingsKey root = nullptr;
    std::string error;
    EXPECT_EQ(kSettingsErrIo, SettingsOpenStoreFile(file, &root, &error)) << c.content;
    EXPECT_EQ(nullptr, root);
    EXPECT_NE(std::string::npos, error.find(c.says)) << c.content << "\n-> " << error;
    EXPECT_EQ(c.content, ReadFile(file));
  }
}

TEST(SettingsStoreTest, NumbersAreDecimalAndFitSigned32Bits) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  };
  const Case kCases[] = {
      {"010", true, 10},
      {"-2147483648", true, INT32_MIN},
      {"2147483647", true, INT32_MAX},
      {"0x1F", false, 0},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999", false, 0},
      {"+5", false, 0},
      {" 5", false, 0},
      {"5 ", false, 0},
      {"", false, 0},
      {"-", false, 0},
  };
  for (const Case& c : kCases) {
    int32_t value = 0;
    EXPECT_EQ(c.ok, SettingsParseNumber(c.text, &value)) << c.text;
    if (c.ok) {
      EXPECT_EQ(c.value, value) << c.text;
    }
  }
  // The file reads numbers the same way.
  CScratchFolder dir;
  std::string file = dir.Path("settings.txt");
  WriteFile(file, std::string(kHeader) + "[K]\nN=number:010\n" + kEnd);
  EXPECT_EQ(10, NumberIn(file, "N"));
}

TEST(SettingsStoreTest, VersionOneStoreWithoutClosingLineIsReadAndRewrittenWithOne) {
  CScratchFolder dir;
  std::string file = dir.Path("settings.txt");
  WriteFile(file, "# hotsync settings store 1\n[K]\nN=number:7\n");
  EXPECT_EQ(7, NumberIn(file, "N"));
  ASSERT_EQ(kSettingsOk, SetIn(file, "M", 8));
  EXPECT_EQ(std::string(kHeader) + "[K]\nM=number:8\nN=number:7\n" + kEnd, ReadFile(file));
}

// A process that opened the store before another one changed it changes only its own value.
TEST(SettingsStoreTest, ChangeKeepsWhatAnotherWriterChangedMeanwhile) {
  CScratchFolder dir;
  std::string file = dir.Path("settings.txt");
  ASSERT_EQ(kSettingsOk, SetIn(file, "Install", 5));
  SettingsKey early = nullptr;
  ASSERT_EQ(kSettingsOk, SettingsOpenStore(file.c_str(), &early));
  SettingsKey key = nullptr;
  ASSERT_EQ(kSettingsOk, SettingsOpenKey(early, "K", 0, &key));

  ASSERT_EQ(kSettingsOk, SetIn(file, "NumDays", 7));  // meanwhile, elsewhere
  ASSERT_EQ(kSettingsOk, SettingsSetNumber(key, "Install", 0));
  EXPECT_EQ(0, NumberIn(file, "Install"));
  EXPECT_EQ(7, NumberIn(file, "NumDays"));
  // The early store now sees the other writer's value too.
  uint32_t value = 0;
  uint32_t size = sizeof value;
  EXPECT_EQ(kSettingsOk, SettingsQueryValue(key, "NumDays", &value, &size, nullptr));
  EXPECT_EQ(7u, value);
  SettingsCloseKey(key);
  SettingsCloseStore(early);
}

TEST(SettingsStoreTest, ParallelWritersAllKeepTheirValue) {
  CScratchFolder dir;
  std::string file = dir.Path("settings.txt");
  ASSERT_EQ(kSettingsOk, SetIn(file, "Start", 1));
  constexpr int kWriters = 20;
  int go[2];
  ASSERT_EQ(0, pipe(go));
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters; ++i) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(go[1]);
      char byte;
      (void)!read(go[0], &byte, 1);  // all start together when the pipe closes
      _exit(SetIn(file, "W" + std::to_string(i), static_cast<uint32_t>(i)) == kSettingsOk ? 0 : 1);
    }
    children.push_back(pid);
  }
  close(go[0]);
  close(go[1]);
  int succeeded = 0;
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) ++succeeded;
  }
  EXPECT_EQ(kWriters, succeeded);
  for (int i = 0; i < kWriters; ++i)
    EXPECT_EQ(i, NumberIn(file, ("W" + std::to_string(i)).c_str()));
  for (const auto& entry : fs::directory_iterator(dir.Path(""))) {
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find(".tmp-")) << entry.path();
  }
}

TEST(SettingsStoreTest, ChangeKeepsLinkAndModeAndRefusesAReadOnlyFile) {
  CScratchFolder dir;
  std::string file = dir.Path("settings.txt");
  ASSERT_EQ(kSettingsOk, SetIn(file, "N", 1));
  struct stat st;
  ASSERT_EQ(0, stat(file.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);  // a new store is the user's alone

  // Through a symbolic link: the target changes, the link stays, the mode is kept.
  std::string target = dir.Path("real.txt");
  fs::rename(file, target);
  fs::create_symlink(target, file);
  ASSERT_EQ(0, chmod(target.c_str(), 0640));
  ASSERT_EQ(kSettingsOk, SetIn(file, "N", 2));
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(2, NumberIn(target, "N"));
  ASSERT_EQ(0, stat(target.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);

  // A read-only store is refused with the reason, untouched.
  ASSERT_EQ(0, chmod(target.c_str(), 0400));
  std::string before = ReadFile(target);
  SettingsKey root = nullptr;
  ASSERT_EQ(kSettingsOk, SettingsOpenStore(file.c_str(), &root));
  SettingsKey key = nullptr;
  ASSERT_EQ(kSettingsOk, SettingsOpenKey(root, "K", 0, &key));
  EXPECT_EQ(kSettingsErrIo, SettingsSetNumber(key, "N", 3));
  EXPECT_NE(std::string::npos, SettingsLastError(root).find("read-only"))
      << SettingsLastError(root);
  SettingsCloseKey(key);
  SettingsCloseStore(root);
  EXPECT_EQ(before, ReadFile(target));
}

}  // namespace
