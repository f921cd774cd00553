// The current device of the process, shared by the sync manager calls and the control calls.
#ifndef DBC_HOST_DEVICE_DEVICE_STATE_H_
#define DBC_HOST_DEVICE_DEVICE_STATE_H_

#include <stdint.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "host/device/device_faults.h"
#include "host/device/device_image.h"

struct OpenDatabase {
  int64_t db = 0;
  uint8_t mode = 0;
  int64_t changed_position = 0;  // where DevReadNextChanged goes on from
};

struct DeviceState {
  std::mutex mutex;
  std::unique_ptr<CDeviceImage> image;
  std::map<uint8_t, OpenDatabase> handles;
  CDeviceFaults faults;
  uint32_t yield_count = 0;
  std::string desktop_id;
  uint32_t next_session = 1;
  uint32_t busy_wait_ms = 2000;
};

// The one state of the process. Callers hold its mutex while they use it.
DeviceState& CurrentDevice();

#endif  // DBC_HOST_DEVICE_DEVICE_STATE_H_
