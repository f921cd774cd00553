// The hotsync program end to end, with the scriptable test conduit (stub_conduit.cc).
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/hotsync/hotsync_home.h"
#include "host/settings/settings_host.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Dir(const char* env, const char* fallback) {
  const char* value = std::getenv(env);
  return value != nullptr ? value : fallback;
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class HotSyncTest : public testing::Test {
 protected:
  void SetUp() override {
    home_ = tmp_ + "/home";
    // The test program sits in the build's bin folder; the libraries in lib beside it.
    bin_ = Dir("DBC_BIN_DIR", ProgramFolder().c_str());
    lib_ = Dir("DBC_LIB_DIR", (bin_ + "/../lib").c_str());
    stub_ = lib_ + "/libhotsync_stub_conduit.so";
  }

  // Runs hotsync with the test conduit, the given environment ("NAME=value") and arguments.
  Result Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
             bool with_stub = true) {
    return RunTo(args, env, with_stub, tmp_ + "/out");
  }
  // Run, with standard output going to `out`.
  Result RunTo(const std::vector<std::string>& args, const std::vector<std::string>& env,
               bool with_stub, const std::string& out) {
    std::string command =
        "env -u HOTSYNC_DIALOG_SCRIPT -u HOTSYNC_HOME STUB_PROPS_FILE=" + Quote(tmp_ + "/props");
    for (const std::string& e : env) command += " " + Quote(e);
    command += " " + Quote(bin_ + "/hotsync");
    if (with_stub) command += " --conduit " + Quote(stub_);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " >" + Quote(out) + " 2>" + Quote(tmp_ + "/err") + " </dev/null";
    Result result;
    int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (out == tmp_ + "/out") result.out = ReadFile(out);
    result.err = ReadFile(tmp_ + "/err");
    return result;
  }

  // Runs hotsync with the test conduit on a pseudo-terminal (util-linux script), typing `typed`;
  // the output holds what the terminal showed, the typed text echoed too.
  Result RunOnTerminal(const std::vector<std::string>& args, const std::string& typed) {
    std::ofstream(tmp_ + "/typed") << typed;
    std::string inner = Quote(bin_ + "/hotsync") + " --conduit " + Quote(stub_);
    for (const std::string& a : args) inner += " " + Quote(a);
    std::string command = "env -u HOTSYNC_DIALOG_SCRIPT -u HOTSYNC_HOME script -qec " +
                          Quote(inner) + " /dev/null <" + Quote(tmp_ + "/typed") + " >" +
                          Quote(tmp_ + "/out") + " 2>" + Quote(tmp_ + "/err");
    Result result;
    int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(tmp_ + "/out");
    result.err = ReadFile(tmp_ + "/err");
    return result;
  }

  // A value of the props file that the test conduit's OpenConduit wrote.
  std::string Prop(const std::string& name) {
    std::string props = "\n" + ReadFile(tmp_ + "/props");
    size_t at = props.find("\n" + name + "=");
    if (at == std::string::npos) return "(missing)";
    size_t begin = at + name.size() + 2;
    return props.substr(begin, props.find('\n', begin) - begin);
  }

  test_support::CScratchFolder scratch_{"hotsync"};
  std::string tmp_ = scratch_.Root();
  std::string home_, bin_, lib_, stub_;
};

TEST(DataFolderNameTest, OneFolderPerUserWithoutBlanks) {
  struct Case {
    std::string user;
    std::string folder;
  };
  const Case kCases[] = {{"Ann", "Ann"},
                         {"a_b", "a_b"},
                         {"Zo-1.x", "Zo-1.x"},
                         {"a b", "a%20b"},
                         {"a/b", "a%2Fb"},
                         {"a\\b", "a%5Cb"},
                         {"a%20b", "a%2520b"},
                         {"..", "%2E."},
                         {".hidden", "%2Ehidden"},
                         {"Zo\xC3\xAB", "Zo%C3%AB"},
                         {std::string(100, 'x'), std::string(100, 'x')}};
  for (const Case& c : kCases) {
    std::string folder;
    std::string error;
    EXPECT_TRUE(DataFolderName(c.user, &folder, &error)) << c.user;
    EXPECT_EQ(c.folder, folder) << c.user;
  }
  // Names that shared a folder before get one each.
  std::vector<std::string> folders;
  for (const char* user : {"a b", "a_b", "a/b", "a?b", "a%5Fb"}) {
    std::string folder, error;
    ASSERT_TRUE(DataFolderName(user, &folder, &error));
    folders.push_back(folder);
  }
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders.end(), std::adjacent_find(folders.begin(), folders.end()));
  // Too long or empty: refused with the limit named, never cut.
  std::string folder, error;
  EXPECT_FALSE(DataFolderName(std::string(101, 'x'), &folder, &error));
  EXPECT_NE(std::string::npos, error.find("at most 100")) << error;
  EXPECT_FALSE(DataFolderName(std::string(34, ' '), &folder, &error));  // 102 bytes escaped
  EXPECT_FALSE(DataFolderName("", &folder, &error));
}

