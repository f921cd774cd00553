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

// The scriptable host driver beside the running program, as a new home's DriverPath.
std::string ScriptDriverPath();

// The user's own folder, where the default home lies: $HOME, on Windows %USERPROFILE%. Empty
// when unknown.
std::string UserHomeFolder();

// Whether the current user may list, read and write in `folder`; false with *why set otherwise.
bool CanUseFolder(const std::string& folder, std::string* why);

// Whether no process with the number `pid` runs any more, so that a temporary file named after
// it was left behind by a process that was killed.
bool ProcessHasEnded(long pid);

#endif  // DBC_HOST_HOTSYNC_HOTSYNC_PLATFORM_H_
