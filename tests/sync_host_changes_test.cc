// What the host did since the previous synchronisation, as the comparison of the extract with the
// backup finds it, seen end to end with a handheld that changed nothing: one case per kind of
// host entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/sync_harness.h"

namespace {

using test_support::At;
using test_support::CHandheldEvent;
using test_support::CSyncHarness;
using test_support::Line;

enum class HostDid {
  kNothing,          // the entry in the extract equals the backup's
  kChanged,          // the entry's content changed
  kDeleted,          // the entry is missing from the extract
  kAdded,            // a new entry, no backup record of its ID
  kMovedIntoWindow,  // an entry whose backup record lies outside the window
  kDeletedOutside,   // a backup record outside the window, missing from the extract
  kOccurrence,       // an occurrence of a repeating event, unchanged
};

struct Case {
  const char* name;
  HostDid host;
  std::vector<std::string> update;
  std::vector<std::string> on_hand;
};

const Case kCases[] = {
    {"equal",
     HostDid::kNothing,
     {"0 000003E9 20240116 09:00-10:00 Meeting"},
     {"Far 20240201 09:00-10:00", "Meeting 20240116 09:00-10:00"}},
    {"changed",
     HostDid::kChanged,
     {"0 000003E9 20240116 10:00-11:00 Meeting"},
     {"Far 20240201 09:00-10:00", "Meeting 20240116 10:00-11:00"}},
    {"deleted", HostDid::kDeleted, {}, {"Far 20240201 09:00-10:00"}},
    {"new on the host",
     HostDid::kAdded,
     {"0 000003E9 20240116 09:00-10:00 Meeting", "3 000003EB 20240117 12:00-13:00 Lunch"},
     {"Far 20240201 09:00-10:00", "Lunch 20240117 12:00-13:00", "Meeting 20240116 09:00-10:00"}},
    // Its backup record lies outside the window, so it is new to the comparison; the handheld
    // record of that ID did not change, so it takes the host's version.
    {"moved into the window",
     HostDid::kMovedIntoWindow,
     {"0 000003E9 20240116 09:00-10:00 Meeting", "3 000003EA 20240125 09:00-10:00 Far"},
     {"Far 20240125 09:00-10:00", "Meeting 20240116 09:00-10:00"}},
    {"deleted outside the window",
     HostDid::kDeletedOutside,
     {"0 000003E9 20240116 09:00-10:00 Meeting"},
     {"Far 20240201 09:00-10:00", "Meeting 20240116 09:00-10:00"}},
    {"occurrence",
     HostDid::kOccurrence,
     {"0 000003E9 20240116 09:00-10:00 Meeting", "2 000003EB 20240118 07:00-08:00 R Run",
      "2 000003EB 20240125 07:00-08:00 R Run", "1 000003EB 20240118 07:00-08:00 R Run",
      "1 000003EB 20240125 07:00-08:00 R Run"},
     {"Far 20240201 09:00-10:00", "Meeting 20240116 09:00-10:00", "Run 20240111 07:00-08:00 R"}},
};

TEST(SyncHostChangesTest, EachKindOfHostEntry) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    // Both sides hold both records after a run with a window of 30 days; then the window is 15 to
    // 29 January, and "Far" (1 February) lies outside it.
    CSyncHarness h(30);
    CHandheldEvent e;
    e.start = At(2024, 1, 16, 9, 0);
    e.description = "Meeting";
    e.attributes = kRecAttrDirty;
    h.PutHandheld(e);
    e.start = At(2024, 2, 1, 9, 0);
    e.description = "Far";
    h.PutHandheld(e);
    if (c.host == HostDid::kOccurrence) {
      CHandheldEvent run;
      run.start = At(2024, 1, 11, 7, 0);
      run.description = "Run";
      run.repeat = kRepeatWeekly;
      run.week_days = 1 << 4;  // Thursdays
      run.attributes = kRecAttrDirty;
      h.PutHandheld(run);
    }
    ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
    h.SetNumDays(14);

    switch (c.host) {
      case HostDid::kChanged:
        h.host.Find("Meeting")->start = "10:00";
        h.host.Find("Meeting")->end = "11:00";
        break;
      case HostDid::kDeleted:
        h.host.Remove(h.host.Find("Meeting"));
        break;
      case HostDid::kAdded:
        h.host.Add("20240117", "12:00", "13:00", "Lunch");
        break;
      case HostDid::kMovedIntoWindow:
        h.host.Find("Far")->date = "20240125";
        break;
      case HostDid::kDeletedOutside:
        h.host.Remove(h.host.Find("Far"));
        break;
      case HostDid::kNothing:
      case HostDid::kOccurrence:
        break;
    }
    // The update holds the extract's entries in its order, then what the run added.
    EXPECT_EQ(0, h.Sync(kSyncFast));
    EXPECT_EQ(c.update, h.Update());
    EXPECT_EQ(c.on_hand, h.Handheld());
    EXPECT_EQ((std::vector<Line>{{19, ""}, {20, "Date Book"}}), h.log());
  }
}

}  // namespace