TEST_F(HotSyncTest, InfoPrintsTheFourLabelledLines) {
  Result r = Run({"--home", home_, "--user", "Ann Smith", "info"},
                 {"STUB_NAME=Date Book", "STUB_VERSION=257"});
  ASSERT_EQ(0, r.status) << r.err;
  std::string folder = home_ + "/users/Ann%20Smith/";
  EXPECT_EQ("name: Date Book\nversion: 257\ndata folder: " + folder + "\ndesktop file: " + folder +
                "datebook.dat\n",
            r.out);
  // The device image took the user name: without --user it is the default.
  r = Run({"--home", home_, "info"});
  EXPECT_NE(std::string::npos, r.out.find("data folder: " + folder + "\n")) << r.out;
}

TEST_F(HotSyncTest, NewHomeHasWorkingConduitSettings) {
  Result r = Run({"--home", home_, "settings", "list"}, {}, false);
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ("DriverPath=" + bin_ + "/ical_driver\nFlushBackup=0\nHLLName=calendar.ics\nHLLPath=" +
                home_ + "/hll\nInstall=\nNumDays=30\nScreenID=main\nUserID=\nUserMode=1\n",
            r.out);
  EXPECT_TRUE(fs::is_directory(home_ + "/hll"));
  EXPECT_FALSE(fs::exists(home_ + "/device.db"));  // the settings need no handheld
  ASSERT_EQ(0, Run({"--home", home_, "info"}).status);
  // The host calendar is there, empty, for the first sync's extract.
  const std::string calendar = ReadFile(home_ + "/hll/calendar.ics");
  EXPECT_EQ(0u, calendar.find("BEGIN:VCALENDAR\r\n")) << calendar;
  EXPECT_EQ(std::string::npos, calendar.find("BEGIN:VEVENT")) << calendar;
  EXPECT_TRUE(fs::is_regular_file(home_ + "/device.db"));
}

TEST_F(HotSyncTest, SettingsCommands) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const std::vector<Case> kCases = {
      {{"set", "NumDays", "045"}, 0, ""},
      {{"get", "NumDays"}, 0, "45\n"},
      {{"set", "ScreenID", "007"}, 0, ""},
      {{"get", "ScreenID"}, 0, "007\n"},
      {{"set", "Extra", "-5", "--number"}, 0, ""},
      {{"get", "Extra"}, 0, "-5\n"},
      {{"set", "UserMode", "two"}, 2, ""},
      {{"set", "Extra", "2", "--text"}, 0, ""},
      {{"get", "Extra"}, 0, "2\n"},
      {{"set", "Extra", "--number", "--", "-6"}, 0, ""},
      {{"get", "Extra"}, 0, "-6\n"},
      {{"unset", "Extra"}, 0, ""},
      {{"unset", "Extra"}, 1, ""},
      {{"get", "Extra"}, 1, ""},
      {{"set", "Bad=Name", "1"}, 2, ""},
      {{"remove", "NumDays"}, 2, ""},
  };
  for (const Case& c : kCases) {
    std::vector<std::string> args = {"--home", home_, "settings"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result r = Run(args, {}, false);
    EXPECT_EQ(c.status, r.status) << c.args[0] << " " << c.args[1] << ": " << r.err;
    EXPECT_EQ(c.out, r.out) << c.args[0] << " " << c.args[1];
  }
  std::string store = ReadFile(home_ + "/settings.txt");
  EXPECT_NE(std::string::npos, store.find("NumDays=number:45\n"));
  EXPECT_NE(std::string::npos, store.find("ScreenID=text:007\n"));
  EXPECT_NE(std::string::npos, store.find("UserMode=number:1\n"));
  EXPECT_EQ(std::string::npos, store.find("Extra"));
}

