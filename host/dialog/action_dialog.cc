// The change-action dialog: answered by a script, or asked on the terminal.
#include "sdk/action_dialog.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>

#include "host/dialog/dialog_control.h"

namespace {

constexpr int32_t kActionCount = 4;
constexpr const char* kActionNames[kActionCount] = {"Synchronize the files",
                                                    "Desktop overwrites handheld",
                                                    "Handheld overwrites Desktop", "Do nothing"};

struct ScriptState {
  std::mutex mutex;
  bool set = false;
  std::string script;
};

ScriptState& Script() {
  static ScriptState state;
  return state;
}

// The script in force: the one set through the API, else the environment's, else none.
bool CurrentScript(std::string* script) {
  ScriptState& state = Script();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.set) {
    *script = state.script;
    return true;
  }
  const char* env = std::getenv(kDialogScriptEnv);
  if (env == nullptr) return false;
  *script = env;
  return true;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

}  // namespace

void HsDialogSetScript(const std::string& script) {
  ScriptState& state = Script();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.set = true;
  state.script = script;
}

void HsDialogClearScript() {
  ScriptState& state = Script();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.set = false;
  state.script.clear();
}

bool ParseDialogScript(const std::string& raw, DialogAnswer* answer) {
  std::string script = Trim(raw);
  DialogAnswer result;
  if (script == "cancel") {
    *answer = result;
    return true;
  }
  result.ok = true;
  if (script == "ok") {
    *answer = result;
    return true;
  }
  std::string action = script;
  std::string flag;
  size_t comma = script.find(',');
  if (comma != std::string::npos) {
    action = Trim(script.substr(0, comma));
    flag = Trim(script.substr(comma + 1));
  }
  if (action.size() != 1 || action[0] < '0' || action[0] >= '0' + kActionCount) return false;
  result.action = action[0] - '0';
  if (comma != std::string::npos) {
    if (flag == "default") {
      result.flag = 1;
    } else if (flag == "once") {
      result.flag = 0;
    } else {
      return false;
    }
  }
  *answer = result;
  return true;
}

CHotSyncActionDlg::CHotSyncActionDlg(void* /*parent*/) {}
CHotSyncActionDlg::~CHotSyncActionDlg() = default;
void CHotSyncActionDlg::SetConduitName(const char* name) {
  conduit_name_ = name ? name : "";
}
const char* CHotSyncActionDlg::GetConduitName() const {
  return conduit_name_.c_str();
}
void CHotSyncActionDlg::SetActionIndex(int32_t index) {
  action_index_ = index;
}
int32_t CHotSyncActionDlg::GetActionIndex() const {
  return action_index_;
}
void CHotSyncActionDlg::SetDefaultFlag(int32_t flag) {
  default_flag_ = flag;
}
int32_t CHotSyncActionDlg::GetDefaultFlag() const {
  return default_flag_;
}

int32_t CHotSyncActionDlg::DoModal() {
  std::string script;
  if (CurrentScript(&script)) {
    DialogAnswer answer;
    if (!ParseDialogScript(script, &answer)) {
      std::fprintf(stderr, "action dialog: cannot read the script \"%s\"; cancelled\n",
                   script.c_str());
      return kDialogCancel;
    }
    if (!answer.ok) return kDialogCancel;
    if (answer.action >= 0) action_index_ = answer.action;
    if (answer.flag >= 0) default_flag_ = answer.flag;
    return kDialogOk;
  }
  if (!isatty(STDIN_FILENO)) return kDialogCancel;

  // On the terminal: the choice is kept aside until OK, so that a cancel changes nothing.
  int32_t action = (action_index_ >= 0 && action_index_ < kActionCount) ? action_index_ : 0;
  int32_t flag = default_flag_ != 0 ? 1 : 0;
  while (true) {
    std::cout << "Change HotSync Action for " << conduit_name_ << "\n";
    for (int32_t i = 0; i < kActionCount; ++i) {
      std::cout << (i == action ? " (*) " : " ( ) ") << i << "  " << kActionNames[i] << "\n";
    }
    std::cout << " [" << (flag ? 'x' : ' ') << "] d  Make this the default\n"
              << "Choose 0-3, d to toggle the default, Enter for OK, c to cancel: " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) {
      std::cout << "\n";
      return kDialogCancel;
    }
    line = Trim(line);
    if (line.empty()) {
      action_index_ = action;
      default_flag_ = flag;
      return kDialogOk;
    }
    if (line == "c" || line == "q") return kDialogCancel;
    if (line == "d") {
      flag = !flag;
    } else if (line.size() == 1 && line[0] >= '0' && line[0] < '0' + kActionCount) {
      action = line[0] - '0';
    } else {
      std::cout << "Not a choice: " << line << "\n";
    }
  }
}
