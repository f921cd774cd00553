// The conduit through the hotsync program, as a user runs it: the real library, the real process
// runner and script_driver as the host driver. The same tests run on POSIX and, with the Windows
// build, under Wine, so that both platforms are held to the same log lines.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/driver_runs.h"
#include "tests/support/run_program.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::kMissing;
using test_support::kSeparator;
using test_support::ProgramResult;
using test_support::ReadFile;
using test_support::WriteFile;

constexpr char kUser[] = "tester";
constexpr long long kInstallPauseMs = 5000;

// One run of script_driver as it recorded it.
struct DriverRun {
  std::string command_line;  // Windows only: the command line before the C library split it
  std::vector<std::string> args;
  std::vector<std::string> env;
};

std::vector<DriverRun> ReadDriverRuns(const std::string& record_file) {
  std::vector<DriverRun> runs;
  std::ifstream in(record_file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("run ", 0) == 0) runs.emplace_back();
    if (runs.empty()) continue;
    if (line.rfind("cmdline=", 0) == 0) runs.back().command_line = line.substr(8);
    if (line.rfind("arg=", 0) == 0) runs.back().args.push_back(line.substr(4));
    if (line.rfind("env=", 0) == 0) runs.back().env.push_back(line.substr(4));
  }
  return runs;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start <= line.size()) {
    size_t blank = line.find(' ', start);
    if (blank == std::string::npos) blank = line.size();
    if (blank > start) words.push_back(line.substr(start, blank - start));
    start = blank + 1;
  }
  return words;
}

std::string Json(int activity, const std::string& text) {
  return "{\"activity\":" + std::to_string(activity) + ",\"text\":\"" + text + "\"}\n";
}

const std::string kFailedLine = Json(22, "Datebook Synchronization Failed");

#if !defined(_WIN32)
// The process ID that script_driver recorded for its last run, 0 while there is none.
pid_t RecordedDriverPid(const std::string& record_file) {
  std::string text = ReadFile(record_file);
  size_t at = text.rfind("\npid=");
  return at == std::string::npos ? 0 : atoi(text.c_str() + at + 5);
}
#endif

class HotSyncConduitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = getenv("DBC_BIN_DIR");
    bin_ = bin ? bin : ".";
#if defined(_WIN32)
    for (char& c : bin_) c = c == '/' ? '\\' : c;
#endif
    ASSERT_EQ(0, Run("info").status);  // sets up the home
#if !defined(_WIN32)
    // These tests script the host driver; a new POSIX home has the iCalendar driver.
    ASSERT_EQ(0, Run("settings set DriverPath " + bin_ + "/script_driver").status);
#endif
    data_ = home_ + kSeparator + "users" + kSeparator + kUser + kSeparator;
    fs::create_directories(data_);  // info names the data folder; sync would create it
  }

  // Runs hotsync in the home; `dialog_script`, when not empty, answers the action dialog.
  ProgramResult Run(const std::string& args, const std::string& dialog_script = "") {
    std::string command =
        bin_ + kSeparator + "hotsync --home " + home_ + " --user " + kUser + " " + args;
    std::string dialog = "HOTSYNC_DIALOG_SCRIPT";
    if (!dialog_script.empty()) dialog += "=" + dialog_script;
    return test_support::RunProgram(command, home_ + kSeparator + "stderr.txt",
                                    {"HOTSYNC_HOME", dialog});
  }
  std::string Setting(const std::string& name) {
    std::string value = Run("settings get " + name).out;
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }
  // The driver script: record every run, then do what `lines` say.
  void Script(const std::string& lines) {
    WriteFile(data_ + "driver_script", "record " + Record() + "\n" + lines);
  }
  std::string Record() const {
    return home_ + kSeparator + "runs.txt";
  }
  // The commands of the recorded driver runs, in order.
  std::vector<std::string> Runs() const {
    return test_support::RecordedDriverCommands(Record());
  }
  // The data folder as the conduit names it to the driver: its short form.
  std::string ShortDataFolder() const {
#if defined(_WIN32)
    char short_form[MAX_PATH];
    DWORD length = GetShortPathNameA(data_.c_str(), short_form, sizeof short_form);
    return length > 0 && length < sizeof short_form ? short_form : "";
#else
    return data_;
#endif
  }
  // Stores a text setting of the conduit as another tool could, without hotsync's checks.
  void SetTextBehindHotSync(const std::string& name, const std::string& value) {
#if defined(_WIN32)
    std::string store = home_ + "/settings.txt";
    for (char& c : store) c = c == '\\' ? '/' : c;
    std::string key_path = "Software\\DateBookHotSync\\Stores\\" + store + "\\Conduits\\DateBook";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_WRITE, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>(value.size() + 1)));
    RegCloseKey(key);
