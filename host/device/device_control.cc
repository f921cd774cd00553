// The control calls of the emulated handheld: which image is connected, direct access to its
// databases, fault injection.
#include "host/device/device_control.h"

#include <string>

#include "host/device/device_state.h"

DeviceState& CurrentDevice() {
  static DeviceState state;
  return state;
}

namespace {

constexpr size_t kMaxNameLength = 31;

// Holds the device lock; `image` is null when no device is connected.
class CControl {
 public:
  CControl() : state_(CurrentDevice()), lock_(state_.mutex) {}
  DeviceState& state() { return state_; }
  CDeviceImage* image() { return state_.image.get(); }
  // The database `name` on card 0.
  int32_t Find(const std::string& name, int64_t* db) {
    if (!image()) return kDeviceErrNoDevice;
    return image()->FindDatabase(name, 0, db);
  }

 private:
  DeviceState& state_;
  std::lock_guard<std::mutex> lock_;
};

void Disconnect(DeviceState& state) {
  state.image.reset();
  state.handles.clear();
  state.faults.ResetCounts();
  state.yield_count = 0;
}

}  // namespace

int32_t DeviceCreateImage(const std::string& path, const std::string& user_name,
                          std::string* error) {
  std::string message;
  int32_t result = CDeviceImage::Create(path, user_name, &message);
  if (error) *error = message;
  return result;
}

int32_t DeviceOpenImage(const std::string& path, std::string* error) {
  CControl control;
  Disconnect(control.state());
  std::string message;
  control.state().image = CDeviceImage::Open(path, control.state().busy_wait_ms, &message);
  if (error) *error = message;
  return control.image() ? kDeviceOk : kDeviceErrImage;
}

void DeviceSetBusyWait(uint32_t milliseconds) {
  CControl control;
  control.state().busy_wait_ms = milliseconds;
}

void DeviceCloseImage() {
  CControl control;
  Disconnect(control.state());
}

bool DeviceIsOpen() {
  return CControl().image() != nullptr;
}

int32_t DeviceGetUserName(std::string* name) {
  CControl control;
  if (!control.image()) return kDeviceErrNoDevice;
  return control.image()->GetValue("user_name", name);
}

int32_t DeviceSetUserName(const std::string& name) {
  CControl control;
  if (!control.image()) return kDeviceErrNoDevice;
  return control.image()->SetValue("user_name", name);
}

int32_t DeviceSetRomMajor(uint8_t major) {
  CControl control;
  if (!control.image()) return kDeviceErrNoDevice;
  return control.image()->SetValue("rom_major", std::to_string(major));
}

void DeviceSetDesktopId(const std::string& desktop_id) {
  CControl().state().desktop_id = desktop_id;
}

int32_t DeviceGetLastDesktopId(std::string* desktop_id) {
  CControl control;
  if (!control.image()) return kDeviceErrNoDevice;
  return control.image()->GetValue("last_desktop", desktop_id);
}

uint32_t DeviceYieldCount() {
  return CControl().state().yield_count;
}
void DeviceResetYieldCount() {
  CControl().state().yield_count = 0;
}

int32_t DeviceAddDatabase(const DeviceDatabase& database) {
  if (database.name.empty() || database.name.size() > kMaxNameLength ||
      database.name.find('\0') != std::string::npos) {
    return kDeviceErrBadArgument;
  }
  CControl control;
  if (!control.image()) return kDeviceErrNoDevice;
  int64_t db;
  return control.image()->AddDatabase(database, &db);
}

int32_t DeviceListDatabases(std::vector<DeviceDatabase>* databases) {
  CControl control;
  if (!control.image()) return kDeviceErrNoDevice;
  return control.image()->ListDatabases(databases);
}

int32_t DevicePutRecord(const std::string& database, DeviceRecord* record) {
  CControl control;
  int64_t db;
  int32_t found = control.Find(database, &db);
  return found != kDeviceOk ? found : control.image()->PutRecord(db, record);
}

int32_t DeviceGetRecord(const std::string& database, uint32_t id, DeviceRecord* record) {
  CControl control;
  int64_t db;
  int32_t found = control.Find(database, &db);
  uint32_t index;
  return found != kDeviceOk ? found : control.image()->RecordWithId(db, id, record, &index);
}

int32_t DeviceListRecords(const std::string& database, std::vector<DeviceRecord>* records) {
  CControl control;
  int64_t db;
  int32_t found = control.Find(database, &db);
  return found != kDeviceOk ? found : control.image()->ListRecords(db, records);
}

int32_t DeviceRemoveRecord(const std::string& database, uint32_t id) {
  CControl control;
  int64_t db;
  int32_t found = control.Find(database, &db);
  return found != kDeviceOk ? found : control.image()->RemoveRecord(db, id);
}

int32_t DeviceGetAppInfo(const std::string& database, std::vector<uint8_t>* block) {
  CControl control;
  int64_t db;
  int32_t found = control.Find(database, &db);
  return found != kDeviceOk ? found : control.image()->GetAppInfo(db, block);
}

int32_t DeviceSetAppInfo(const std::string& database, const std::vector<uint8_t>& block) {
  CControl control;
  int64_t db;
  int32_t found = control.Find(database, &db);
  return found != kDeviceOk ? found : control.image()->SetAppInfo(db, block);
}

int32_t DeviceMoveCategory(const std::string& database, uint8_t from, uint8_t to) {
  CControl control;
  int64_t db;
  int32_t found = control.Find(database, &db);
  return found != kDeviceOk ? found : control.image()->ChangeCategory(db, from, to, true);
}

int32_t DeviceHardReset() {
  CControl control;
  if (!control.image()) return kDeviceErrNoDevice;
  // Handles of the removed databases must not reach another database later.
  control.state().handles.clear();
  return control.image()->HardReset();
}

void DeviceFailCall(DeviceOp op, uint32_t nth, int32_t code) {
  CControl().state().faults.FailCall(op, nth, code);
}

void DeviceCrashAt(DeviceOp op, uint32_t nth) {
  CControl().state().faults.CrashAt(op, nth);
}

void DeviceLoseLinkAfter(uint32_t calls) {
  CControl().state().faults.LoseLinkAfter(calls);
}

void DeviceClearFaults() {
  CControl().state().faults.Clear();
}

uint32_t DeviceCallCount(DeviceOp op) {
  return CControl().state().faults.Count(op);
}
