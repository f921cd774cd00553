// The handheld program's commands: what a person does on the emulated handheld's Date Book.
#ifndef DBC_HOST_HANDHELD_HANDHELD_COMMANDS_H_
#define DBC_HOST_HANDHELD_HANDHELD_COMMANDS_H_

#include <string>
#include <vector>

// Exit statuses: 0 success, 1 not found or refused (also a missing home or device image, or an
// image the device library refuses), 2 bad usage.
enum { kHandheldOk = 0, kHandheldRefused = 1, kHandheldUsage = 2 };

struct HandheldOptions {
  std::string home;  // --home DIR; empty: the default home
  std::string command;
  std::vector<std::string> args;  // the command's own arguments
  bool help = false;
};

// Takes --home DIR and --help wherever they stand, except as the value of another option; the
// first other word is the command. False with *error on a --home without a value.
bool ParseHandheldOptions(const std::vector<std::string>& argv, HandheldOptions* options,
                          std::string* error);

// The usage of the program (command "") or of one command; null for an unknown command.
const char* HandheldUsage(const std::string& command);

// Runs a command; answers the exit status. Messages go to standard error as "handheld: ...".
int RunHandheld(const HandheldOptions& options);

int RunList(const HandheldOptions& options);
int RunAdd(const HandheldOptions& options);
int RunEdit(const HandheldOptions& options);
int RunDelete(const HandheldOptions& options, bool archive);
int RunCategories(const HandheldOptions& options);
int RunRaw(const HandheldOptions& options);
int RunReset(const HandheldOptions& options);

// Helpers of the commands.
int HandheldError(int status, const std::string& message);
// Connects the home's device image; prints the reason and answers false when it cannot.
bool Connect(const HandheldOptions& options);
// A record ID (1 to 4294967295, decimal); false for anything else.
bool ParseRecordId(const std::string& text, uint32_t* id);

#endif  // DBC_HOST_HANDHELD_HANDHELD_COMMANDS_H_
