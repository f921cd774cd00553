// The arrays of occurrence groups: one group per record ID, in the order the IDs were first met,
// kept in order while groups are removed.
#include "conduit/hostcal/occurrence_groups.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "conduit/format/profs_record.h"
#include "conduit/format/profs_table.h"

namespace {

std::vector<uint32_t> Ids(const COccurrenceGroups& groups) {
  std::vector<uint32_t> ids;
  for (int32_t i = groups.First(); i >= 0; i = groups.Next(i))
    ids.push_back(groups.At(i)->record_id);
  return ids;
}

TEST(OccurrenceGroupsTest, OneGroupPerIdInOrderAndRemovalKeepsTheOrder) {
  CProfsTable source;
  CProfsRecord record(source, 0);
  COccurrenceGroups groups;
  for (uint32_t id : {7u, 3u, 7u, 0u, 3u, 9u}) {
    ASSERT_EQ(0, source.AppendBlankRecord(static_cast<CDateBkRecord&>(record)));
    record.SetRecordId(id);
    std::unique_ptr<CProfsRecord> copy;
    ASSERT_EQ(0, groups.Add(record, copy));
    ASSERT_NE(nullptr, copy);
    uint32_t copied = 1234;
    copy->GetRecordId(copied);
    EXPECT_EQ(id, copied);
  }
  EXPECT_EQ((std::vector<uint32_t>{7, 3, 0, 9}), Ids(groups));
  EXPECT_EQ(2, groups.At(groups.Find(7))->table->GetRecordCount());
  EXPECT_EQ(1, groups.At(groups.Find(0))->table->GetRecordCount());
  EXPECT_EQ(-1, groups.Find(5));

  groups.Remove(groups.Find(3));
  EXPECT_EQ((std::vector<uint32_t>{7, 0, 9}), Ids(groups));
  groups.Remove(groups.Find(7));
  EXPECT_EQ((std::vector<uint32_t>{0, 9}), Ids(groups));
  EXPECT_EQ(-1, groups.Find(7));
  EXPECT_EQ(2, groups.Count());
  // An ID whose group was removed starts a new group at the end.
  std::unique_ptr<CProfsRecord> copy;
  record.SetRecordId(7);
  ASSERT_EQ(0, groups.Add(record, copy));
  EXPECT_EQ((std::vector<uint32_t>{0, 9, 7}), Ids(groups));
  groups.Remove(groups.Find(0));
  groups.Remove(groups.Find(9));
  groups.Remove(groups.Find(7));
  EXPECT_TRUE(groups.Empty());
  EXPECT_EQ(-1, groups.First());
}

}  // namespace