#else
    std::string file = home_ + "/settings.txt";
    std::string store = ReadFile(file);
    size_t at = store.find("\n" + name + "=text:");
    ASSERT_NE(std::string::npos, at);
    store.replace(at + 1, store.find('\n', at + 1) - at - 1, name + "=text:" + value);
    WriteFile(file, store);
#endif
  }
  // A path in the home of exactly `length` characters, naming no file.
  std::string MissingPathOfLength(size_t length) const {
    std::string path = home_ + kSeparator;
    return path + std::string(length - path.size(), 'x');
  }

  test_support::CScratchFolder scratch_{"dbc_hs"};
  std::string home_ = scratch_.Root();
  std::string bin_;
  std::string data_;
};

TEST_F(HotSyncConduitTest, InfoShowsNameAndVersion) {
  ProgramResult r = Run("info");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(0u, r.out.find("name: Date Book\nversion: 257\n")) << r.out;
}

TEST_F(HotSyncConduitTest, FailingExtractLeavesExtractAndUpdateFilesUntouched) {
  WriteFile(data_ + "extract.dat", "0000");
  Script("extract.extract_text 0001broken\nextract.error Host down.\nextract.exit 3\n");
  ProgramResult r = Run("sync --json");
  EXPECT_NE(0, r.status);
  EXPECT_EQ(Json(22, "Host Communication Error = 3") + Json(22, "Host down.") + kFailedLine, r.out);
  EXPECT_EQ(std::vector<std::string>{"extract"}, Runs());
  EXPECT_EQ("0000", ReadFile(data_ + "extract.dat"));
  EXPECT_EQ(kMissing, ReadFile(data_ + "update.dat"));
}

// The update had started, so the retry reads the host's calendar first (it may hold part of the
// update); it does not synchronise.
TEST_F(HotSyncConduitTest, FailingUpdateIsRetriedAtTheNextSync) {
  WriteFile(data_ + "update.dat", "0000");
  Script("update.exit 4\n");
  EXPECT_NE(0, Run("sync").status);
  EXPECT_EQ("0000", ReadFile(data_ + "update.dat"));

  std::string count = home_ + kSeparator + "count";
  Script("update.update_copy " + home_ + kSeparator + "applied.dat\nupdate_count " + count + "\n");
  ProgramResult r = Run("sync --json");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_EQ((std::vector<std::string>{"update", "extract", "update"}), Runs());
  EXPECT_EQ("0000", ReadFile(home_ + kSeparator + "applied.dat"));
  EXPECT_EQ("1\n", ReadFile(count));  // the failed run applied nothing
  EXPECT_EQ(kMissing, ReadFile(data_ + "update.dat"));
  EXPECT_EQ(kMissing, ReadFile(data_ + "extract.dat"));  // no synchronisation ran
}

