// The change-action dialog that the host's common library provides.
#ifndef DBC_SDK_ACTION_DIALOG_H_
#define DBC_SDK_ACTION_DIALOG_H_

#include <stdint.h>

#include <string>

// Lets the user choose the next HotSync's action for one conduit. Actions: 0 synchronise,
// 1 desktop overwrites handheld, 2 handheld overwrites desktop, 3 do nothing. The flag says
// "make this the default".
class CHotSyncActionDlg {
 public:
  // `parent` is a parent window; conduits pass none (nullptr).
  explicit CHotSyncActionDlg(void* parent);
  ~CHotSyncActionDlg();
  CHotSyncActionDlg(const CHotSyncActionDlg&) = delete;
  CHotSyncActionDlg& operator=(const CHotSyncActionDlg&) = delete;

  void SetConduitName(const char* name);
  const char* GetConduitName() const;
  // The preselected action before DoModal, the chosen one after.
  void SetActionIndex(int32_t index);
  int32_t GetActionIndex() const;
  void SetDefaultFlag(int32_t flag);
  int32_t GetDefaultFlag() const;

  // Shows the dialog and waits for the user: 1 for OK, anything else for cancel.
  int32_t DoModal();

 private:
  std::string conduit_name_;
  int32_t action_index_ = 0;
  int32_t default_flag_ = 0;
};

#endif  // DBC_SDK_ACTION_DIALOG_H_
