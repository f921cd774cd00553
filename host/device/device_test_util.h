// A fixture with a fresh device image in a temporary folder, for the device's tests.
#ifndef DBC_HOST_DEVICE_DEVICE_TEST_UTIL_H_
#define DBC_HOST_DEVICE_DEVICE_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/device/device_control.h"
#include "sdk/sync_manager.h"
#include "tests/support/test_files.h"

class DeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ + "/device.db";
    std::string error;
    ASSERT_EQ(kDeviceOk, DeviceCreateImage(path_, "Ann Smith", &error)) << error;
    ASSERT_EQ(kDeviceOk, DeviceOpenImage(path_, &error)) << error;
  }
  void TearDown() override { DeviceCloseImage(); }

  // Creates "DatebookDB" through the sync manager and answers its handle.
  uint8_t CreateDatebook() {
    CreateRequest request{};
    request.creator = 0x64617465;
    request.database_type = 0x44415441;
    std::snprintf(request.database_name, sizeof request.database_name, "DatebookDB");
    EXPECT_EQ(kDeviceOk, DevCreateDatabase(&request));
    return request.db_handle;
  }

  // Writes a record through the sync manager; answers the code, *id gets the record's ID.
  static int32_t Write(uint8_t handle, uint32_t id, uint8_t attributes, int16_t category,
                       const std::string& data, uint32_t* id_out = nullptr) {
    RecordRequest request{};
    std::vector<uint8_t> bytes(data.begin(), data.end());
    request.db_handle = handle;
    request.record_id = id;
    request.attributes = attributes;
    request.category = category;
    request.data_size = static_cast<uint32_t>(bytes.size());
    request.buffer_size = static_cast<uint16_t>(bytes.size());
    request.buffer = bytes.data();
    int32_t result = DevWriteRecord(&request);
    if (id_out) *id_out = request.record_id;
    return result;
  }

  // The records of "DatebookDB" as "id:attributes:category:data" strings, in index order.
  static std::vector<std::string> Records() {
    std::vector<DeviceRecord> records;
    EXPECT_EQ(kDeviceOk, DeviceListRecords("DatebookDB", &records));
    std::vector<std::string> out;
    for (const DeviceRecord& r : records) {
      out.push_back(std::to_string(r.id) + ":" + std::to_string(r.attributes) + ":" +
                    std::to_string(r.category) + ":" + std::string(r.data.begin(), r.data.end()));
    }
    return out;
  }

  test_support::CScratchFolder scratch_{"hsdev"};
  std::string dir_ = scratch_.Root();
  std::string path_;
};

#endif  // DBC_HOST_DEVICE_DEVICE_TEST_UTIL_H_