// The driver gets the command line that the conduit built, word for word, and the environment
// block as its whole environment: PATH naming the HLLPath folder, followed by ";".
TEST_F(HotSyncConduitTest, DriverGetsTheCommandLineAndEnvironmentBlockAsBuilt) {
  Script("extract.exit 1\n");
  ProgramResult r = Run("sync --json");
  EXPECT_EQ(Json(22, "Host Communication Error = 1") + kFailedLine, r.out);

  std::string folder = ShortDataFolder();
  ASSERT_FALSE(folder.empty());
  std::string line = Setting("DriverPath") + " extract " + folder + " datebook.dat " + kUser +
                     " 30 main " + Setting("HLLName");
  std::vector<DriverRun> runs = ReadDriverRuns(Record());
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(Words(line), runs[0].args);
  std::string path_block = "PATH=" + home_ + kSeparator + "hll;";
  ASSERT_FALSE(runs[0].env.empty());
  EXPECT_EQ(path_block, runs[0].env[0]);
#if defined(_WIN32)
  EXPECT_EQ(line, runs[0].command_line);
  // Wine's loader adds variables of its own (WINE..., SystemDrive, SystemRoot) after the block
  // that the process was created with; nothing else reaches the driver.
  for (size_t i = 1; i < runs[0].env.size(); ++i) {
    const std::string& e = runs[0].env[i];
    EXPECT_TRUE(e.rfind("WINE", 0) == 0 || e.rfind("SystemDrive=", 0) == 0 ||
                e.rfind("SystemRoot=", 0) == 0)
        << e;
  }
#else
  EXPECT_EQ(std::vector<std::string>{path_block}, runs[0].env);
#endif
}

TEST_F(HotSyncConduitTest, MissingDriverIsReported) {
  ASSERT_EQ(0, Run("settings set DriverPath " + home_ + kSeparator + "no_such_driver").status);
  ProgramResult r = Run("sync --json");
  EXPECT_NE(0, r.status);
  EXPECT_EQ(Json(22, "A required file or DLL cannot be found.") + kFailedLine, r.out);
}

// DriverPath is read into 200 bytes: 199 characters and the terminator fit, 200 do not. hotsync
// refuses to store the longer one; stored by another tool, the conduit refuses to read it.
TEST_F(HotSyncConduitTest, TextSettingMustFitItsBufferWithItsTerminator) {
  struct Case {
    size_t length;
    std::string first_line;
  };
  const Case kCases[] = {
      {199, Json(22, "A required file or DLL cannot be found.")},
      {200, Json(22, "Unable to read DriverPath in registry. Date Book")},
  };
  for (const Case& c : kCases) {
    std::string path = MissingPathOfLength(c.length);
    EXPECT_EQ(c.length < 200 ? 0 : 2, Run("settings set DriverPath " + path).status);
    SetTextBehindHotSync("DriverPath", path);
    ASSERT_EQ(path, Setting("DriverPath"));
    EXPECT_EQ(c.first_line + kFailedLine, Run("sync --json").out) << c.length;
  }
}

// The install command runs once, with its fixed words, and is followed by a pause of 5 s.
TEST_F(HotSyncConduitTest, InstallRunsOnceWithItsPause) {
  std::string setup = home_ + kSeparator + "setup";
  ASSERT_EQ(0, Run("settings set Install " + setup).status);
  WriteFile(data_ + "update.dat", "0000");  // keeps the run short: install, then the update only
  Script("");
  auto start = std::chrono::steady_clock::now();
  ProgramResult r = Run("sync --json");
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start)
                .count();
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_GE(ms, kInstallPauseMs);
  std::vector<DriverRun> runs = ReadDriverRuns(Record());
  ASSERT_EQ(2u, runs.size());
  EXPECT_EQ(Words(Setting("DriverPath") + " install " + ShortDataFolder() + " " + setup +
                  " dummy 0 XXX " + Setting("HLLName")),
            runs[0].args);
  EXPECT_EQ("update", runs[1].args.at(1));
  EXPECT_EQ("", Setting("Install"));
}

// The conduit's change-action dialog, through the host's dialog library: the chosen action maps
// to the next sync type, a cancel changes nothing.
TEST_F(HotSyncConduitTest, ConfigureMapsTheChosenActionToTheNextSyncType) {
  struct Case {
    const char* script;
    int status;
    std::string out;
  };
  const Case kCases[] = {
      {"1,default", 0, "next sync type: 3 (default)\n"},
      {"3,once", 0, "next sync type: 6 (this time only)\n"},
      {"0,once", 0, "next sync type: 0 (this time only)\n"},
      {"cancel", 1, "cancelled: the next sync's action is unchanged\n"},
  };
  for (const Case& c : kCases) {
    ProgramResult r = Run("configure", c.script);
    EXPECT_EQ(c.status, r.status) << c.script;
    EXPECT_EQ(c.out, r.out) << c.script;
  }
}

