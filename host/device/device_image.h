// The device image: one SQLite file with the handheld's settings, databases and records.
//
// Every changing operation is one transaction, committed before it returns; a failed one leaves
// the file as it was. Operations answer kDeviceOk or a kDeviceErr* code (device_control.h).
#ifndef DBC_HOST_DEVICE_DEVICE_IMAGE_H_
#define DBC_HOST_DEVICE_DEVICE_IMAGE_H_

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/device/device_control.h"

struct sqlite3;

class CDeviceImage {
 public:
  // Writes a new image at `path`; fails with kDeviceErrImage when `path` exists.
  static int32_t Create(const std::string& path, const std::string& user_name, std::string* error);
  // Opens and checks an image, waiting up to busy_wait_ms while another program has it locked;
  // null with *error set when it is missing, foreign, corrupt or still busy.
  static std::unique_ptr<CDeviceImage> Open(const std::string& path, uint32_t busy_wait_ms,
                                            std::string* error);
  ~CDeviceImage();
  CDeviceImage(const CDeviceImage&) = delete;
  CDeviceImage& operator=(const CDeviceImage&) = delete;

  // Device-wide values: "user_name", "rom_major", "last_desktop".
  int32_t GetValue(const std::string& name, std::string* value);
  int32_t SetValue(const std::string& name, const std::string& value);

  int32_t FindDatabase(const std::string& name, uint8_t card, int64_t* db);
  int32_t AddDatabase(const DeviceDatabase& database, int64_t* db);
  int32_t ListDatabases(std::vector<DeviceDatabase>* databases);

  // The record at `index` in index order.
  int32_t RecordAt(int64_t db, uint32_t index, DeviceRecord* record);
  // The first record after `*position` (the image's ordering key) that is dirty, deleted or
  // archived; *position and *index receive where it stands.
  int32_t NextChanged(int64_t db, int64_t* position, DeviceRecord* record, uint32_t* index);
  int32_t RecordWithId(int64_t db, uint32_t id, DeviceRecord* record, uint32_t* index);
  // Id 0 adds under a new ID; an existing ID is replaced in place; an unknown one is added at the
  // end under that ID. record->id holds the ID on return.
  int32_t PutRecord(int64_t db, DeviceRecord* record);
  int32_t RemoveRecord(int64_t db, uint32_t id);
  int32_t ListRecords(int64_t db, std::vector<DeviceRecord>* records);
  int32_t PurgeRemoved(int64_t db);
  // Clears every record's dirty bit and records `desktop_id` as the last desktop.
  int32_t ClearSyncFlags(int64_t db, const std::string& desktop_id);
  // Moves the records of category `from` to `to`; with `mark_dirty` they are marked dirty too.
  int32_t ChangeCategory(int64_t db, uint8_t from, uint8_t to, bool mark_dirty = false);
  // Removes every database with its records and forgets the last desktop.
  int32_t HardReset();
  int32_t GetAppInfo(int64_t db, std::vector<uint8_t>* block);
  int32_t SetAppInfo(int64_t db, const std::vector<uint8_t>& block);

 private:
  explicit CDeviceImage(sqlite3* db) : db_(db) {}
  // Runs `body` inside one transaction; commits when it answers kDeviceOk, else rolls back.
  template <typename Body>
  int32_t InTransaction(Body body);
  int32_t Exec(const char* sql);
  // The positions (the ordering key) of a database's records in index order, kept between calls
  // so that reading by index and finding a record's index cost O(log n), not a scan of the
  // table; a new record is appended to them, a removal makes them read again.
  int32_t Positions(int64_t db, const std::vector<int64_t>** list);
  int32_t IndexOf(int64_t db, int64_t position, uint32_t* index);

  struct CPositions {
    bool valid = false;
    std::vector<int64_t> list;
  };
  sqlite3* db_;
  std::map<int64_t, CPositions> positions_;
};

#endif  // DBC_HOST_DEVICE_DEVICE_IMAGE_H_
