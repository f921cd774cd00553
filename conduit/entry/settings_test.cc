// Reading the conduit's settings and resetting its one-time requests.
#include "conduit/entry/settings.h"

#include <string>
#include <vector>

#include "conduit/entry/entry_test_util.h"

namespace {

using entry_test::Err;
using entry_test::kKey;
using entry_test::Line;
using entry_test::LogLines;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() {
    entry_test::SetWorkingSettings(os_);
    entry_test::StartLogRun();
    // Sentinels show which fields the reader reached.
    settings_.num_days = -77;
    settings_.screen_id[0] = '#';
  }
  bool Read() { return ReadConduitSettings(os_, os_.root(), kKey, &settings_); }

  CFakeOsServices os_;
  ConduitSettings settings_;
};

TEST_F(SettingsTest, WorkingSettingsAreReadWithoutALogLine) {
  ASSERT_TRUE(Read());
  EXPECT_EQ(0, settings_.user_mode);
  EXPECT_EQ(0, settings_.flush_backup);
  EXPECT_STREQ("jdoe", settings_.user_id);
  EXPECT_STREQ("/opt/drv/hostdrv", settings_.driver_path);
  EXPECT_STREQ("/opt/hll", settings_.hll_path);
  EXPECT_STREQ("HOSTCAL", settings_.hll_name);
  EXPECT_EQ(30, settings_.num_days);
  EXPECT_STREQ("", settings_.install);
  EXPECT_STREQ("SCR1", settings_.screen_id);
  EXPECT_TRUE(LogLines().empty());
}

// Each missing value gives exactly its own line, and reading stops there.
TEST_F(SettingsTest, MissingValueLogsOneLineAndStops) {
  struct Case {
    const char* erase;
    const char* line;
    bool num_days_read;
  };
  const Case kCases[] = {
      {"UserID", "Unable to read UserID in registry. Date Book", false},
      {"DriverPath", "Unable to read DriverPath in registry. Date Book", false},
      {"HLLPath", "Unable to read HLLPath in registry. Date Book", false},
      {"HLLName", "Unable to read HLLName in registry. Date Book", false},
      {"NumDays", "Unable to read Number of Days to Sync in registry. Date Book", false},
      {"Install", "Unable to read Install path in registry. Date Book", true},
      {"ScreenID", "Unable to read screen ID in registry. Date Book", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.erase);
    CFakeOsServices os;
    entry_test::SetWorkingSettings(os);
    os.EraseValue(kKey, c.erase);
    ConduitSettings settings;
    settings.num_days = -77;
    entry_test::StartLogRun();
    EXPECT_FALSE(ReadConduitSettings(os, os.root(), kKey, &settings));
    EXPECT_EQ(std::vector<Line>{Err(c.line)}, LogLines());
    EXPECT_EQ(c.num_days_read ? 30 : -77, settings.num_days);
  }
}

TEST_F(SettingsTest, OnlyTheFirstOfTwoMissingValuesIsLogged) {
  os_.EraseValue(kKey, "HLLName");
  os_.EraseValue(kKey, "NumDays");
  EXPECT_FALSE(Read());
  EXPECT_EQ(std::vector<Line>{Err("Unable to read HLLName in registry. Date Book")}, LogLines());
}

TEST_F(SettingsTest, MissingKeyLogsTheOpenLine) {
  EXPECT_FALSE(ReadConduitSettings(os_, os_.root(), "Conduits/Other", &settings_));
  EXPECT_EQ(std::vector<Line>{Err("Unable to open conduit registry key. Date Book")}, LogLines());
}

