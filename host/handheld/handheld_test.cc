// The handheld program end to end: what a person types and what lands on the device image.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/device/device_control.h"
#include "host/handheld/calendar.h"
#include "host/handheld/event_format.h"
#include "host/handheld/event_options.h"
#include "sdk/sync_manager.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The JSON line of a record with the given ID; the rest of the line is `rest` (from "dirty" on).
std::string Json(const std::string& id, const std::string& rest) {
  return "{\"id\":" + id + ",\"dirty\":true,\"deleted\":false,\"archived\":false," + rest + "}";
}

class HandheldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = scratch_.Path("home");
    fs::create_directories(home_);
    std::string error;
    ASSERT_EQ(kDeviceOk, DeviceCreateImage(home_ + "/device.db", "tester", &error)) << error;
    const char* bin = std::getenv("DBC_BIN_DIR");
    program_ = std::string(bin != nullptr ? bin : ".") + "/handheld";
  }

  Result Run(const std::vector<std::string>& args, const std::string& home = "") {
    std::string command =
        "env -u HOTSYNC_HOME " + Quote(program_) + " --home " + Quote(home.empty() ? home_ : home);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " >" + Quote(scratch_.Path("out")) + " 2>" + Quote(scratch_.Path("err"));
    Result result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(scratch_.Path("out"));
    result.err = ReadFile(scratch_.Path("err"));
    return result;
  }
  // Runs a command that must succeed; answers its output without the last line break.
  std::string Ok(const std::vector<std::string>& args) {
    Result r = Run(args);
    EXPECT_EQ(0, r.status) << r.err;
    if (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
    return r.out;
  }
  // The output line of `list --all --json` for record `id`.
  std::string JsonOf(const std::string& id) {
    const std::string all = Ok({"list", "--all", "--json"}) + "\n";
    const std::string key = "{\"id\":" + id + ",";
    const size_t at = all.find(key);
    return at == std::string::npos ? "" : all.substr(at, all.find('\n', at) - at);
  }
  // The "data:" line of `raw read`.
  std::string DataOf(const std::string& id) {
    const std::string out = Ok({"raw", "read", id}) + "\n";
    const size_t at = out.find("data: ");
    return at == std::string::npos ? "" : out.substr(at + 6, out.find('\n', at) - at - 6);
  }
  // Direct access to the image, between runs of the program.
  template <typename Body>
  void WithDevice(Body body) {
    std::string error;
    ASSERT_EQ(kDeviceOk, DeviceOpenImage(home_ + "/device.db", &error)) << error;
    body();
    DeviceCloseImage();
  }

  test_support::CScratchFolder scratch_{"hh"};
  std::string home_;
  std::string program_;
};

