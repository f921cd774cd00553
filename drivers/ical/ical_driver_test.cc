// The iCalendar host driver, run as the conduit runs it: the built program with seven words and
// an environment of PATH=<calendar folder>; (plus TZ and the stand-in for today that the tests
// need), on a calendar and exchange files in a scratch folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "drivers/ical/calendar_file.h"
#include "drivers/ical/exchange_file.h"
#include "tests/support/test_files.h"
#include "tests/support/text_lines.h"

namespace ical_driver {
namespace {

using test_support::CrLf;
using test_support::CScratchFolder;
using test_support::ReadFile;
using test_support::WriteFile;

constexpr char kBerlin[] = "Europe/Berlin";
constexpr char kToday[] = "20240305";  // a Tuesday; Berlin moves to summer time on 31 March

// A calendar around the given VEVENTs and other components.
std::string Calendar(const std::string& components) {
  return CrLf("BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//tests//EN\nX-WR-CALNAME:Work\n" +
              components + "END:VCALENDAR\n");
}

std::string Event(const std::string& uid, const std::string& lines) {
  return "BEGIN:VEVENT\nUID:" + uid + "\nDTSTAMP:20240101T000000Z\n" + lines + "END:VEVENT\n";
}

class IcalDriverTest : public ::testing::Test {
 protected:
  IcalDriverTest() { std::filesystem::create_directories(scratch_.Path("hll")); }

  std::string CalendarPath() const { return scratch_.Path("hll") + "/cal.ics"; }
  std::string CalendarText() const { return ReadFile(CalendarPath()); }
  void SetCalendar(const std::string& text) const { WriteFile(CalendarPath(), text); }
  std::string ErrorText() const { return ReadFile(scratch_.Data("conderr.txt")); }

  // Runs the driver with the given words after its name; answers its exit code.
  int Run(const std::vector<std::string>& words) const {
    const char* dir = std::getenv("DBC_BIN_DIR");
    const std::string program = std::string(dir != nullptr ? dir : "build/bin") + "/ical_driver";
    std::vector<std::string> args = {program};
    args.insert(args.end(), words.begin(), words.end());
    const std::vector<std::string> env = {"PATH=" + scratch_.Path("hll") + ";", "TZ=" + zone_,
                                          "DATEBOOK_DRIVER_TODAY=" + today_};
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
      ADD_FAILURE() << "cannot run " << program;
      return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  int Extract(int days = 30) const {
    return Run({"extract", scratch_.DataFolder(), "desk.dat", "Jane", std::to_string(days),
                "screen", "cal.ics"});
  }
  int Update() const {
    return Run({"update", scratch_.DataFolder(), "update.dat", "Jane", "0", "screen", "cal.ics"});
  }

  // Extracts and answers the entries (the test fails when the extract does).
  std::vector<CExchangeEntry> Entries(int days = 30) const {
    EXPECT_EQ(0, Extract(days)) << ErrorText();
    std::vector<CExchangeEntry> entries;
    std::string error;
    EXPECT_TRUE(ParseExchangeFile(ReadFile(scratch_.Data("desk.dat")), &entries, &error)) << error;
    return entries;
  }

  // Writes the entries as the update file and applies it.
  int ApplyUpdate(const std::vector<CExchangeEntry>& entries) const {
    std::string bytes, error;
    EXPECT_TRUE(FormatExchangeFile(entries, &bytes, &error)) << error;
    WriteFile(scratch_.Data("update.dat"), bytes);
    return Update();
  }

  // The record lines of the extract without their CR LF.
  std::vector<std::string> ExtractLines(int days = 30) const {
    EXPECT_EQ(0, Extract(days)) << ErrorText();
    const std::string bytes = ReadFile(scratch_.Data("desk.dat"));
    std::vector<std::string> lines;
    size_t start = 4;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(bytes.substr(start, end - start));
    }
    return lines;
  }

