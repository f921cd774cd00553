// The conduit library, loaded at run time as a HotSync host loads it.
#ifndef DBC_HOST_HOTSYNC_CONDUIT_LIBRARY_H_
#define DBC_HOST_HOTSYNC_CONDUIT_LIBRARY_H_

#include <stdint.h>

#include <string>

#include "conduit/platform/records.h"

class CConduitLibrary {
 public:
  using GetNameFn = int32_t (*)(char*, int32_t);
  using GetVersionFn = int32_t (*)();
  using ConfigureFn = int32_t (*)(HotSyncPrefs*);
  using OpenFn = int32_t (*)(void*, HotSyncProps*);

  CConduitLibrary() = default;
  ~CConduitLibrary();
  CConduitLibrary(const CConduitLibrary&) = delete;
  CConduitLibrary& operator=(const CConduitLibrary&) = delete;

  // Loads the library at `path` and finds its four exports. False with *error naming the library
  // and what is missing.
  bool Load(const std::string& path, std::string* error);

  GetNameFn get_name = nullptr;
  GetVersionFn get_version = nullptr;
  ConfigureFn configure = nullptr;
  OpenFn open = nullptr;

 private:
  void* handle_ = nullptr;
};

// The default library: <folder of the program>/../lib/libdatebook_conduit.so.
std::string DefaultConduitPath();

#endif  // DBC_HOST_HOTSYNC_CONDUIT_LIBRARY_H_