TEST_F(HotSyncTest, SyncFillsThePropsAndPrintsTheLog) {
  std::vector<std::string> env = {
      "STUB_TOUCH_DEVICE=1", "STUB_LOG=19 \n-1 -- Date Book\n12 a \"quoted\" line\n20 Date Book"};
  Result r = Run({"--home", home_, "--user", "Ann", "sync", "--json"}, env);
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ(
      "{\"activity\":-1,\"text\":\"device: ok\"}\n"
      "{\"activity\":19,\"text\":\"\"}\n"
      "{\"activity\":-1,\"text\":\"-- Date Book\"}\n"
      "{\"activity\":12,\"text\":\"a \\\"quoted\\\" line\"}\n"
      "{\"activity\":20,\"text\":\"Date Book\"}\n",
      r.out);
  EXPECT_EQ("1", Prop("sync_type"));   // never synchronised from here: slow
  EXPECT_EQ("1", Prop("first_sync"));  // a new desktop
  EXPECT_EQ(home_ + "/users/Ann/", Prop("data_folder"));
  EXPECT_EQ("datebook.dat", Prop("local_file"));
  EXPECT_EQ("Ann", Prop("user"));
  EXPECT_EQ("DatebookDB", Prop("remote_name"));
  EXPECT_EQ("0x64617465", Prop("creator"));
  EXPECT_EQ("0", Prop("card"));
  EXPECT_EQ("0x44415441", Prop("database_type"));
  EXPECT_EQ("Conduits/DateBook", Prop("registry_path"));
  EXPECT_EQ("30", Prop("NumDays"));  // the registry root reaches the conduit's values
  EXPECT_EQ("set", Prop("host_context"));
  EXPECT_TRUE(fs::is_directory(home_ + "/users/Ann"));

  // The handheld now remembers this home: fast, no first synchronisation.
  r = Run({"--home", home_, "sync"}, {"STUB_TOUCH_DEVICE=1"});
  ASSERT_EQ(0, r.status) << r.err;
  // The summary counts the record the stub added; the stub leaves no exchange files, so the
  // host's side is not known.
  EXPECT_EQ(
      "  -1  device: ok\nOpenConduit answered 0; done\n"
      "handheld: 1 added, 0 changed, 0 deleted; host: not known\n",
      r.out);
  EXPECT_EQ("0", Prop("sync_type"));
  EXPECT_EQ("0", Prop("first_sync"));

  // A new handheld for a home that has synchronised before.
  fs::remove(home_ + "/device.db");
  r = Run({"--home", home_, "--user", "Ann", "sync", "--first-sync", "0", "--type", "3"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ("3", Prop("sync_type"));
  EXPECT_EQ("0", Prop("first_sync"));
  r = Run({"--home", home_, "--user", "Ann", "sync"});
  EXPECT_EQ("1", Prop("sync_type"));
  EXPECT_EQ("2", Prop("first_sync"));

  // Every run went to the home's log file, with its time.
  std::string log = ReadFile(home_ + "/log.jsonl");
  EXPECT_EQ(6, std::count(log.begin(), log.end(), '\n')) << log;
  EXPECT_EQ(0u, log.rfind("{\"time\":\"", 0));
}

TEST_F(HotSyncTest, ExitStatusSaysWhetherTheSyncFailed) {
  struct Case {
    std::string open_result;
    std::string log;
    int status;
  };
  const Case kCases[] = {
      {"0", "19 \n20 Date Book", 0},
      {"4114", "19 \n21 Date Book", 1},
      {"4114", "", 1},
      {"0", "22 Datebook Synchronization Failed", 1},
      {"0", "19 \n21 Date Book", 1},
  };
  for (const Case& c : kCases) {
    Result r = Run({"--home", home_, "sync", "--json"},
                   {"STUB_OPEN_RESULT=" + c.open_result, "STUB_LOG=" + c.log});
    EXPECT_EQ(c.status, r.status) << c.open_result << " / " << c.log;
    // With --json standard output holds the entries and nothing else.
    size_t lines = std::count(r.out.begin(), r.out.end(), '\n');
    size_t entries = c.log.empty() ? 0 : std::count(c.log.begin(), c.log.end(), '\n') + 1;
    EXPECT_EQ(entries, lines) << r.out;
  }
}

TEST_F(HotSyncTest, FaultOptionsReachTheHandheld) {
  struct Case {
    std::vector<std::string> options;
    std::string line;
  };
  const Case kCases[] = {
      {{"--fail", "write:1:16404"}, "device: write answered 16404"},
      {{"--fail", "any:2:77"}, "device: read-system-info answered 77"},
      {{"--lose-link-after", "0"}, "device: begin-session answered 8194"},
      {{"--lose-link-after", "3"}, "device: write answered 8194"},
  };
  for (const Case& c : kCases) {
    std::vector<std::string> args = {"--home", home_, "sync", "--json"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    Result r = Run(args, {"STUB_TOUCH_DEVICE=1"});
    EXPECT_NE(std::string::npos, r.out.find("{\"activity\":22,\"text\":\"" + c.line + "\"}"))
        << c.options[0] << " " << c.options[1] << ": " << r.out;
  }
  // The faults last one run only.
  Result r = Run({"--home", home_, "sync", "--json"}, {"STUB_TOUCH_DEVICE=1"});
  EXPECT_EQ("{\"activity\":-1,\"text\":\"device: ok\"}\n", r.out);
}

TEST_F(HotSyncTest, ConfigureChoosesTheNextSyncType) {
  Run({"--home", home_, "sync"}, {"STUB_TOUCH_DEVICE=1"});  // from now on fast by default
  Result r = Run({"--home", home_, "configure"}, {"HOTSYNC_DIALOG_SCRIPT=2,once"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ("next sync type: 2 (this time only)\n", r.out);
  Run({"--home", home_, "sync"});
  EXPECT_EQ("2", Prop("sync_type"));
  Run({"--home", home_, "sync"});
  EXPECT_EQ("0", Prop("sync_type"));

  r = Run({"--home", home_, "configure"}, {"HOTSYNC_DIALOG_SCRIPT=1,default"});
  EXPECT_EQ("next sync type: 3 (default)\n", r.out);
  Run({"--home", home_, "sync"});
  EXPECT_EQ("3", Prop("sync_type"));
  Run({"--home", home_, "sync", "--type", "0"});
  EXPECT_EQ("0", Prop("sync_type"));
  Run({"--home", home_, "sync"});
  EXPECT_EQ("3", Prop("sync_type"));

  // Cancelled, or no terminal and no script: nothing changes.
  EXPECT_EQ(1, Run({"--home", home_, "configure"}, {"HOTSYNC_DIALOG_SCRIPT=cancel"}).status);
  EXPECT_EQ(1, Run({"--home", home_, "configure"}).status);
  Run({"--home", home_, "sync"});
  EXPECT_EQ("3", Prop("sync_type"));
}

TEST_F(HotSyncTest, ConfigureOnATerminalShowsTheActionsAndReadsTheChoice) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  ASSERT_EQ(0, Run({"--home", home_, "info"}).status);
  // Choose action 2, tick "make this the default", confirm with Enter.
  Result r = RunOnTerminal({"--home", home_, "configure"}, "2\nd\n\n");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("Change HotSync Action for Stub Conduit")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find(" (*) 2  Handheld overwrites Desktop")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find(" [x] d  Make this the default")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("next sync type: 2 (default)")) << r.out;

  // The next dialog preselects the stored choice; cancelling keeps it.
  r = RunOnTerminal({"--home", home_, "configure"}, "1\nc\n");
  EXPECT_EQ(1, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find(" (*) 2  Handheld overwrites Desktop")) << r.out;
  Run({"--home", home_, "sync"});
  EXPECT_EQ("2", Prop("sync_type"));
}

TEST_F(HotSyncTest, SetUpProblemsGiveOneLineAndStatusTwo) {
  fs::create_directories(tmp_ + "/bad-store");
  std::ofstream(tmp_ + "/bad-store/settings.txt") << "not a store\n";
  fs::create_directories(tmp_ + "/bad-device");
  std::ofstream(tmp_ + "/bad-device/device.db") << "BEGIN:VCALENDAR\n";
  std::ofstream(tmp_ + "/plain-file") << "x";
  struct Case {
    std::vector<std::string> args;
    bool with_stub;
    std::string says;
  };
  const std::vector<Case> kCases = {
      {{"--conduit", tmp_ + "/none.so", "--home", home_, "info"}, false, "none.so"},
      {{"--conduit", lib_ + "/libhotsync_stub_conduit_partial.so", "--home", home_, "sync"},
       false,
       "no export OpenConduit"},
      {{"--home", tmp_ + "/plain-file", "info"}, true, "not a folder"},
      {{"--home", tmp_ + "/bad-store", "sync"}, true, "settings store"},
      {{"--home", tmp_ + "/bad-device", "sync"}, true, "not a device image"},
      {{"--home", tmp_ + "/with blank", "info"}, true, "blank"},
      {{"--home", home_, "sync", "--bogus"}, true, "--bogus"},
      {{"--home", home_, "sync", "--fail", "write:0:5"}, true, "OP:N:CODE"},
      {{"--home", home_, "sync", "--fail", "nothing:1:5"}, true, "OP:N:CODE"},
      {{"--home", home_, "sync", "--type"}, true, "needs a value"},
      {{"--home", home_, "frobnicate"}, true, "unknown command"},
      {{"--home"}, true, "needs a value"},
      {{}, true, "no command"},
  };
  for (const Case& c : kCases) {
    Result r = Run(c.args, {}, c.with_stub);
    std::string what = c.args.empty() ? "(none)" : c.args.back();
    EXPECT_EQ(2, r.status) << what << ": " << r.err;
    EXPECT_EQ("", r.out) << what;
    EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << what << ": " << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.says)) << what << ": " << r.err;
  }
  EXPECT_EQ("BEGIN:VCALENDAR\n", ReadFile(tmp_ + "/bad-device/device.db"));
  EXPECT_EQ("not a store\n", ReadFile(tmp_ + "/bad-store/settings.txt"));
}

TEST_F(HotSyncTest, CommandLineFollowsTheUsualConventions) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string says;  // in standard output (status 0) or standard error
  };
  const std::vector<Case> kCases = {
      {{"--home=" + home_, "info"}, 0, "name: Stub Conduit\n"},
      {{"info", "--home=" + home_}, 0, "name: Stub Conduit\n"},
      {{"--version"}, 0, "hotsync 1.1\n"},
      {{"--help"}, 0, "Commands (hotsync COMMAND --help"},
      {{"sync", "--help"}, 0, "usage: hotsync [OPTIONS] sync [--type N]"},
      {{"settings", "--help"}, 0, "usage: hotsync [OPTIONS] settings list"},
      {{"info", "-h"}, 0, "usage: hotsync [OPTIONS] info\n"},
      {{"log", "--help"}, 0, "usage: hotsync [OPTIONS] log"},
      {{"--home", home_, "sync", "--first-sync", "7"},
       2,
       "--first-sync must be a decimal number from 0 to 2, not 7"},
      {{"--home", home_, "sync", "--first-sync=-1"}, 2, "from 0 to 2, not -1"},
      {{"--home", home_, "sync", "--type", "8"}, 2, "--type must be a decimal number from 0 to 7"},
      {{"--home", home_, "sync", "--type", "0x1"}, 2, "not 0x1"},
      {{"--home", home_, "sync", "--json=yes"}, 2, "sync: unknown option --json"},
      {{"--home", home_, "sync", "extra"}, 2, "unexpected argument extra"},
      {{"--bogus"}, 2, "unknown option --bogus"},
  };
  for (const Case& c : kCases) {
    Result r = Run(c.args);
    std::string what = c.args.back();
    EXPECT_EQ(c.status, r.status) << what << ": " << r.err;
    EXPECT_NE(std::string::npos, (c.status == 0 ? r.out : r.err).find(c.says))
        << what << ": " << r.out << r.err;
  }
  // Help per command, not the global help.
  EXPECT_EQ(std::string::npos, Run({"sync", "--help"}).out.find("Commands ("));
}

