// The hotsync program end to end, with the scriptable test conduit (stub_conduit.cc).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/hotsync/hotsync_home.h"
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
    std::string command =
        "env -u HOTSYNC_DIALOG_SCRIPT -u HOTSYNC_HOME STUB_PROPS_FILE=" + Quote(tmp_ + "/props");
    for (const std::string& e : env) command += " " + Quote(e);
    command += " " + Quote(bin_ + "/hotsync");
    if (with_stub) command += " --conduit " + Quote(stub_);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " >" + Quote(tmp_ + "/out") + " 2>" + Quote(tmp_ + "/err") + " </dev/null";
    Result result;
    int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(tmp_ + "/out");
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

TEST(DataFolderNameTest, HoldsNoBlanksAndStaysInsideUsers) {
  struct Case {
    std::string user;
    std::string folder;
  };
  const Case kCases[] = {{"Ann Smith", "Ann_Smith"},
                         {"a/b\\c", "a_b_c"},
                         {"..", "_."},
                         {".hidden", "_hidden"},
                         {"", "user"},
                         {"Zoë-1.x", "Zo__-1.x"},
                         {std::string(100, 'x'), std::string(64, 'x')}};
  for (const Case& c : kCases) EXPECT_EQ(c.folder, DataFolderName(c.user)) << c.user;
}

TEST_F(HotSyncTest, InfoPrintsTheFourLabelledLines) {
  Result r = Run({"--home", home_, "--user", "Ann Smith", "info"},
                 {"STUB_NAME=Date Book", "STUB_VERSION=257"});
  ASSERT_EQ(0, r.status) << r.err;
  std::string folder = home_ + "/users/Ann_Smith/";
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
  EXPECT_EQ("DriverPath=" + bin_ + "/script_driver\nFlushBackup=0\nHLLName=datebook\nHLLPath=" +
                home_ + "/hll\nInstall=\nNumDays=30\nScreenID=main\nUserID=\nUserMode=1\n",
            r.out);
  EXPECT_TRUE(fs::is_directory(home_ + "/hll"));
  EXPECT_TRUE(fs::is_regular_file(home_ + "/device.db"));
}

TEST_F(HotSyncTest, SettingsCommands) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const std::vector<Case> kCases = {
      {{"set", "NumDays", "0x2D"}, 0, ""},
      {{"get", "NumDays"}, 0, "45\n"},
      {{"set", "ScreenID", "007"}, 0, ""},
      {{"get", "ScreenID"}, 0, "007\n"},
      {{"set", "Extra", "-5", "--number"}, 0, ""},
      {{"get", "Extra"}, 0, "-5\n"},
      {{"set", "UserMode", "two"}, 2, ""},
      {{"set", "UserMode", "2", "--text"}, 0, ""},
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
  EXPECT_NE(std::string::npos, store.find("UserMode=text:2\n"));
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
  EXPECT_EQ("  -1  device: ok\nOpenConduit answered 0; done\n", r.out);
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

}  // namespace
