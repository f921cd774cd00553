#include "conduit/platform/fake_os_services.h"

#include <cstring>

namespace {
constexpr int32_t kFakeNotFound = 2;
constexpr int32_t kFakeMoreData = 234;
constexpr int32_t kFakeDenied = 5;

std::string JoinKey(const std::string& base, const char* path) {
  std::string p = path ? path : "";
  if (base.empty()) return p;
  return p.empty() ? base : base + "/" + p;
}
}  // namespace

void CFakeOsServices::SetNumberValue(const std::string& key, const std::string& name,
                                     uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  keys_[key][name] = bytes;
}

void CFakeOsServices::SetTextValue(const std::string& key, const std::string& name,
                                   const std::string& text) {
  keys_[key][name] = text + std::string(1, '\0');
}

void CFakeOsServices::EraseValue(const std::string& key, const std::string& name) {
  keys_[key].erase(name);
}

void CFakeOsServices::AddKey(const std::string& key) {
  keys_[key];
}

bool CFakeOsServices::HasValue(const std::string& key, const std::string& name) const {
  auto k = keys_.find(key);
  return k != keys_.end() && k->second.count(name) != 0;
}

uint32_t CFakeOsServices::NumberValue(const std::string& key, const std::string& name) const {
  const std::string& bytes = keys_.at(key).at(name);
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < bytes.size(); ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

std::string CFakeOsServices::TextValue(const std::string& key, const std::string& name) const {
  return std::string(keys_.at(key).at(name).c_str());
}

int32_t CFakeOsServices::OpenKey(SettingsKey root, const char* path, bool for_write,
                                 SettingsKey* key) {
  *key = nullptr;
  std::string base;
  if (root != root_) {
    bool known = false;
    for (const auto& opened : opened_) {
      if (reinterpret_cast<SettingsKey>(opened.get()) == root) {
        base = opened->path;
        known = true;
      }
    }
    if (!known) return kFakeNotFound;
  }
  std::string full = JoinKey(base, path);
  if (keys_.count(full) == 0) return kFakeNotFound;
  if (for_write && fail_open_for_write) return kFakeDenied;
  opened_.push_back(std::make_unique<OpenedKey>(OpenedKey{full}));
  *key = reinterpret_cast<SettingsKey>(opened_.back().get());
  return 0;
}

void CFakeOsServices::CloseKey(SettingsKey key) {
  for (auto it = opened_.begin(); it != opened_.end(); ++it) {
    if (reinterpret_cast<SettingsKey>(it->get()) == key) {
      opened_.erase(it);
      return;
    }
  }
}

int32_t CFakeOsServices::ReadValue(SettingsKey key, const char* name, void* buffer, uint32_t size) {
  auto* opened = reinterpret_cast<OpenedKey*>(key);
  auto k = keys_.find(opened->path);
  if (k == keys_.end()) return kFakeNotFound;
  auto v = k->second.find(name);
  if (v == k->second.end()) return kFakeNotFound;
  if (v->second.size() > size) return kFakeMoreData;
  std::memcpy(buffer, v->second.data(), v->second.size());
  return 0;
}

int32_t CFakeOsServices::SetNumber(SettingsKey key, const char* name, uint32_t value) {
  if (fail_set_value) return kFakeDenied;
  SetNumberValue(reinterpret_cast<OpenedKey*>(key)->path, name, value);
  return 0;
}

int32_t CFakeOsServices::SetText(SettingsKey key, const char* name, const char* text,
                                 uint32_t length) {
  if (fail_set_value) return kFakeDenied;
  std::string value = length == 0 ? std::string() : std::string(text, length);
  SetTextValue(reinterpret_cast<OpenedKey*>(key)->path, name, value.c_str());
  return 0;
}

int32_t CFakeOsServices::CreateProcess(const char* command_line, const char* environment,
                                       ProcessHandle* process) {
  Launch launch{command_line, SplitEnvironmentBlock(environment), ""};
  const char* end = environment;
  while (end && (end[0] != '\0' || end[1] != '\0')) ++end;
  if (environment) launch.raw_environment.assign(environment, end + 2);
  launches.push_back(launch);
  Script script;
  if (!scripts.empty()) {
    script = scripts.front();
    scripts.pop_front();
  }
  *process = 0;
  if (script.create_error != 0) return script.create_error;
  running_.push_back(script);
  *process = static_cast<ProcessHandle>(running_.size());
  return 0;
}

int32_t CFakeOsServices::GetExitCode(ProcessHandle process, int32_t* exit_code) {
  ++exit_code_reads;
  Script& script = running_.at(static_cast<size_t>(process) - 1);
  if (script.polls_running > 0) {
    --script.polls_running;
    *exit_code = kOsStillActive;
  } else {
    *exit_code = script.exit_code;
  }
  return 0;
}

void CFakeOsServices::CloseProcess(ProcessHandle /*process*/) {}

void CFakeOsServices::KillProcess(ProcessHandle process) {
  kills.push_back(process);
  Script& script = running_.at(static_cast<size_t>(process) - 1);
  script.polls_running = 0;
  script.exit_code = kKilledExitCode;
}

void CFakeOsServices::FailFileOperation(FileOp op, const std::string& file_name) {
  file_faults_.emplace_back(op, file_name);
}

bool CFakeOsServices::FileOpFails(FileOp op, const char* path, const char* other_path) const {
  auto named = [](const char* p, const std::string& name) {
    if (p == nullptr) return false;
    std::string full = p;
    size_t slash = full.find_last_of('/');
    return full.substr(slash == std::string::npos ? 0 : slash + 1) == name;
  };
  for (const auto& [fault_op, name] : file_faults_) {
    if (fault_op == op && (named(path, name) || named(other_path, name))) return true;
  }
  return false;
}

bool CFakeOsServices::DeleteFile(const char* path) {
  return !FileOpFails(FileOp::kDelete, path) && CPosixOsServices::DeleteFile(path);
}

bool CFakeOsServices::CanDeleteFile(const char* path) {
  return !FileOpFails(FileOp::kCanDelete, path) && CPosixOsServices::CanDeleteFile(path);
}

bool CFakeOsServices::CopyFile(const char* from, const char* to) {
  return !FileOpFails(FileOp::kCopy, from, to) && CPosixOsServices::CopyFile(from, to);
}

bool CFakeOsServices::MoveFile(const char* from, const char* to) {
  return !FileOpFails(FileOp::kMove, from, to) && CPosixOsServices::MoveFile(from, to);
}
