#include "host/hotsync/sync_summary.h"

#include <set>
#include <utility>

#include "host/device/device_control.h"
#include "sdk/records.h"

namespace {

// Offsets of a record line of an exchange file.
constexpr size_t kCountWidth = 4;
constexpr size_t kIdEnd = 8;
constexpr size_t kEntryEnd = 12;
constexpr size_t kDateEnd = 20;
constexpr size_t kStatus = 30;
constexpr size_t kRepeat = 34;
constexpr size_t kLengthStart = 35;
constexpr size_t kFixedWidth = 39;

struct CLine {
  std::string record_id;  // 8 bytes as written
  std::string entry;      // 4 bytes, blank when the entry has no host entry number
  std::string day;        // YYYYMMDD
  bool repeat = false;
  bool added = false;   // status "1": the update added it
  std::string content;  // everything the host holds of the entry: the line without ID and status
};

bool IsDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool ReadLines(const std::string& bytes, std::vector<CLine>* lines) {
  if (bytes.size() < kCountWidth || !IsDigits(bytes.substr(0, kCountWidth))) return false;
  const int count = std::stoi(bytes.substr(0, kCountWidth));
  size_t pos = kCountWidth;
  for (int i = 0; i < count; ++i) {
    if (bytes.size() < pos + kFixedWidth) return false;
    const std::string length = bytes.substr(pos + kLengthStart, 4);
    if (!IsDigits(length)) return false;
    const size_t end = pos + kFixedWidth + static_cast<size_t>(std::stoi(length));
    if (bytes.size() < end) return false;
    CLine line;
    line.record_id = bytes.substr(pos, kIdEnd);
    line.entry = bytes.substr(pos + kIdEnd, kEntryEnd - kIdEnd);
    line.day = bytes.substr(pos + kEntryEnd, kDateEnd - kEntryEnd);
    line.repeat = bytes[pos + kRepeat] == '1';
    line.added = bytes[pos + kStatus] == '1';
    line.content = bytes.substr(pos + kEntryEnd, kStatus - kEntryEnd) +
                   bytes.substr(pos + kStatus + 1, end - pos - kStatus - 1);
    lines->push_back(std::move(line));
    pos = end + 2;  // CR LF
  }
  return true;
}

}  // namespace

bool SnapshotRecords(const std::string& database, CRecordSnapshot* snapshot) {
  snapshot->clear();
  std::vector<DeviceRecord> records;
  const int32_t listed = DeviceListRecords(database, &records);
  // A handheld that never had the database holds none of its records.
  if (listed == kDeviceErrNotFound) return true;
  if (listed != kDeviceOk) return false;
  for (const DeviceRecord& r : records) {
    if ((r.attributes & kRecAttrDeleted) == 0) (*snapshot)[r.id] = r.data;
  }
  return true;
}

CChangeCounts CompareSnapshots(const CRecordSnapshot& before, const CRecordSnapshot& after) {
  CChangeCounts counts;
  for (const auto& kv : after) {
    auto old = before.find(kv.first);
    if (old == before.end()) {
      ++counts.added;
    } else if (old->second != kv.second) {
      ++counts.changed;
    }
  }
  for (const auto& kv : before) {
    if (after.count(kv.first) == 0) ++counts.deleted;
  }
  return counts;
}

bool CountHostChanges(const std::string& extract, const std::string& backup,
                      CChangeCounts* counts) {
  std::vector<CLine> before, after;
  if (!ReadLines(extract, &before) || !ReadLines(backup, &after)) return false;
  *counts = CChangeCounts();
  std::map<std::string, const CLine*> by_entry;
  for (const CLine& line : before) by_entry.emplace(line.entry, &line);
  std::set<const CLine*> kept;
  std::vector<const CLine*> added;
  for (const CLine& line : after) {
    // An added entry carries no host entry number of the host's (the conduit writes a default).
    auto old = line.added ? by_entry.end() : by_entry.find(line.entry);
    if (old == by_entry.end()) {
      added.push_back(&line);
      continue;
    }
    kept.insert(old->second);
    if (old->second->content != line.content) ++counts->changed;
  }
  // Occurrences of a repeating handheld event written again: the deleted one of the same record
  // and day stands for the added one.
  std::map<std::pair<std::string, std::string>, const CLine*> rewritten;
  for (const CLine& line : before) {
    if (line.repeat && kept.count(&line) == 0)
      rewritten.emplace(std::make_pair(line.record_id, line.day), &line);
  }
  for (const CLine* line : added) {
    auto old = line->repeat ? rewritten.find({line->record_id, line->day}) : rewritten.end();
    if (old == rewritten.end()) {
      ++counts->added;
      continue;
    }
    kept.insert(old->second);
    if (old->second->content != line->content) ++counts->changed;
    rewritten.erase(old);
  }
  for (const CLine& line : before) {
    if (kept.count(&line) == 0) ++counts->deleted;
  }
  return true;
}

std::string SummaryLine(const CChangeCounts* handheld, const CChangeCounts* host) {
  auto side = [](const char* name, const CChangeCounts* c) {
    if (c == nullptr) return std::string(name) + ": not known";
    return std::string(name) + ": " + std::to_string(c->added) + " added, " +
           std::to_string(c->changed) + " changed, " + std::to_string(c->deleted) + " deleted";
  };
  return side("handheld", handheld) + "; " + side("host", host);
}