  CScratchFolder scratch_{"ical"};
  std::string zone_ = kBerlin;
  std::string today_ = kToday;
};

// Every mapped property as the extract writes it, in Berlin time.
TEST_F(IcalDriverTest, ExtractWritesEachPropertyAsTheExchangeFileCarriesIt) {
  SetCalendar(Calendar(
      Event("timed",
            "DTSTART:20240306T080000Z\nDTEND:20240306T093000Z\nSUMMARY:Staff meeting\n"
            "DESCRIPTION:Room 4\\nBring slides\\; and coffee\n") +
      Event("untimed", "DTSTART;VALUE=DATE:20240307\nSUMMARY:Holiday\n") +
      Event("private", "DTSTART:20240308T080000Z\nSUMMARY:Dentist\nCLASS:PRIVATE\n") +
      Event("confidential", "DTSTART:20240308T090000Z\nSUMMARY:Review\nCLASS:CONFIDENTIAL\n") +
      Event("overnight", "DTSTART:20240309T210000Z\nDURATION:PT5H\nSUMMARY:Night train\n") +
      Event("alarm-hours",
            "DTSTART:20240310T080000Z\nSUMMARY:A\nBEGIN:VALARM\nACTION:DISPLAY\n"
            "DESCRIPTION:x\nTRIGGER:-PT2H\nEND:VALARM\n") +
      Event("alarm-days",
            "DTSTART:20240311T080000Z\nSUMMARY:B\nBEGIN:VALARM\nACTION:AUDIO\n"
            "TRIGGER;RELATED=START:-P1D\nEND:VALARM\n") +
      Event("alarm-odd",
            "DTSTART:20240312T080000Z\nSUMMARY:C\nBEGIN:VALARM\nACTION:AUDIO\n"
            "TRIGGER:-PT150M\nEND:VALARM\n") +
      Event("alarm-absolute",
            "DTSTART:20240313T080000Z\nSUMMARY:D\nBEGIN:VALARM\nACTION:AUDIO\n"
            "TRIGGER;VALUE=DATE-TIME:20240313T075000Z\nEND:VALARM\n") +
      Event("long", "DTSTART:20240314T080000Z\nSUMMARY:" + std::string(70, 'x') + "\n") +
      Event("before", "DTSTART:20240304T225900Z\nSUMMARY:Yesterday\n") +
      Event("last-day", "DTSTART;VALUE=DATE:20240404\nSUMMARY:Window end\n") +
      // The window ends at 00:00 on 4 April, on the local calendar although summer time began
      // on 31 March, as the conduit's does.
      Event("after", "DTSTART:20240404T000100\nSUMMARY:Too late\n") +
      Event("no-start", "SUMMARY:Nowhere\n") +
      "BEGIN:VTODO\nUID:todo\nSUMMARY:Not an event\nEND:VTODO\n"));
  const std::vector<std::string> lines = ExtractLines(30);
  const std::vector<std::string> expected = {
      "        00012024030609:0010:30000000045Staff meeting;Room 4;Bring slides: and coffee",
      "        000220240307          000000007Holiday",
      "        00032024030809:0009:00000000013PERS: Dentist",
      "        00042024030810:0010:00000000012CONF: Review",
      "        00052024030922:0023:59000000011Night train",
      "        00062024031009:0009:00002100001A",
      "        00072024031109:0009:00001200001B",
      "        00082024031209:0009:00003100001C",
      "        00092024031309:0009:00010000001D",
      "        00102024031409:0009:00000000071" + std::string(60, 'x') + ";" + std::string(10, 'x'),
      "        001120240404          000000010Window end",
  };
  EXPECT_EQ(expected, lines);
}

// An event in New York's time seen from Berlin: New York moves to summer time on 10 March, Berlin
// on 31 March, so the weekly 09:00 meeting is at 15:00, then 14:00, then 15:00 again.
TEST_F(IcalDriverTest, TimeZonesAcrossClockChanges) {
  SetCalendar(
      Calendar("BEGIN:VTIMEZONE\nTZID:Eastern\nBEGIN:STANDARD\nDTSTART:19701101T020000\n"
               "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\nTZOFFSETFROM:-0400\nTZOFFSETTO:-0500\n"
               "END:STANDARD\nBEGIN:DAYLIGHT\nDTSTART:19700308T020000\n"
               "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\nTZOFFSETFROM:-0500\nTZOFFSETTO:-0400\n"
               "END:DAYLIGHT\nEND:VTIMEZONE\n" +
               Event("ny",
                     "DTSTART;TZID=America/New_York:20240307T090000\n"
                     "DTEND;TZID=America/New_York:20240307T100000\n"
                     "RRULE:FREQ=WEEKLY;UNTIL=20240406T000000Z\nSUMMARY:Call\n") +
               Event("eastern", "DTSTART;TZID=Eastern:20240311T090000\nSUMMARY:Own zone\n")));
  std::vector<std::string> starts;
  for (const CExchangeEntry& e : Entries(31)) {
    starts.push_back(std::to_string(e.day) + " " + std::to_string(e.start_minute / 60) + ":" +
                     std::to_string(e.end_minute / 60));
  }
  EXPECT_EQ((std::vector<std::string>{"7 15:16", "11 14:14", "14 14:15", "21 14:15", "28 14:15",
                                      "4 15:16"}),
            starts);

  // A change written back keeps the event in its zone: 14:30 Berlin on 14 March is 09:30 in New
  // York, and in summer, when Berlin is six hours ahead again, 16:00 is 10:00.
  std::vector<CExchangeEntry> entries = Entries(31);
  entries[2].status = EntryStatus::kModified;
  entries[2].start_minute = 14 * 60 + 30;
  entries[2].end_minute = 15 * 60 + 30;
  entries[5].status = EntryStatus::kModified;
  entries[5].start_minute = 16 * 60;
  entries[5].end_minute = 17 * 60;
  ASSERT_EQ(0, ApplyUpdate(entries)) << ErrorText();
  const std::string text = CalendarText();
  EXPECT_NE(std::string::npos, text.find("DTSTART;TZID=America/New_York:20240314T093000\r\n"));
  EXPECT_NE(std::string::npos, text.find("DTSTART;TZID=America/New_York:20240404T100000\r\n"));
  EXPECT_NE(std::string::npos, text.find("RECURRENCE-ID;TZID=America/New_York:20240404T090000"));
}

// Each mapped field changed on the handheld reaches the calendar and reads back as changed, while
// what the exchange file cannot carry stays.
TEST_F(IcalDriverTest, RoundTripOfEveryMappedProperty) {
  const std::string original =
      Calendar(Event("e",
                     "DTSTART:20240306T080000Z\nDTEND:20240306T090000Z\nSUMMARY:Lunch\n"
                     "DESCRIPTION:With Sam\nLOCATION:Cafe\nATTENDEE;CN=\"Sam, S\":mailto:s@x.org\n"
                     "CATEGORIES:food,friends\nCOLOR:teal\nX-OTHER-APP;X-P=1:kept\n"
                     "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:x\nTRIGGER:-PT10M\nEND:VALARM\n") +
               "BEGIN:VTODO\nUID:todo\nSUMMARY:Buy milk\nEND:VTODO\n");
  struct Case {
    const char* name;
    std::function<void(CExchangeEntry*)> change;
  };
  const Case kCases[] = {
      {"description", [](CExchangeEntry* e) { e->description = "Dinner, late"; }},
      {"note", [](CExchangeEntry* e) { e->note = "Line one\r\nLine two \\ three"; }},
      {"no note", [](CExchangeEntry* e) { e->note.clear(); }},
      {"date", [](CExchangeEntry* e) { e->day = 9; }},
      {"times",
       [](CExchangeEntry* e) {
         e->start_minute = 7 * 60 + 15;
         e->end_minute = 23 * 60 + 45;
       }},
      {"untimed", [](CExchangeEntry* e) { e->untimed = true; }},
      {"alarm hours",
       [](CExchangeEntry* e) {
         e->alarm_advance = 3;
         e->alarm_unit = AlarmUnit::kHours;
       }},
      {"alarm days",
       [](CExchangeEntry* e) {
         e->alarm_advance = 2;
         e->alarm_unit = AlarmUnit::kDays;
       }},
      {"no alarm", [](CExchangeEntry* e) { e->alarm_advance = 0; }},
      {"private", [](CExchangeEntry* e) { e->description = "PERS: Lunch"; }},
      {"confidential", [](CExchangeEntry* e) { e->description = "CONF: Lunch"; }},
      {"record ID",
       [](CExchangeEntry* e) {
         e->has_record_id = true;
         e->record_id = 0x00A1B2C3;
       }},
      {"repeat flag", [](CExchangeEntry* e) { e->repeat = true; }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    SetCalendar(original);
    std::vector<CExchangeEntry> entries = Entries();
    ASSERT_EQ(1u, entries.size());
    CExchangeEntry wanted = entries[0];
    c.change(&wanted);
    CExchangeEntry update = wanted;
    update.status = EntryStatus::kModified;
    ASSERT_EQ(0, ApplyUpdate({update})) << ErrorText();

    const std::vector<CExchangeEntry> after = Entries();
    ASSERT_EQ(1u, after.size());
    const CExchangeEntry& got = after[0];
    EXPECT_EQ(wanted.description, got.description);
    EXPECT_EQ(wanted.note, got.note);
    EXPECT_EQ(wanted.day, got.day);
    EXPECT_EQ(wanted.untimed, got.untimed);
    if (!wanted.untimed) {
      EXPECT_EQ(wanted.start_minute, got.start_minute);
      EXPECT_EQ(wanted.end_minute, got.end_minute);
    }
    EXPECT_EQ(wanted.alarm_advance, got.alarm_advance);
    if (wanted.alarm_advance != 0) {
      EXPECT_EQ(static_cast<int>(wanted.alarm_unit), static_cast<int>(got.alarm_unit));
    }
    EXPECT_EQ(wanted.has_record_id, got.has_record_id);
    EXPECT_EQ(wanted.record_id, got.record_id);
    EXPECT_EQ(wanted.repeat, got.repeat);
    EXPECT_EQ(entries[0].entry_number, got.entry_number);

    const std::string text = CalendarText();
    for (const char* kept :
         {"LOCATION:Cafe", "ATTENDEE;CN=\"Sam, S\":mailto:s@x.org", "COLOR:teal",
          "X-OTHER-APP;X-P=1:kept", "BEGIN:VTODO", "SUMMARY:Buy milk", "X-WR-CALNAME:Work"}) {
      EXPECT_NE(std::string::npos, text.find(kept)) << kept;
    }
  }
}

// An update that says what the calendar already says changes nothing, not even a timestamp.
TEST_F(IcalDriverTest, UnchangedEntriesLeaveTheCalendarAsItIs) {
  SetCalendar(
      Calendar(Event("e",
                     "DTSTART;TZID=America/New_York:20240306T083007\nDTEND;TZID=America/New_York:"
                     "20240307T010000\nSUMMARY:" +
                         std::string(70, 'y') +
                         "\nDESCRIPTION:note\nBEGIN:VALARM\nACTION:AUDIO\nTRIGGER:-PT90S\n"
                         "END:VALARM\n")));
  std::vector<CExchangeEntry> entries = Entries();
  ASSERT_EQ(1u, entries.size());
  const std::string before = CalendarText();
  entries[0].status = EntryStatus::kModified;
  ASSERT_EQ(0, ApplyUpdate(entries)) << ErrorText();
  EXPECT_EQ(before, CalendarText());
  // Only the start moved: the cut end keeps the event's length, the seconds go.
  entries[0].start_minute += 60;
  ASSERT_EQ(0, ApplyUpdate(entries)) << ErrorText();
  EXPECT_NE(std::string::npos,
            CalendarText().find("DTSTART;TZID=America/New_York:20240306T093000"));
  EXPECT_NE(std::string::npos, CalendarText().find("DTEND;TZID=America/New_York:20240307T015953"));
  EXPECT_NE(std::string::npos, CalendarText().find(std::string(70, 'y')));
  EXPECT_NE(std::string::npos, CalendarText().find("DESCRIPTION:note\r\n"));
}

// A recurring host event with an override and an EXDATE is extracted as its occurrences; a
// deleted occurrence becomes an EXDATE, a changed one an override, and a new record ID is kept
// for the occurrence without changing it.
TEST_F(IcalDriverTest, RecurringEventWithOverrideAndExdate) {
  SetCalendar(
      Calendar(Event("w",
                     "DTSTART:20240305T080000Z\nDTEND:20240305T090000Z\nRRULE:FREQ=WEEKLY;COUNT=6\n"
                     "EXDATE:20240319T080000Z\nSUMMARY:Weekly\nLOCATION:Hall\n") +
               Event("w",
                     "RECURRENCE-ID:20240312T080000Z\nDTSTART:20240312T120000Z\n"
                     "DTEND:20240312T130000Z\nSUMMARY:Weekly (moved)\n")));
  std::vector<CExchangeEntry> entries = Entries();
  std::vector<std::string> seen;
  for (const CExchangeEntry& e : entries) {
    seen.push_back(std::to_string(e.month * 100 + e.day) + " " +
                   std::to_string(e.start_minute / 60) + " " + e.description);
  }
  EXPECT_EQ((std::vector<std::string>{"305 9 Weekly", "312 13 Weekly (moved)", "326 9 Weekly",
                                      "402 10 Weekly"}),
            seen);
  ASSERT_EQ(4u, entries.size());

  entries[0].status = EntryStatus::kDeleted;   // 5 March: EXDATE
  entries[1].status = EntryStatus::kDeleted;   // the override: removed, and EXDATE
  entries[2].status = EntryStatus::kModified;  // 26 March: moved to 11:00, an override
  entries[2].start_minute = 11 * 60;
  entries[2].end_minute = 12 * 60;
  entries[3].status = EntryStatus::kModified;  // 2 April: only its handheld record ID
  entries[3].has_record_id = true;
  entries[3].record_id = 0x42;
  ASSERT_EQ(0, ApplyUpdate(entries)) << ErrorText();
  const std::string text = CalendarText();
  EXPECT_NE(std::string::npos, text.find("EXDATE:20240305T080000Z"));
  EXPECT_NE(std::string::npos, text.find("EXDATE:20240312T080000Z"));
  EXPECT_NE(std::string::npos, text.find("RECURRENCE-ID:20240326T080000Z"));
  EXPECT_EQ(std::string::npos, text.find("Weekly (moved)"));
  EXPECT_EQ(std::string::npos, text.find("RECURRENCE-ID:20240402"));

  const std::vector<CExchangeEntry> after = Entries();
  ASSERT_EQ(2u, after.size());
  EXPECT_EQ(26, after[0].day);
  EXPECT_EQ(11 * 60, after[0].start_minute);
  EXPECT_EQ(entries[2].entry_number, after[0].entry_number);
  EXPECT_EQ(2, after[1].day);
  EXPECT_TRUE(after[1].has_record_id);
  EXPECT_EQ(0x42u, after[1].record_id);
  EXPECT_EQ(entries[3].entry_number, after[1].entry_number);
  EXPECT_NE(std::string::npos, CalendarText().find("LOCATION:Hall"));
}

// Series that began long before the window: the walk to the window (which may skip ahead for a
// rule without COUNT) gives the same occurrences as a walk from the start.
TEST_F(IcalDriverTest, SeriesThatBeganLongAgo) {
  SetCalendar(Calendar(Event("tu-th",
                             "DTSTART;TZID=Europe/Berlin:20190101T073000\n"
                             "RRULE:FREQ=WEEKLY;BYDAY=TU,TH\nSUMMARY:Swim\n") +
                       Event("monthly",
                             "DTSTART;VALUE=DATE:20230305\nRRULE:FREQ=MONTHLY;COUNT=20\n"
                             "SUMMARY:Rent\n") +
                       Event("ended",
                             "DTSTART:20200305T080000Z\nRRULE:FREQ=DAILY;UNTIL=20231231T000000Z\n"
                             "SUMMARY:Over\n")));
  std::vector<std::string> seen;
  for (const CExchangeEntry& e : Entries(10)) {
    seen.push_back(std::to_string(e.day) + (e.untimed ? "" : " " + std::to_string(e.start_minute)) +
                   " " + e.description);
  }
  EXPECT_EQ((std::vector<std::string>{"5 Rent", "5 450 Swim", "7 450 Swim", "12 450 Swim",
                                      "14 450 Swim"}),
            seen);
}

// Numbers stay with their events: a new event, an event the host user deleted, and a copy of an
// event (with its number) do not move the others'.
TEST_F(IcalDriverTest, HostEntryNumbersStayWithTheirEvents) {
  const std::string a = Event("a", "DTSTART:20240306T080000Z\nSUMMARY:A\n");
  const std::string b = Event("b", "DTSTART:20240307T080000Z\nSUMMARY:B\n");
  SetCalendar(Calendar(a + b));
  const std::vector<CExchangeEntry> first = Entries();
  ASSERT_EQ(2u, first.size());
  EXPECT_EQ(first[0].entry_number, Entries()[0].entry_number);

  // The host user adds an event before A and copies B (X- properties included), then deletes A.
  std::string text = CalendarText();
  const size_t b_at = text.find("BEGIN:VEVENT\r\nUID:b");
  const std::string b_numbered = text.substr(b_at, text.find("END:VEVENT\r\n", b_at) + 12 - b_at);
  std::string copy = b_numbered;
  copy.replace(copy.find("UID:b"), 5, "UID:c");
  copy.replace(copy.find("20240307"), 8, "20240308");
  text.insert(text.find("END:VCALENDAR"), copy + CrLf(Event("z",
                                                            "DTSTART:20240305T100000Z\n"
                                                            "SUMMARY:Z\n")));
  const size_t a_at = text.find("BEGIN:VEVENT\r\nUID:a");
  text.erase(a_at, text.find("END:VEVENT\r\n", a_at) + 12 - a_at);
  SetCalendar(text);
  const std::vector<CExchangeEntry> second = Entries();
  ASSERT_EQ(3u, second.size());
  EXPECT_EQ("Z", second[0].description);
  EXPECT_EQ(first[1].entry_number, second[1].entry_number);   // B
  EXPECT_NE(first[0].entry_number, second[0].entry_number);   // A's number is not reused at once
  EXPECT_NE(second[1].entry_number, second[2].entry_number);  // the copy gets its own
  EXPECT_NE(first[0].entry_number, second[2].entry_number);
}

// A calendar that cannot be read is never extracted as empty: the driver fails, explains why in
// conderr.txt and writes no exchange file.
TEST_F(IcalDriverTest, CalendarThatCannotBeReadFailsTheExtract) {
  struct Case {
    const char* name;
    std::string text;  // empty: no file
    const char* explanation;
  };
  const Case kCases[] = {
      {"missing", "", "does not exist"},
      {"empty file", "\r\n", "no calendar"},
      {"garbage line", Calendar(Event("e", "DTSTART:20240306T080000Z\nthis is not a line\n")),
       "this is not a line"},
      {"bad date", Calendar(Event("e", "DTSTART:tomorrow\n")), "DTSTART"},
      {"impossible date", Calendar(Event("e", "DTSTART:20241306T250000Z\n")), "does not exist"},
      {"cut off", Calendar(Event("e", "DTSTART:20240306T080000Z\n")).substr(0, 90),
       "cannot be read"},
      {"unknown zone", Calendar(Event("e", "DTSTART;TZID=Mars/Olympus:20240306T080000\n")),
       "Mars/Olympus"},
      {"two calendars", Calendar("") + Calendar(""), "more than one VCALENDAR"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(CalendarPath());
    if (!c.text.empty()) SetCalendar(c.text);
    WriteFile(scratch_.Data("conderr.txt"), "");
    std::filesystem::remove(scratch_.Data("desk.dat"));
    EXPECT_EQ(3, Extract());
    EXPECT_NE(std::string::npos, ErrorText().find(c.explanation)) << ErrorText();
    EXPECT_EQ(test_support::kMissing, ReadFile(scratch_.Data("desk.dat")));
    if (!c.text.empty()) {
      EXPECT_EQ(c.text, CalendarText());
    }
  }
}

// Applying the same update file twice gives the calendar of applying it once, also for the
// occurrences of a repeating handheld event, which the conduit deletes and adds anew every time.
TEST_F(IcalDriverTest, UpdateAppliedTwiceEqualsOnce) {
  SetCalendar(Calendar(Event("a", "DTSTART:20240306T080000Z\nSUMMARY:A\n") +
                       Event("w", "DTSTART:20240305T080000Z\nRRULE:FREQ=DAILY\nSUMMARY:W\n")));
  std::vector<CExchangeEntry> entries = Entries(3);
  ASSERT_EQ(4u, entries.size());               // W on 5 March, A and W on 6 March, W on 7 March
  entries[0].status = EntryStatus::kDeleted;   // W on 5 March
  entries[1].status = EntryStatus::kModified;  // A: a new handheld ID
  entries[1].has_record_id = true;
  entries[1].record_id = 7;
  entries[2].status = EntryStatus::kModified;  // W on 6 March, changed
  entries[2].description = "W, changed";
  CExchangeEntry single;
  single.status = EntryStatus::kAdded;
  single.has_record_id = true;
  single.record_id = 8;
  single.year = 2024, single.month = 3, single.day = 6;
  single.start_minute = 600, single.end_minute = 660;
  single.description = "From the handheld";
  CExchangeEntry repeating = single;
  repeating.record_id = 9;
  repeating.repeat = true;
  repeating.description = "Daily on the handheld";
  for (int day : {5, 6, 7}) {
    repeating.day = day;
    entries.push_back(repeating);
  }
  entries.push_back(single);
  ASSERT_EQ(0, ApplyUpdate(entries)) << ErrorText();
  const std::string once = CalendarText();
  ASSERT_EQ(0, Update()) << ErrorText();
  EXPECT_EQ(once, CalendarText());

  // The next day's synchronisation: the conduit deletes the occurrences in the window and adds
  // them again for the new window. The events of those on 6 and 7 March are kept, with their
  // UIDs; the one on 5 March, now before the window, stays as it is.
  today_ = "20240306";
  std::vector<CExchangeEntry> next = Entries(3);
  std::vector<CExchangeEntry> update;
  for (CExchangeEntry e : next) {
    if (!e.repeat) continue;
    e.status = EntryStatus::kDeleted;
    update.push_back(e);
  }
  ASSERT_EQ(2u, update.size());
  for (int day : {6, 7, 8}) {
    repeating.day = day;
    update.push_back(repeating);
  }
  const auto uids = [&]() {
    int count = 0;
    for (size_t at = 0; (at = CalendarText().find("@datebook-conduit", at)) != std::string::npos;
         ++at) {
      ++count;
    }
    return count;
  };
  const int before = uids();
  ASSERT_EQ(0, ApplyUpdate(update)) << ErrorText();
  const std::string second = CalendarText();
  EXPECT_EQ(before + 1, uids());
  ASSERT_EQ(0, Update()) << ErrorText();
  EXPECT_EQ(second, CalendarText());
  std::vector<int> days;
  for (const CExchangeEntry& e : Entries(3)) {
    if (e.repeat) days.push_back(e.day);
  }
  EXPECT_EQ((std::vector<int>{6, 7, 8}), days);
}

// An update that cannot be applied fails with an explanation, leaves the calendar byte for byte
// as it was and leaves update.dat for the next synchronisation.
TEST_F(IcalDriverTest, UpdateThatCannotBeAppliedChangesNothing) {
  SetCalendar(Calendar(Event("a", "DTSTART:20240306T080000Z\nSUMMARY:A\n")));
  std::vector<CExchangeEntry> entries = Entries();
  const std::string calendar = CalendarText();
  std::string good;
  std::string error;
  CExchangeEntry unknown = entries[0];
  unknown.status = EntryStatus::kModified;
  unknown.entry_number = 77;
  CExchangeEntry added = entries[0];
  added.status = EntryStatus::kAdded;
  added.description = "New";
  ASSERT_TRUE(FormatExchangeFile({added, unknown}, &good, &error));
  std::string valid_one;
  ASSERT_TRUE(FormatExchangeFile({added}, &valid_one, &error));
  // 0 is what the conduit writes for a record without a host entry number; no event has it.
  unknown.entry_number = 0;
  std::string zero;
  ASSERT_TRUE(FormatExchangeFile({unknown}, &zero, &error));
  struct Case {
    const char* name;
    std::string bytes;
    int exit_code;
    const char* explanation;
  };
  const Case kCases[] = {
      {"unknown entry", good, 4, "host entry 77, which is not in the calendar"},
      {"entry 0", zero, 4, "host entry 0, which is not in the calendar"},
      {"cut off", valid_one.substr(0, valid_one.size() - 5), 4, "ends inside the record"},
      {"bad status", std::string(valid_one).replace(4 + 30, 1, "7"), 4, "status"},
      {"count too high", "0002" + valid_one.substr(4), 4, "record 2 of 2"},
      {"trailing bytes", valid_one + "x", 4, "1 bytes follow"},
      {"no count", "", 4, "record count"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    WriteFile(scratch_.Data("update.dat"), c.bytes);
    EXPECT_EQ(c.exit_code, Update());
    EXPECT_NE(std::string::npos, ErrorText().find(c.explanation)) << ErrorText();
    EXPECT_EQ(calendar, CalendarText());
    EXPECT_EQ(c.bytes, ReadFile(scratch_.Data("update.dat")));
  }
}

// What the update writes is valid iCalendar: libical parses it back without complaint, texts are
// escaped and lines folded by libical, and bytes that are not UTF-8 are read as Latin-1.
TEST_F(IcalDriverTest, WrittenEventsAreValidAndEscaped) {
  SetCalendar(Calendar(""));
  CExchangeEntry e;
  e.status = EntryStatus::kAdded;
  e.year = 2024, e.month = 3, e.day = 6;
  e.start_minute = 600, e.end_minute = 600;  // no length: no DTEND
  e.description = "a, b\\c \xe9t\xe9";
  e.note = std::string(100, 'n') + "\r\nsecond, line";
  e.alarm_advance = 5;
  ASSERT_EQ(0, ApplyUpdate({e})) << ErrorText();
  const std::string text = CalendarText();
  std::string error;
  EXPECT_NE(nullptr, ParseCalendarText(text, &error)) << error;
  EXPECT_NE(std::string::npos, text.find("SUMMARY:a\\, b\\\\c \xc3\xa9t\xc3\xa9\r\n"));
  EXPECT_NE(std::string::npos, text.find("\\nsecond\\, line"));
  EXPECT_EQ(std::string::npos, text.find("DTEND"));
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    EXPECT_LE(end - start, 75u) << text.substr(start, end - start);
  }
}

// The words of the command line: a user ID with blanks, an absolute calendar path; a missing
// calendar is created by install only, and an .ics file is imported once however often.
TEST_F(IcalDriverTest, CommandLineWordsAndInstall) {
  EXPECT_EQ(0, Run({"install", scratch_.DataFolder(), "new", "dummy", "0", "XXX", "cal.ics"}));
  std::string error;
  EXPECT_NE(nullptr, ParseCalendarText(CalendarText(), &error)) << error;

  const std::string import = scratch_.Path("import.ics");
  WriteFile(import, Calendar(Event("i", "DTSTART:20240306T080000Z\nSUMMARY:Imported\n")));
  const std::vector<std::string> install = {
      "install", scratch_.DataFolder(), import, "dummy", "0", "XXX", "cal.ics"};
  EXPECT_EQ(0, Run(install));
  // Extract with a user ID of three words and the calendar named by its absolute path.
  EXPECT_EQ(0, Run({"extract", scratch_.DataFolder(), "desk.dat", "Jane", "Q.", "Doe", "30",
                    "screen", CalendarPath()}));
  EXPECT_NE(std::string::npos, ReadFile(scratch_.Data("desk.dat")).find("Imported"));
  EXPECT_EQ(0, Run(install));
  const std::string text = CalendarText();
  EXPECT_EQ(text.find("UID:i\r\n"), text.rfind("UID:i\r\n"));
  EXPECT_NE(std::string::npos, text.find("X-DATEBOOK-ENTRY:1\r\n"));

  EXPECT_EQ(
      3, Run({"install", scratch_.DataFolder(), "/no/such.ics", "dummy", "0", "XXX", "cal.ics"}));
  EXPECT_NE(std::string::npos, ErrorText().find("no such file"));
  EXPECT_EQ(2, Run({"extract", scratch_.DataFolder(), "desk.dat"}));
}

// A second run waits for the first to release the calendar's lock.
TEST_F(IcalDriverTest, RunsWaitForTheLock) {
  SetCalendar(Calendar(Event("a", "DTSTART:20240306T080000Z\nSUMMARY:A\n")));
  const int fd = open((CalendarPath() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_EQ(0, flock(fd, LOCK_EX));
  std::thread release([fd] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    close(fd);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, Extract()) << ErrorText();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  release.join();
}

}  // namespace
}  // namespace ical_driver
