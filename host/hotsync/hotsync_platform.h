// What the hotsync program does differently on POSIX and on Windows (hotsync_platform_posix.cc,
// hotsync_platform_win32.cc).
#ifndef DBC_HOST_HOTSYNC_HOTSYNC_PLATFORM_H_
#define DBC_HOST_HOTSYNC_HOTSYNC_PLATFORM_H_

#include <string>

// The separator that hotsync puts between the names of the paths it makes.
#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The folder of the running program (no trailing separator).
std::string ProgramFolder();

// The scriptable host driver beside the running program.
std::string ScriptDriverPath();

// A new home's host driver (DriverPath) and host calendar (HLLName, a file in the home's hll/
// folder): on POSIX the iCalendar driver beside the running program and "calendar.ics"; on
// Windows, where that driver is not built, the scriptable driver and "datebook".
std::string DefaultDriverPath();
std::string DefaultHllName();

// Makes the host calendar of a new home ready for its first sync: on POSIX the iCalendar driver's
// install command creates it empty (as whoever installs a conduit prepares its host); nothing on
// Windows. Answers false when the driver could not be run or failed; its explanation is then in
// <hll>/conderr.txt.
bool PrepareHostCalendar(const std::string& driver, const std::string& hll,
                         const std::string& hll_name);

// The user's own folder, where the default home lies: $HOME, on Windows %USERPROFILE%. Empty
// when unknown.
std::string UserHomeFolder();

// Whether the current user may list, read and write in `folder`; false with *why set otherwise.
bool CanUseFolder(const std::string& folder, std::string* why);

// Makes `folder` and the folders above it that are missing. On POSIX each new folder's name is
// flushed to the disk, so that a power cut cannot take away a home or a data folder that files
// were already written into. False with *why set when it fails.
bool MakeFolders(const std::string& folder, std::string* why);

// Whether no process with the number `pid` runs any more, so that a temporary file named after
// it was left behind by a process that was killed.
bool ProcessHasEnded(long pid);

#endif  // DBC_HOST_HOTSYNC_HOTSYNC_PLATFORM_H_
