// The conduit's name and the change-action dialog's mapping of sync types and actions.
#include "conduit/entry/configure_conduit.h"

#include <string.h>

#include <string>
#include <vector>

#include "conduit/entry/entry_test_util.h"
#include "conduit/resources/string_table.h"

namespace {

TEST(ConduitNameTest, TruncatesToTheBufferAndCountsTheLow16BitsOfTheSize) {
  struct Case {
    int32_t size;
    int32_t result;
    const char* name;
  };
  const Case kCases[] = {
      {80, 0, "Date Book"},
      {10, 0, "Date Book"},
      {5, 0, "Date"},
      {2, 0, "D"},
      {1, -1, ""},
      {0, -1, "untouched"},
      {0x10000 + 5, 0, "Date"},    // only 5 counts
      {0x10000, -1, "untouched"},  // counts as 0
      {-1, 0, "Date Book"},        // 0xFFFF
  };
  CFakeOsServices os;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.size);
    std::vector<char> buffer(0x10000, 'z');
    strcpy(buffer.data(), "untouched");
    EXPECT_EQ(c.result, LoadConduitName(os, ConduitModuleInstance(), buffer.data(), c.size));
    EXPECT_STREQ(c.name, buffer.data());
  }
  EXPECT_EQ(-1, LoadConduitName(os, ConduitModuleInstance(), nullptr, 80));
}

TEST(ConfigureConduitTest, SyncTypeToPreselectedAction) {
  struct Case {
    int32_t sync_type;
    int32_t action;
  };
  const Case kCases[] = {{0, 0}, {1, 0}, {3, 1}, {2, 2}, {4, 3},
                         {5, 3}, {6, 3}, {7, 3}, {8, 3}, {-1, 3}};
  for (const Case& c : kCases) EXPECT_EQ(c.action, ActionForSyncType(c.sync_type)) << c.sync_type;
}

TEST(ConfigureConduitTest, ChosenActionToSyncType) {
  struct Case {
    int32_t action;
    int32_t sync_type;
  };
  const Case kCases[] = {{0, 0}, {1, 3}, {2, 2}, {3, 6}, {4, 6}, {-1, 6}};
  for (const Case& c : kCases) EXPECT_EQ(c.sync_type, SyncTypeForAction(c.action)) << c.action;
}

}  // namespace
