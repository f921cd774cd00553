// What one fast synchronisation does to a non-repeating record, by what the host and the handheld
// did to it since the previous synchronisation: the update the host receives, the handheld's
// records afterwards and the HotSync log, one case per combination.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/sync_harness.h"

namespace {

using test_support::At;
using test_support::CHandheldEvent;
using test_support::CSyncHarness;
using test_support::Line;
using test_support::ReadFile;

enum class Host { kNewEntry, kUnchanged, kDeleted, kChanged };
enum class Handheld {
  kNone,             // no record of its own
  kNew,              // a new record
  kUnchanged,        //
  kModified,         // changed to "Meeting (hh)"
  kModifiedAsHost,   // changed the way the host changed it
  kDeleted,          //
  kArchived,         // archived (as the handheld does it: deleted, archived, data kept)
  kArchivedAsHost,   // changed the way the host did, then archived
  kArchivedChanged,  // changed to "Meeting (hh)", then archived
  kChangedArchived,  // changed to "Meeting (hh)" and marked archived, not deleted
};

// The description line of the log for the records of these tests.
const char kMeetingLine[] = "       Meeting, 1/16/2024, 9:00am";
const char kHostLine[] = "       Meeting (host), 1/16/2024, 9:00am";
const char kHandheldLine[] = "       Meeting (hh), 1/16/2024, 9:00am";

const Line kStart{19, ""};
const Line kOk{20, "Date Book"};
const Line kHeading{-1, "-- Date Book"};

struct Case {
  const char* name;
  Host host;
  Handheld handheld;
  std::vector<std::string> update;         // the update's records, in file order
  std::vector<std::string> on_hand;        // the handheld's records afterwards, sorted
  std::vector<Line> log;                   // the run's log lines
  std::vector<std::string> archived = {};  // descriptions in Unfiled.DBA
};

const Case kCases[] = {
    {"host new entry",
     Host::kNewEntry,
     Handheld::kNone,
     {"0 000003E9 20240116 09:00-10:00 Meeting", "3 000003EA 20240117 08:00-09:00 Breakfast"},
     {"Breakfast 20240117 08:00-09:00", "Meeting 20240116 09:00-10:00"},
     {kStart, kOk}},
    {"handheld new record",
     Host::kUnchanged,
     Handheld::kNew,
     {"0 000003E9 20240116 09:00-10:00 Meeting", "1 000003EA 20240118 14:00-15:00 Call"},
     {"Call 20240118 14:00-15:00", "Meeting 20240116 09:00-10:00"},
     {kStart, kOk}},
    {"handheld modified",
     Host::kUnchanged,
     Handheld::kModified,
     {"3 000003E9 20240116 09:00-10:00 Meeting (hh)"},
     {"Meeting (hh) 20240116 09:00-10:00"},
     {kStart, kOk}},
    {"handheld deleted",
     Host::kUnchanged,
     Handheld::kDeleted,
     {"2 000003E9 20240116 09:00-10:00 Meeting"},
     {},
     {kStart, kOk}},
    {"handheld archived",
     Host::kUnchanged,
     Handheld::kArchived,
     {"2 000003E9 20240116 09:00-10:00 Meeting"},
     {},
     {kStart, kOk},
     {"Meeting"}},
    {"host deleted", Host::kDeleted, Handheld::kUnchanged, {}, {}, {kStart, kOk}},
    {"host deleted, handheld modified",
     Host::kDeleted,
     Handheld::kModified,
     {"1 000003E9 20240116 09:00-10:00 Meeting (hh)"},
     {"Meeting (hh) 20240116 09:00-10:00"},
     {kStart,
      kHeading,
      {2, "   - The following record was modified on one platform and deleted on the other."},
      {-1, "     The modified version will appear on both platforms."},
      {-1, kHandheldLine},
      kOk}},
    {"host changed",
     Host::kChanged,
     Handheld::kUnchanged,
     {"0 000003E9 20240116 09:00-10:00 Meeting (host)"},
     {"Meeting (host) 20240116 09:00-10:00"},
     {kStart, kOk}},
    {"both changed the same way",
     Host::kChanged,
     Handheld::kModifiedAsHost,
     {"0 000003E9 20240116 09:00-10:00 Meeting (host)"},
     {"Meeting (host) 20240116 09:00-10:00"},
     {kStart, kOk}},
    {"both changed differently",
     Host::kChanged,
     Handheld::kModified,
     {"0 000003E9 20240116 09:00-10:00 Meeting (host)",
      "1 000003EA 20240116 09:00-10:00 Meeting (hh)"},
     {"Meeting (hh) 20240116 09:00-10:00", "Meeting (host) 20240116 09:00-10:00"},
     {kStart,
      kHeading,
      {1, "   - The following record was modified on both Rizez and the Desktop:"},
      {-1, kHandheldLine},
      {-1, "     This record will be duplicated on each platform. The Rizez record marked to"},
      {-1, "     be archived was not archived.  Delete the unwanted record and HotSync again."},
      kOk}},
    {"host changed, handheld archived the same content",
     Host::kChanged,
     Handheld::kArchivedAsHost,
     {"2 000003E9 20240116 09:00-10:00 Meeting (host)"},
     {},
     {kStart, kOk},
     {"Meeting (host)"}},
    // An archived record keeps its content; when it differs from the host's change, the host's
    // version comes back to the handheld and the archived one goes to the archive file.
    {"host changed, handheld archived a changed version",
     Host::kChanged,
     Handheld::kArchivedChanged,
     {"0 000003E9 20240116 09:00-10:00 Meeting (host)"},
     {"Meeting (host) 20240116 09:00-10:00"},
     {kStart,
      kHeading,
      {2, "   - The following record was modified on one platform and deleted on the other."},
      {-1, "     The modified version will appear on both platforms."},
      {-1, kHostLine},
      kOk},
     {"Meeting (hh)"}},
    {"host changed, handheld archived unchanged",
     Host::kChanged,
     Handheld::kArchived,
     {"0 000003E9 20240116 09:00-10:00 Meeting (host)"},
     {"Meeting (host) 20240116 09:00-10:00"},
     {kStart,
      kHeading,
      {2, "   - The following record was modified on one platform and deleted on the other."},
      {-1, "     The modified version will appear on both platforms."},
      {-1, kHostLine},
      kOk},
     {"Meeting"}},
    // Marked archived while its change is still marked: the changed version stays as a record of
    // its own and is not archived.
    {"host changed, handheld changed and marked archived",
     Host::kChanged,
     Handheld::kChangedArchived,
     {"0 000003E9 20240116 09:00-10:00 Meeting (host)",
      "1 000003EA 20240116 09:00-10:00 Meeting (hh)"},
     {"Meeting (hh) 20240116 09:00-10:00", "Meeting (host) 20240116 09:00-10:00"},
     {kStart,
      kHeading,
      {1, "   - The following record was modified on both Rizez and the Desktop:"},
      {-1, kHandheldLine},
      {-1, "     This record will be duplicated on each platform. The Rizez record marked to"},
      {-1, "     be archived was not archived.  Delete the unwanted record and HotSync again."},
      kOk}},
    // A deleted handheld record carries no content, so the host's change is never taken for the
    // same content: the changed version survives on both sides.
    {"host changed, handheld deleted",
     Host::kChanged,
     Handheld::kDeleted,
     {"0 000003E9 20240116 09:00-10:00 Meeting (host)"},
     {"Meeting (host) 20240116 09:00-10:00"},
     {kStart,
      kHeading,
      {2, "   - The following record was modified on one platform and deleted on the other."},
      {-1, "     The modified version will appear on both platforms."},
      {-1, kHostLine},
      kOk}},
};

CHandheldEvent Meeting(const std::string& description, uint8_t attributes) {
  CHandheldEvent e;
  e.start = At(2024, 1, 16, 9, 0);
  e.description = description;
  e.attributes = attributes;
  return e;
}

TEST(SyncConflictsTest, HostByHandheldForARecordThatDoesNotRepeat) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CSyncHarness h;
    // The record both sides hold after a first synchronisation.
    const uint32_t id = h.PutHandheld(Meeting("Meeting", kRecAttrDirty));
    ASSERT_EQ(0, h.Sync(kSyncSlow, 1));
    ASSERT_EQ(std::vector<std::string>{"0 000003E9 20240116 09:00-10:00 Meeting"}, h.host.Briefs());

