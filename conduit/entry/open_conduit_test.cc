// One synchronisation through RunOpenConduit with the fake OS services: the order of the steps,
// the files they leave, the driver runs and the log lines.
#include "conduit/entry/open_conduit.h"

#include <stdlib.h>
#include <time.h>

#include <limits>
#include <string>
#include <vector>

#include "conduit/entry/entry_test_util.h"
#include "conduit/entry/host_driver.h"
#include "conduit/resources/string_table.h"
#include "conduit/result_codes.h"
#include "sdk/sync_manager.h"

namespace {

using entry_test::Err;
using entry_test::kKey;
using entry_test::Line;
using entry_test::LogLines;
using entry_test::ReadFile;
using entry_test::WriteFile;

const Line kFailed = Err("Datebook Synchronization Failed");
using test_support::kMissing;

// What the test monitor saw, kept after it is destroyed.
struct MonitorTrace {
  int created = 0;
  int destroyed = 0;
  int runs = 0;
  int32_t window_start = 0;
  int32_t window_end = 0;
  int32_t run_result = kOk;  // what RunSync answers
};
MonitorTrace g_trace;

class CTestMonitor : public CProfsMonitor {
 public:
  using CProfsMonitor::CProfsMonitor;
  ~CTestMonitor() override {
    ++g_trace.destroyed;
    g_trace.window_start = window_start();
    g_trace.window_end = window_end();
  }
  int32_t RunSync() override {
    ++g_trace.runs;
    return g_trace.run_result;
  }
};

std::unique_ptr<CProfsMonitor> MakeTestMonitor(const HotSyncProps& props, ModuleInstance module,
                                               COsServices& os) {
  ++g_trace.created;
  return std::make_unique<CTestMonitor>(props, module, os);
}

std::unique_ptr<CProfsMonitor> MakeNoMonitor(const HotSyncProps&, ModuleInstance, COsServices&) {
  ++g_trace.created;
  return nullptr;
}

class OpenConduitTest : public ::testing::Test {
 protected:
  OpenConduitTest() : props_(entry_test::MakeProps(os_, dir_.DataFolder())) {
    g_trace = MonitorTrace();
    entry_test::SetWorkingSettings(os_);
    entry_test::StartLogRun();
  }

  int32_t Run() { return RunWithContext(&context_); }
  int32_t RunWithContext(void* context) {
    return RunOpenConduit(os_, ConduitModuleInstance(), context, props_, MakeTestMonitor);
  }
  std::string Data(const std::string& name) const { return dir_.Data(name); }
  std::vector<std::string> Commands() const {
    std::vector<std::string> words;
    for (const auto& launch : os_.launches) {
      words.push_back(SplitCommandLine(launch.command_line.c_str()).at(1));
    }
    return words;
  }
  void FailNextRun(int32_t exit_code) {
    os_.scripts.push_back(CFakeOsServices::Script{0, exit_code, 0});
  }
  void SucceedNextRun() { os_.scripts.push_back(CFakeOsServices::Script{}); }

  entry_test::CScratchFolder dir_;
  CFakeOsServices os_;
  HotSyncProps props_;
  int context_ = 0;
};

TEST_F(OpenConduitTest, NullHostContextTouchesNothing) {
  os_.EraseValue(kKey, "DriverPath");  // would be logged if the settings were read
  WriteFile(Data("update.dat"), "pending");
  EXPECT_EQ(kOk, RunWithContext(nullptr));
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(os_.launches.empty());
  EXPECT_EQ(0, g_trace.created);
  EXPECT_EQ("pending", ReadFile(Data("update.dat")));
}

TEST_F(OpenConduitTest, SettingsFailureEndsWithTheFailedLine) {
  os_.EraseValue(kKey, "HLLPath");
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<Line>{Err("Unable to read HLLPath in registry. Date Book"), kFailed}),
            LogLines());
  EXPECT_TRUE(os_.launches.empty());
}

