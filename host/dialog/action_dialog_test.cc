#include "sdk/action_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "host/dialog/dialog_control.h"

namespace {

class ActionDialogTest : public testing::Test {
 protected:
  void TearDown() override {
    HsDialogClearScript();
    unsetenv(kDialogScriptEnv);
  }

  // Runs a dialog preselected with action 2 and the flag set; answers {result, action, flag}.
  std::vector<int32_t> Run() {
    CHotSyncActionDlg dialog(nullptr);
    dialog.SetConduitName("Date Book");
    dialog.SetActionIndex(2);
    dialog.SetDefaultFlag(1);
    int32_t result = dialog.DoModal();
    return {result, dialog.GetActionIndex(), dialog.GetDefaultFlag()};
  }
};

TEST_F(ActionDialogTest, ScriptAnswers) {
  struct Case {
    const char* script;
    std::vector<int32_t> expected;  // result, action, flag
  };
  const Case kCases[] = {
      {"ok", {kDialogOk, 2, 1}},          {"0", {kDialogOk, 0, 1}},
      {" 3 , once ", {kDialogOk, 3, 0}},  {"1,default", {kDialogOk, 1, 1}},
      {"cancel", {kDialogCancel, 2, 1}},  {"4", {kDialogCancel, 2, 1}},
      {"1,maybe", {kDialogCancel, 2, 1}}, {"", {kDialogCancel, 2, 1}},
      {"-1", {kDialogCancel, 2, 1}},
  };
  for (const Case& c : kCases) {
    HsDialogSetScript(c.script);
    EXPECT_EQ(c.expected, Run()) << "script \"" << c.script << "\"";
  }
}

TEST_F(ActionDialogTest, ApiScriptWinsOverEnvironment) {
  setenv(kDialogScriptEnv, "0,once", 1);
  EXPECT_EQ((std::vector<int32_t>{kDialogOk, 0, 0}), Run());
  HsDialogSetScript("cancel");
  EXPECT_EQ(kDialogCancel, Run()[0]);
  HsDialogClearScript();
  EXPECT_EQ(kDialogOk, Run()[0]);
}

TEST_F(ActionDialogTest, CancelsWithoutScriptOrTerminal) {
  // Test runs have no terminal on standard input (ctest); make sure of it.
  if (isatty(0)) GTEST_SKIP() << "standard input is a terminal";
  EXPECT_EQ((std::vector<int32_t>{kDialogCancel, 2, 1}), Run());
}

}  // namespace