    switch (c.host) {
      case Host::kNewEntry:
        h.host.Add("20240117", "08:00", "09:00", "Breakfast");
        break;
      case Host::kDeleted:
        h.host.Remove(h.host.Find("Meeting"));
        break;
      case Host::kChanged:
        h.host.Find("Meeting")->text = "Meeting (host)";
        break;
      case Host::kUnchanged:
        break;
    }
    CHandheldEvent e = Meeting("Meeting", 0);
    e.id = id;
    switch (c.handheld) {
      case Handheld::kNew: {
        CHandheldEvent call;
        call.start = At(2024, 1, 18, 14, 0);
        call.description = "Call";
        call.attributes = kRecAttrDirty;
        h.PutHandheld(call);
        break;
      }
      case Handheld::kModified:
        e.description = "Meeting (hh)";
        e.attributes = kRecAttrDirty;
        h.PutHandheld(e);
        break;
      case Handheld::kModifiedAsHost:
        e.description = "Meeting (host)";
        e.attributes = kRecAttrDirty;
        h.PutHandheld(e);
        break;
      case Handheld::kDeleted:
        h.MarkHandheld(id, kRecAttrDeleted);
        break;
      case Handheld::kArchived:
        h.MarkHandheld(id, kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived);
        break;
      case Handheld::kArchivedAsHost:
        e.description = "Meeting (host)";
        e.attributes = kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived;
        h.PutHandheld(e);
        break;
      case Handheld::kArchivedChanged:
        e.description = "Meeting (hh)";
        e.attributes = kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived;
        h.PutHandheld(e);
        break;
      case Handheld::kChangedArchived:
        e.description = "Meeting (hh)";
        e.attributes = kRecAttrDirty | kRecAttrArchived;
        h.PutHandheld(e);
        break;
      case Handheld::kNone:
      case Handheld::kUnchanged:
        break;
    }

    EXPECT_EQ(0, h.Sync(kSyncFast));
    EXPECT_EQ(c.update, h.Update());
    EXPECT_EQ(c.on_hand, h.Handheld());
    EXPECT_EQ(c.log, h.log());
    // An archived record is kept in the archive file of its category (Unfiled here).
    std::string archive = ReadFile(h.folder().Data("Unfiled.DBA"));
    for (const std::string& description : c.archived) {
      EXPECT_NE(std::string::npos, archive.find(description)) << archive;
    }
    if (c.archived.empty()) {
      EXPECT_EQ(test_support::kMissing, archive);
    }
    // A third synchronisation finds both sides in step: nothing changes on either side.
    const std::vector<std::string> host_after = h.host.Briefs();
    const std::vector<std::string> handheld_after = h.Handheld();
    EXPECT_EQ(0, h.Sync(kSyncFast));
    EXPECT_EQ(host_after, h.host.Briefs());
    EXPECT_EQ(handheld_after, h.Handheld());
  }
}

}  // namespace