TEST_F(OpenConduitTest, FailedExtractLeavesExtractAndUpdateFilesUntouched) {
  WriteFile(Data("extract.dat"), "last extract");
  WriteFile(Data("conderr.txt"), "stale text of an earlier run");
  os_.scripts.push_back(CFakeOsServices::Script{0, 3, 0});
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<Line>{Err("Host Communication Error = 3"), kFailed}), LogLines());
  EXPECT_EQ(std::vector<std::string>{"extract"}, Commands());
  EXPECT_EQ("last extract", ReadFile(Data("extract.dat")));
  EXPECT_EQ(kMissing, ReadFile(Data("update.dat")));
  // The error file of an earlier run was removed before the extract, so it is not logged.
  EXPECT_EQ(kMissing, ReadFile(Data("conderr.txt")));
  EXPECT_EQ(1, g_trace.created);
  EXPECT_EQ(1, g_trace.destroyed);
  EXPECT_EQ(0, g_trace.runs);
}

TEST_F(OpenConduitTest, ExtractCommandAndEnvironment) {
  os_.SetTextValue(kKey, "HLLPath", "C:\\HLL\\");
  os_.scripts.push_back(CFakeOsServices::Script{0, 1, 0});  // stop after the extract
  Run();
  ASSERT_EQ(1u, os_.launches.size());
  EXPECT_EQ("/opt/drv/hostdrv extract " + dir_.DataFolder() + " datebook.dat jdoe 30 SCR1 HOSTCAL",
            os_.launches[0].command_line);
  // One trailing backslash is dropped; the zero fill ends the block with two NUL bytes.
  EXPECT_EQ(std::string("PATH=C:\\HLL;\0\0", 14), os_.launches[0].raw_environment);
}

// Which name reaches the driver as the host user ID.
TEST_F(OpenConduitTest, HostUserId) {
  struct Case {
    const char* name;
    int32_t user_mode;
    const char* user_id;  // null: value missing
    std::string user_name;
    const char* expected;  // null: refused
  };
  const Case kCases[] = {
      {"UserID set", 0, "jdoe", "Jane", "jdoe"},
      {"UserID empty", 0, "", "Jane", "Jane"},
      {"UserMode 1 ignores UserID", 1, "jdoe", "Jane", "Jane"},
      {"UserMode 1 without UserID", 1, nullptr, "Jane", "Jane"},
      {"39-character user name", 1, nullptr, std::string(39, 'u'),
       "uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu"},
      {"40-character user name", 1, nullptr, std::string(40, 'u'), nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CFakeOsServices os;
    entry_test::SetWorkingSettings(os);
    os.SetNumberValue(kKey, "UserMode", static_cast<uint32_t>(c.user_mode));
    if (c.user_id) {
      os.SetTextValue(kKey, "UserID", c.user_id);
    } else {
      os.EraseValue(kKey, "UserID");
    }
    os.scripts.push_back(CFakeOsServices::Script{0, 1, 0});
    HotSyncProps props = entry_test::MakeProps(os, dir_.DataFolder());
    snprintf(props.user_name, sizeof props.user_name, "%s", c.user_name.c_str());
    entry_test::StartLogRun();
    RunOpenConduit(os, ConduitModuleInstance(), &context_, props, MakeTestMonitor);
    if (c.expected == nullptr) {
      EXPECT_TRUE(os.launches.empty());
      EXPECT_EQ((std::vector<Line>{Err("The HotSync user name is longer than the 39 characters of "
                                       "a host user ID; set UserID in the conduit's settings. "
                                       "Date Book"),
                                   kFailed}),
                LogLines());
    } else {
      ASSERT_EQ(1u, os.launches.size());
      EXPECT_EQ(c.expected, SplitCommandLine(os.launches[0].command_line.c_str()).at(4));
    }
  }
}

TEST_F(OpenConduitTest, PendingUpdateIsRetriedAlone) {
  WriteFile(Data("update.dat"), "0000");
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ(std::vector<std::string>{"update"}, Commands());
  EXPECT_EQ("/opt/drv/hostdrv update " + dir_.DataFolder() + " update.dat jdoe 0 SCR1 HOSTCAL",
            os_.launches[0].command_line);
  EXPECT_EQ(kMissing, ReadFile(Data("update.dat")));
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(0, g_trace.created);  // the handheld is not touched
}

TEST_F(OpenConduitTest, FailedRetryKeepsTheUpdateFileAndLogsAnOldErrorFile) {
  WriteFile(Data("update.dat"), "0000");
  WriteFile(Data("conderr.txt"), "host down");
  FailNextRun(3);
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<Line>{Err("Host Communication Error = 3"), Err("host down"), kFailed}),
            LogLines());
  EXPECT_EQ("0000", ReadFile(Data("update.dat")));
  EXPECT_EQ(0, g_trace.created);
}