TEST_F(SettingsTest, UserModeAndUserIdCombinations) {
  struct Case {
    const char* name;
    int32_t user_mode;    // -1: value missing
    const char* user_id;  // null: value missing
    bool ok;
    const char* read_id;
  };
  const Case kCases[] = {
      {"mode missing, id missing", -1, nullptr, false, ""},
      {"mode missing, id present", -1, "jdoe", true, "jdoe"},
      {"mode 1, id missing", 1, nullptr, true, ""},
      {"mode 1, id present is not read", 1, "jdoe", true, ""},
      {"mode 0, id empty", 0, "", true, ""},
      {"mode 0, id present", 0, "jdoe", true, "jdoe"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CFakeOsServices os;
    entry_test::SetWorkingSettings(os);
    if (c.user_mode < 0) {
      os.EraseValue(kKey, "UserMode");
    } else {
      os.SetNumberValue(kKey, "UserMode", static_cast<uint32_t>(c.user_mode));
    }
    if (c.user_id == nullptr) {
      os.EraseValue(kKey, "UserID");
    } else {
      os.SetTextValue(kKey, "UserID", c.user_id);
    }
    ConduitSettings settings;
    entry_test::StartLogRun();
    EXPECT_EQ(c.ok, ReadConduitSettings(os, os.root(), kKey, &settings));
    EXPECT_STREQ(c.read_id, settings.user_id);
    EXPECT_EQ(c.ok ? 0u : 1u, LogLines().size());
  }
}

// A text fits when it and its terminator fit the buffer.
TEST_F(SettingsTest, TextsAtAndBeyondTheirBufferSize) {
  struct Case {
    const char* name;
    size_t size;
    const char* line;
  };
  const Case kCases[] = {
      {"UserID", 40, "Unable to read UserID in registry. Date Book"},
      {"DriverPath", 200, "Unable to read DriverPath in registry. Date Book"},
      {"HLLPath", 50, "Unable to read HLLPath in registry. Date Book"},
      {"HLLName", 50, "Unable to read HLLName in registry. Date Book"},
      {"Install", 50, "Unable to read Install path in registry. Date Book"},
      {"ScreenID", 20, "Unable to read screen ID in registry. Date Book"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    for (size_t length : {c.size - 1, c.size}) {
      CFakeOsServices os;
      entry_test::SetWorkingSettings(os);
      os.SetTextValue(kKey, c.name, std::string(length, 'x'));
      ConduitSettings settings;
      entry_test::StartLogRun();
      bool fits = length < c.size;
      EXPECT_EQ(fits, ReadConduitSettings(os, os.root(), kKey, &settings)) << length;
      EXPECT_EQ(fits ? std::vector<Line>{} : std::vector<Line>{Err(c.line)}, LogLines());
    }
  }
  ASSERT_TRUE(Read());
}

// DriverTimeLimit is optional: a generous default when missing, 0 for no limit, never negative.
TEST_F(SettingsTest, DriverTimeLimit) {
  struct Case {
    bool present;
    int32_t value;
    bool ok;
    int32_t read;
  };
  const Case kCases[] = {
      {false, 0, true, 600}, {true, 0, true, 0}, {true, 45, true, 45}, {true, -1, false, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.value);
    if (c.present) {
      os_.SetNumberValue(kKey, "DriverTimeLimit", static_cast<uint32_t>(c.value));
    } else {
      os_.EraseValue(kKey, "DriverTimeLimit");
    }
    entry_test::StartLogRun();
    EXPECT_EQ(c.ok, Read());
    if (c.ok) {
      EXPECT_EQ(c.read, settings_.driver_time_limit);
      EXPECT_TRUE(LogLines().empty());
    } else {
      EXPECT_EQ(std::vector<Line>{Err("DriverTimeLimit in registry is negative; set 0 (no "
                                      "limit) or a number of seconds. Date Book")},
                LogLines());
    }
  }
}

TEST_F(SettingsTest, NumberLongerThanFourBytesFails) {
  os_.SetTextValue(kKey, "NumDays", "1234");  // five bytes with the terminator
  EXPECT_FALSE(Read());
  EXPECT_EQ(std::vector<Line>{Err("Unable to read Number of Days to Sync in registry. Date Book")},
            LogLines());
}

TEST_F(SettingsTest, ResetsWriteTheirValueOrLogTheirLine) {
  struct Case {
    const char* name;
    bool fail_open;
    bool fail_set;
    const char* line;  // null: success
  };
  const Case kCases[] = {
      {"FlushBackup", false, false, nullptr},
      {"Install", false, false, nullptr},
      {"FlushBackup", true, false, "Unable to open conduit registry key. Date Book"},
      {"Install", true, false, "Unable to open conduit registry key. Date Book"},
      {"FlushBackup", false, true, "Unable to reset FlushBackup key in registry. Date Book"},
      {"Install", false, true, "Unable to reset Install key in registry. Date Book"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.name) + (c.fail_open ? " open" : "") + (c.fail_set ? " set" : ""));
    CFakeOsServices os;
    entry_test::SetWorkingSettings(os);
    os.SetNumberValue(kKey, "FlushBackup", 1);
    os.SetTextValue(kKey, "Install", "/media/setup");
    os.fail_open_for_write = c.fail_open;
    os.fail_set_value = c.fail_set;
    entry_test::StartLogRun();
    bool is_flush = std::string(c.name) == "FlushBackup";
    bool ok = is_flush ? ResetFlushBackup(os, os.root(), kKey) : ResetInstall(os, os.root(), kKey);
    EXPECT_EQ(c.line == nullptr, ok);
    EXPECT_EQ(c.line ? std::vector<Line>{Err(c.line)} : std::vector<Line>{}, LogLines());
    // A failed reset leaves the request standing.
    EXPECT_EQ(ok && is_flush ? 0u : 1u, os.NumberValue(kKey, "FlushBackup"));
    EXPECT_EQ(ok && !is_flush ? "" : "/media/setup", os.TextValue(kKey, "Install"));
  }
}

TEST_F(SettingsTest, ResetInstallReadsBackAsEmpty) {
  os_.SetTextValue(kKey, "Install", "/media/setup");
  ASSERT_TRUE(ResetInstall(os_, os_.root(), kKey));
  ASSERT_TRUE(Read());
  EXPECT_STREQ("", settings_.install);
  EXPECT_TRUE(os_.HasValue(kKey, "Install"));
}

}  // namespace
