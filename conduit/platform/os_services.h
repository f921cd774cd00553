// The operating-system services that the conduit uses, behind one interface.
//
// The conduit's logic never calls the operating system itself: it receives a COsServices and calls
// it. The four exported functions pick the real implementation (CPosixOsServices, on Windows
// CWin32OsServices); tests hand in CFakeOsServices, whose settings live in memory, whose processes
// are scripted and whose clock and sleep the test controls.
#ifndef DBC_CONDUIT_PLATFORM_OS_SERVICES_H_
#define DBC_CONDUIT_PLATFORM_OS_SERVICES_H_

#include <stdint.h>

#include <string>

#include "sdk/records.h"

// The module whose string resources LoadString reads (the conduit library's own).
using ModuleInstance = const void*;
// Finds the text of string resource `id` of a module; null when there is none.
using StringFinder = const char* (*)(uint32_t id);

// A running or finished child process; 0 is no process.
using ProcessHandle = intptr_t;

// Process creation errors, as the conduit logs them.
constexpr int32_t kOsErrFileNotFound = 2;
constexpr int32_t kOsErrModNotFound = 1157;
// The exit code of a process that is still running.
constexpr int32_t kOsStillActive = 259;

class COsServices {
 public:
  virtual ~COsServices() = default;

  // --- Settings (the registry) ---
  // Opens `path` below `root`, for reading values or, with for_write, for setting them. Answers 0
  // and sets *key, or a non-zero code with *key null.
  virtual int32_t OpenKey(SettingsKey root, const char* path, bool for_write, SettingsKey* key) = 0;
  virtual void CloseKey(SettingsKey key) = 0;
  // Reads the value `name` into buffer (size bytes): the value's bytes as stored, whatever its
  // type. Fails (non-zero, buffer untouched) when the value is missing or larger than size; a text
  // counts with its terminator.
  virtual int32_t ReadValue(SettingsKey key, const char* name, void* buffer, uint32_t size) = 0;
  virtual int32_t SetNumber(SettingsKey key, const char* name, uint32_t value) = 0;
  // Sets a text of `length` bytes; length 0 gives the empty text.
  virtual int32_t SetText(SettingsKey key, const char* name, const char* text, uint32_t length) = 0;

  // --- Processes ---
  // Starts a program from command_line with no shell: the first word is the program, the rest its
  // arguments (on POSIX split on blanks with no quoting; on Windows the line is handed over as it
  // is, for the program to split). environment is a block of NUL-terminated
  // "NAME=value" strings ending with an empty string; it is the child's whole environment. Answers
  // 0 and sets *process, or the creation error (kOsErrFileNotFound when the program is missing).
  // The child inherits no handles: its input is empty and its output goes to the caller's error
  // output, so that nothing it prints mixes with the caller's own output. It and the processes it
  // starts form a group that KillProcess ends, and that ends when the caller is interrupted,
  // terminated or killed.
  virtual int32_t CreateProcess(const char* command_line, const char* environment,
                                ProcessHandle* process) = 0;
  // Sets *exit_code to the process's exit code, kOsStillActive while it runs; a process killed by
  // a signal reports a code that is neither 0 nor kOsStillActive. Answers 0, or non-zero when the
  // code cannot be read.
  virtual int32_t GetExitCode(ProcessHandle process, int32_t* exit_code) = 0;
  // Releases the handle (waiting for a finished child so that it leaves no zombie).
  virtual void CloseProcess(ProcessHandle process) = 0;
  // Ends a running process and every process it started, and waits for its end; afterwards
  // GetExitCode reports a code that is neither 0 nor kOsStillActive. The handle stays to be
  // closed.
  virtual void KillProcess(ProcessHandle process) = 0;

  // --- Time ---
  virtual void Sleep(uint32_t milliseconds) = 0;
  // Seconds since 1 January 1970 UTC.
  virtual int32_t Now() = 0;
  // Milliseconds on a clock that never goes back, for measuring how long something takes.
  virtual uint64_t MonotonicMs() = 0;

  // --- Files --- (true on success)
  virtual bool DeleteFile(const char* path) = 0;
  // Whether DeleteFile could delete the file now (its folder lets files be removed).
  virtual bool CanDeleteFile(const char* path) = 0;
  // Copies, replacing an existing target: the copy is written under a temporary name beside the
  // target and renamed over it, so a target that is a symbolic link is replaced, never written
  // through, and a failed copy leaves the old target.
  virtual bool CopyFile(const char* from, const char* to) = 0;
  // Moves (renames); fails when the target exists.
  virtual bool MoveFile(const char* from, const char* to) = 0;
  virtual bool FileExists(const char* path) = 0;
  // The short form of `path` into out (size bytes, terminated). On POSIX the short form is the
  // path itself; on Windows it is the 8.3 form, for a path that exists. Answers the length of the
  // result, or 0 when it does not fit or fails.
  virtual uint32_t GetShortPath(const char* path, char* out, uint32_t size) = 0;
  // Reads at most max_bytes bytes of the file as text (CR LF read as LF) into *text and its
  // length in bytes into *file_size. Answers false, without blocking, when the file cannot be
  // opened or is not a regular file (a symbolic link, a pipe, a device, a folder).
  virtual bool ReadTextFile(const char* path, uint64_t max_bytes, std::string* text,
                            uint64_t* file_size) = 0;

  // --- String resources ---
  // Loads string `id` of the module into buffer (size characters, terminator included), truncated
  // to fit and always terminated when size > 0. Answers the number of characters copied, without
  // the terminator; 0 when there is no such string or size is 0.
  virtual int32_t LoadString(ModuleInstance module, uint32_t id, char* buffer, int32_t size) = 0;
};

#endif  // DBC_CONDUIT_PLATFORM_OS_SERVICES_H_
