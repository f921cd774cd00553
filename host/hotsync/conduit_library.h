// The conduit library, loaded at run time as a HotSync host loads it.
#ifndef DBC_HOST_HOTSYNC_CONDUIT_LIBRARY_H_
#define DBC_HOST_HOTSYNC_CONDUIT_LIBRARY_H_

#include <stdint.h>

#include <string>

#include "sdk/conduit_exports.h"
#include "sdk/records.h"

class CConduitLibrary {
 public:
  CConduitLibrary() = default;
  ~CConduitLibrary();
  CConduitLibrary(const CConduitLibrary&) = delete;
  CConduitLibrary& operator=(const CConduitLibrary&) = delete;

  // Loads the library at `path` and finds its four exports. False with *error naming the library
  // and what is missing.
  bool Load(const std::string& path, std::string* error);

  GetConduitNameFn get_name = nullptr;
  GetConduitVersionFn get_version = nullptr;
  ConfigureConduitFn configure = nullptr;
  OpenConduitFn open = nullptr;

 private:
  void* handle_ = nullptr;
};

// The default library: <folder of the program>/../lib/libdatebook_conduit.so.
std::string DefaultConduitPath();

#endif  // DBC_HOST_HOTSYNC_CONDUIT_LIBRARY_H_
