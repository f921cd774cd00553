// The conduit's four exports. They choose the real operating-system services and hand over to
// the code that takes them as a parameter; nothing thrown inside leaves the library.
#include "conduit/entry/exports.h"

#include "conduit/entry/configure_conduit.h"
#include "conduit/entry/entry_log.h"
#include "conduit/entry/open_conduit.h"
#if defined(_WIN32)
#include "conduit/platform/win32_os_services.h"
#else
#include "conduit/platform/posix_os_services.h"
#endif
#include "conduit/resources/string_table.h"
#include "conduit/result_codes.h"

namespace {

// The real services of the platform the library was built for. On Windows the strings are the
// library's own resources; elsewhere they are the table compiled into it.
COsServices& DefaultOsServices() {
#if defined(_WIN32)
  static CWin32OsServices os;
#else
  static CPosixOsServices os(ConduitModuleInstance(), FindConduitString);
#endif
  return os;
}

}  // namespace

CONDUIT_EXPORT int32_t GetConduitName(char* buffer, int32_t size) {
  try {
    return LoadConduitName(DefaultOsServices(), ConduitModuleInstance(), buffer, size);
  } catch (...) {
    return kConduitNothingDone;
  }
}

CONDUIT_EXPORT int32_t GetConduitVersion() {
  return kConduitVersion;
}

CONDUIT_EXPORT int32_t ConfigureConduit(HotSyncPrefs* prefs) {
  try {
    return RunConfigureConduit(DefaultOsServices(), ConduitModuleInstance(), prefs);
  } catch (...) {
    return kConduitNothingDone;
  }
}

CONDUIT_EXPORT int32_t OpenConduit(void* host_context, HotSyncProps* props) {
  if (props == nullptr) return kOk;
  try {
    return RunOpenConduit(DefaultOsServices(), ConduitModuleInstance(), host_context, *props);
  } catch (...) {
    // Out of memory somewhere in the flow: the run failed, like any other failed step.
    LogConduitError(kSyncFailedLine);
    return kOk;
  }
}
