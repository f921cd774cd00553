// CProfsMonitor: the conduit monitor for the host calendar, the specialisation of CSyncMonitor
// that OpenConduit creates for every synchronisation.
//
// It adds the date window that OpenConduit gives it before Execute. The host-calendar sync loop
// is not part of it yet: RunSync is still CSyncMonitor's, so Execute answers what the generic
// monitor answers (kErrNotProvided for sync types 0 to 3).
#ifndef DBC_CONDUIT_HOSTCAL_PROFS_MONITOR_H_
#define DBC_CONDUIT_HOSTCAL_PROFS_MONITOR_H_

#include <stdint.h>

#include "conduit/engine/sync_monitor.h"

// Extension of the per-category archive files of the Date Book.
constexpr char kDateBookArchiveExtension[] = ".DBA";

class CProfsMonitor : public CSyncMonitor {
 public:
  // Sets the Date Book record converter (left null when it cannot be allocated) and the archive
  // extension. os must outlive the monitor.
  CProfsMonitor(const HotSyncProps& props, ModuleInstance module, COsServices& os);

  // The date window: its first and last instant, seconds since 1970. Set once, before Execute.
  void SetWindow(int32_t window_start, int32_t window_end);
  int32_t window_start() const { return window_start_; }
  int32_t window_end() const { return window_end_; }

  // The conduit's name (string IDS_CONDUIT_NAME), cut to fit size characters with the terminator.
  void GetConduitTitle(char* buffer, int32_t size) override;

 private:
  int32_t window_start_ = 0;
  int32_t window_end_ = 0;
};

#endif  // DBC_CONDUIT_HOSTCAL_PROFS_MONITOR_H_
