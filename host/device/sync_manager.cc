// The sync manager calls, acting on the current device image.
//
// Every call first passes fault injection (which may answer for it), then needs a connected
// device, then checks its arguments. A call that changes the device commits before it answers.
#include "sdk/sync_manager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/device/device_state.h"
#include "sdk/fault_points.h"

namespace {

constexpr uint8_t kMaxHandles = 32;
constexpr int kCategoryCount = 16;
constexpr char kSystemName[] = "Emulated handheld";

// Serialises the calls and runs fault injection; `result` is 0 when the call may go on.
class CCall {
 public:
  explicit CCall(DeviceOp op) : state_(CurrentDevice()), lock_(state_.mutex) {
    result_ = state_.faults.OnCall(op);
    if (result_ == kDeviceOk && !state_.image) result_ = kDeviceErrNoDevice;
  }
  int32_t result() const { return result_; }
  DeviceState& state() { return state_; }
  CDeviceImage& image() { return *state_.image; }
  // The open database of `handle`, or null.
  OpenDatabase* Database(uint8_t handle) {
    auto it = state_.handles.find(handle);
    return it == state_.handles.end() ? nullptr : &it->second;
  }

 private:
  DeviceState& state_;
  std::lock_guard<std::mutex> lock_;
  int32_t result_;
};

// A name field of `size` bytes must hold its terminator.
bool TerminatedName(const char* name, size_t size) {
  return name != nullptr && std::memchr(name, '\0', size) != nullptr;
}

int32_t NewHandle(DeviceState& state, int64_t db, uint8_t mode, uint8_t* handle) {
  for (uint8_t h = 1; h <= kMaxHandles; ++h) {
    if (state.handles.count(h) == 0) {
      state.handles[h] = OpenDatabase{db, mode, 0};
      *handle = h;
      return kDeviceOk;
    }
  }
  return kDeviceErrTooManyOpen;
}

// Fills a request from a record. Copies what fits the caller's buffer; data_size is the record's
// full size, so a caller with a short buffer learns how much it missed.
int32_t FillRequest(const DeviceRecord& record, uint32_t index, RecordRequest* request) {
  request->record_id = record.id;
  request->record_index = static_cast<uint16_t>(index);
  request->attributes = record.attributes;
  request->category = static_cast<int16_t>(record.category);
  uint32_t size = static_cast<uint32_t>(record.data.size());
  request->data_size = size;
  uint8_t* buffer = request->buffer;
  uint32_t room = request->buffer_size;
  if (buffer == nullptr) return kDeviceOk;
  uint32_t copied = size < room ? size : room;
  if (copied > 0) std::memcpy(buffer, record.data.data(), copied);
  return size > room ? kDeviceErrBufferSmall : kDeviceOk;
}

// The open database that a changing call may use, or the code to answer.
int32_t WritableDatabase(CCall& call, uint8_t handle, OpenDatabase** open) {
  *open = call.Database(handle);
  if (*open == nullptr) return kDeviceErrBadHandle;
  if (((*open)->mode & kDeviceModeWrite) == 0) return kDeviceErrReadOnly;
  return kDeviceOk;
}

}  // namespace

