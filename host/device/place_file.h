// Putting a finished file in place under its real name without ever replacing another file.
#ifndef DBC_HOST_DEVICE_PLACE_FILE_H_
#define DBC_HOST_DEVICE_PLACE_FILE_H_

#include <string>

// Gives the finished file `from` the name `to` in one step, failing when a file of that name
// exists, so that no reader ever sees a half-written file under `to` and a file made meanwhile by
// someone else is kept. On POSIX `from` keeps its name too (a hard link) and the caller removes
// it; on Windows it is renamed. The name is flushed to the disk. False with *why set when it
// fails.
bool PlaceNewFile(const std::string& from, const std::string& to, std::string* why);

#endif  // DBC_HOST_DEVICE_PLACE_FILE_H_
