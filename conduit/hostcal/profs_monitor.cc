#include "conduit/hostcal/profs_monitor.h"

#include <string.h>

#include <new>

#include "conduit/format/date_bk_converter.h"
#include "conduit/resources/string_table.h"

CProfsMonitor::CProfsMonitor(const HotSyncProps& props, ModuleInstance module, COsServices& os)
    : CSyncMonitor(props, module, os) {
  converter_.reset(new (std::nothrow) CDateBkConverter());
  static_assert(sizeof kDateBookArchiveExtension <= sizeof archive_extension_,
                "the archive extension fits its field");
  memcpy(archive_extension_, kDateBookArchiveExtension, sizeof kDateBookArchiveExtension);
}

void CProfsMonitor::SetWindow(int32_t window_start, int32_t window_end) {
  window_start_ = window_start;
  window_end_ = window_end;
}

void CProfsMonitor::GetConduitTitle(char* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) return;
  os_.LoadString(module_, IDS_CONDUIT_NAME, buffer, size);
}
