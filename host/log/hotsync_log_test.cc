#include "sdk/hotsync_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// Each entry reaches the file when it is made, so a killed run leaves what it logged; a line that
// a killed run left cut neither glues onto the next entry nor reaches a reader.
TEST(HotSyncLogTest, FileGetsEachEntryAsItIsMadeAndReaderSkipsACutLine) {
  test_support::CScratchFolder dir;
  std::string path = dir.Path("log.jsonl");
  std::string cut = "{\"time\":\"2024-05-01T10:00:00Z\",\"activity\":20,\"text\":\"Date Bo";
  test_support::WriteFile(path, cut);

  HsLogStartRun();
  ASSERT_EQ(0, HsLogOpenFile(path));
  HsLogAddEntry("first", 19, 0);
  std::string after_one = test_support::ReadFile(path);
  EXPECT_EQ(cut + "\n", after_one.substr(0, cut.size() + 1));
  EXPECT_NE(std::string::npos, after_one.find("\"activity\":19,\"text\":\"first\"}\n"));
  HsLogAddEntry("line\nbreak \"quoted\" \x01\xE9", 22, 0);
  ASSERT_EQ(0, HsLogCloseFile());
  HsLogAddEntry("after the file was closed", 20, 0);

  std::vector<HsLogEntry> entries;
  size_t skipped = 0;
  ASSERT_EQ(0, HsLogReadFile(path, &entries, &skipped));
  EXPECT_EQ(1u, skipped);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(19, entries[0].activity);
  EXPECT_EQ("first", entries[0].text);
  EXPECT_EQ(22, entries[1].activity);
  EXPECT_EQ("line\nbreak \"quoted\" \x01\xE9", entries[1].text);
  EXPECT_LE(std::abs(entries[0].time - static_cast<int64_t>(std::time(nullptr))), 5);

  // A whole entry without its line end is cut too: the writer ends every entry with one.
  test_support::WriteFile(path, HsLogEntryJson(entries[0], true));
  ASSERT_EQ(0, HsLogReadFile(path, &entries, &skipped));
  EXPECT_EQ(0u, entries.size());
  EXPECT_EQ(1u, skipped);

  std::string error;
  EXPECT_EQ(-1, HsLogOpenFile(dir.Path("missing/log.jsonl"), &error));
  EXPECT_NE(std::string::npos, error.find("missing/log.jsonl"));
}

}  // namespace
