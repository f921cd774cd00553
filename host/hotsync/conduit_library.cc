#include "host/hotsync/conduit_library.h"

#include <dlfcn.h>

#include "host/hotsync/hotsync_home.h"

CConduitLibrary::~CConduitLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool CConduitLibrary::Load(const std::string& path, std::string* error) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    *error = "cannot load the conduit library " + path + ": " + (why ? why : "unknown error");
    return false;
  }
  auto find = [&](const char* name) -> void* {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr && error->empty()) {
      *error = "the conduit library " + path + " has no export " + name;
    }
    return symbol;
  };
  error->clear();
  get_name = reinterpret_cast<GetConduitNameFn>(find(CONDUIT_GET_NAME_EXPORT));
  get_version = reinterpret_cast<GetConduitVersionFn>(find(CONDUIT_GET_VERSION_EXPORT));
  configure = reinterpret_cast<ConfigureConduitFn>(find(CONDUIT_CONFIGURE_EXPORT));
  open = reinterpret_cast<OpenConduitFn>(find(CONDUIT_OPEN_EXPORT));
  return error->empty();
}

std::string DefaultConduitPath() {
  return ProgramFolder() + "/../lib/libdatebook_conduit.so";
}
