// A power cut at every step of a HotSync, through the real programs: hotsync with the conduit, the
// iCalendar driver and the home's files (settings, log, sync lock, device image, data folder, the
// calendar). Each run ends at one step (--crash-after), and the machine loses every write that
// had not reached the disk (tests/support/power_loss.h). The HotSyncs after it must leave the
// handheld and the calendar as a run that was never cut off, with no hand repair of the home.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/local_day.h"
#include "tests/support/power_loss.h"
#include "tests/support/power_loss_run.h"
#include "tests/support/run_program.h"
#include "tests/support/test_files.h"
#include "tests/support/text_lines.h"

namespace {

using test_support::Lines;
using test_support::LocalDay;
using test_support::ReadFile;
using test_support::WriteFile;

using Result = test_support::ProgramResult;

// What both sides hold, without what differs from run to run (record IDs, UIDs, time stamps).
struct CSides {
  std::vector<std::string> handheld;
  std::vector<std::string> calendar;
  bool operator==(const CSides& other) const {
    return handheld == other.handheld && calendar == other.calendar;
  }
};

std::ostream& operator<<(std::ostream& out, const CSides& sides) {
  out << "handheld:\n";
  for (const std::string& line : sides.handheld) out << "  " << line << "\n";
  out << "calendar:\n";
  for (const std::string& line : sides.calendar) out << "  " << line << "\n";
  return out;
}

class HotsyncFaultsTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const char* bin = getenv("DBC_BIN_DIR");
    bin_ = bin != nullptr ? bin : ".";
    home_ = scratch_.Path("home");
    start_ = scratch_.Path("start");
    disk_ = scratch_.Path("home.disk");
    ASSERT_EQ(0, Run("hotsync", "info").status);
    calendar_ = "/hll/" + Lines(Run("hotsync", "settings get HLLName").out).at(0);
    // The iCalendar driver, with the power-loss layer while a run is watched.
    const std::string driver = scratch_.Path("driver.sh");
    test_support::WritePowerLossDriver(driver, disk_, bin_ + "/ical_driver");
    ASSERT_EQ(0, Run("hotsync", "settings set DriverPath " + driver).status);

    // In step after a first HotSync: events on each side and a weekly event of the handheld.
    AddToCalendar("Dentist", 1, "110000", "120000");
    AddToCalendar("Lunch", 2, "120000", "130000");
    AddToCalendar("Review", 3, "100000", "110000");
    const std::pair<int, const char*> kHandheld[] = {
        {1, "--start 09:00 --end 10:00 --description Meeting"},
        {2, "--start 14:00 --end 15:00 --description Call"},
        {3, "--start 18:00 --end 19:00 --description Gym"},
        {1, "--start 07:00 --end 07:45 --description Swim --repeat weekly"}};
    for (const auto& [day, args] : kHandheld) {
      ASSERT_EQ(0, Run("handheld", "add --date " + LocalDay(day, true) + " " + args).status)
          << args;
    }
    ASSERT_EQ(0, Run("hotsync", "sync").status) << ReadFile(scratch_.Path("stderr.txt"));

    // Then changed on both sides: adds, edits, deletes, a conflict, a deleted occurrence.
    AddToCalendar("Party", 4, "200000", "210000");
    EditCalendar("SUMMARY:Lunch", "SUMMARY:Lunch (moved)");
    EditCalendar("SUMMARY:Meeting", "SUMMARY:Meeting (host)");
    RemoveFromCalendar("SUMMARY:Review");
    RemoveFromCalendar("SUMMARY:Swim");  // the first occurrence the driver wrote
    ASSERT_EQ(0, Run("handheld", "add --date " + LocalDay(5, true) +
                                     " --start 08:00 --end 09:00 --description Breakfast")
                     .status);
    ASSERT_EQ(0, Run("handheld", "edit " + IdOf("Gym") + " --description 'Gym (late)'").status);
    ASSERT_EQ(0,
              Run("handheld", "edit " + IdOf("Meeting") + " --description 'Meeting (hh)'").status);
    ASSERT_EQ(0, Run("handheld", "delete " + IdOf("Call")).status);
    std::filesystem::copy(home_, start_, std::filesystem::copy_options::recursive);

