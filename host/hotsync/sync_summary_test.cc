// The summary that ends a sync: the host's side from the extract and backup files, the
// handheld's from record snapshots.
#include "host/hotsync/sync_summary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A record line: ID, entry number, date, times, status, repeat flag and text.
std::string Line(const std::string& id, const std::string& entry, const std::string& day,
                 const std::string& times, char status, char repeat, const std::string& text) {
  char length[8];
  std::snprintf(length, sizeof length, "%04zu", text.size());
  return id + entry + day + times + status + "000" + repeat + length + text + "\r\n";
}

std::string File(const std::vector<std::string>& lines) {
  char count[8];
  std::snprintf(count, sizeof count, "%04zu", lines.size());
  std::string bytes = count;
  for (const std::string& line : lines) bytes += line;
  return bytes;
}

TEST(SyncSummaryTest, HostChangesFromTheExtractAndTheBackup) {
  const std::string t = "09:0010:00";
  const std::string extract = File({
      Line("00000001", "0000", "20240306", t, '0', '0', "Unchanged"),
      Line("00000002", "0001", "20240306", t, '0', '0', "Changed on the host"),
      Line("00000003", "0002", "20240307", t, '0', '0', "Deleted on the host"),
      Line("00000009", "0003", "20240306", t, '0', '1', "Swim"),
      Line("00000009", "0004", "20240313", t, '0', '1', "Swim"),
      Line("        ", "0005", "20240308", t, '0', '0', "New on the host, now on the handheld"),
  });
  const std::string backup = File({
      Line("00000001", "0000", "20240306", t, '0', '0', "Unchanged"),
      Line("00000002", "0001", "20240306", t, '3', '0', "Changed on the handheld"),
      // Added entries carry the conduit's default host entry number, 0.
      Line("00000009", "0000", "20240306", t, '1', '1', "Swim"),             // written again
      Line("00000009", "0000", "20240313", "07:3008:00", '1', '1', "Swim"),  // moved
      Line("0000000A", "0000", "20240309", t, '1', '0', "New from the handheld"),
      Line("0000000B", "0005", "20240308", t, '3', '0', "New on the host, now on the handheld"),
  });
  CChangeCounts counts;
  ASSERT_TRUE(CountHostChanges(extract, backup, &counts));
  EXPECT_EQ(1, counts.added);
  EXPECT_EQ(2, counts.changed);
  EXPECT_EQ(1, counts.deleted);
  EXPECT_FALSE(CountHostChanges(extract, backup.substr(0, backup.size() - 20), &counts));
  EXPECT_FALSE(CountHostChanges("", backup, &counts));
}

TEST(SyncSummaryTest, HandheldChangesFromSnapshotsAndTheLine) {
  const CRecordSnapshot before = {{1, {1, 2}}, {2, {3}}, {3, {4}}};
  const CRecordSnapshot after = {{1, {1, 2}}, {2, {9}}, {4, {5}}, {5, {6}}};
  const CChangeCounts handheld = CompareSnapshots(before, after);
  EXPECT_EQ(2, handheld.added);
  EXPECT_EQ(1, handheld.changed);
  EXPECT_EQ(1, handheld.deleted);
  CChangeCounts host;
  host.deleted = 3;
  EXPECT_EQ("handheld: 2 added, 1 changed, 1 deleted; host: 0 added, 0 changed, 3 deleted",
            SummaryLine(&handheld, &host));
  EXPECT_EQ("handheld: 2 added, 1 changed, 1 deleted; host: not known",
            SummaryLine(&handheld, nullptr));
  EXPECT_EQ("handheld: not known; host: not known", SummaryLine(nullptr, nullptr));
}

}  // namespace
