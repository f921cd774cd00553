// Repeating events end to end: what the host did to the occurrence entries of the previous
// synchronisation comes back to the handheld as exceptions (and, for a changed occurrence, a new
// single event), and the event is written to the host anew for the current window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tablelib/iterator.h"
#include "tests/support/sync_harness.h"

namespace {

using test_support::At;
using test_support::CHandheldEvent;
using test_support::CSyncHarness;
using test_support::Line;

const Line kStart{19, ""};
const Line kOk{20, "Date Book"};

// A daily event at 08:00 since 10 January; with a window of 3 days from 15 January the host holds
// its occurrences of the 15th to the 18th.
CHandheldEvent Standup(uint8_t attributes = kRecAttrDirty) {
  CHandheldEvent e;
  e.start = At(2024, 1, 10, 8, 0);
  e.end = At(2024, 1, 10, 8, 15);
  e.description = "Standup";
  e.repeat = kRepeatDaily;
  e.attributes = attributes;
  return e;
}

std::vector<std::string> Occurrences(char status, const std::vector<std::string>& days,
                                     const std::string& text = "R Standup") {
  std::vector<std::string> lines;
  for (const std::string& day : days) {
    lines.push_back(std::string(1, status) + " 000003E9 " + day + " 08:00-08:15 " + text);
  }
  return lines;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> kDays = {"20240115", "20240116", "20240117", "20240118"};

enum class Occurrence { kEqual, kChanged, kMissing };

struct Case {
  const char* name;
  Occurrence host;
  std::vector<std::string> update;
  std::vector<std::string> on_hand;
};

const Case kCases[] = {
    {"present and equal",
     Occurrence::kEqual,
     Join(Occurrences('2', kDays), Occurrences('1', kDays)),
     {"Standup 20240110 08:00-08:15 R"}},
    {"present and changed",
     Occurrence::kChanged,
     Join(
         Join(Occurrences('2', {"20240115"}), Occurrences('2', {"20240116"}, "R Standup (room 2)")),
         Join(Occurrences('2', {"20240117", "20240118"}),
              Join({"1 000003EA 20240116 08:00-08:15 Standup (room 2)"},
                   Occurrences('1', {"20240115", "20240117", "20240118"})))),
     {"Standup (room 2) 20240116 08:00-08:15", "Standup 20240110 08:00-08:15 R x20240116"}},
    {"missing",
     Occurrence::kMissing,
     Join(Occurrences('2', {"20240115", "20240117", "20240118"}),
          Occurrences('1', {"20240115", "20240117", "20240118"})),
     {"Standup 20240110 08:00-08:15 R x20240116"}},
};

TEST(SyncRepeatingTest, WhatTheHostDidToAnOccurrence) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CSyncHarness h(3);
    h.PutHandheld(Standup());
    ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
    ASSERT_EQ(Occurrences('1', kDays), h.Update());

    if (c.host == Occurrence::kChanged) {
      h.host.FindOn("20240116", "Standup")->text = "Standup (room 2)";
    } else if (c.host == Occurrence::kMissing) {
      h.host.Remove(h.host.FindOn("20240116", "Standup"));
    }
    EXPECT_EQ(0, h.Sync(kSyncFast));
    EXPECT_EQ(c.update, h.Update());
    EXPECT_EQ(c.on_hand, h.Handheld());
    EXPECT_EQ((std::vector<Line>{kStart, kOk}), h.log());

    // The next synchronisation finds everything in step.
    const std::vector<std::string> host = h.host.Briefs();
    const std::vector<std::string> handheld = h.Handheld();
    EXPECT_EQ(0, h.Sync(kSyncFast));
    EXPECT_EQ(host, h.host.Briefs());
    EXPECT_EQ(handheld, h.Handheld());
  }
}

// The window moves forward every day: yesterday's occurrence is missing from today's extract
// although nobody deleted it, and must not become an exception; one the host deleted inside the
// window still does.
TEST(SyncRepeatingTest, OnlyOccurrencesInsideTheWindowAreCompared) {
  CSyncHarness h(3);
  h.PutHandheld(Standup());
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  h.SetNow(2024, 1, 16);
  h.host.Remove(h.host.FindOn("20240115", "Standup"));  // what the driver's window no longer shows
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"Standup 20240110 08:00-08:15 R"}, h.Handheld());
  EXPECT_EQ(Occurrences('0', {"20240116", "20240117", "20240118", "20240119"}), h.host.Briefs());

  h.SetNow(2024, 1, 17);
  h.host.Remove(h.host.FindOn("20240116", "Standup"));
  h.host.Remove(h.host.FindOn("20240118", "Standup"));
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"Standup 20240110 08:00-08:15 R x20240118"}, h.Handheld());
  EXPECT_EQ(Occurrences('0', {"20240117", "20240119", "20240120"}), h.host.Briefs());
}

// When the host user deleted every occurrence inside the window, the extract has no entry of the
// event at all; those days still become exceptions instead of being written back.
TEST(SyncRepeatingTest, AllOccurrencesDeletedOnTheHostStayDeleted) {
  CSyncHarness h(3);
  h.PutHandheld(Standup());
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  h.host.RemoveAll("Standup");
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"Standup 20240110 08:00-08:15 R "
                                     "x20240115,20240116,20240117,20240118"},
            h.Handheld());
  EXPECT_TRUE(h.host.Briefs().empty());
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_TRUE(h.host.Briefs().empty());
}

