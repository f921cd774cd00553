// The Windows OS services against the real system (run under Wine by the Windows build).
#include "conduit/platform/win32_os_services.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "conduit/resources/string_table.h"
#include "tests/support/test_files.h"

// windows.h names its ANSI functions by macros that would rename the services' operations.
#undef CopyFile
#undef CreateProcess
#undef DeleteFile
#undef LoadString
#undef MoveFile

namespace {

using test_support::ReadFile;
using test_support::WriteFile;

std::string BinDir() {
  const char* dir = std::getenv("DBC_BIN_DIR");
  std::string path = dir ? dir : ".";
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

// A registry key of its own below HKEY_CURRENT_USER, removed afterwards; the services get
// HKEY_CURRENT_USER as the root, as a host hands over an open root key.
class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "Software\\DateBookHotSync\\Tests\\" + std::to_string(GetCurrentProcessId());
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key_, nullptr));
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
  }
  SettingsKey Root() const { return reinterpret_cast<SettingsKey>(HKEY_CURRENT_USER); }

  CWin32OsServices os_;
  std::string path_;
  HKEY key_ = nullptr;
};

TEST_F(Win32RegistryTest, ReadsIntoAFixedBufferOrFailsLeavingItUntouched) {
  const char kText[] = "abc";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "Text", 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(kText), sizeof kText));
  const char kUnterminated[] = "xyz";  // stored without its terminator
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "Unterminated", 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(kUnterminated), 3));
  DWORD number = 0x01020304;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "Number", 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&number), sizeof number));
  SettingsKey key = nullptr;
  ASSERT_EQ(0, os_.OpenKey(Root(), path_.c_str(), false, &key));
  struct Case {
    const char* name;
    uint32_t size;
    bool ok;
    std::string bytes;  // the buffer afterwards
  };
  const Case kCases[] = {
      {"Text", 4, true, std::string("abc\0", 4)},
      {"Text", 8, true, std::string("abc\0####", 8)},
      {"Text", 3, false, "###"},  // one byte too short for the terminator
      {"Unterminated", 4, true, std::string("xyz\0", 4)},
      {"Unterminated", 3, false, "###"},
      {"Number", 4, true, std::string("\x04\x03\x02\x01", 4)},
      {"Number", 3, false, "###"},
      {"Missing", 8, false, "########"},
  };
  for (const Case& c : kCases) {
    std::string buffer(c.size, '#');
    int32_t rc = os_.ReadValue(key, c.name, &buffer[0], c.size);
    EXPECT_EQ(c.ok, rc == 0) << c.name << " " << c.size;
    EXPECT_EQ(c.bytes, buffer) << c.name << " " << c.size;
  }
  os_.CloseKey(key);
  EXPECT_NE(0, os_.OpenKey(Root(), (path_ + "\\Missing").c_str(), false, &key));
  EXPECT_EQ(nullptr, key);
}

TEST_F(Win32RegistryTest, SetsNumbersAsDwordsAndTextsAsStrings) {
  SettingsKey key = nullptr;
  ASSERT_EQ(0, os_.OpenKey(Root(), path_.c_str(), true, &key));
  EXPECT_EQ(0, os_.SetNumber(key, "FlushBackup", 0));
  EXPECT_EQ(0, os_.SetText(key, "ScreenID", "main", 4));
  EXPECT_EQ(0, os_.SetText(key, "Install", "", 0));
  os_.CloseKey(key);

  struct Case {
    const char* name;
    DWORD type;
    std::string bytes;
  };
  const Case kCases[] = {
      {"FlushBackup", REG_DWORD, std::string(4, '\0')},
      {"ScreenID", REG_SZ, std::string("main\0", 5)},
      {"Install", REG_SZ, ""},  // no data: reads back as the empty text
  };
  for (const Case& c : kCases) {
    char data[16] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key_, c.name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size))
        << c.name;
    EXPECT_EQ(c.type, type) << c.name;
    EXPECT_EQ(c.bytes, std::string(data, size)) << c.name;
  }
}

class Win32ServicesTest : public ::testing::Test {
 protected:
  test_support::CScratchFolder dir_{"dbc_w32"};
  CWin32OsServices os_;
};

TEST_F(Win32ServicesTest, MissingProgramIsFileNotFound) {
  ProcessHandle process = 0;
  std::string line = dir_.Path("no_such_driver") + " extract x";
  EXPECT_EQ(kOsErrFileNotFound, os_.CreateProcess(line.c_str(), "PATH=C:\\HLL;\0", &process));
  EXPECT_EQ(0, process);
}