// Every option of add, read back through list --json and through the record's bytes.
TEST_F(HandheldTest, AddedEventsComeBackThroughListAndAsTheirBytes) {
  ASSERT_EQ("", Ok({"categories", "add", "Travel"}));
  struct Case {
    std::vector<std::string> args;
    std::string json;  // from "private" on
    std::string attributes;
    std::string hex;
  } const kCases[] = {
      {{"--date", "2025-03-14", "--start", "09:00", "--end", "10:30", "--description",
        "Staff meeting", "--alarm", "15m", "--repeat", "weekly", "--days", "mon,fri", "--except",
        "2025-03-21", "--except", "2025-03-17", "--private"},
       "\"private\":true,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-14\","
       "\"start\":\"09:00\",\"end\":\"10:30\",\"alarm\":{\"advance\":15,\"unit\":\"minutes\"},"
       "\"repeat\":{\"kind\":\"weekly\",\"every\":1,\"until\":null,\"days\":[\"mon\",\"fri\"],"
       "\"week_start\":\"sun\"},\"exceptions\":[\"2025-03-17\",\"2025-03-21\"],"
       "\"description\":\"Staff meeting\",\"note\":null",
       "50",
       "09000a1ef26e6c00"
       "0f00"
       "0200ffff01220000"
       "0002f271f275"
       "5374616666206d656574696e6700"},
      // Monday 31 March 2025 lies in the last week of its month.
      {{"--date", "2025-03-31", "--description", "Rent", "--repeat", "monthly-by-day", "--every",
        "2", "--until", "2026-03-31", "--week-start", "mon"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-31\","
       "\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":{\"kind\":\"monthly-by-day\","
       "\"every\":2,\"until\":\"2026-03-31\",\"week\":5,\"weekday\":\"mon\",\"week_start\":"
       "\"mon\"},\"exceptions\":[],\"description\":\"Rent\",\"note\":null",
       "40",
       "fffffffff27f2400"
       "0300f47f021d0100"
       "52656e7400"},
      {{"--date", "2031-12-31", "--description", "New Year's Eve", "--note", "Line one\nline two"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2031-12-31\","
       "\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":null,\"exceptions\":[],"
       "\"description\":\"New Year's Eve\",\"note\":\"Line one\\u000Aline two\"",
       "40",
       "ffffffffff9f1400"
       "4e65772059656172277320457665"
       "00"
       "4c696e65206f6e650a6c696e652074776f00"},
      {{"--date", "1904-01-01", "--start", "00:00", "--end", "23:59", "--description", "d",
        "--alarm", "255d", "--category", "Travel"},
       "\"private\":false,\"category\":\"Travel\",\"category_index\":1,\"date\":\"1904-01-01\","
       "\"start\":\"00:00\",\"end\":\"23:59\",\"alarm\":{\"advance\":255,\"unit\":\"days\"},"
       "\"repeat\":null,\"exceptions\":[],\"description\":\"d\",\"note\":null",
       "40",
       "0000173b00214400"
       "ff02"
       "6400"},
      {{"--date", "2024-02-29", "--start", "08:15", "--end", "08:15", "--description", "Birthday",
        "--alarm", "2h", "--repeat", "yearly"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2024-02-29\","
       "\"start\":\"08:15\",\"end\":\"08:15\",\"alarm\":{\"advance\":2,\"unit\":\"hours\"},"
       "\"repeat\":{\"kind\":\"yearly\",\"every\":1,\"until\":null,\"week_start\":\"sun\"},"
       "\"exceptions\":[],\"description\":\"Birthday\",\"note\":null",
       "40",
       "080f080ff05d6400"
       "0201"
       "0500ffff01000000"
       "426972746864617900"},
      {{"--date", "2025-01-06", "--start", "12:00", "--end", "12:30", "--description", "Lunch",
        "--repeat", "daily", "--every", "3", "--until", "2025-01-31"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-01-06\","
       "\"start\":\"12:00\",\"end\":\"12:30\",\"alarm\":null,\"repeat\":{\"kind\":\"daily\","
       "\"every\":3,\"until\":\"2025-01-31\",\"week_start\":\"sun\"},\"exceptions\":[],"
       "\"description\":\"Lunch\",\"note\":null",
       "40",
       "0c000c1ef2262400"
       "0100f23f03000000"
       "4c756e636800"},
      {{"--date", "2025-05-15", "--description", "Pay", "--repeat", "monthly-by-date",
        "--week-start", "mon"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-05-15\","
       "\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":{\"kind\":\"monthly-by-date\","
       "\"every\":1,\"until\":null,\"week_start\":\"mon\"},\"exceptions\":[],"
       "\"description\":\"Pay\",\"note\":null",
       "40",
       "fffffffff2af2400"
       "0400ffff01000100"
       "50617900"},
  };
  std::vector<std::string> ids;
  for (const Case& c : kCases) {
    std::vector<std::string> args = {"add"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const std::string id = Ok(args);
    ASSERT_FALSE(id.empty() || id.find('\n') != std::string::npos) << id;
    ids.push_back(id);
    EXPECT_EQ(Json(id, c.json), JsonOf(id)) << c.args[1];
    EXPECT_EQ("id: " + id + "\nattributes: " + c.attributes + "\ncategory: " +
                  (c.json.find("\"category_index\":1") != std::string::npos ? "1" : "0") +
                  "\ndata: " + c.hex + "\n",
              Run({"raw", "read", id}).out)
        << c.args[1];
  }
  // New IDs from the device, in record order.
  EXPECT_EQ("1001", ids[0]);
  EXPECT_EQ("1007", ids.back());
  const std::string list = Ok({"list"}) + "\n";
  EXPECT_EQ(0u, list.find("1001  D--  2025-03-14  09:00-10:30  Staff meeting  [repeat alarm "
                          "private]\n1002  D--  2025-03-31  untimed  Rent  [repeat]\n"))
      << list;
}

// Each edit changes only what it names; the record's bytes follow the layout step by step.
TEST_F(HandheldTest, EditChangesOnlyWhatIsGivenAndMarksTheRecordDirty) {
  ASSERT_EQ("", Ok({"categories", "add", "Travel"}));
  const std::string id =
      Ok({"add",      "--date",     "2025-03-14",    "--start",       "09:00",
          "--end",    "10:30",      "--description", "Staff meeting", "--alarm",
          "15m",      "--repeat",   "weekly",        "--days",        "mon,fri",
          "--except", "2025-03-17", "--except",      "2025-03-21",    "--private"});
  const std::string tail =
      "0002f271f275"
      "5374616e64757000";  // exceptions, "Standup"
  struct Step {
    std::vector<std::string> args;
    std::string json;  // from "private" on
    std::string hex;
  } const kSteps[] = {
      {{"--description", "Standup"},
       "\"private\":true,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-14\","
       "\"start\":\"09:00\",\"end\":\"10:30\",\"alarm\":{\"advance\":15,\"unit\":\"minutes\"},"
       "\"repeat\":{\"kind\":\"weekly\",\"every\":1,\"until\":null,\"days\":[\"mon\",\"fri\"],"
       "\"week_start\":\"sun\"},\"exceptions\":[\"2025-03-17\",\"2025-03-21\"],"
       "\"description\":\"Standup\",\"note\":null",
       "09000a1ef26e6c00"
       "0f00"
       "0200ffff01220000" +
           tail},
      // Friday 28 March 2025: the fourth Friday.
      {{"--date", "2025-03-28", "--repeat", "monthly-by-day"},
       "\"private\":true,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-28\","
       "\"start\":\"09:00\",\"end\":\"10:30\",\"alarm\":{\"advance\":15,\"unit\":\"minutes\"},"
       "\"repeat\":{\"kind\":\"monthly-by-day\",\"every\":1,\"until\":null,\"week\":4,"
       "\"weekday\":\"fri\",\"week_start\":\"sun\"},\"exceptions\":[\"2025-03-17\","
       "\"2025-03-21\"],\"description\":\"Standup\",\"note\":null",
       "09000a1ef27c6c00"
       "0f00"
       "0300ffff011a0000" +
           tail},
      {{"--start", "07:00"},
       "\"private\":true,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-28\","
       "\"start\":\"07:00\",\"end\":\"10:30\",\"alarm\":{\"advance\":15,\"unit\":\"minutes\"},"
       "\"repeat\":{\"kind\":\"monthly-by-day\",\"every\":1,\"until\":null,\"week\":4,"
       "\"weekday\":\"fri\",\"week_start\":\"sun\"},\"exceptions\":[\"2025-03-17\","
       "\"2025-03-21\"],\"description\":\"Standup\",\"note\":null",
       "07000a1ef27c6c00"
       "0f00"
       "0300ffff011a0000" +
           tail},
      {{"--untimed", "--no-alarm", "--public", "--note", "N"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-28\","
       "\"start\":null,\"end\":null,\"alarm\":null,"
       "\"repeat\":{\"kind\":\"monthly-by-day\",\"every\":1,\"until\":null,\"week\":4,"
       "\"weekday\":\"fri\",\"week_start\":\"sun\"},\"exceptions\":[\"2025-03-17\","
       "\"2025-03-21\"],\"description\":\"Standup\",\"note\":\"N\"",
       "fffffffff27c3c00"
       "0300ffff011a0000" +
           tail + "4e00"},
      {{"--no-note", "--no-repeat"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-28\","
       "\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":null,\"exceptions\":[],"
       "\"description\":\"Standup\",\"note\":null",
       "fffffffff27c0400"
       "5374616e64757000"},
      // A new weekly rule repeats on the date's weekday.
      {{"--repeat", "weekly", "--except", "2025-04-04"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-28\","
       "\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":{\"kind\":\"weekly\",\"every\":1,"
       "\"until\":null,\"days\":[\"fri\"],\"week_start\":\"sun\"},\"exceptions\":[\"2025-04-04\"],"
       "\"description\":\"Standup\",\"note\":null",
       "fffffffff27c2c00"
       "0200ffff01200000"
       "0001f284"
       "5374616e64757000"},
      {{"--clear-exceptions", "--days", "sun,sat", "--every", "2"},
       "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-28\","
       "\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":{\"kind\":\"weekly\",\"every\":2,"
       "\"until\":null,\"days\":[\"sun\",\"sat\"],\"week_start\":\"sun\"},\"exceptions\":[],"
       "\"description\":\"Standup\",\"note\":null",
       "fffffffff27c2400"
       "0200ffff02410000"
       "5374616e64757000"},
      {{"--category", "Travel", "--week-start", "mon", "--until", "2025-12-31"},
       "\"private\":false,\"category\":\"Travel\",\"category_index\":1,\"date\":\"2025-03-28\","
       "\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":{\"kind\":\"weekly\",\"every\":2,"
       "\"until\":\"2025-12-31\",\"days\":[\"sun\",\"sat\"],\"week_start\":\"mon\"},"
       "\"exceptions\":[],\"description\":\"Standup\",\"note\":null",
       "fffffffff27c2400"
       "0200f39f02410100"
       "5374616e64757000"},
  };
  for (const Step& step : kSteps) {
    // As if a HotSync had cleared the record's flags: the edit marks it dirty again.
    WithDevice([&]() {
      DeviceRecord record;
      ASSERT_EQ(kDeviceOk, DeviceGetRecord("DatebookDB", std::stoul(id), &record));
      record.attributes &= static_cast<uint8_t>(~kRecAttrDirty);
      ASSERT_EQ(kDeviceOk, DevicePutRecord("DatebookDB", &record));
    });
    std::vector<std::string> args = {"edit", id};
    args.insert(args.end(), step.args.begin(), step.args.end());
    ASSERT_EQ("", Ok(args)) << step.args[0];
    EXPECT_EQ(Json(id, step.json), JsonOf(id)) << step.args[0];
    EXPECT_EQ(step.hex, DataOf(id)) << step.args[0];
  }
}

// Bad input: a one-line error naming the option, exit 2, and the device image not written.
TEST_F(HandheldTest, BadInputIsRefusedNamingTheOptionAndWritesNothing) {
  ASSERT_EQ("", Ok({"categories", "add", "Travel"}));
  const std::string timed = Ok(
      {"add", "--date", "2025-03-14", "--start", "09:00", "--end", "10:00", "--description", "x"});
  const std::string untimed = Ok({"add", "--date", "2025-03-14", "--description", "y"});
  const std::vector<std::string> add = {"add", "--description", "x", "--date", "2025-03-14"};
  auto plus = [&](std::vector<std::string> base, std::vector<std::string> more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
  };
  struct Case {
    std::vector<std::string> args;
    std::string option;  // the error line names it
  } const kCases[] = {
      {{"add", "--description", "x", "--date", "2025-02-29"}, "--date"},
      {{"add", "--description", "x", "--date", "2025-3-14"}, "--date"},
      {{"add", "--description", "x", "--date", "1903-12-31"}, "--date"},
      {{"add", "--description", "x", "--date", "2032-01-01"}, "--date"},
      {plus(add, {"--start", "24:00", "--end", "23:00"}), "--start"},
      {plus(add, {"--start", "10:00", "--end", "10:60"}), "--end"},
      {plus(add, {"--start", "10:00", "--end", "09:59"}), "--end"},
      {plus(add, {"--start", "10:00"}), "--end"},
      {plus(add, {"--repeat", "daily", "--every", "0"}), "--every"},
      {plus(add, {"--repeat", "daily", "--every", "256"}), "--every"},
      {plus(add, {"--repeat", "hourly"}), "--repeat"},
      {plus(add, {"--repeat", "daily", "--days", "mon"}), "--days"},
      {plus(add, {"--repeat", "weekly", "--days", "mon,funday"}), "--days"},
      {plus(add, {"--repeat", "daily", "--week-start", "mon"}), "--week-start"},
      {plus(add, {"--repeat", "weekly", "--week-start", "tue"}), "--week-start"},
      {plus(add, {"--repeat", "weekly", "--until", "2025-03-13"}), "--until"},
      {plus(add, {"--except", "2025-03-21"}), "--except"},
      {plus(add, {"--every", "2"}), "--every"},
      {plus(add, {"--alarm", "256m"}), "--alarm"},
      {plus(add, {"--alarm", "5w"}), "--alarm"},
      {plus(add, {"--category", "Nope"}), "--category"},
      {plus(add, {"--note", "a\r\nb"}), "--note"},
      {plus(add, {"--note", std::string(4096, 'n')}), "--note"},
      // Two texts that each fit, but not together in one record.
      {{"add", "--date", "2025-03-14", "--description", std::string(400, 'd'), "--note",
        std::string(4095, 'n')},
       "--note"},
      {plus(add, {"--untimed"}), "--untimed"},
      {plus(add, {"--colour", "red"}), "--colour"},
      {{"add", "--date", "2025-03-14"}, "--description"},
      {{"edit", timed, "--end", "08:00"}, "--end"},
      {{"edit", timed, "--untimed", "--start", "08:00"}, "--untimed"},
      {{"edit", timed, "--private", "--public"}, "--private"},
      {{"edit", timed, "--alarm", "5m", "--no-alarm"}, "--alarm"},
      {{"edit", untimed, "--start", "08:00"}, "--start"},
      {{"edit", timed, "--date", "2025-13-01"}, "--date"},
      {{"edit", timed, "--repeat", "weekly", "--until", "2025-03-01"}, "--until"},
      {{"edit", "abc", "--description", "z"}, "abc"},
  };
  const std::string before = ReadFile(home_ + "/device.db");
  for (const Case& c : kCases) {
    Result r = Run(c.args);
    EXPECT_EQ(2, r.status) << c.args.back();
    EXPECT_EQ(0u, r.err.find("handheld: ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.option)) << r.err;
    EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << r.err;  // one line
    EXPECT_EQ("", r.out);
  }
  EXPECT_EQ(before, ReadFile(home_ + "/device.db"));
}

// Texts that no command line can carry are refused by the option parser itself.
TEST(EventOptionsTest, TextsWithANulAreRefused) {
  CEventOptions options;
  std::string error;
  const std::string with_nul("a\0b", 3);
  EXPECT_FALSE(ParseEventOptions({"--date", "2025-01-01", "--description", with_nul}, true,
                                 &options, &error));
  EXPECT_EQ("--description: the text holds a NUL byte, which ends a handheld text", error);
  EXPECT_FALSE(ParseEventOptions({"--note", with_nul}, false, &options, &error));
  EXPECT_NE(std::string::npos, error.find("--note"));
}

TEST(CalendarTest, DatesTimesAndWeekDays) {
  struct Case {
    const char* text;
    bool valid;
    int32_t week_day;
  } const kDates[] = {
      {"2024-02-29", true, 4},  {"1904-01-01", true, 5},   {"2031-12-31", true, 3},
      {"2000-02-29", true, 2},  {"1970-01-01", true, 4},   {"2025-02-29", false, 0},
      {"1900-02-29", false, 0}, {"2025-04-31", false, 0},  {"2025-00-10", false, 0},
      {"2025-1-10", false, 0},  {"2025-01-10x", false, 0}, {"", false, 0},
  };
  for (const Case& c : kDates) {
    CDate date;
    EXPECT_EQ(c.valid, ParseDate(c.text, &date)) << c.text;
    if (c.valid) {
      EXPECT_EQ(c.week_day, WeekDay(date)) << c.text;
    }
  }
  int32_t hour = -1;
  int32_t minute = -1;
  EXPECT_TRUE(ParseTime("23:59", &hour, &minute));
  EXPECT_EQ(23, hour);
  EXPECT_EQ(59, minute);
  for (const char* bad : {"24:00", "10:60", "9:30", "09:3", "0930", "-1:00"}) {
    EXPECT_FALSE(ParseTime(bad, &hour, &minute)) << bad;
  }
}

TEST_F(HandheldTest, DeleteDropsTheDataArchiveKeepsIt) {
  const std::string a = Ok({"add", "--date", "2025-03-14", "--description", "a", "--private"});
  const std::string b = Ok({"add", "--date", "2025-03-15", "--description", "b", "--note", "n"});
  ASSERT_EQ("", Ok({"delete", a}));
  ASSERT_EQ("", Ok({"archive", b}));
  EXPECT_EQ("", Ok({"list"}));
  EXPECT_EQ("{\"id\":" + a +
                ",\"dirty\":true,\"deleted\":true,\"archived\":false,\"private\":true,"
                "\"category\":\"Unfiled\"}\n"
                "{\"id\":" +
                b +
                ",\"dirty\":true,\"deleted\":true,\"archived\":true,\"private\":false,"
                "\"category\":\"Unfiled\",\"category_index\":0,\"date\":\"2025-03-15\","
                "\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":null,\"exceptions\":[],"
                "\"description\":\"b\",\"note\":\"n\"}",
            Ok({"list", "--all", "--json"}));
  EXPECT_EQ(a + "  DX-  (deleted)\n" + b + "  DXA  2025-03-15  untimed  b  [note]",
            Ok({"list", "--all"}));
  EXPECT_EQ("id: " + a + "\nattributes: d0\ncategory: 0\ndata: \n", Run({"raw", "read", a}).out);
  EXPECT_EQ("fffffffff26f140062006e00", DataOf(b));

  // What is gone cannot be changed again; what never was is not found.
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"delete", a},
                                             {"archive", a},
                                             {"edit", b, "--description", "c"},
                                             {"delete", "4242"},
                                             {"raw", "read", "4242"}}) {
    EXPECT_EQ(1, Run(args).status) << args[0] << " " << args[1];
  }
  EXPECT_EQ(2, Run({"delete", "0"}).status);
  EXPECT_EQ(2, Run({"delete"}).status);
}

TEST_F(HandheldTest, CategoriesKeepTheBlockAndMoveRecordsOfADeletedOneToUnfiled) {
  // Bytes after the category block belong to the application and stay as they are.
  WithDevice([]() {
    DeviceDatabase db;
    db.name = "DatebookDB";
    ASSERT_EQ(kDeviceOk, DeviceAddDatabase(db));
    std::vector<uint8_t> block = DeviceDefaultAppInfo();
    block.resize(280, 0);
    block[274] = 0xAB;
    block[279] = 0xCD;
    ASSERT_EQ(kDeviceOk, DeviceSetAppInfo("DatebookDB", block));
  });
  ASSERT_EQ("", Ok({"categories", "add", "Travel"}));
  ASSERT_EQ("", Ok({"categories", "add", "Work"}));
  ASSERT_EQ("", Ok({"categories", "rename", "Work", "Office"}));
  EXPECT_EQ(
      "{\"index\":0,\"name\":\"Unfiled\",\"id\":0,\"renamed\":false}\n"
      "{\"index\":1,\"name\":\"Travel\",\"id\":128,\"renamed\":true}\n"
      "{\"index\":2,\"name\":\"Office\",\"id\":129,\"renamed\":true}",
      Ok({"categories", "--json"}));
  const std::string id =
      Ok({"add", "--date", "2025-03-14", "--description", "x", "--category", "Office"});
  WithDevice([&]() {
    std::vector<uint8_t> block;
    ASSERT_EQ(kDeviceOk, DeviceGetAppInfo("DatebookDB", &block));
    ASSERT_EQ(280u, block.size());
    EXPECT_EQ(0x00, block[0]);
    EXPECT_EQ(0x06, block[1]);  // categories 1 and 2 were named on the handheld
    EXPECT_EQ("Office", std::string(reinterpret_cast<const char*>(&block[2 + 32])));
    EXPECT_EQ(129, block[258 + 2]);
    EXPECT_EQ(0xAB, block[274]);
    EXPECT_EQ(0xCD, block[279]);
    DeviceRecord record;
    ASSERT_EQ(kDeviceOk, DeviceGetRecord("DatebookDB", std::stoul(id), &record));
    record.attributes = 0;  // as after a HotSync
    ASSERT_EQ(kDeviceOk, DevicePutRecord("DatebookDB", &record));
  });
  ASSERT_EQ("", Ok({"categories", "delete", "Office"}));
  EXPECT_EQ(" 0  Unfiled          id   0\n 1  Travel           id 128  renamed",
            Ok({"categories"}));
  EXPECT_EQ(Json(id,
                 "\"private\":false,\"category\":\"Unfiled\",\"category_index\":0,\"date\":"
                 "\"2025-03-14\",\"start\":null,\"end\":null,\"alarm\":null,\"repeat\":null,"
                 "\"exceptions\":[],\"description\":\"x\",\"note\":null"),
            JsonOf(id));

  struct Case {
    std::vector<std::string> args;
    int status;
  } const kRefused[] = {
      {{"categories", "add", "Sixteen bytes ok"}, 2},
      {{"categories", "add", ""}, 2},
      {{"categories", "add", "Travel"}, 1},
      {{"categories", "rename", "Unfiled", "None"}, 1},
      {{"categories", "delete", "Unfiled"}, 1},
      {{"categories", "delete", "Nope"}, 1},
      {{"categories", "rename", "Travel", "Unfiled"}, 1},
      {{"categories", "frobnicate"}, 2},
  };
  for (const Case& c : kRefused) {
    EXPECT_EQ(c.status, Run(c.args).status) << c.args[1] << " " << c.args.back();
  }
  // Fifteen categories besides Unfiled, and no more.
  for (int i = 2; i <= 15; ++i) ASSERT_EQ("", Ok({"categories", "add", "C" + std::to_string(i)}));
  EXPECT_EQ(1, Run({"categories", "add", "C16"}).status);
  EXPECT_NE(std::string::npos, Ok({"categories"}).find("15  C15              id 142"));
}

TEST_F(HandheldTest, RawWriteStoresBytesAsTheyAreForTheListToShow) {
  const std::string id = Ok({"raw", "write", "--id", "5000", "--attributes", "58", "--category",
                             "3", "09000a00f26e0400ff"});
  EXPECT_EQ("5000", id);
  EXPECT_EQ("id: 5000\nattributes: 58\ncategory: 3\ndata: 09000a00f26e0400ff\n",
            Run({"raw", "read", "5000"}).out);
  WithDevice([]() {
    DeviceRecord record;
    ASSERT_EQ(kDeviceOk, DeviceGetRecord("DatebookDB", 5000, &record));
    EXPECT_EQ((std::vector<uint8_t>{0x09, 0, 0x0A, 0, 0xF2, 0x6E, 0x04, 0, 0xFF}), record.data);
    EXPECT_EQ(0x58, record.attributes);
  });
  // The description has no zero byte: the record does not parse and is shown as such.
  EXPECT_EQ("5000  D-A  (malformed record, 9 bytes)", Ok({"list", "--all"}));
  EXPECT_EQ(
      "{\"id\":5000,\"dirty\":true,\"deleted\":false,\"archived\":true,\"private\":true,"
      "\"category\":null,\"category_index\":3,\"malformed\":true}",
      Ok({"list", "--all", "--json"}));
  EXPECT_EQ(1, Run({"edit", "5000", "--description", "z"}).status);
  // Replaced in place, with the default attributes (dirty) and category.
  ASSERT_EQ("5000", Ok({"raw", "write", "--id", "5000", "09000a00f26e0400ff00"}));
  EXPECT_EQ("5000  D--  2025-03-14  09:00-10:00  \xff", Ok({"list"}));
  // IDs handed out go on from the highest one given.
  EXPECT_EQ("5001", Ok({"raw", "write", ""}));

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"raw", "write", "0g"},
                                             {"raw", "write", "123"},
                                             {"raw", "write", "--category", "16", "00"},
                                             {"raw", "write", "--attributes", "100", "00"},
                                             {"raw", "write", "--id", "0", "00"},
                                             {"raw", "write"},
                                             {"raw", "read"},
                                             {"raw", "erase", "1"}}) {
    EXPECT_EQ(2, Run(args).status) << args.back();
  }
}

TEST_F(HandheldTest, ResetLeavesAnEmptyDateBookAndNoMemoryOfTheDesktop) {
  Ok({"categories", "add", "Travel"});
  Ok({"add", "--date", "2025-03-14", "--description", "x"});
  WithDevice([]() {
    uint8_t handle = 0;
    ASSERT_EQ(kDeviceOk, DevOpenDatabase("DatebookDB", 0, &handle, kSyncOpenModeReadWrite));
    DeviceSetDesktopId("desk-1");
    ASSERT_EQ(kDeviceOk, DevClearSyncFlags(handle));
    ASSERT_EQ(kDeviceOk, DevCloseDatabase(handle));
  });
  ASSERT_EQ("", Ok({"reset"}));
  EXPECT_EQ("", Ok({"list", "--all"}));
  EXPECT_EQ(" 0  Unfiled          id   0", Ok({"categories"}));
  WithDevice([]() {
    std::string desktop = "?";
    ASSERT_EQ(kDeviceOk, DeviceGetLastDesktopId(&desktop));
    EXPECT_EQ("", desktop);
    std::string user;
    ASSERT_EQ(kDeviceOk, DeviceGetUserName(&user));
    EXPECT_EQ("tester", user);
    std::vector<uint8_t> block;
    ASSERT_EQ(kDeviceOk, DeviceGetAppInfo("DatebookDB", &block));
    EXPECT_EQ(DeviceDefaultAppInfo(), block);
  });
}

TEST_F(HandheldTest, MissingDamagedOrForeignHomesAreRefusedAndLeftAlone) {
  const std::string nowhere = scratch_.Path("nowhere");
  Result r = Run({"list"}, nowhere);
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.err.find("no hotsync home")) << r.err;
  EXPECT_FALSE(fs::exists(nowhere));

  const std::string empty = scratch_.Path("empty");
  fs::create_directories(empty);
  r = Run({"add", "--date", "2025-03-14", "--description", "x"}, empty);
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.err.find("has no device image")) << r.err;
  EXPECT_TRUE(fs::is_empty(empty));

  const std::string damaged = scratch_.Path("damaged");
  fs::create_directories(damaged);
  const std::string garbage = "SQLite format 3" + std::string(1, '\0') + std::string(200, 'x');
  test_support::WriteFile(damaged + "/device.db", garbage);
  r = Run({"reset"}, damaged);
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.err.find("device.db")) << r.err;
  EXPECT_EQ(garbage, ReadFile(damaged + "/device.db"));
}

TEST_F(HandheldTest, EveryCommandHasHelpAndUnknownOnesAreBadUsage) {
  for (const char* command :
       {"list", "add", "edit", "delete", "archive", "categories", "raw", "reset"}) {
    Result r = Run({command, "--help"});
    EXPECT_EQ(0, r.status) << command;
    EXPECT_EQ(0u, r.out.find(std::string("usage: handheld ") + command)) << r.out;
  }
  EXPECT_EQ(0, Run({"--help"}).status);
  EXPECT_EQ(2, Run({"sync"}).status);
  EXPECT_EQ(2, Run({}).status);
  EXPECT_EQ(2, Run({"list", "--yaml"}).status);
}

}  // namespace
