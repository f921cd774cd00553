// A whole slow synchronisation in-process with the emulated handheld (the host driver left out):
// n events on the handheld and n in the host's extract, and what the loop does with them, from
// loading the extract to saving the update and the backup.
//
//   BM_SlowSyncSameEvents    both sides hold the same n events (by record ID): every handheld
//                            record is matched by ID against the desktop table
//   BM_SlowSyncNewEachSide   n / 2 events on each side that the other side does not hold: every
//                            handheld record is appended to the desktop table between matches, and
//                            every host entry is added to the handheld
//
// The matching sorts the desktop and remote tables by record ID for every handheld record; the
// table library keeps its sorted orders, so each sort costs O(log n) plus the rows appended since
// the last one, and a run grows with n log n. The device image lives in a memory file system
// when there is one, so that the handheld's commits do not measure the disk.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "conduit/format/date_bk_converter.h"
#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"
#include "conduit/hostcal/profs_monitor.h"
#include "conduit/platform/posix_os_services.h"
#include "conduit/resources/string_table.h"
#include "host/device/device_control.h"
#include "tablelib/local_time.h"

namespace {

namespace fs = std::filesystem;

constexpr char kDatabase[] = "DatebookDB";
constexpr int32_t kWindowDays = 365;

int32_t Local(int year, int month, int day, int hour, int minute) {
  int32_t time = 0;
  tablelib::MakeLocalTime(year, month, day, hour, minute, 0, &time);
  return time;
}

// The start of event i: spread over the year's days, several a day.
int32_t StartOf(int64_t i) {
  return Local(2024, 1, 1 + static_cast<int>(i % 360), 8 + static_cast<int>((i / 360) % 12),
               static_cast<int>((i / 4320) % 4) * 15);
}

std::vector<uint8_t> RawEvent(int64_t i, const std::string& description) {
  CProfsTable table;
  CProfsRecord record(table, 0);
  table.AppendBlankRecord(static_cast<CDateBkRecord&>(record));
  record.SetStartTime(StartOf(i));
  record.SetEndTime(StartOf(i) + 1800);
  record.SetDescription(description);
  std::vector<uint8_t> buffer(4480);
  RecordRequest request;
  memset(&request, 0, sizeof request);
  request.buffer = buffer.data();
  request.buffer_size = static_cast<uint16_t>(buffer.size());
  CDateBkConverter converter;
  converter.ConvertToRemote(record, &request);
  buffer.resize(request.data_size);
  return buffer;
}

// One exchange-file record line, as the host driver writes it.
std::string ExtractLine(uint32_t id, int64_t number, int64_t i, const std::string& text) {
  tablelib::CLocalTime s;
  tablelib::CLocalTime e;
  tablelib::BreakDownLocalTime(StartOf(i), &s);
  tablelib::BreakDownLocalTime(StartOf(i) + 1800, &e);
  char line[128];
  if (id != 0) {
    snprintf(line, sizeof line, "%08X", static_cast<unsigned>(id));
  } else {
    snprintf(line, sizeof line, "        ");
  }
  std::string out = line;
  snprintf(line, sizeof line, "%04d%04d%02d%02d%02d:%02d%02d:%02d0000%c%04d",
           static_cast<int>(number % 10000), s.year, s.month, s.day, s.hour, s.minute, e.hour,
           e.minute, '0', static_cast<int>(text.size()));
  return out + line + text + "\r\n";
}

class CBenchSetup {
 public:
  // Both sides hold `same` events by ID; each side holds `own` events the other does not.
  CBenchSetup(int64_t same, int64_t own) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    folder_ = base / ("dbc_slow_sync_bench_" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "data");
    DeviceCreateImage((folder_ / "device.db").string(), "Bench");
    DeviceOpenImage((folder_ / "device.db").string());
    DeviceDatabase database;
    database.name = kDatabase;
    DeviceAddDatabase(database);

    std::string extract;
    int64_t lines = 0;
    for (int64_t i = 0; i < same + own; ++i) {
      DeviceRecord record;
      record.data = RawEvent(i, "Event " + std::to_string(i));
      DevicePutRecord(kDatabase, &record);
      if (i < same) extract += ExtractLine(record.id, ++lines, i, "Event " + std::to_string(i));
    }
    for (int64_t i = 0; i < own; ++i) {
      extract += ExtractLine(0, ++lines, i, "Host " + std::to_string(i));
    }
    char count[8];
    snprintf(count, sizeof count, "%04d", static_cast<int>(lines));
    extract_ = count + extract;
    device_ = Slurp(folder_ / "device.db");

    memset(&props_, 0, sizeof props_);
    props_.sync_type = kSyncSlow;
    snprintf(props_.data_folder, sizeof props_.data_folder, "%s/",
             (folder_ / "data").string().c_str());
    snprintf(props_.local_file_name, sizeof props_.local_file_name, "datebook.dat");
    props_.remote_names[0] = name_;
  }
  ~CBenchSetup() {
    DeviceCloseImage();
    fs::remove_all(folder_);
  }

  // Back to the state before the first run: the handheld's image, the extract, no backup.
  void Reset() {
    DeviceCloseImage();
    std::ofstream(folder_ / "device.db", std::ios::binary | std::ios::trunc) << device_;
    DeviceOpenImage((folder_ / "device.db").string());
    for (const char* name : {"datebook.bak", "datebook.cat"}) fs::remove(folder_ / "data" / name);
    std::ofstream(folder_ / "data" / "datebook.dat", std::ios::binary | std::ios::trunc)
        << extract_;
  }

  int32_t Run() {
    CProfsMonitor monitor(props_, ConduitModuleInstance(), os_);
    monitor.SetWindow(Local(2024, 1, 1, 0, 0), Local(2024, 1, 1, 0, 0) + kWindowDays * 86400);
    return monitor.Execute();
  }

 private:
  static std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path folder_;
  std::string extract_;
  std::string device_;
  HotSyncProps props_;
  char name_[16] = "DatebookDB";
  CPosixOsServices os_{ConduitModuleInstance(), FindConduitString};
};

void RunSlowSync(benchmark::State& state, int64_t same, int64_t own) {
  CBenchSetup setup(same, own);
  for (auto _ : state) {
    state.PauseTiming();
    setup.Reset();
    state.ResumeTiming();
    const int32_t result = setup.Run();
    if (result != 0) {
      state.SkipWithError(("the synchronisation answered " + std::to_string(result)).c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SlowSyncSameEvents(benchmark::State& state) {
  RunSlowSync(state, state.range(0), 0);
}
BENCHMARK(BM_SlowSyncSameEvents)->Arg(1000)->Arg(9999)->Unit(benchmark::kMillisecond);

void BM_SlowSyncNewEachSide(benchmark::State& state) {
  RunSlowSync(state, 0, state.range(0) / 2);
}
BENCHMARK(BM_SlowSyncNewEachSide)->Arg(1000)->Arg(9998)->Unit(benchmark::kMillisecond);

}  // namespace
