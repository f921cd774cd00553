#include <windows.h>

#include "host/device/place_file.h"

bool PlaceNewFile(const std::string& from, const std::string& to, std::string* why) {
  // Without MOVEFILE_REPLACE_EXISTING the rename fails when `to` exists.
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  *why = "Windows error " + std::to_string(GetLastError());
  return false;
}