TEST_F(OpenConduitTest, InstallRunsFirstThenIsReset) {
  os_.SetTextValue(kKey, "Install", "/media/setup");
  WriteFile(Data("update.dat"), "0000");
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<std::string>{"install", "update"}), Commands());
  EXPECT_EQ("/opt/drv/hostdrv install " + dir_.DataFolder() + " /media/setup dummy 0 XXX HOSTCAL",
            os_.launches[0].command_line);
  EXPECT_EQ("", os_.TextValue(kKey, "Install"));
  EXPECT_EQ((std::vector<uint32_t>{kDriverPollMs, kInstallPauseMs, kDriverPollMs}), os_.sleeps);
}

TEST_F(OpenConduitTest, InstallFailures) {
  struct Case {
    const char* name;
    bool driver_fails;
    bool reset_fails;
    std::vector<Line> lines;
  };
  const std::vector<Case> kCases = {
      {"driver fails", true, false, {Err("Host Communication Error = 7"), kFailed}},
      {"reset fails",
       false,
       true,
       {Err("Unable to reset Install key in registry. Date Book"), kFailed}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CFakeOsServices os;
    entry_test::SetWorkingSettings(os);
    os.SetTextValue(kKey, "Install", "/media/setup");
    os.fail_set_value = c.reset_fails;
    os.scripts.push_back(CFakeOsServices::Script{0, c.driver_fails ? 7 : 0, 0});
    HotSyncProps props = entry_test::MakeProps(os, dir_.DataFolder());
    entry_test::StartLogRun();
    EXPECT_EQ(kOk, RunOpenConduit(os, ConduitModuleInstance(), &context_, props, MakeTestMonitor));
    EXPECT_EQ(c.lines, LogLines());
    EXPECT_EQ(1u, os.launches.size());
    EXPECT_EQ("/media/setup", os.TextValue(kKey, "Install"));  // the request stands
    const std::vector<uint32_t> sleeps =
        c.driver_fails ? std::vector<uint32_t>{kDriverPollMs}
                       : std::vector<uint32_t>{kDriverPollMs, kInstallPauseMs};
    EXPECT_EQ(sleeps, os.sleeps);
  }
}

// FlushBackup drops the backup with its category list and a pending update before anything
// else, so a full synchronisation follows.
TEST_F(OpenConduitTest, FlushBackupDiscardsAPendingUpdate) {
  os_.SetNumberValue(kKey, "FlushBackup", 1);
  WriteFile(Data("datebook.bak"), "0000");
  WriteFile(Data("datebook.cat"), "list");
  WriteFile(Data("update.dat"), "0000");
  FailNextRun(1);  // stop after the extract
  Run();
  EXPECT_EQ(kMissing, ReadFile(Data("datebook.bak")));
  EXPECT_EQ(kMissing, ReadFile(Data("datebook.cat")));
  EXPECT_EQ(kMissing, ReadFile(Data("update.dat")));
  EXPECT_EQ(0u, os_.NumberValue(kKey, "FlushBackup"));
  EXPECT_EQ(std::vector<std::string>{"extract"}, Commands());
}

TEST_F(OpenConduitTest, FlushBackupResetFailureStopsTheRun) {
  os_.SetNumberValue(kKey, "FlushBackup", 1);
  os_.fail_open_for_write = true;
  WriteFile(Data("datebook.bak"), "0000");
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<Line>{Err("Unable to open conduit registry key. Date Book"), kFailed}),
            LogLines());
  EXPECT_EQ(kMissing, ReadFile(Data("datebook.bak")));
  EXPECT_TRUE(os_.launches.empty());
}

