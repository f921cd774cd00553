#include "host/device/device_faults.h"

#include <cstdlib>
#include <string>

namespace {

constexpr const char* kOpNames[kDeviceOpCount] = {"any",
                                                  "begin-session",
                                                  "end-session",
                                                  "open",
                                                  "create",
                                                  "close",
                                                  "clear-sync-flags",
                                                  "read-at",
                                                  "read-next-changed",
                                                  "read-by-id",
                                                  "write",
                                                  "delete",
                                                  "purge",
                                                  "read-app-info",
                                                  "write-app-info",
                                                  "change-category",
                                                  "read-system-info",
                                                  "yield",
                                                  "file-save",
                                                  "file-rename",
                                                  "file-delete",
                                                  "file-copy"};

bool IsFileOp(DeviceOp op) {
  return op >= kDeviceOpFileSave && op <= kDeviceOpFileCopy;
}

}  // namespace

const char* DeviceOpName(DeviceOp op) {
  return (op >= 0 && op < kDeviceOpCount) ? kOpNames[op] : "unknown";
}

bool DeviceOpFromName(const std::string& name, DeviceOp* op) {
  for (int i = 0; i < kDeviceOpCount; ++i) {
    if (name == kOpNames[i]) {
      *op = static_cast<DeviceOp>(i);
      return true;
    }
  }
  return false;
}

int32_t CDeviceFaults::OnCall(DeviceOp op) {
  // SyncYieldCycles is called as often as the host driver takes time; counting it among "any"
  // would make the Nth call depend on timing.
  // The conduit's file operations are no calls to the handheld: the link does not matter to them.
  bool counted = op != kDeviceOpYieldCycles && !IsFileOp(op);
  if (counted) ++counts_[kDeviceOpAny];
  ++counts_[op];
  if (link_lost_ && !IsFileOp(op)) return kDeviceErrLinkLost;
  if (counted && link_rule_ && counts_[kDeviceOpAny] > link_lost_after_) {
    link_lost_ = true;
    return kDeviceErrLinkLost;
  }
  for (size_t i = 0; i < rules_.size(); ++i) {
    const Rule& rule = rules_[i];
    bool matches = rule.op == op || (rule.op == kDeviceOpAny && counted);
    if (matches && counts_[rule.op] == rule.fires_at) {
      // _Exit flushes no stream and runs no destructor or exit handler: whatever the process had
      // not handed to the system is gone, as in a real crash.
      if (rule.crash) std::_Exit(kDeviceCrashExitStatus);
      int32_t code = rule.code;
      rules_.erase(rules_.begin() + static_cast<std::ptrdiff_t>(i));
      return code;
    }
  }
  return kDeviceOk;
}

void CDeviceFaults::FailCall(DeviceOp op, uint32_t nth, int32_t code) {
  if (op < 0 || op >= kDeviceOpCount) return;
  rules_.push_back(Rule{op, counts_[op] + (nth == 0 ? 1 : nth), code, false});
}

void CDeviceFaults::CrashAt(DeviceOp op, uint32_t nth) {
  if (op < 0 || op >= kDeviceOpCount) return;
  rules_.push_back(Rule{op, counts_[op] + (nth == 0 ? 1 : nth), 0, true});
}

void CDeviceFaults::LoseLinkAfter(uint32_t calls) {
  link_rule_ = true;
  link_lost_after_ = counts_[kDeviceOpAny] + calls;
  link_lost_ = false;
}

void CDeviceFaults::Clear() {
  rules_.clear();
  link_rule_ = false;
  link_lost_ = false;
}

void CDeviceFaults::ResetCounts() {
  Clear();
  for (uint32_t& count : counts_) count = 0;
}

uint32_t CDeviceFaults::Count(DeviceOp op) const {
  return (op >= 0 && op < kDeviceOpCount) ? counts_[op] : 0;
}