TEST_F(HotSyncTest, StoredNextSyncTypeOutOfRangeIsRefused) {
  ASSERT_EQ(0, Run({"--home", home_, "--user", "Ann", "info"}).status);
  SettingsKey root = nullptr;
  SettingsKey key = nullptr;
  ASSERT_EQ(kSettingsOk, SettingsOpenStore((home_ + "/settings.txt").c_str(), &root));
  ASSERT_EQ(kSettingsOk, SettingsOpenKey(root, "HotSync/Users/Ann", 1, &key));
  ASSERT_EQ(kSettingsOk, SettingsSetNumber(key, "NextSyncType", 9));
  SettingsCloseKey(key);
  SettingsCloseStore(root);
  Result r = Run({"--home", home_, "sync"});
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("NextSyncType of Ann is 9, outside 0 to 7")) << r.err;
  EXPECT_EQ("(missing)", Prop("sync_type"));  // OpenConduit was not called
}

TEST_F(HotSyncTest, OutputThatCannotBeWrittenFailsTheCommand) {
  ASSERT_EQ(0, Run({"--home", home_, "info"}).status);
  const std::vector<std::vector<std::string>> kCommands = {
      {"info"}, {"settings", "list"}, {"settings", "get", "NumDays"}, {"--version"}};
  for (const auto& command : kCommands) {
    std::vector<std::string> args = {"--home", home_};
    args.insert(args.end(), command.begin(), command.end());
    Result r = RunTo(args, {}, true, "/dev/full");
    EXPECT_EQ(1, r.status) << command.back();
    EXPECT_NE(std::string::npos, r.err.find("cannot write the output")) << r.err;
  }
}

