#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/device/place_file.h"

bool PlaceNewFile(const std::string& from, const std::string& to, std::string* why) {
  if (::link(from.c_str(), to.c_str()) != 0) {
    *why = std::strerror(errno);
    return false;
  }
  // The new name is on the disk only once its folder is.
  const size_t slash = to.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : to.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = fd >= 0 && ::fsync(fd) == 0;
  if (!synced) *why = std::string("cannot flush the folder: ") + std::strerror(errno);
  if (fd >= 0) ::close(fd);
  if (!synced) ::unlink(to.c_str());
  return synced;
}
