#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/device/place_file.h"

bool PlaceNewFile(const std::string& from, const std::string& to, std::string* why) {
  if (::link(from.c_str(), to.c_str()) == 0) return true;
  *why = std::strerror(errno);
  return false;
}
