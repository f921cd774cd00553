// Placeholder action dialog until the dialog stand-in lands: it always cancels.
#include "conduit/platform/action_dialog.h"

CHotSyncActionDlg::CHotSyncActionDlg(void*) {}
CHotSyncActionDlg::~CHotSyncActionDlg() = default;
void CHotSyncActionDlg::SetConduitName(const char* name) { conduit_name_ = name ? name : ""; }
const char* CHotSyncActionDlg::GetConduitName() const { return conduit_name_.c_str(); }
void CHotSyncActionDlg::SetActionIndex(int32_t index) { action_index_ = index; }
int32_t CHotSyncActionDlg::GetActionIndex() const { return action_index_; }
void CHotSyncActionDlg::SetDefaultFlag(int32_t flag) { default_flag_ = flag; }
int32_t CHotSyncActionDlg::GetDefaultFlag() const { return default_flag_; }
int32_t CHotSyncActionDlg::DoModal() { return 2; }