TEST_F(OpenConduitTest, MonitorThatCannotBeMadeEndsQuietly) {
  EXPECT_EQ(kOk, RunOpenConduit(os_, ConduitModuleInstance(), &context_, props_, MakeNoMonitor));
  EXPECT_EQ(1, g_trace.created);
  EXPECT_TRUE(os_.launches.empty());
  EXPECT_TRUE(LogLines().empty());
}

// Inputs that would overflow a buffer or name a file outside the data folder are refused.
TEST_F(OpenConduitTest, UnsafePropsAreRefused) {
  struct Case {
    const char* name;
    void (*spoil)(HotSyncProps*);
    const char* line;
  };
  const Case kCases[] = {
      {"data folder of 200 characters",
       [](HotSyncProps* p) { snprintf(p->data_folder, 256, "/%0198d/", 0); },
       "Unable to get the short form of the data folder (at most 199 characters). Date Book"},
      {"data folder without an end",
       [](HotSyncProps* p) { memset(p->data_folder, 'd', sizeof p->data_folder); },
       "The HotSync Manager passed a name or folder without an end. Date Book"},
      {"user name without an end",
       [](HotSyncProps* p) { memset(p->user_name, 'u', sizeof p->user_name); },
       "The HotSync Manager passed a name or folder without an end. Date Book"},
      {"local file name with a folder",
       [](HotSyncProps* p) { snprintf(p->local_file_name, 256, "../escape.dat"); },
       "The desktop file name is not a plain file name. Date Book"},
      {"empty local file name", [](HotSyncProps* p) { p->local_file_name[0] = '\0'; },
       "The desktop file name is not a plain file name. Date Book"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    HotSyncProps props = props_;
    c.spoil(&props);
    entry_test::StartLogRun();
    os_.launches.clear();
    EXPECT_EQ(kOk, RunOpenConduit(os_, ConduitModuleInstance(), &context_, props, MakeTestMonitor));
    EXPECT_EQ((std::vector<Line>{Err(c.line), kFailed}), LogLines());
    EXPECT_TRUE(os_.launches.empty());
  }
}

TEST_F(OpenConduitTest, MonitorGetsTheWindowOfToday) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  os_.now = 1700000000;  // 14 November 2023, 23:13:20 in Berlin
  FailNextRun(1);
  Run();
  EXPECT_EQ(1699916400, g_trace.window_start);  // 00:00 in Berlin
  EXPECT_EQ(1699916400 + 30 * 86400, g_trace.window_end);
}

// --- With a handheld connected, so that the monitor's Execute reaches its sync loop ---

class OpenConduitSyncTest : public OpenConduitTest {
 protected:
  OpenConduitSyncTest() : handheld_(dir_) {
    // What the driver's extract leaves; the fake process runner writes no files itself.
    WriteFile(Data("datebook.dat"), "0000");
  }
  entry_test::CHandheld handheld_;
};

TEST_F(OpenConduitSyncTest, SuccessfulRunAppliesAndRemovesTheUpdateFile) {
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<std::string>{"extract", "update"}), Commands());
  EXPECT_EQ("/opt/drv/hostdrv update " + dir_.DataFolder() + " update.dat jdoe 0 SCR1 HOSTCAL",
            os_.launches[1].command_line);
  EXPECT_EQ(1, g_trace.runs);
  EXPECT_EQ(1, g_trace.destroyed);
  EXPECT_EQ("0000", ReadFile(Data("extract.dat")));
  EXPECT_EQ(kMissing, ReadFile(Data("datebook.dat")));
  EXPECT_EQ(kMissing, ReadFile(Data("update.dat")));
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(OpenConduitSyncTest, FailedUpdateKeepsTheUpdateFileForTheNextRun) {
  SucceedNextRun();
  FailNextRun(3);
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<Line>{Err("Host Communication Error = 3"), kFailed}), LogLines());
  EXPECT_EQ("0000", ReadFile(Data("update.dat")));
  EXPECT_EQ(kMissing, ReadFile(Data("datebook.dat")));

  EXPECT_EQ("0000", ReadFile(Data("update.run")));  // the update had started

  // The next call does not synchronise: it reads what the host holds (the failed update may have
  // reached it in part) and retries the update.
  entry_test::StartLogRun();
  os_.launches.clear();
  WriteFile(Data("datebook.dat"), "0000");  // what the extract leaves: an empty host calendar
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<std::string>{"extract", "update"}), Commands());
  EXPECT_EQ(1, g_trace.runs);
  EXPECT_EQ(kMissing, ReadFile(Data("update.dat")));
  EXPECT_EQ(kMissing, ReadFile(Data("update.run")));
  EXPECT_EQ(kMissing, ReadFile(Data("datebook.dat")));
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(OpenConduitSyncTest, FailedSyncAnswersItsCodeAndKeepsTheDesktopFile) {
  g_trace.run_result = kErrLoadDesktop;
  EXPECT_EQ(kErrLoadDesktop, Run());
  EXPECT_EQ(std::vector<Line>{kFailed}, LogLines());
  EXPECT_EQ(std::vector<std::string>{"extract"}, Commands());
  EXPECT_EQ("0000", ReadFile(Data("datebook.dat")));
  EXPECT_EQ(kMissing, ReadFile(Data("update.dat")));
  EXPECT_EQ(1, g_trace.destroyed);
}

