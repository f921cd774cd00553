// The conduit's answers about itself and the change-action dialog, behind GetConduitName,
// GetConduitVersion and ConfigureConduit.
#ifndef DBC_CONDUIT_ENTRY_CONFIGURE_CONDUIT_H_
#define DBC_CONDUIT_ENTRY_CONFIGURE_CONDUIT_H_

#include <stdint.h>

#include "conduit/platform/os_services.h"
#include "sdk/records.h"

constexpr int32_t kConduitVersion = 0x101;
// Results of GetConduitName and ConfigureConduit.
constexpr int32_t kConduitOk = 0;
constexpr int32_t kConduitNothingDone = -1;
// Size of the name buffer handed to the dialog.
constexpr int32_t kDialogNameSize = 80;

// HotSyncPrefs action kinds.
constexpr int32_t kActionKindNone = 0;
constexpr int32_t kActionKindDefault = 1;   // the choice becomes the default
constexpr int32_t kActionKindThisTime = 2;  // the choice holds for the next HotSync only

// Loads the conduit's name into buffer; only the low 16 bits of size count. The name is cut to
// fit and terminated. kConduitOk, or kConduitNothingDone when no character was loaded.
int32_t LoadConduitName(COsServices& os, ModuleInstance module, char* buffer, int32_t size);

// The dialog action preselected for a sync type, and the sync type written for a chosen action.
int32_t ActionForSyncType(int32_t sync_type);
int32_t SyncTypeForAction(int32_t action);

// Shows the change-action dialog. On OK writes the sync type of the chosen action and the action
// kind (kActionKindDefault when the dialog's flag is set, else kActionKindThisTime) and answers
// kConduitOk. On cancel leaves the sync type alone, sets the action kind to kActionKindNone and
// answers kConduitNothingDone. A null prefs answers kConduitNothingDone without a dialog.
int32_t RunConfigureConduit(COsServices& os, ModuleInstance module, HotSyncPrefs* prefs);

#endif  // DBC_CONDUIT_ENTRY_CONFIGURE_CONDUIT_H_