// Whatever the driver prints stays out of the output that JSON readers parse.
TEST_F(HotSyncConduitTest, DriverOutputStaysOutOfJson) {
  Script("stdout a stray {line\nextract.exit 3\n");
  ProgramResult r = Run("sync --json");
  EXPECT_EQ(Json(22, "Host Communication Error = 3") + kFailedLine, r.out);
#if !defined(_WIN32)
  // On POSIX it goes to hotsync's standard error.
  EXPECT_NE(std::string::npos, ReadFile(home_ + kSeparator + "stderr.txt").find("a stray {line"));
#endif
}

TEST_F(HotSyncConduitTest, DriverThatHangsIsStoppedAtTheTimeLimit) {
  ASSERT_EQ(0, Run("settings set DriverTimeLimit 1").status);
  Script("extract.sleep_ms 60000\n");
  auto start = std::chrono::steady_clock::now();
  ProgramResult r = Run("sync --json");
  auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_EQ(1, r.status);
  EXPECT_LT(seconds, 10);
  EXPECT_EQ(Json(22,
                 "The Host Driver did not end within 1 seconds and was stopped (DriverTimeLimit). "
                 "Date Book") +
                kFailedLine,
            r.out);
#if !defined(_WIN32)
  pid_t driver = RecordedDriverPid(Record());
  ASSERT_GT(driver, 0);
  EXPECT_TRUE(test_support::ProcessEnded(driver));
#endif
}

#if !defined(_WIN32)
// hotsync interrupted, terminated or killed while its driver runs: the driver ends too, so that
// the next sync does not start a second driver in the same data folder.
TEST_F(HotSyncConduitTest, DriverEndsWithAnInterruptedOrKilledHotSync) {
  Script("extract.sleep_ms 60000\n");
  for (int signal_number : {SIGINT, SIGTERM, SIGKILL}) {
    SCOPED_TRACE(signal_number);
    fs::remove(Record());
    std::string hotsync = bin_ + "/hotsync";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      execl(hotsync.c_str(), hotsync.c_str(), "--home", home_.c_str(), "--user", kUser, "sync",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    pid_t driver = 0;
    for (int i = 0; i < 500 && driver == 0; ++i) {
      driver = RecordedDriverPid(Record());
      if (driver == 0) usleep(10000);
    }
    ASSERT_GT(driver, 0);
    kill(pid, signal_number);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_TRUE(test_support::ProcessEndsWithin(driver, 3000));
  }
}
#endif

#if defined(_WIN32)
// On Windows the settings are registry values under the home's store key, where the conduit reads
// them: numbers as REG_DWORD, texts as REG_SZ with their terminator.
TEST_F(HotSyncConduitTest, SettingsAreRegistryValues) {
  ASSERT_EQ(0, Run("settings set NumDays 7").status);
  ASSERT_EQ(0, Run("settings set ScreenID s2").status);
  std::string store = home_ + "/settings.txt";
  for (char& c : store) c = c == '\\' ? '/' : c;
  std::string key_path = "Software\\DateBookHotSync\\Stores\\" + store + "\\Conduits\\DateBook";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_READ, &key));
  DWORD type = 0;
  DWORD days = 0;
  DWORD size = sizeof days;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "NumDays", nullptr, &type,
                                            reinterpret_cast<BYTE*>(&days), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(7u, days);
  char screen[16] = {};
  size = sizeof screen;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "ScreenID", nullptr, &type,
                                            reinterpret_cast<BYTE*>(screen), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(3u, size);
  EXPECT_STREQ("s2", screen);
  RegCloseKey(key);

  Script("extract.exit 1\n");
  Run("sync");
  std::vector<DriverRun> runs = ReadDriverRuns(Record());
  ASSERT_EQ(1u, runs.size());
  ASSERT_EQ(8u, runs[0].args.size());
  EXPECT_EQ("7", runs[0].args[5]);
  EXPECT_EQ("s2", runs[0].args[6]);
}
#endif

}  // namespace
