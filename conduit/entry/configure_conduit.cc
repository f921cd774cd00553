#include "conduit/entry/configure_conduit.h"

#include "conduit/resources/string_table.h"
#include "sdk/action_dialog.h"

namespace {

// The dialog's actions.
constexpr int32_t kActionSynchronize = 0;
constexpr int32_t kActionDesktopOverwrites = 1;
constexpr int32_t kActionHandheldOverwrites = 2;
constexpr int32_t kActionDoNothing = 3;

constexpr int32_t kDialogOk = 1;
constexpr int32_t kSizeMask = 0xFFFF;

}  // namespace

int32_t LoadConduitName(COsServices& os, ModuleInstance module, char* buffer, int32_t size) {
  if (buffer == nullptr) return kConduitNothingDone;
  int32_t loaded = os.LoadString(module, IDS_CONDUIT_NAME, buffer, size & kSizeMask);
  return loaded > 0 ? kConduitOk : kConduitNothingDone;
}

int32_t ActionForSyncType(int32_t sync_type) {
  switch (static_cast<uint32_t>(sync_type)) {
    case kSyncFast:
    case kSyncSlow:
      return kActionSynchronize;
    case kSyncDesktopOverwrites:
      return kActionDesktopOverwrites;
    case kSyncHandheldOverwrites:
      return kActionHandheldOverwrites;
    default:
      return kActionDoNothing;
  }
}

int32_t SyncTypeForAction(int32_t action) {
  switch (action) {
    case kActionSynchronize:
      return kSyncFast;
    case kActionDesktopOverwrites:
      return kSyncDesktopOverwrites;
    case kActionHandheldOverwrites:
      return kSyncHandheldOverwrites;
    default:
      return kSyncDoNothing;
  }
}

int32_t RunConfigureConduit(COsServices& os, ModuleInstance module, HotSyncPrefs* prefs) {
  if (prefs == nullptr) return kConduitNothingDone;
  CHotSyncActionDlg dialog(nullptr);
  prefs->action_kind = kActionKindNone;

  char name[kDialogNameSize] = {};
  LoadConduitName(os, module, name, sizeof name);
  dialog.SetConduitName(name);
  dialog.SetActionIndex(ActionForSyncType(prefs->sync_type));

  if (dialog.DoModal() != kDialogOk) return kConduitNothingDone;
  prefs->sync_type = SyncTypeForAction(dialog.GetActionIndex());
  prefs->action_kind = dialog.GetDefaultFlag() != 0 ? kActionKindDefault : kActionKindThisTime;
  return kConduitOk;
}