// Writers that share a home do not undo each other's changes, whether the home is new or not.
TEST_F(HotSyncTest, ParallelSettingsWritersAllKeepTheirValue) {
  constexpr int kWriters = 20;
  std::string command;
  for (int i = 0; i < kWriters; ++i) {
    command += "env -u HOTSYNC_HOME " + Quote(bin_ + "/hotsync") + " --home " + Quote(home_) +
               " settings set Key" + std::to_string(i) + " value" + std::to_string(i) +
               " >/dev/null 2>>" + Quote(tmp_ + "/err") + " || echo failed & ";
  }
  command += "wait";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(nullptr, pipe);
  char chunk[256];
  std::string failures;
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) failures.append(chunk, n);
  pclose(pipe);
  EXPECT_EQ("", failures) << ReadFile(tmp_ + "/err");
  Result r = Run({"--home", home_, "settings", "list"}, {}, false);
  for (int i = 0; i < kWriters; ++i) {
    std::string line = "Key" + std::to_string(i) + "=value" + std::to_string(i) + "\n";
    EXPECT_NE(std::string::npos, r.out.find(line)) << line;
  }
  EXPECT_NE(std::string::npos, r.out.find("NumDays=30\n"));
}

TEST_F(HotSyncTest, SettingsRefuseValuesTheConduitCannotRead) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string says;
  };
  const std::vector<Case> kCases = {
      {{"HLLPath", std::string(50, 'h')}, 2, "HLLPath holds at most 49 bytes"},
      {{"HLLPath", std::string(49, 'h')}, 0, ""},
      {{"ScreenID", std::string(20, 's')}, 2, "ScreenID holds at most 19 bytes"},
      {{"DriverPath", std::string(200, 'd')}, 2, "at most 199 bytes"},
      {{"UserID", std::string(40, 'u')}, 2, "at most 39 bytes"},
      {{"NumDays", "-1"}, 2, "NumDays must be a decimal number from 0 to 2147483647, not -1"},
      {{"NumDays", "0x1F"}, 2, "not 0x1F"},
      {{"NumDays", "2147483648"}, 2, "not 2147483648"},
      {{"DriverTimeLimit", "-5"}, 2, "from 0 to"},
      {{"HLLName", "7", "--number"}, 2, "HLLName is a text setting"},
      {{"NumDays", "7", "--text"}, 2, "NumDays is a number setting"},
      {{"ScreenID", "main screen"}, 0, "warning: ScreenID holds a blank"},
  };
  for (const Case& c : kCases) {
    std::vector<std::string> args = {"--home", home_, "settings", "set"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result r = Run(args, {}, false);
    EXPECT_EQ(c.status, r.status) << c.args[0] << ": " << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.says)) << c.args[0] << ": " << r.err;
  }
  Result r = Run({"--home", home_, "settings", "list"}, {}, false);
  EXPECT_NE(std::string::npos, r.out.find("NumDays=30\n")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("ScreenID=main screen\n")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("HLLPath=" + std::string(49, 'h') + "\n")) << r.out;
}

