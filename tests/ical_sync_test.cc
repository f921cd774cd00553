// A person's iCalendar file and the emulated handheld kept in step: the real hotsync program, the
// conduit, the handheld program and the iCalendar host driver on one home (whose default driver
// and calendar these are). The runs use the machine's time zone, as the driver does: the conduit
// gives the driver no TZ.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <string>

#include "tests/support/local_day.h"
#include "tests/support/run_program.h"
#include "tests/support/test_files.h"
#include "tests/support/text_lines.h"

namespace {

using test_support::CrLf;
using test_support::Lines;
using test_support::LocalDay;
using test_support::ReadFile;
using test_support::WriteFile;

using Result = test_support::ProgramResult;

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class IcalSyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = scratch_.Path("home");
    const char* bin = getenv("DBC_BIN_DIR");
    bin_ = bin != nullptr ? bin : ".";
    ASSERT_EQ(0, Run("hotsync", "info").status);
    calendar_ = home_ + "/hll/" + Run("hotsync", "settings get HLLName").out;
    while (!calendar_.empty() && calendar_.back() == '\n') calendar_.pop_back();
  }

  Result Run(const std::string& program, const std::string& args) {
    const std::string user = program == "hotsync" ? " --user tester " : " ";
    const std::string command = "env -u TZ -u HOTSYNC_HOME -u HOTSYNC_DIALOG_SCRIPT " + bin_ + "/" +
                                program + " --home " + home_ + user + args + " 2>>" +
                                scratch_.Path("stderr.txt");
    return test_support::RunShellCommand(command);
  }

  // A HotSync that must succeed; answers its log.
  std::string Sync() {
    Result r = Run("hotsync", "sync");
    EXPECT_EQ(0, r.status) << r.out << ReadFile(scratch_.Path("stderr.txt"));
    return r.out;
  }
  std::string Handheld() { return Run("handheld", "list --json").out; }
  std::string Calendar() const { return ReadFile(calendar_); }
  // The ID of the handheld record whose description is exactly `description`.
  std::string IdOf(const std::string& description) {
    for (const std::string& line : Lines(Handheld())) {
      if (line.find("\"description\":\"" + description + "\"") == std::string::npos) continue;
      const size_t at = line.find("\"id\":") + 5;
      return line.substr(at, line.find(',', at) - at);
    }
    return "";
  }
  // Adds VEVENTs (and other components) to the calendar, as a calendar program would.
  void AddToCalendar(const std::string& components) {
    std::string text = Calendar();
    text.insert(text.rfind("END:VCALENDAR"), CrLf(components));
    WriteFile(calendar_, text);
  }
  // Replaces `from` by `to` in the calendar, as a calendar program would.
  void EditCalendar(const std::string& from, const std::string& to) {
    std::string text = Calendar();
    const size_t at = text.find(from);
    ASSERT_NE(std::string::npos, at) << from;
    text.replace(at, from.size(), to);
    WriteFile(calendar_, text);
  }

  test_support::CScratchFolder scratch_{"icalsync"};
  std::string home_;
  std::string bin_;
  std::string calendar_;
};

// An event added on each side reaches the other, an event deleted on each side disappears from
// the other, and what the handheld does not know of the calendar survives.
TEST_F(IcalSyncTest, AddsAndDeletesCrossOverAndUnrelatedPropertiesSurvive) {
  const std::string tomorrow = LocalDay(1, false);
  AddToCalendar(
      "X-OTHER-APP-COLOR:blue\n"
      "BEGIN:VEVENT\nUID:review@test\nDTSTAMP:20240101T000000Z\nDTSTART:" +
      tomorrow + "T140000\nDTEND:" + tomorrow +
      "T150000\nSUMMARY:Design review\nLOCATION:Room 4\n"
      "ATTENDEE;CN=\"Doe, Ann\":mailto:ann@example.org\nCATEGORIES:work,design\n"
      "X-OTHER-APP-ID:77\nEND:VEVENT\n"
      "BEGIN:VEVENT\nUID:lunch@test\nDTSTAMP:20240101T000000Z\nDTSTART:" +
      tomorrow +
      "T120000\nSUMMARY:Host lunch\nEND:VEVENT\n"
      "BEGIN:VTODO\nUID:todo@test\nSUMMARY:Buy milk\nEND:VTODO\n");
  ASSERT_EQ(0, Run("handheld", "add --date " + LocalDay(2, true) +
                                   " --start 09:00 --end 09:30 --description Dentist --private")
                   .status);
  Sync();
  const std::string handheld = Handheld();
  EXPECT_NE(std::string::npos, handheld.find("\"description\":\"Design review\"")) << handheld;
  EXPECT_NE(std::string::npos, handheld.find("\"start\":\"14:00\"")) << handheld;
  std::string calendar = Calendar();
  EXPECT_NE(std::string::npos, calendar.find("SUMMARY:Dentist\r\n")) << calendar;
  EXPECT_NE(std::string::npos, calendar.find("CLASS:PRIVATE\r\n")) << calendar;
  EXPECT_EQ(3u, Count(calendar, "X-DATEBOOK-RECORD-ID:")) << calendar;

  // Each side deletes one event the other side made.
  ASSERT_EQ(0, Run("handheld", "delete " + IdOf("Design review")).status);
  const size_t lunch = Calendar().find("BEGIN:VEVENT\r\nUID:lunch@test");
  ASSERT_NE(std::string::npos, lunch);
  calendar = Calendar();
  calendar.erase(lunch, calendar.find("END:VEVENT\r\n", lunch) + 12 - lunch);
  WriteFile(calendar_, calendar);
  Sync();
  EXPECT_EQ(std::string::npos, Handheld().find("Host lunch")) << Handheld();
  calendar = Calendar();
  EXPECT_EQ(std::string::npos, calendar.find("Design review")) << calendar;
  EXPECT_NE(std::string::npos, calendar.find("SUMMARY:Dentist")) << calendar;
  for (const char* kept : {"X-OTHER-APP-COLOR:blue", "BEGIN:VTODO", "SUMMARY:Buy milk"}) {
    EXPECT_NE(std::string::npos, calendar.find(kept)) << kept;
  }

  // A third sync with no change changes neither side.
  const std::string before_handheld = Handheld();
  const std::string before_calendar = Calendar();
  Sync();
  EXPECT_EQ(before_handheld, Handheld());
  EXPECT_EQ(before_calendar, Calendar());
}

