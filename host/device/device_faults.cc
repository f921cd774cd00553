#include "host/device/device_faults.h"

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
                                                  "yield"};

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
  bool counted = op != kDeviceOpYieldCycles;
  if (counted) ++counts_[kDeviceOpAny];
  ++counts_[op];
  if (link_lost_) return kDeviceErrLinkLost;
  if (counted && link_rule_ && counts_[kDeviceOpAny] > link_lost_after_) {
    link_lost_ = true;
    return kDeviceErrLinkLost;
  }
  for (size_t i = 0; i < rules_.size(); ++i) {
    const Rule& rule = rules_[i];
    bool matches = rule.op == op || (rule.op == kDeviceOpAny && counted);
    if (matches && counts_[rule.op] == rule.fires_at) {
      int32_t code = rule.code;
      rules_.erase(rules_.begin() + static_cast<std::ptrdiff_t>(i));
      return code;
    }
  }
  return kDeviceOk;
}

void CDeviceFaults::FailCall(DeviceOp op, uint32_t nth, int32_t code) {
  if (op < 0 || op >= kDeviceOpCount) return;
  rules_.push_back(Rule{op, counts_[op] + (nth == 0 ? 1 : nth), code});
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