    // The run that is never cut off, and one more after it.
    ASSERT_EQ(0, Run("hotsync", "sync").status);
    ASSERT_EQ(0, Run("hotsync", "sync").status);
    expected_ = Sides();
    // Each side's changes reached the other, and the conflict kept both versions.
    const auto holds = [](const std::vector<std::string>& lines, const std::string& text) {
      return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
      });
    };
    for (const char* text :
         {"Party", "Lunch (moved)", "Meeting (host)", "Meeting (hh)", "Breakfast", "Gym (late)"}) {
      EXPECT_EQ(1, holds(expected_.handheld, text)) << text << "\n" << expected_;
      EXPECT_EQ(1, holds(expected_.calendar, text)) << text << "\n" << expected_;
    }
    for (const char* text : {"Review", "Call"}) {
      EXPECT_EQ(0, holds(expected_.handheld, text) + holds(expected_.calendar, text)) << text;
    }
  }

  // Runs a program of the build on the home; `environment` holds NAME=VALUE words for it, `shell`
  // commands for the shell that starts it.
  Result Run(const std::string& program, const std::string& args,
             const std::string& environment = "", const std::string& shell = "") {
    const std::string user = program == "hotsync" ? " --user tester " : " ";
    const std::string command = shell + "env -u TZ -u HOTSYNC_HOME -u HOTSYNC_DIALOG_SCRIPT " +
                                environment + " " + bin_ + "/" + program + " --home " + home_ +
                                user + args + " 2>>" + scratch_.Path("stderr.txt");
    return test_support::RunShellCommand(command);
  }

  void AddToCalendar(const std::string& summary, int day, const std::string& start,
                     const std::string& end) {
    std::string text = ReadFile(home_ + calendar_);
    text.insert(text.rfind("END:VCALENDAR"),
                "BEGIN:VEVENT\r\nUID:" + summary + "@test\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:" +
                    LocalDay(day, false) + "T" + start + "\r\nDTEND:" + LocalDay(day, false) + "T" +
                    end + "\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\n");
    WriteFile(home_ + calendar_, text);
  }
  void EditCalendar(const std::string& from, const std::string& to) {
    std::string text = ReadFile(home_ + calendar_);
    const size_t at = text.find(from + "\r\n");
    ASSERT_NE(std::string::npos, at) << from;
    text.replace(at, from.size(), to);
    WriteFile(home_ + calendar_, text);
  }
  // Removes the first event that holds `line`.
  void RemoveFromCalendar(const std::string& line) {
    std::string text = ReadFile(home_ + calendar_);
    const size_t at = text.find(line + "\r\n");
    ASSERT_NE(std::string::npos, at) << line;
    const size_t begin = text.rfind("BEGIN:VEVENT\r\n", at);
    const size_t end = text.find("END:VEVENT\r\n", at) + 12;
    text.erase(begin, end - begin);
    WriteFile(home_ + calendar_, text);
  }

  std::string IdOf(const std::string& description) {
    for (const std::string& line : Lines(Run("handheld", "list --json").out)) {
      if (line.find("\"description\":\"" + description + "\"") == std::string::npos) continue;
      const size_t at = line.find("\"id\":") + 5;
      return line.substr(at, line.find(',', at) - at);
    }
    ADD_FAILURE() << "no handheld record " << description;
    return "0";
  }

  CSides Sides() {
    CSides sides;
    for (std::string line : Lines(Run("handheld", "list --json --all").out)) {
      const size_t at = line.find("\"id\":");
      if (at != std::string::npos) line.erase(at, line.find(',', at) + 1 - at);
      sides.handheld.push_back(line);
    }
    std::string event;
    for (const std::string& line : Lines(ReadFile(home_ + calendar_))) {
      const std::string name = line.substr(0, line.find_first_of(":;"));
      if (name == "BEGIN" && line == "BEGIN:VEVENT") event.clear();
      if (name == "DTSTART" || name == "DTEND" || name == "SUMMARY" || name == "RRULE" ||
          name == "EXDATE") {
        event += line + " ";
      }
      if (line == "END:VEVENT") sides.calendar.push_back(event);
    }
    std::sort(sides.handheld.begin(), sides.handheld.end());
    std::sort(sides.calendar.begin(), sides.calendar.end());
    return sides;
  }

  // Puts the home back as it was before the run that is never cut off.
  void BackToTheStart() {
    std::filesystem::remove_all(home_);
    std::filesystem::copy(start_, home_, std::filesystem::copy_options::recursive);
  }

  // The run from the start ends at the nth call of op, with a power cut; answers whether it ended
  // there (false: the run completed, and the power went after it).
  bool CutAt(const std::string& op, int n) {
    BackToTheStart();
    char message[512] = "";
    EXPECT_EQ(0, PowerLossBegin(home_.c_str(), disk_.c_str(), message, sizeof message)) << message;
    const Result cut = Run("hotsync", "sync --crash-after " + op + ":" + std::to_string(n),
                           test_support::PowerLossEnvironment(disk_));
    EXPECT_TRUE(cut.status == 86 || cut.status == 0) << cut.status << cut.out;
    EXPECT_EQ(0, PowerLossRestore(home_.c_str(), disk_.c_str(), message, sizeof message))
        << message;
    return cut.status == 86;
  }

  // HotSyncs until one completes, then one more; then both sides as expected_, and the home's
  // settings and log readable.
  void CheckRecovery() {
    int runs = 0;
    while (runs < 4 && Run("hotsync", "sync").status != 0) ++runs;
    EXPECT_LT(runs, 4) << "no clean HotSync after the power cut\n"
                       << ReadFile(scratch_.Path("stderr.txt"));
    EXPECT_EQ(0, Run("hotsync", "sync").status);
    EXPECT_EQ(expected_, Sides());
    EXPECT_EQ(0, Run("hotsync", "settings list").status);
    EXPECT_EQ(0, Run("hotsync", "log").status);
  }

  test_support::CScratchFolder scratch_{"pc"};
  std::string bin_;
  std::string home_;
  std::string start_;
  std::string disk_;
  std::string calendar_;
  CSides expected_;
};

