// The conduit's name and the change-action dialog's mapping of sync types and actions.
#include "conduit/entry/configure_conduit.h"

#include <string.h>

#include <string>
#include <vector>

#include "conduit/entry/entry_test_util.h"
#include "conduit/resources/string_table.h"
#include "host/dialog/dialog_control.h"

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

// Through the dialog: "ok" keeps the preselected action, so the written sync type shows it.
TEST(ConfigureConduitTest, DialogAnswers) {
  struct Case {
    int32_t sync_type;
    const char* script;
    int32_t result;
    int32_t sync_type_after;
    int32_t action_kind;
  };
  const Case kCases[] = {
      {1, "ok", 0, 0, 2},        {0, "ok", 0, 0, 2},        {3, "ok", 0, 3, 2},
      {2, "ok", 0, 2, 2},        {4, "ok", 0, 6, 2},        {7, "ok", 0, 6, 2},
      {-5, "ok", 0, 6, 2},       {0, "1,default", 0, 3, 1}, {0, "2,once", 0, 2, 2},
      {0, "3", 0, 6, 2},         {2, "0,default", 0, 0, 1}, {2, "cancel", -1, 2, 0},
      {-5, "cancel", -1, -5, 0},
  };
  CFakeOsServices os;
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.sync_type) + " " + c.script);
    HsDialogSetScript(c.script);
    HotSyncPrefs prefs;
    memset(&prefs, 0, sizeof prefs);
    prefs.sync_type = c.sync_type;
    prefs.action_kind = 9;
    EXPECT_EQ(c.result, RunConfigureConduit(os, ConduitModuleInstance(), &prefs));
    EXPECT_EQ(c.sync_type_after, prefs.sync_type);
    EXPECT_EQ(c.action_kind, prefs.action_kind);
  }
  HsDialogClearScript();
  EXPECT_EQ(-1, RunConfigureConduit(os, ConduitModuleInstance(), nullptr));
}

}  // namespace
