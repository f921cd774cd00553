// Control of the action dialog when nobody sits at a terminal.
//
// A script is one answer that every CHotSyncActionDlg::DoModal gives while it is set:
//   "cancel"            the dialog is cancelled (DoModal answers 2)
//   "ok"                OK with the preselected action and flag
//   "N"                 OK with action N (0..3), the flag as preselected
//   "N,default"         OK with action N and the flag "make this the default" set
//   "N,once"            OK with action N and the flag cleared
// The script set by HsDialogSetScript wins over the environment variable HOTSYNC_DIALOG_SCRIPT.
// With neither, DoModal asks on the terminal when standard input is one, and cancels otherwise.
// A script that does not parse cancels the dialog and says so on standard error.
#ifndef DBC_HOST_DIALOG_DIALOG_CONTROL_H_
#define DBC_HOST_DIALOG_DIALOG_CONTROL_H_

#include <stdint.h>

#include <string>

constexpr char kDialogScriptEnv[] = "HOTSYNC_DIALOG_SCRIPT";

enum : int32_t { kDialogOk = 1, kDialogCancel = 2 };

void HsDialogSetScript(const std::string& script);
void HsDialogClearScript();

struct DialogAnswer {
  bool ok = false;
  int32_t action = -1;  // -1: keep the preselected action
  int32_t flag = -1;    // -1: keep the preselected flag
};
// Parses a script answer; false when it is not one of the forms above.
bool ParseDialogScript(const std::string& script, DialogAnswer* answer);

#endif  // DBC_HOST_DIALOG_DIALOG_CONTROL_H_
