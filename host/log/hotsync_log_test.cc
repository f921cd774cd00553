#include "sdk/hotsync_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "host/log/log_control.h"
#include "tests/support/test_files.h"

namespace {

TEST(HotSyncLogTest, StateTurnsOnlyWithAMessageActivity) {
  struct Case {
    int32_t activity;
    bool counts;
  };
  const Case kCases[] = {{kActivityRunStart, false},
                         {kActivityText, false},
                         {kActivityConduitError, false},
                         {kActivitySyncOk, false},
                         {kActivitySyncFailed, false},
                         {0, false},
                         {18, false},
                         {1, true},
                         {12, true},
                         {17, true}};
  for (const Case& c : kCases) {
    HsLogStartRun();
    HsLogAddEntry("", kActivityRunStart, 0);
    EXPECT_EQ(0, HsLogState());
    HsLogAddEntry("line", c.activity, 0);
    EXPECT_EQ(c.counts, HsLogState() != 0) << "activity " << c.activity;
    // Once on, the state stays on for the rest of the run, and a new run starts at 0.
    HsLogAddEntry("more", kActivityText, 0);
    EXPECT_EQ(c.counts, HsLogState() != 0) << "activity " << c.activity;
    HsLogStartRun();
    EXPECT_EQ(0, HsLogState());
  }
}

TEST(HotSyncLogTest, KeepsTheRunsEntriesInOrder) {
  HsLogAddEntry("left over", 12, 0);
  HsLogStartRun();
  HsLogAddEntry("", kActivityRunStart, 0);
  HsLogAddEntry("-- Date Book", kActivityText, 0);
  HsLogAddEntry(nullptr, 12, 0);
  HsLogAddEntry("Date Book", kActivitySyncFailed, 0);
  auto entries = HsLogEntries();
  ASSERT_EQ(4u, entries.size());
  EXPECT_EQ(kActivityRunStart, entries[0].activity);
  EXPECT_EQ("", entries[0].text);
  EXPECT_EQ("-- Date Book", entries[1].text);
  EXPECT_EQ(kActivityText, entries[1].activity);
  EXPECT_EQ("", entries[2].text);
  EXPECT_EQ(12, entries[2].activity);
  EXPECT_EQ(kActivitySyncFailed, entries[3].activity);
}

TEST(HotSyncLogTest, JsonKeepsEveryByte) {
  HsLogEntry entry;
  entry.activity = -1;
  entry.text = std::string("a\"b\\c\n\x01\xE9\x7F", 9);
  EXPECT_EQ("{\"activity\":-1,\"text\":\"a\\\"b\\\\c\\u000A\\u0001\\u00E9\\u007F\"}",
            HsLogEntryJson(entry, false));
  entry.time = 86400 + 3661;
  EXPECT_EQ(0u, HsLogEntryJson(entry, true).rfind("{\"time\":\"1970-01-02T01:01:01Z\",", 0));
}

TEST(HotSyncLogTest, AppendsTheRunToTheLogFile) {
  test_support::CScratchFolder scratch("hslog");
  const std::string dir = scratch.Root();
  std::string path = dir + "/log.jsonl";
  HsLogStartRun();
  HsLogAddEntry("first", 20, 0);
  ASSERT_EQ(0, HsLogAppendRun(path));
  HsLogStartRun();
  HsLogAddEntry("second", 21, 0);
  ASSERT_EQ(0, HsLogAppendRun(path));
  std::ifstream in(path);
  std::string line1, line2, extra;
  ASSERT_TRUE(std::getline(in, line1));
  ASSERT_TRUE(std::getline(in, line2));
  EXPECT_FALSE(std::getline(in, extra));
  EXPECT_NE(std::string::npos, line1.find("\"activity\":20,\"text\":\"first\"}"));
  EXPECT_NE(std::string::npos, line2.find("\"activity\":21,\"text\":\"second\"}"));
  std::string error;
  EXPECT_EQ(-1, HsLogAppendRun(dir + "/missing/log.jsonl", &error));
  EXPECT_NE(std::string::npos, error.find("missing/log.jsonl"));
}

}  // namespace