// A yearly event whose day was outside the previous window has no entries on the host; when its
// day enters the window, a fast synchronisation writes it although the handheld did not change it.
TEST(SyncRepeatingTest, AnEventTheHostDoesNotHoldYetReachesItInAFastSync) {
  CSyncHarness h(3);
  CHandheldEvent birthday;
  birthday.start = At(2020, 1, 20);
  birthday.untimed = true;
  birthday.description = "Birthday";
  birthday.repeat = kRepeatYearlyByDate;
  h.PutHandheld(birthday);  // not marked changed: it has been on the handheld for years
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  EXPECT_TRUE(h.host.Briefs().empty());
  h.SetNow(2024, 1, 18);
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"1 000003E9 20240120 untimed R Birthday"}, h.Update());
  EXPECT_EQ(std::vector<std::string>{"0 000003E9 20240120 untimed R Birthday"}, h.host.Briefs());
}

// An occurrence the host user moved to another day is kept as a single event there; its old day
// becomes an exception.
TEST(SyncRepeatingTest, AnOccurrenceMovedOnTheHostBecomesASingleEvent) {
  CSyncHarness h(3);
  h.PutHandheld(Standup());
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  test_support::CExchangeEntry* moved = h.host.FindOn("20240116", "Standup");
  moved->date = "20240117";
  moved->start = "10:00";
  moved->end = "10:15";
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ((std::vector<std::string>{"Standup 20240110 08:00-08:15 R x20240116",
                                      "Standup 20240117 10:00-10:15"}),
            h.Handheld());
  EXPECT_EQ(
      (std::vector<std::string>{
          "0 000003E9 20240115 08:00-08:15 R Standup", "0 000003E9 20240117 08:00-08:15 R Standup",
          "0 000003E9 20240118 08:00-08:15 R Standup", "0 000003EA 20240117 10:00-10:15 Standup"}),
      h.host.Briefs());
}

// A deleted or archived event leaves the host; an archived one goes to its archive file.
TEST(SyncRepeatingTest, AnEventRemovedOnTheHandheldLeavesTheHost) {
  constexpr uint8_t kArchived = kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived;
  for (uint8_t removed : {uint8_t{kRecAttrDeleted}, kArchived}) {
    CSyncHarness h(3);
    const uint32_t id = h.PutHandheld(Standup());
    ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
    h.host.Remove(h.host.FindOn("20240116", "Standup"));
    h.MarkHandheld(id, removed);
    EXPECT_EQ(0, h.Sync(kSyncFast));
    EXPECT_EQ(Occurrences('2', {"20240115", "20240117", "20240118"}), h.Update());
    EXPECT_TRUE(h.Handheld().empty());
    EXPECT_TRUE(h.host.Briefs().empty());
    const std::string archive = test_support::ReadFile(h.folder().Data("Unfiled.DBA"));
    EXPECT_EQ(removed == kArchived, archive.find("Standup") != std::string::npos);
  }
}

// An exception the event already has is not added twice; the event is still written back.
TEST(SyncRepeatingTest, AnExistingExceptionIsNotAddedTwice) {
  CSyncHarness h(3);
  CHandheldEvent e = Standup();
  const uint32_t id = h.PutHandheld(e);
  ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
  h.host.Remove(h.host.FindOn("20240116", "Standup"));
  e.id = id;
  e.attributes = 0;
  e.exceptions = {At(2024, 1, 16)};
  h.PutHandheld(e);
  const uint32_t writes = DeviceCallCount(kDeviceOpWriteRecord);
  EXPECT_EQ(0, h.Sync(kSyncFast));
  EXPECT_EQ(std::vector<std::string>{"Standup 20240110 08:00-08:15 R x20240116"}, h.Handheld());
  EXPECT_EQ(writes + 1, DeviceCallCount(kDeviceOpWriteRecord));
}

}  // namespace

namespace {

// An occurrence at 02:30 on the day the clocks go back (27 October 2024 in Berlin, when 02:30
// exists twice) is the first of the two instants, summer time, whether the rule ends or not, in
// what the expansion writes and in what the next run reads back from the host.
TEST(SyncRepeatingTest, TheRepeatedHourIsItsFirstInstance) {
  const int32_t kFirst = 1729989000;  // 2024-10-27 02:30 CEST, 00:30 UTC
  for (int32_t repeat_end : {-1, At(2024, 11, 30)}) {
    SCOPED_TRACE(repeat_end);
    CSyncHarness h(7);
    h.SetNow(2024, 10, 21);
    CHandheldEvent night;
    night.start = At(2024, 10, 20, 2, 30);
    night.end = At(2024, 10, 20, 3, 30);
    night.description = "Night shift";
    night.repeat = kRepeatWeekly;
    night.week_days = 1 << 0;
    night.repeat_end = repeat_end;
    night.attributes = kRecAttrDirty;
    h.PutHandheld(night);
    ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
    EXPECT_EQ(std::vector<std::string>{"1 000003E9 20241027 02:30-03:30 R Night shift"},
              h.Update());
    CProfsTable update;
    ASSERT_EQ(0, update.LoadFromFile(h.folder().Path("host_update.dat")));
    CProfsRecord occurrence(update, 0);
    CBaseIterator it(update);
    ASSERT_EQ(0, it.FindFirst(occurrence, 0));
    int32_t start = 0;
    occurrence.GetStartTime(start);
    EXPECT_EQ(kFirst, start);

    // The next runs read the occurrence back as the one they wrote: no exception appears.
    for (int day : {22, 28}) {
      h.SetNow(2024, 10, day);
      EXPECT_EQ(0, h.Sync(kSyncFast));
      EXPECT_EQ(std::vector<std::string>{"Night shift 20241020 02:30-03:30 R"}, h.Handheld());
    }
  }
}

}  // namespace