// The same event changed on both sides: both versions are kept on both sides, and the conflict
// is logged.
TEST_F(IcalSyncTest, AConflictKeepsBothVersions) {
  const std::string day = LocalDay(3, false);
  AddToCalendar("BEGIN:VEVENT\nUID:meeting@test\nDTSTAMP:20240101T000000Z\nDTSTART:" + day +
                "T090000\nDTEND:" + day +
                "T100000\nSUMMARY:Project meeting\n"
                "LOCATION:Hall\nEND:VEVENT\n");
  // The new handheld has no Date Book database before this first sync.
  const std::string first = Sync();
  EXPECT_NE(std::string::npos,
            first.find("handheld: 1 added, 0 changed, 0 deleted; host: 0 added, 0 changed"))
      << first;
  const std::string id = IdOf("Project meeting");
  ASSERT_NE("", id) << Handheld();
  ASSERT_EQ(0, Run("handheld", "edit " + id + " --description 'Meeting (handheld)'").status);
  EditCalendar("SUMMARY:Project meeting", "SUMMARY:Meeting (host)");
  const std::string log = Sync();
  const std::string handheld = Handheld();
  EXPECT_NE(std::string::npos, handheld.find("Meeting (handheld)")) << handheld;
  EXPECT_NE(std::string::npos, handheld.find("Meeting (host)")) << handheld;
  const std::string calendar = Calendar();
  EXPECT_NE(std::string::npos, calendar.find("SUMMARY:Meeting (handheld)")) << calendar;
  EXPECT_NE(std::string::npos, calendar.find("SUMMARY:Meeting (host)")) << calendar;
  EXPECT_NE(std::string::npos, calendar.find("LOCATION:Hall")) << calendar;
  EXPECT_NE(std::string::npos, log.find("Meeting (handheld)")) << log;
}

// A host recurring event reaches the handheld as its occurrences; a repeating handheld event
// reaches the host as its occurrences, which stay the same events from one sync to the next.
TEST_F(IcalSyncTest, RepeatingEventsOnEachSide) {
  AddToCalendar(
      "BEGIN:VEVENT\nUID:standup@test\nDTSTAMP:20240101T000000Z\nDTSTART:" + LocalDay(1, false) +
      "T083000\nRRULE:FREQ=WEEKLY;COUNT=3\nSUMMARY:Stand-up\n"
      "END:VEVENT\n");
  ASSERT_EQ(0, Run("handheld", "add --date " + LocalDay(2, true) +
                                   " --start 07:00 --end 07:45 --description Swimming"
                                   " --repeat weekly")
                   .status);
  Sync();
  EXPECT_EQ(3u, Count(Handheld(), "\"description\":\"Stand-up\"")) << Handheld();
  const std::string first = Calendar();
  EXPECT_GE(Count(first, "SUMMARY:Swimming"), 4u) << first;
  // The conduit deletes and adds the occurrences anew at every sync: the driver keeps their
  // events (the same UIDs), and once they have their entry numbers nothing changes.
  const auto uids = [](const std::string& text) {
    std::vector<std::string> found;
    for (const std::string& line : Lines(text)) {
      if (line.rfind("UID:", 0) == 0) found.push_back(line);
    }
    return found;
  };
  Sync();
  const std::string second = Calendar();
  EXPECT_EQ(uids(first), uids(second));
  Sync();
  EXPECT_EQ(3u, Count(Handheld(), "\"description\":\"Stand-up\"")) << Handheld();
  EXPECT_EQ(second, Calendar());
}

// A calendar that cannot be parsed fails the HotSync, and nothing is deleted on the handheld.
TEST_F(IcalSyncTest, ACalendarThatFailsToParseDeletesNothing) {
  AddToCalendar("BEGIN:VEVENT\nUID:a@test\nDTSTAMP:20240101T000000Z\nDTSTART:" +
                LocalDay(1, false) + "T090000\nSUMMARY:Host event\nEND:VEVENT\n");
  ASSERT_EQ(0, Run("handheld", "add --date " + LocalDay(1, true) + " --description Mine").status);
  Sync();
  const std::string handheld = Handheld();
  ASSERT_NE(std::string::npos, handheld.find("Host event"));
  EditCalendar("SUMMARY:Host event", "SUMMARY:Host event\r\nthis line is not iCalendar");
  const std::string damaged = Calendar();
  Result r = Run("hotsync", "sync");
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.out.find("this line is not iCalendar")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Datebook Synchronization Failed")) << r.out;
  EXPECT_EQ(handheld, Handheld());
  EXPECT_EQ(damaged, Calendar());
}

}  // namespace