#ifndef DBC_SWEEP_STEP
#define DBC_SWEEP_STEP 1
#endif

// Each kind of step is one test, so that they can run side by side. The last run of each sweep
// completes, and the power goes after it: what a completed run did must all be on the disk.
TEST_P(HotsyncFaultsTest, APowerCutAtEveryStep) {
  const std::string op = GetParam();
  int points = 0;
  for (int n = 1;; n += DBC_SWEEP_STEP) {
    SCOPED_TRACE("power cut at " + op + ":" + std::to_string(n));
    const bool cut = CutAt(op, n);
    ++points;
    CheckRecovery();
    if (!cut || HasFailure()) break;
  }
  EXPECT_GT(points, 1) << op << " never reached";
  printf("power cuts tried at %s: %d\n", op.c_str(), points);
}

INSTANTIATE_TEST_SUITE_P(Steps, HotsyncFaultsTest,
                         ::testing::Values("any", "file-save", "file-rename", "file-delete",
                                           "file-copy"),
                         [](const ::testing::TestParamInfo<const char*>& step) {
                           std::string name = step.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// A full disk: every write that would make a file longer than a limit fails, for limits from
// nothing to more than the largest file of the home. (The file-size limit stands for the full
// disk; its signal is ignored, so that a write answers an error as on a full disk.) The HotSyncs
// after it, with room again, leave both sides as the run that never met a full disk.
TEST_F(HotsyncFaultsTest, AFullDiskAtEachSize) {
  std::vector<bool> completed;
  for (int blocks : {0, 1, 2, 4, 8, 16, 32, 64, 128, 1024}) {
    SCOPED_TRACE("room for files of " + std::to_string(blocks * 512) + " bytes");
    BackToTheStart();
    const Result full =
        Run("hotsync", "sync", "", "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; ");
    EXPECT_TRUE(full.status == 0 || full.status == 1) << full.status << full.out;
    completed.push_back(full.status == 0);
    CheckRecovery();
    if (HasFailure()) return;
  }
  // The limits reach from a HotSync that fails to one that completes.
  EXPECT_FALSE(completed.front());
  EXPECT_TRUE(completed.back());
  printf("full-disk limits tried: %zu\n", completed.size());
}

// A new home, and a handheld event added to it, then its first HotSync: each step followed by a
// power cut. Each new folder (the home, its data folder) must be on the disk with the files in it.
TEST(HotsyncFaultsNewHomeTest, ANewHomeAndItsFirstHotSyncSurvive) {
  test_support::CScratchFolder scratch("pcn");
  const char* bin_dir = getenv("DBC_BIN_DIR");
  const std::string bin = bin_dir != nullptr ? bin_dir : ".";
  const std::string home = scratch.Path("home");
  const std::string disk = scratch.Root() + ".disk";
  const auto run = [&](const std::string& command, bool power_cut) {
    char message[512] = "";
    if (power_cut) {
      EXPECT_EQ(0, PowerLossBegin(scratch.Root().c_str(), disk.c_str(), message, sizeof message))
          << message;
    }
    const Result result = test_support::RunShellCommand(
        "env -u TZ -u HOTSYNC_HOME -u HOTSYNC_DIALOG_SCRIPT " +
        (power_cut ? test_support::PowerLossEnvironment(disk) : "") + " " + bin + "/" + command +
        " 2>>" + scratch.Path("stderr.txt"));
    if (power_cut) {
      EXPECT_EQ(0, PowerLossRestore(scratch.Root().c_str(), disk.c_str(), message, sizeof message))
          << message;
    }
    return result;
  };
  const std::string hotsync = "hotsync --home " + home + " --user tester ";
  ASSERT_EQ(0, run(hotsync + "info", true).status);
  EXPECT_NE(test_support::kMissing, ReadFile(home + "/settings.txt"));
  EXPECT_NE(test_support::kMissing, ReadFile(home + "/device.db"));
  // The iCalendar driver that made the calendar ran without the layer (hotsync gives it only
  // PATH), so the cut took the calendar as never written. It writes durably; its run is repeated
  // here as hotsync made it.
  ASSERT_EQ(test_support::kMissing, ReadFile(home + "/hll/calendar.ics"));
  ASSERT_EQ(0, test_support::RunShellCommand("env -i 'PATH=" + home + "/hll;' " + bin +
                                             "/ical_driver install " + home +
                                             "/hll/ '' dummy 0 XXX calendar.ics")
                   .status);
  const std::string driver = scratch.Path("driver.sh");
  test_support::WritePowerLossDriver(driver, disk, bin + "/ical_driver");
  ASSERT_EQ(0, run(hotsync + "settings set DriverPath " + driver, false).status);
  ASSERT_EQ(0, run("handheld --home " + home + " add --date " + LocalDay(1, true) +
                       " --start 09:00 --end 10:00 --description Dentist",
                   true)
                   .status)
      << ReadFile(scratch.Path("stderr.txt"));
  EXPECT_NE(std::string::npos, run("handheld --home " + home + " list", false).out.find("Dentist"));

  const Result first = run(hotsync + "sync", true);
  ASSERT_EQ(0, first.status) << first.out;
  EXPECT_NE(test_support::kMissing, ReadFile(home + "/users/tester/datebook.bak"));
  ASSERT_EQ(0, run(hotsync + "sync", false).status);
  const std::string handheld = run("handheld --home " + home + " list --json --all", false).out;
  EXPECT_EQ(1u, Lines(handheld).size()) << handheld;
  EXPECT_NE(std::string::npos, handheld.find("\"dirty\":false")) << handheld;
  const std::string calendar = ReadFile(home + "/hll/calendar.ics");
  EXPECT_EQ(calendar.find("SUMMARY:Dentist"), calendar.rfind("SUMMARY:Dentist")) << calendar;
  EXPECT_NE(std::string::npos, calendar.find("SUMMARY:Dentist")) << calendar;
}

}  // namespace
