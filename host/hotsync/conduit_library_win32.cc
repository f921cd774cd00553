// The conduit library on Windows: a DLL loaded with LoadLibraryA, its exports found by name.
#include <windows.h>

#include "host/hotsync/conduit_library.h"
#include "host/hotsync/hotsync_platform.h"

CConduitLibrary::~CConduitLibrary() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

bool CConduitLibrary::Load(const std::string& path, std::string* error) {
  // The conduit's own folder is searched for the DLLs it needs, as a host loads a conduit that
  // brings its DLLs along.
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    *error = "cannot load the conduit library " + path + ": Windows error " +
             std::to_string(GetLastError());
    return false;
  }
  handle_ = module;
  // As void (*)(), the type that stands for any function, the address converts to each
  // export's own type.
  using AnyFunction = void (*)();
  auto find = [&](const char* name) -> AnyFunction {
    FARPROC symbol = GetProcAddress(module, name);
    if (symbol == nullptr && error->empty()) {
      *error = "the conduit library " + path + " has no export " + name;
    }
    return reinterpret_cast<AnyFunction>(symbol);
  };
  error->clear();
  get_name = reinterpret_cast<GetConduitNameFn>(find(CONDUIT_GET_NAME_EXPORT));
  get_version = reinterpret_cast<GetConduitVersionFn>(find(CONDUIT_GET_VERSION_EXPORT));
  configure = reinterpret_cast<ConfigureConduitFn>(find(CONDUIT_CONFIGURE_EXPORT));
  open = reinterpret_cast<OpenConduitFn>(find(CONDUIT_OPEN_EXPORT));
  return error->empty();
}

std::string DefaultConduitPath() {
  return ProgramFolder() + "\\datebook_conduit.dll";
}