// The child gets the command line and the environment block as given; its exit code reads 259
// while it runs and its own code afterwards.
TEST_F(Win32ServicesTest, ChildGetsCommandLineAndEnvironmentAndReportsItsExitCode) {
  std::string folder = dir_.Root() + "\\";
  std::string record = dir_.Path("record.txt");
  WriteFile(folder + "driver_script", "record " + record + "\nsleep_ms 500\nexit 3\n");
  std::string line = BinDir() + "\\script_driver.exe extract " + folder + " f.dat u 0 s h";
  const char kEnvironment[] = "PATH=C:\\HLL;\0OTHER=1\0";  // the literal adds the final NUL
  ProcessHandle process = 0;
  ASSERT_EQ(0, os_.CreateProcess(line.c_str(), kEnvironment, &process));
  int32_t code = 0;
  ASSERT_EQ(0, os_.GetExitCode(process, &code));
  EXPECT_EQ(kOsStillActive, code);
  for (int i = 0; i < 400 && code == kOsStillActive; ++i) {
    os_.Sleep(50);
    ASSERT_EQ(0, os_.GetExitCode(process, &code));
  }
  os_.CloseProcess(process);
  EXPECT_EQ(3, code);

  std::ifstream in(record);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ("cmdline=" + line, lines[1]);
  auto env_start = std::find(lines.begin(), lines.end(), "env=PATH=C:\\HLL;");
  ASSERT_NE(lines.end(), env_start);
  ASSERT_NE(lines.end(), env_start + 1);
  EXPECT_EQ("env=OTHER=1", *(env_start + 1));
}

TEST_F(Win32ServicesTest, ShortPathFitsOrAnswersZero) {
  std::string folder = dir_.Path("a folder with a long name") + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  char out[MAX_PATH];
  uint32_t length = os_.GetShortPath(folder.c_str(), out, sizeof out);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(length, std::strlen(out));
  EXPECT_EQ(std::string::npos, std::string(out).find(' '));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(out));
  EXPECT_EQ(0u, os_.GetShortPath(folder.c_str(), out, length));  // no room for the terminator
}

TEST_F(Win32ServicesTest, FileOperations) {
  std::string a = dir_.Path("a.txt");
  std::string b = dir_.Path("b.txt");
  WriteFile(a, "one\r\ntwo\r\n");
  WriteFile(b, "old");
  EXPECT_TRUE(os_.CopyFile(a.c_str(), b.c_str()));  // replaces
  EXPECT_EQ("one\r\ntwo\r\n", ReadFile(b));
  EXPECT_FALSE(os_.MoveFile(a.c_str(), b.c_str()));  // the target exists
  std::string text;
  uint64_t size = 0;
  EXPECT_TRUE(os_.ReadTextFile(b.c_str(), 100, &text, &size));
  EXPECT_EQ("one\ntwo\n", text);
  EXPECT_EQ(10u, size);
  EXPECT_TRUE(os_.DeleteFile(b.c_str()));
  EXPECT_FALSE(os_.FileExists(b.c_str()));
  EXPECT_FALSE(os_.DeleteFile(b.c_str()));
  EXPECT_FALSE(os_.ReadTextFile(b.c_str(), 100, &text, &size));
  EXPECT_TRUE(os_.MoveFile(a.c_str(), b.c_str()));
  EXPECT_TRUE(os_.FileExists(b.c_str()));
  EXPECT_FALSE(os_.FileExists(a.c_str()));
}

// A driver that hangs is ended by KillProcess; the update file's folder is asked whether the file
// can be deleted; only a regular file is read as the error file.
TEST_F(Win32ServicesTest, KillEndsTheChildAndFilesAreCheckedBeforeUse) {
  std::string folder = dir_.Root() + "\\";
  WriteFile(folder + "driver_script", "sleep_ms 60000\n");
  std::string line = BinDir() + "\\script_driver.exe update " + folder + " u.dat u 0 s h";
  ProcessHandle process = 0;
  ASSERT_EQ(0, os_.CreateProcess(line.c_str(), "PATH=C:\\HLL;\0", &process));
  os_.KillProcess(process);
  int32_t code = 0;
  ASSERT_EQ(0, os_.GetExitCode(process, &code));
  EXPECT_NE(0, code);
  EXPECT_NE(kOsStillActive, code);
  os_.CloseProcess(process);

  std::string update = dir_.Path("update.dat");
  WriteFile(update, "0000");
  EXPECT_TRUE(os_.CanDeleteFile(update.c_str()));
  EXPECT_FALSE(os_.CanDeleteFile(dir_.Path("none.dat").c_str()));
  std::string text;
  uint64_t size = 0;
  EXPECT_FALSE(os_.ReadTextFile(dir_.Root().c_str(), 100, &text, &size));
}

// The conduit DLL's string resources hold, id for id, the texts of the table compiled into the
// library, and LoadString truncates as the compiled-in table does.
TEST(Win32StringResourcesTest, DllResourcesAreTheCompiledInTable) {
  std::string dll = BinDir() + "\\datebook_conduit.dll";
  HMODULE module = LoadLibraryExA(dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(nullptr, module) << dll << ": " << GetLastError();
  CWin32OsServices os;
  for (uint32_t id = kFirstStringId; id <= kLastStringId; ++id) {
    char buffer[256];
    const char* expected = FindConduitString(id);
    ASSERT_NE(nullptr, expected) << id;
    EXPECT_EQ(static_cast<int32_t>(std::strlen(expected)),
              os.LoadString(module, id, buffer, sizeof buffer))
        << id;
    EXPECT_STREQ(expected, buffer) << id;
  }
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(0, os.LoadString(module, kLastStringId + 1, buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
  EXPECT_EQ(4, os.LoadString(module, IDS_CONDUIT_NAME, buffer, 5));
  EXPECT_STREQ("Date", buffer);
  FreeLibrary(module);
}

}  // namespace
