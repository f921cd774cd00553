#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/device/place_file.h"
#include "host/support/sync_folder.h"

bool PlaceNewFile(const std::string& from, const std::string& to, std::string* why) {
  if (::link(from.c_str(), to.c_str()) != 0) {
    *why = std::strerror(errno);
    return false;
  }
  // The new name is on the disk only once its folder is.
  const size_t slash = to.rfind('/');
  if (SyncFolder(slash == std::string::npos ? "." : to.substr(0, slash + 1), why)) return true;
  ::unlink(to.c_str());
  return false;
}
