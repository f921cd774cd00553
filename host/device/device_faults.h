// Fault injection of the emulated handheld: per-operation call counts, "fail the Nth call" rules
// and the lost link. Not thread-safe by itself; the device state's lock guards it.
#ifndef DBC_HOST_DEVICE_DEVICE_FAULTS_H_
#define DBC_HOST_DEVICE_DEVICE_FAULTS_H_

#include <stdint.h>

#include <vector>

#include "host/device/device_control.h"

class CDeviceFaults {
 public:
  // Counts one call of `op` and answers the code it must fail with, or kDeviceOk.
  int32_t OnCall(DeviceOp op);
  void FailCall(DeviceOp op, uint32_t nth, int32_t code);
  // The nth call of op ends the process (see DeviceCrashAt).
  void CrashAt(DeviceOp op, uint32_t nth);
  void LoseLinkAfter(uint32_t calls);
  // Removes every rule and restores the link; the counts stay.
  void Clear();
  void ResetCounts();
  uint32_t Count(DeviceOp op) const;

 private:
  struct Rule {
    DeviceOp op;
    uint32_t fires_at;  // the value of the op's count at which the rule fires
    int32_t code;
    bool crash;
  };
  std::vector<Rule> rules_;
  uint32_t counts_[kDeviceOpCount] = {};
  bool link_rule_ = false;
  uint32_t link_lost_after_ = 0;  // the count of all calls after which the link goes
  bool link_lost_ = false;
};

#endif  // DBC_HOST_DEVICE_DEVICE_FAULTS_H_
