// One whole synchronisation, as OpenConduit runs it: settings, the one-time requests, the
// host driver's extract, the monitor, the host driver's update and the files around them.
//
// Files in the data folder that survive a call: the update file "update.dat" only when its update
// command failed or the call was cut off after the monitor saved it (the next call applies it and
// does nothing else); "update.run" beside it when its update command had started (the next call
// then first extracts, so that new entries the host took already are not added twice); the
// desktop file only when the call stopped between extract and the monitor's saves; the extract
// file "extract.dat", a copy of the last extract; the backup file and the category list, written
// by the monitor.
#ifndef DBC_CONDUIT_ENTRY_OPEN_CONDUIT_H_
#define DBC_CONDUIT_ENTRY_OPEN_CONDUIT_H_

#include <stdint.h>

#include <memory>

#include "conduit/hostcal/profs_monitor.h"
#include "conduit/hostcal/sync_files.h"
#include "conduit/platform/os_services.h"
#include "sdk/records.h"

constexpr char kExtractFileName[] = "extract.dat";
// Size of the short data folder, the terminator included.
constexpr uint32_t kShortFolderSize = 200;
// Size of the host driver's environment block; it ends with two NUL bytes.
constexpr size_t kEnvironmentSize = 200;

// Makes the monitor of one synchronisation; null when it cannot be allocated.
using MonitorFactory = std::unique_ptr<CProfsMonitor> (*)(const HotSyncProps& props,
                                                          ModuleInstance module, COsServices& os);

// The factory of the conduit: a CProfsMonitor allocated with new (std::nothrow).
std::unique_ptr<CProfsMonitor> NewProfsMonitor(const HotSyncProps& props, ModuleInstance module,
                                               COsServices& os);

// Runs one synchronisation. Answers 0, or the monitor's non-zero Execute result; every other
// failure answers 0 too, after its own log line and "Datebook Synchronization Failed". A null
// host_context answers 0 and touches nothing. make_monitor lets tests run a monitor of their own.
int32_t RunOpenConduit(COsServices& os, ModuleInstance module, void* host_context,
                       const HotSyncProps& props, MonitorFactory make_monitor = NewProfsMonitor);

// The date window of a synchronisation at `now`: from 00:00 local time today to 00:00 local time
// num_days days later, kept within the signed 32-bit range.
void ComputeSyncWindow(int32_t now, int32_t num_days, int32_t* window_start, int32_t* window_end);

#endif  // DBC_CONDUIT_ENTRY_OPEN_CONDUIT_H_