extern "C" {

int32_t DevBeginSession(uint32_t* session) {
  CCall call(kDeviceOpBeginSession);
  if (call.result() != kDeviceOk) return call.result();
  if (session == nullptr) return kDeviceErrBadArgument;
  *session = call.state().next_session++;
  return kDeviceOk;
}

int32_t DevEndSession(uint32_t session) {
  CCall call(kDeviceOpEndSession);
  if (call.result() != kDeviceOk) return call.result();
  if (session == 0 || session >= call.state().next_session) return kDeviceErrBadArgument;
  // The conduit is done with the handheld: whatever it left open is closed.
  call.state().handles.clear();
  return kDeviceOk;
}

int32_t DevOpenDatabase(const char* name, uint8_t card, uint8_t* handle, uint8_t mode) {
  CCall call(kDeviceOpOpenDatabase);
  if (call.result() != kDeviceOk) return call.result();
  if (name == nullptr || handle == nullptr || !TerminatedName(name, 32)) {
    return kDeviceErrBadArgument;
  }
  if ((mode & kDeviceModeRead) == 0) return kDeviceErrBadArgument;
  int64_t db;
  int32_t found = call.image().FindDatabase(name, card, &db);
  if (found != kDeviceOk) return found;
  return NewHandle(call.state(), db, mode, handle);
}

int32_t DevCreateDatabase(CreateRequest* request) {
  CCall call(kDeviceOpCreateDatabase);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  if (!TerminatedName(request->database_name, sizeof request->database_name) ||
      request->database_name[0] == '\0') {
    return kDeviceErrBadArgument;
  }
  if (call.state().handles.size() >= kMaxHandles) return kDeviceErrTooManyOpen;
  DeviceDatabase database;
  database.name = request->database_name;
  database.card = request->card_number;
  database.creator = request->creator;
  database.type = request->database_type;
  database.flags = request->flags;
  database.version = request->version;
  int64_t db;
  int32_t added = call.image().AddDatabase(database, &db);
  if (added != kDeviceOk) return added;
  uint8_t handle = 0;
  int32_t opened = NewHandle(call.state(), db, kSyncOpenModeReadWrite, &handle);
  request->db_handle = handle;
  return opened;
}

int32_t DevCloseDatabase(uint8_t handle) {
  CCall call(kDeviceOpCloseDatabase);
  if (call.result() != kDeviceOk) return call.result();
  return call.state().handles.erase(handle) == 1 ? kDeviceOk : kDeviceErrBadHandle;
}

int32_t DevClearSyncFlags(uint8_t handle) {
  CCall call(kDeviceOpClearSyncFlags);
  if (call.result() != kDeviceOk) return call.result();
  OpenDatabase* open;
  int32_t usable = WritableDatabase(call, handle, &open);
  if (usable != kDeviceOk) return usable;
  return call.image().ClearSyncFlags(open->db, call.state().desktop_id);
}

int32_t DevReadRecordAt(RecordRequest* request) {
  CCall call(kDeviceOpReadRecordAt);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  OpenDatabase* open = call.Database(request->db_handle);
  if (open == nullptr) return kDeviceErrBadHandle;
  uint32_t index = request->record_index;
  DeviceRecord record;
  int32_t found = call.image().RecordAt(open->db, index, &record);
  return found != kDeviceOk ? found : FillRequest(record, index, request);
}

int32_t DevReadNextChanged(RecordRequest* request) {
  CCall call(kDeviceOpReadNextChanged);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  OpenDatabase* open = call.Database(request->db_handle);
  if (open == nullptr) return kDeviceErrBadHandle;
  int64_t position = open->changed_position;
  DeviceRecord record;
  uint32_t index = 0;
  int32_t found = call.image().NextChanged(open->db, &position, &record, &index);
  if (found != kDeviceOk) return found;
  int32_t filled = FillRequest(record, index, request);
  // A record that did not fit is offered again, so that a larger buffer can fetch it.
  if (filled == kDeviceOk) open->changed_position = position;
  return filled;
}

int32_t DevReadRecordWithId(RecordRequest* request) {
  CCall call(kDeviceOpReadRecordWithId);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  OpenDatabase* open = call.Database(request->db_handle);
  if (open == nullptr) return kDeviceErrBadHandle;
  DeviceRecord record;
  uint32_t index = 0;
  int32_t found = call.image().RecordWithId(open->db, request->record_id, &record, &index);
  return found != kDeviceOk ? found : FillRequest(record, index, request);
}

int32_t DevWriteRecord(RecordRequest* request) {
  CCall call(kDeviceOpWriteRecord);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  OpenDatabase* open;
  int32_t usable = WritableDatabase(call, request->db_handle, &open);
  if (usable != kDeviceOk) return usable;
  uint32_t size = request->data_size;
  uint32_t room = request->buffer_size;
  int16_t category = request->category;
  const uint8_t* buffer = request->buffer;
  if (size > kDeviceMaxRecordSize) return kDeviceErrTooLarge;
  // Never read past the caller's buffer.
  if (size > room || (size > 0 && buffer == nullptr)) return kDeviceErrBadArgument;
  if (category < 0 || category >= kCategoryCount) return kDeviceErrBadArgument;
  DeviceRecord record;
  record.id = request->record_id;
  record.attributes = request->attributes;
  record.category = static_cast<uint8_t>(category);
  if (size > 0) record.data.assign(buffer, buffer + size);
  int32_t written = call.image().PutRecord(open->db, &record);
  if (written == kDeviceOk) request->record_id = record.id;
  return written;
}

int32_t DevDeleteRecord(RecordRequest* request) {
  CCall call(kDeviceOpDeleteRecord);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  OpenDatabase* open;
  int32_t usable = WritableDatabase(call, request->db_handle, &open);
  if (usable != kDeviceOk) return usable;
  return call.image().RemoveRecord(open->db, request->record_id);
}

int32_t DevPurgeRemoved(uint8_t handle) {
  CCall call(kDeviceOpPurgeRemoved);
  if (call.result() != kDeviceOk) return call.result();
  OpenDatabase* open;
  int32_t usable = WritableDatabase(call, handle, &open);
  if (usable != kDeviceOk) return usable;
  return call.image().PurgeRemoved(open->db);
}

int32_t DevReadAppInfo(uint8_t handle, AppInfoRequest* request) {
  CCall call(kDeviceOpReadAppInfo);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  OpenDatabase* open = call.Database(handle);
  if (open == nullptr) return kDeviceErrBadHandle;
  uint8_t* buffer = request->buffer;
  uint32_t room = request->buffer_size;
  if (buffer == nullptr) return kDeviceErrBadArgument;
  std::vector<uint8_t> block;
  int32_t found = call.image().GetAppInfo(open->db, &block);
  if (found != kDeviceOk) return found;
  uint32_t size = static_cast<uint32_t>(block.size());
  uint32_t copied = size < room ? size : room;
  if (copied > 0) std::memcpy(buffer, block.data(), copied);
  // buffer_size now says how much of the buffer is the block, so that writing the request back
  // unchanged stores the block as it was.
  request->buffer_size = static_cast<uint16_t>(copied);
  return size > room ? kDeviceErrBufferSmall : kDeviceOk;
}

int32_t DevWriteAppInfo(uint8_t handle, AppInfoRequest* request) {
  CCall call(kDeviceOpWriteAppInfo);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  OpenDatabase* open;
  int32_t usable = WritableDatabase(call, handle, &open);
  if (usable != kDeviceOk) return usable;
  const uint8_t* buffer = request->buffer;
  uint32_t size = request->buffer_size;
  if (buffer == nullptr && size > 0) return kDeviceErrBadArgument;
  std::vector<uint8_t> block(buffer, buffer + size);
  return call.image().SetAppInfo(open->db, block);
}

int32_t SyncChangeCategory(uint8_t handle, uint8_t from, uint8_t to) {
  CCall call(kDeviceOpChangeCategory);
  if (call.result() != kDeviceOk) return call.result();
  OpenDatabase* open;
  int32_t usable = WritableDatabase(call, handle, &open);
  if (usable != kDeviceOk) return usable;
  return call.image().ChangeCategory(open->db, from, to);
}

int32_t SyncReadSystemInfo(SystemInfoRequest* request) {
  CCall call(kDeviceOpReadSystemInfo);
  if (call.result() != kDeviceOk) return call.result();
  if (request == nullptr) return kDeviceErrBadArgument;
  std::string major;
  int32_t read = call.image().GetValue("rom_major", &major);
  if (read != kDeviceOk) return read;
  uint32_t major_number = static_cast<uint32_t>(std::strtoul(major.c_str(), nullptr, 10)) & 0xFF;
  request->rom_version = major_number << 24;
  uint8_t* buffer = request->buffer;
  uint8_t length = request->buffer_length;
  if (buffer != nullptr && length > 0) {
    size_t copied = std::min<size_t>(sizeof kSystemName - 1, length - 1u);
    std::memcpy(buffer, kSystemName, copied);
    buffer[copied] = '\0';
  }
  return kDeviceOk;
}

int32_t SyncYieldCycles(uint16_t /*cycles*/) {
  DeviceState& state = CurrentDevice();
  std::lock_guard<std::mutex> lock(state.mutex);
  ++state.yield_count;
  // Yielding needs no device, but a lost link shows here too.
  return state.faults.OnCall(kDeviceOpYieldCycles);
}

// The conduit's file operations pass the fault rules of the emulated handheld, so that one rule
// set, counted in one place, can cut a synchronisation off at any of its steps.
int32_t HsFaultPoint(const char* operation) {
  DeviceOp op = kDeviceOpAny;
  if (operation == nullptr || !DeviceOpFromName(operation, &op) || op < kDeviceOpFileSave) {
    return kDeviceOk;
  }
  DeviceState& state = CurrentDevice();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.faults.OnCall(op);
}

}  // extern "C"
