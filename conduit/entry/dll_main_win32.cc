// The conduit library's entry point on Windows: it keeps the module instance that the loader
// hands over, so that the string resources are read from this library. Nothing else happens at
// load time.
#include <windows.h>

#include "conduit/resources/string_table.h"

namespace {

HINSTANCE conduit_module = nullptr;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    conduit_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

const void* ConduitModuleInstance() {
  return conduit_module;
}