// Sync types that this conduit does not synchronise: the extract still runs and is copied, the
// monitor answers its code, and nothing reaches the host.
TEST_F(OpenConduitSyncTest, SyncTypesNotSynchronised) {
  struct Case {
    int32_t sync_type;
    int32_t result;
  };
  const Case kCases[] = {{4, kErrNotProvided},         {5, kErrNotProvided},
                         {7, kErrNotProvided},         {6, kErrSyncTypeUnsupported},
                         {8, kErrSyncTypeUnsupported}, {-1, kErrSyncTypeUnsupported}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sync_type);
    std::filesystem::remove(Data("extract.dat"));
    os_.launches.clear();
    entry_test::StartLogRun();
    props_.sync_type = c.sync_type;
    EXPECT_EQ(c.result,
              RunOpenConduit(os_, ConduitModuleInstance(), &context_, props_, NewProfsMonitor));
    EXPECT_EQ(std::vector<std::string>{"extract"}, Commands());
    EXPECT_EQ("0000", ReadFile(Data("extract.dat")));
    EXPECT_EQ("0000", ReadFile(Data("datebook.dat")));
    EXPECT_EQ(std::vector<Line>{kFailed}, LogLines());
  }
}

TEST_F(OpenConduitSyncTest, UnreadableSystemInformationAnswersItsCode) {
  DeviceFailCall(kDeviceOpReadSystemInfo, 1, kDeviceErrLinkLost);
  EXPECT_EQ(kDeviceErrLinkLost, Run());
  EXPECT_EQ(0, g_trace.runs);
  EXPECT_EQ(std::vector<Line>{kFailed}, LogLines());
}

// --- Files that cannot be deleted, copied or moved ---

using FileOp = CFakeOsServices::FileOp;

// A pending update in a folder where it cannot be deleted is not applied: once applied it would
// stay and be applied again at every sync.
TEST_F(OpenConduitTest, PendingUpdateThatCannotBeDeletedIsNotApplied) {
  const Line kNotDeletable =
      Err("update.dat cannot be deleted once applied (is the data folder read-only?); it was not "
          "applied, so that it is not applied twice. Date Book");
  WriteFile(Data("update.dat"), "0000");
  os_.FailFileOperation(FileOp::kCanDelete, "update.dat");
  os_.FailFileOperation(FileOp::kDelete, "update.dat");
  for (int run = 0; run < 2; ++run) {
    entry_test::StartLogRun();
    EXPECT_EQ(kOk, Run());
    EXPECT_EQ((std::vector<Line>{kNotDeletable, kFailed}), LogLines());
    EXPECT_TRUE(os_.launches.empty());
    EXPECT_EQ("0000", ReadFile(Data("update.dat")));
  }
  os_.ClearFileFaults();
  entry_test::StartLogRun();
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ(std::vector<std::string>{"update"}, Commands());
  EXPECT_EQ(kMissing, ReadFile(Data("update.dat")));
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(OpenConduitTest, AppliedUpdateThatCannotBeDeletedFailsTheRun) {
  WriteFile(Data("update.dat"), "0000");
  os_.FailFileOperation(FileOp::kDelete, "update.dat");
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ(std::vector<std::string>{"update"}, Commands());
  EXPECT_EQ((std::vector<Line>{Err("The Host Driver applied update.dat, but it cannot be deleted; "
                                   "delete it before the next HotSync, which would apply it "
                                   "again. Date Book"),
                               kFailed}),
            LogLines());
}

// A FlushBackup that cannot delete the pending update must not go on to apply it.
TEST_F(OpenConduitTest, FlushBackupThatCannotDeleteFailsTheRun) {
  os_.SetNumberValue(kKey, "FlushBackup", 1);
  WriteFile(Data("update.dat"), "0000");
  os_.FailFileOperation(FileOp::kDelete, "update.dat");
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<Line>{Err("Unable to delete the backup file, its category list or "
                                   "update.dat for FlushBackup. Date Book"),
                               kFailed}),
            LogLines());
  EXPECT_TRUE(os_.launches.empty());
  EXPECT_EQ(1u, os_.NumberValue(kKey, "FlushBackup"));  // the request stands
}