TEST_F(HotSyncTest, SettingsNeedNoDeviceImage) {
  ASSERT_EQ(0, Run({"--home", home_, "info"}).status);
  test_support::WriteFile(home_ + "/device.db", "not an image");
  EXPECT_EQ(0, Run({"--home", home_, "settings", "set", "NumDays", "9"}, {}, false).status);
  Result r = Run({"--home", home_, "settings", "get", "NumDays"}, {}, false);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("9\n", r.out);
  EXPECT_EQ(2, Run({"--home", home_, "info"}).status);  // which does need it
}

TEST_F(HotSyncTest, EmptyOrCutStoreIsRefusedAndKept) {
  ASSERT_EQ(0, Run({"--home", home_, "info"}).status);
  std::string store = ReadFile(home_ + "/settings.txt");
  struct Case {
    std::string bytes;
    std::string says;
  };
  const Case kCases[] = {
      {"", "the file is empty"},
      {store.substr(0, store.find("NumDays=number:") + 17), "has no line end"},
      {store.substr(0, store.rfind("# end")), "the closing line"},
  };
  for (const Case& c : kCases) {
    test_support::WriteFile(home_ + "/settings.txt", c.bytes);
    Result r = Run({"--home", home_, "sync"});
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find(c.says)) << r.err;
    EXPECT_EQ(c.bytes, ReadFile(home_ + "/settings.txt"));
  }
}

TEST_F(HotSyncTest, LeftoverTempFilesOfAKilledHotSyncAreRemoved) {
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  ASSERT_GT(dead, 0);
  waitpid(dead, nullptr, 0);
  fs::create_directories(home_);
  std::string d = std::to_string(dead);
  std::string alive = std::to_string(getpid());
  for (const std::string& name : {"device.db.new-" + d, "settings.txt.tmp-" + d + "-Ab12Cd",
                                  "settings.txt.tmp-" + alive + "-Ab12Cd"}) {
    test_support::WriteFile(home_ + "/" + name, "half written");
  }
  ASSERT_EQ(0, Run({"--home", home_, "info"}).status);
  EXPECT_FALSE(fs::exists(home_ + "/device.db.new-" + d));
  EXPECT_FALSE(fs::exists(home_ + "/settings.txt.tmp-" + d + "-Ab12Cd"));
  EXPECT_TRUE(fs::exists(home_ + "/settings.txt.tmp-" + alive + "-Ab12Cd"));  // still writing
}

TEST_F(HotSyncTest, OneSyncAtATimeInAHome) {
  ASSERT_EQ(0, Run({"--home", home_, "info"}).status);
  // A sync that takes a while, in the background.
  std::string command = "env -u HOTSYNC_HOME STUB_SLEEP_MS=1500 " + Quote(bin_ + "/hotsync") +
                        " --conduit " + Quote(stub_) + " --home " + Quote(home_) +
                        " sync >/dev/null 2>&1 & echo $!";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(nullptr, pipe);
  int first = 0;
  ASSERT_EQ(1, fscanf(pipe, "%d", &first));
  pclose(pipe);
  std::string holder = "pid " + std::to_string(first) + ",";
  for (int i = 0; i < 200 && ReadFile(home_ + "/sync.lock").find(holder) != 0; ++i) usleep(5000);
  ASSERT_EQ(0u, ReadFile(home_ + "/sync.lock").find(holder));

  Result r = Run({"--home", home_, "sync", "--wait", "0"});
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("another sync is running in this home (" + holder))
      << r.err;
  EXPECT_EQ("(missing)", Prop("sync_type"));
  // Waiting long enough, the second sync runs once the first has ended.
  r = Run({"--home", home_, "sync", "--wait", "20"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(0u, ReadFile(home_ + "/sync.lock").find(holder));  // the second one held it last
}

TEST_F(HotSyncTest, LogTextReachesTheTerminalWithControlBytesEscaped) {
  Result r = Run({"--home", home_, "sync"}, {"STUB_LOG=22 red\x1b[31m bell\x07 two\nlines"});
  EXPECT_EQ(0u, r.out.find("  22  red\\x1B[31m bell\\x07 two\n")) << r.out;
  // The log command shows the same from the log file, with the time.
  r = Run({"--home", home_, "log"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("Z   22  red\\x1B[31m bell\\x07 two\n")) << r.out;
  EXPECT_EQ(std::string::npos, r.out.find('\x1b'));
}

}  // namespace