TEST_F(OpenConduitSyncTest, FailedCopyToTheExtractFileFailsTheRun) {
  os_.FailFileOperation(FileOp::kCopy, "extract.dat");
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<Line>{Err("Unable to copy the desktop file to extract.dat. Date Book"),
                               kFailed}),
            LogLines());
  EXPECT_EQ(std::vector<std::string>{"extract"}, Commands());
  EXPECT_EQ(0, g_trace.runs);
}

TEST_F(OpenConduitSyncTest, FailedMoveToTheUpdateFileFailsTheRun) {
  os_.FailFileOperation(FileOp::kMove, "update.dat");
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ((std::vector<Line>{Err("Unable to rename the desktop file to update.dat. Date Book"),
                               kFailed}),
            LogLines());
  EXPECT_EQ(std::vector<std::string>{"extract"}, Commands());
  EXPECT_EQ("0000", ReadFile(Data("datebook.dat")));
}

TEST_F(OpenConduitTest, DriverTimeLimitSettingReachesTheDriver) {
  os_.SetNumberValue(kKey, "DriverTimeLimit", 2);
  os_.scripts.push_back(CFakeOsServices::Script{0, 0, 1000000});
  EXPECT_EQ(kOk, Run());
  EXPECT_EQ(1u, os_.kills.size());
  EXPECT_EQ(8u, os_.sleeps.size());  // 2 seconds of 250 ms checks
  EXPECT_EQ(kFailed, LogLines().back());
}

TEST(SyncWindowTest, RunsFromMidnightToMidnightOnTheLocalCalendar) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  struct Case {
    const char* name;
    int32_t now;
    int32_t num_days;
    int32_t start;
    int64_t end;
  };
  const int32_t kMax = std::numeric_limits<int32_t>::max();
  const Case kCases[] = {
      {"ordinary day", 1700000000, 30, 1699916400, 1699916400 + 30 * 86400},
      {"NumDays 0", 1700000000, 0, 1699916400, 1699916400},
      // 26 March 2023, 12:00 CEST: the day began at 00:00 CET and has 23 hours.
      {"after the spring change", 1679824800, 1, 1679785200, 1679785200 + 23 * 3600},
      // 29 October 2023, 12:00 CET: the day began at 00:00 CEST and has 25 hours.
      {"after the autumn change", 1698577200, 2, 1698530400, 1698530400 + (25 + 24) * 3600},
      {"end beyond 2038 is held at the limit", 1700000000, 100000, 1699916400, kMax},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    int32_t start = 0, end = 0;
    ComputeSyncWindow(c.now, c.num_days, &start, &end);
    EXPECT_EQ(c.start, start);
    EXPECT_EQ(c.end, end);
  }
}

TEST(BackupFileNameTest, ReplacesTheLastThreeCharacters) {
  EXPECT_EQ("datebook.bak", BackupFileName("datebook.dat"));
  EXPECT_EQ("datebook.dbak", BackupFileName("datebook.ddat"));
  EXPECT_EQ("abak", BackupFileName("abcd"));
  EXPECT_EQ("ab.bak", BackupFileName("ab"));
  EXPECT_EQ("a.bak", BackupFileName("a."));
}

}  // namespace
