// The device image on SQLite. SQLite gives every changing call a committed transaction: a crash
// loses at most the call in progress.
#include "host/device/device_image.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/device/place_file.h"
#include "sdk/records.h"

namespace {

// Marks a file as a device image, so that another program's SQLite file is refused untouched.
constexpr int32_t kApplicationId = 0x48534456;
constexpr char kFormatVersion[] = "1";
constexpr char kSqliteMagic[] = "SQLite format 3";  // the first 16 bytes, NUL included
constexpr int kCategoryCount = 16;
constexpr uint8_t kChangedBits = kRecAttrDirty | kRecAttrDeleted | kRecAttrArchived;
constexpr uint8_t kRemovedBits = kRecAttrDeleted | kRecAttrArchived;

constexpr char kSchema[] =
    "CREATE TABLE device(name TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE databases(id INTEGER PRIMARY KEY, name TEXT NOT NULL, card INTEGER NOT NULL,"
    " creator INTEGER NOT NULL, type INTEGER NOT NULL, flags INTEGER NOT NULL,"
    " version INTEGER NOT NULL, app_info BLOB NOT NULL, next_record_id INTEGER NOT NULL,"
    " UNIQUE(name, card));"
    "CREATE TABLE records(db INTEGER NOT NULL, position INTEGER NOT NULL,"
    " record_id INTEGER NOT NULL, attributes INTEGER NOT NULL, category INTEGER NOT NULL,"
    " data BLOB NOT NULL, PRIMARY KEY(db, record_id), UNIQUE(db, position));";

// A prepared statement that finalizes itself.
class CStatement {
 public:
  CStatement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~CStatement() { sqlite3_finalize(stmt_); }
  CStatement(const CStatement&) = delete;
  CStatement& operator=(const CStatement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  CStatement& Bind(int i, int64_t value) {
    if (stmt_) sqlite3_bind_int64(stmt_, i, value);
    return *this;
  }
  CStatement& Bind(int i, const std::string& text) {
    if (stmt_)
      sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  CStatement& BindBlob(int i, const std::vector<uint8_t>& bytes) {
    // An empty vector's data() may be null, which SQLite would store as NULL, not as a blob.
    static const uint8_t kEmpty = 0;
    if (stmt_)
      sqlite3_bind_blob(stmt_, i, bytes.empty() ? &kEmpty : bytes.data(),
                        static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error.
  int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  // Runs a statement that returns no rows.
  int32_t Run() { return Step() == SQLITE_DONE ? kDeviceOk : kDeviceErrStorage; }
  int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
  std::string Text(int col) {
    const unsigned char* text = sqlite3_column_text(stmt_, col);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(stmt_, col)))
                : std::string();
  }
  std::vector<uint8_t> Blob(int col) {
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, col));
    int size = sqlite3_column_bytes(stmt_, col);
    return bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Reads a record row of the form (record_id, attributes, category, data).
void ReadRecordRow(CStatement& s, int first, DeviceRecord* record) {
  record->id = static_cast<uint32_t>(s.Int(first));
  record->attributes = static_cast<uint8_t>(s.Int(first + 1));
  record->category = static_cast<uint8_t>(s.Int(first + 2));
  record->data = s.Blob(first + 3);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

}  // namespace

std::vector<uint8_t> DeviceDefaultAppInfo() {
  std::vector<uint8_t> block(2 + 16 * kCategoryCount + kCategoryCount + 2, 0);
  std::memcpy(&block[2], "Unfiled", 7);  // name 0; ID 0 at offset 258 is already zero
  return block;
}

CDeviceImage::~CDeviceImage() {
  sqlite3_close(db_);
}

int32_t CDeviceImage::Exec(const char* sql) {
  return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK ? kDeviceOk
                                                                        : kDeviceErrStorage;
}

template <typename Body>
int32_t CDeviceImage::InTransaction(Body body) {
  if (Exec("BEGIN IMMEDIATE") != kDeviceOk) return kDeviceErrStorage;
  int32_t result = body();
  if (result == kDeviceOk && Exec("COMMIT") != kDeviceOk) result = kDeviceErrStorage;
  if (result != kDeviceOk) Exec("ROLLBACK");
  return result;
}

int32_t CDeviceImage::Create(const std::string& path, const std::string& user_name,
                             std::string* error) {
  if (FileExists(path)) {
    *error = "cannot create the device image " + path + ": the file exists";
    return kDeviceErrImage;
  }
  // Built under a temporary name and linked into place, so that a half-written image never
  // stands under the real name and an image created meanwhile is never overwritten.
  std::string temp = path + ".new-" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(temp.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<CDeviceImage> image(new CDeviceImage(raw));
  int32_t result = rc == SQLITE_OK ? kDeviceOk : kDeviceErrStorage;
  if (result == kDeviceOk) {
    result = image->InTransaction([&]() {
      std::string id = "PRAGMA application_id = " + std::to_string(kApplicationId);
      if (image->Exec(id.c_str()) != kDeviceOk || image->Exec(kSchema) != kDeviceOk) {
        return kDeviceErrStorage;
      }
      const char* kInsert = "INSERT INTO device(name, value) VALUES(?, ?)";
      const std::pair<const char*, std::string> kValues[] = {
          {"format", kFormatVersion},
          {"user_name", user_name},
          {"rom_major", std::to_string(kDeviceDefaultRomMajor)},
          {"last_desktop", ""}};
      for (const auto& [name, value] : kValues) {
        if (CStatement(image->db_, kInsert).Bind(1, name).Bind(2, value).Run() != kDeviceOk) {
          return kDeviceErrStorage;
        }
      }
      return kDeviceOk;
    });
  }
  std::string message = raw ? sqlite3_errmsg(raw) : "out of memory";
  image.reset();
  if (result == kDeviceOk && !PlaceNewFile(temp, path, &message)) result = kDeviceErrImage;
  ::unlink(temp.c_str());
  if (result != kDeviceOk) {
    *error = "cannot create the device image " + path + ": " + message;
    return kDeviceErrImage;
  }
  return kDeviceOk;
}

std::unique_ptr<CDeviceImage> CDeviceImage::Open(const std::string& path, uint32_t busy_wait_ms,
                                                 std::string* error) {
  // Look at the header before SQLite does: SQLite would take an empty or foreign file as a new
  // database and could write to it.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *error = "cannot open the device image " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  char header[sizeof kSqliteMagic] = {};
  size_t got = std::fread(header, 1, sizeof header, f);
  std::fclose(f);
  if (got != sizeof header || std::memcmp(header, kSqliteMagic, sizeof header) != 0) {
    *error = path + " is not a device image (not an SQLite database)";
    return nullptr;
  }
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<CDeviceImage> image(new CDeviceImage(raw));
  if (rc != SQLITE_OK) {
    *error = "cannot open the device image " + path + ": " +
             (raw ? sqlite3_errmsg(raw) : "out of memory");
    return nullptr;
  }
  sqlite3_busy_timeout(raw, static_cast<int>(busy_wait_ms));
  // A lock held by another program is no damage: saying "damaged" could make a person delete a
  // healthy image.
  auto busy = [&](int code) {
    int last = sqlite3_errcode(raw);
    if (code != SQLITE_BUSY && code != SQLITE_LOCKED && last != SQLITE_BUSY &&
        last != SQLITE_LOCKED) {
      return false;
    }
    *error = path + " is busy: another program is using it; try again when it has finished";
    return true;
  };
  CStatement app_id(raw, "PRAGMA application_id");
  int rc_id = app_id.Step();
  if (rc_id != SQLITE_ROW && busy(rc_id)) return nullptr;
  if (rc_id != SQLITE_ROW) {
    *error = path + " is damaged: " + sqlite3_errmsg(raw);
    return nullptr;
  }
  if (app_id.Int(0) != kApplicationId) {
    *error = path + " is an SQLite database of another program, not a device image";
    return nullptr;
  }
  CStatement check(raw, "PRAGMA quick_check");
  int rc_check = check.Step();
  if (rc_check != SQLITE_ROW && busy(rc_check)) return nullptr;
  if (rc_check != SQLITE_ROW || check.Text(0) != "ok") {
    *error = path + " is damaged: " + (check.ok() ? check.Text(0) : sqlite3_errmsg(raw));
    return nullptr;
  }
  std::string format;
  if (image->GetValue("format", &format) != kDeviceOk || format != kFormatVersion) {
    *error = path + " is a device image of an unknown format";
    return nullptr;
  }
  // A handheld keeps a write it has acknowledged, whatever happens to the desktop. SQLite's
  // default commits by removing the journal without flushing the folder, so a power cut right
  // after could bring the journal back and undo the last write; EXTRA flushes the folder too.
  if (sqlite3_exec(raw, "PRAGMA synchronous = EXTRA", nullptr, nullptr, nullptr) != SQLITE_OK) {
    *error = "cannot open the device image " + path + ": " + sqlite3_errmsg(raw);
    return nullptr;
  }
  return image;
}

int32_t CDeviceImage::GetValue(const std::string& name, std::string* value) {
  CStatement s(db_, "SELECT value FROM device WHERE name = ?");
  int rc = s.Bind(1, name).Step();
  if (rc == SQLITE_DONE) return kDeviceErrNotFound;
  if (rc != SQLITE_ROW) return kDeviceErrStorage;
  *value = s.Text(0);
  return kDeviceOk;
}

int32_t CDeviceImage::SetValue(const std::string& name, const std::string& value) {
  return InTransaction([&]() {
    return CStatement(db_, "INSERT OR REPLACE INTO device(name, value) VALUES(?, ?)")
        .Bind(1, name)
        .Bind(2, value)
        .Run();
  });
}

int32_t CDeviceImage::FindDatabase(const std::string& name, uint8_t card, int64_t* db) {
  CStatement s(db_, "SELECT id FROM databases WHERE name = ? AND card = ?");
  int rc = s.Bind(1, name).Bind(2, card).Step();
  if (rc == SQLITE_DONE) return kDeviceErrNotFound;
  if (rc != SQLITE_ROW) return kDeviceErrStorage;
  *db = s.Int(0);
  return kDeviceOk;
}

int32_t CDeviceImage::AddDatabase(const DeviceDatabase& d, int64_t* db) {
  return InTransaction([&]() {
    int64_t existing;
    int32_t found = FindDatabase(d.name, d.card, &existing);
    if (found == kDeviceOk) return static_cast<int32_t>(kDeviceErrExists);
    if (found != kDeviceErrNotFound) return found;
    CStatement s(db_,
                 "INSERT INTO databases(name, card, creator, type, flags, version, app_info,"
                 " next_record_id) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    s.Bind(1, d.name).Bind(2, d.card).Bind(3, d.creator).Bind(4, d.type).Bind(5, d.flags);
    s.Bind(6, d.version).BindBlob(7, DeviceDefaultAppInfo()).Bind(8, kDeviceFirstRecordId);
    if (s.Run() != kDeviceOk) return static_cast<int32_t>(kDeviceErrStorage);
    *db = sqlite3_last_insert_rowid(db_);
    return static_cast<int32_t>(kDeviceOk);
  });
}

int32_t CDeviceImage::ListDatabases(std::vector<DeviceDatabase>* databases) {
  CStatement s(db_, "SELECT name, card, creator, type, flags, version FROM databases ORDER BY id");
  databases->clear();
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    DeviceDatabase d;
    d.name = s.Text(0);
    d.card = static_cast<uint8_t>(s.Int(1));
    d.creator = static_cast<uint32_t>(s.Int(2));
    d.type = static_cast<uint32_t>(s.Int(3));
    d.flags = static_cast<uint32_t>(s.Int(4));
    d.version = static_cast<uint16_t>(s.Int(5));
    databases->push_back(d);
  }
  return rc == SQLITE_DONE ? kDeviceOk : kDeviceErrStorage;
}

int32_t CDeviceImage::Positions(int64_t db, const std::vector<int64_t>** list) {
  CPositions& positions = positions_[db];
  if (!positions.valid) {
    positions.list.clear();
    CStatement s(db_, "SELECT position FROM records WHERE db = ? ORDER BY position");
    s.Bind(1, db);
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW) positions.list.push_back(s.Int(0));
    if (rc != SQLITE_DONE) return kDeviceErrStorage;
    positions.valid = true;
  }
  *list = &positions.list;
  return kDeviceOk;
}

int32_t CDeviceImage::IndexOf(int64_t db, int64_t position, uint32_t* index) {
  const std::vector<int64_t>* list = nullptr;
  if (Positions(db, &list) != kDeviceOk) return kDeviceErrStorage;
  *index =
      static_cast<uint32_t>(std::lower_bound(list->begin(), list->end(), position) - list->begin());
  return kDeviceOk;
}

int32_t CDeviceImage::RecordAt(int64_t db, uint32_t index, DeviceRecord* record) {
  const std::vector<int64_t>* list = nullptr;
  if (Positions(db, &list) != kDeviceOk) return kDeviceErrStorage;
  if (index >= list->size()) return kDeviceErrNotFound;
  CStatement s(db_,
               "SELECT record_id, attributes, category, data FROM records WHERE db = ?"
               " AND position = ?");
  int rc = s.Bind(1, db).Bind(2, (*list)[index]).Step();
  if (rc == SQLITE_DONE) return kDeviceErrNotFound;
  if (rc != SQLITE_ROW) return kDeviceErrStorage;
  ReadRecordRow(s, 0, record);
  return kDeviceOk;
}

int32_t CDeviceImage::NextChanged(int64_t db, int64_t* position, DeviceRecord* record,
                                  uint32_t* index) {
  CStatement s(db_,
               "SELECT position, record_id, attributes, category, data FROM records"
               " WHERE db = ? AND position > ? AND (attributes & ?) != 0"
               " ORDER BY position LIMIT 1");
  int rc = s.Bind(1, db).Bind(2, *position).Bind(3, kChangedBits).Step();
  if (rc == SQLITE_DONE) return kDeviceErrNotFound;
  if (rc != SQLITE_ROW) return kDeviceErrStorage;
  int64_t found = s.Int(0);
  ReadRecordRow(s, 1, record);
  if (IndexOf(db, found, index) != kDeviceOk) return kDeviceErrStorage;
  *position = found;
  return kDeviceOk;
}

int32_t CDeviceImage::RecordWithId(int64_t db, uint32_t id, DeviceRecord* record, uint32_t* index) {
  CStatement s(db_,
               "SELECT position, record_id, attributes, category, data FROM records"
               " WHERE db = ? AND record_id = ?");
  int rc = s.Bind(1, db).Bind(2, id).Step();
  if (rc == SQLITE_DONE) return kDeviceErrNotFound;
  if (rc != SQLITE_ROW) return kDeviceErrStorage;
  int64_t position = s.Int(0);
  ReadRecordRow(s, 1, record);
  return IndexOf(db, position, index);
}

int32_t CDeviceImage::PutRecord(int64_t db, DeviceRecord* record) {
  if (record->data.size() > kDeviceMaxRecordSize) return kDeviceErrTooLarge;
  if (record->category >= kCategoryCount) return kDeviceErrBadArgument;
  bool inserted = false;
  const int32_t result = InTransaction([&]() -> int32_t {
    CStatement seed(db_, "SELECT next_record_id FROM databases WHERE id = ?");
    int rc = seed.Bind(1, db).Step();
    if (rc == SQLITE_DONE) return kDeviceErrNotFound;
    if (rc != SQLITE_ROW) return kDeviceErrStorage;
    int64_t next_id = seed.Int(0);
    uint32_t id = record->id;
    if (id == 0) {
      if (next_id > static_cast<int64_t>(UINT32_MAX)) return kDeviceErrFull;
      id = static_cast<uint32_t>(next_id);
    }
    // IDs handed out from the seed are never handed out again, not even after a record that
    // was added under an explicit ID.
    if (static_cast<int64_t>(id) >= next_id) {
      if (CStatement(db_, "UPDATE databases SET next_record_id = ? WHERE id = ?")
              .Bind(1, static_cast<int64_t>(id) + 1)
              .Bind(2, db)
              .Run() != kDeviceOk) {
        return kDeviceErrStorage;
      }
    }
    CStatement update(db_,
                      "UPDATE records SET attributes = ?, category = ?, data = ?"
                      " WHERE db = ? AND record_id = ?");
    update.Bind(1, record->attributes).Bind(2, record->category).BindBlob(3, record->data);
    if (update.Bind(4, db).Bind(5, id).Run() != kDeviceOk) return kDeviceErrStorage;
    if (sqlite3_changes(db_) == 0) {
      CStatement insert(db_,
                        "INSERT INTO records(db, position, record_id, attributes, category, data)"
                        " VALUES(?1, (SELECT IFNULL(MAX(position), 0) + 1 FROM records"
                        " WHERE db = ?1), ?2, ?3, ?4, ?5)");
      insert.Bind(1, db).Bind(2, id).Bind(3, record->attributes).Bind(4, record->category);
      if (insert.BindBlob(5, record->data).Run() != kDeviceOk) return kDeviceErrStorage;
      inserted = true;
    }
    record->id = id;
    return kDeviceOk;
  });
  // A new record goes after every other one.
  if (result == kDeviceOk && inserted) {
    CPositions& positions = positions_[db];
    if (positions.valid) {
      positions.list.push_back(positions.list.empty() ? 1 : positions.list.back() + 1);
    }
  }
  return result;
}

int32_t CDeviceImage::RemoveRecord(int64_t db, uint32_t id) {
  positions_.erase(db);
  return InTransaction([&]() -> int32_t {
    if (CStatement(db_, "DELETE FROM records WHERE db = ? AND record_id = ?")
            .Bind(1, db)
            .Bind(2, id)
            .Run() != kDeviceOk) {
      return kDeviceErrStorage;
    }
    return sqlite3_changes(db_) == 0 ? kDeviceErrNotFound : kDeviceOk;
  });
}

int32_t CDeviceImage::ListRecords(int64_t db, std::vector<DeviceRecord>* records) {
  CStatement s(db_,
               "SELECT record_id, attributes, category, data FROM records WHERE db = ?"
               " ORDER BY position");
  s.Bind(1, db);
  records->clear();
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    DeviceRecord record;
    ReadRecordRow(s, 0, &record);
    records->push_back(std::move(record));
  }
  return rc == SQLITE_DONE ? kDeviceOk : kDeviceErrStorage;
}

int32_t CDeviceImage::PurgeRemoved(int64_t db) {
  positions_.erase(db);
  return InTransaction([&]() {
    return CStatement(db_, "DELETE FROM records WHERE db = ? AND (attributes & ?) != 0")
        .Bind(1, db)
        .Bind(2, kRemovedBits)
        .Run();
  });
}

int32_t CDeviceImage::ClearSyncFlags(int64_t db, const std::string& desktop_id) {
  return InTransaction([&]() -> int32_t {
    if (CStatement(db_, "UPDATE records SET attributes = attributes & ? WHERE db = ?")
            .Bind(1, static_cast<uint8_t>(~kRecAttrDirty))
            .Bind(2, db)
            .Run() != kDeviceOk) {
      return kDeviceErrStorage;
    }
    return CStatement(db_, "UPDATE device SET value = ? WHERE name = 'last_desktop'")
        .Bind(1, desktop_id)
        .Run();
  });
}

int32_t CDeviceImage::ChangeCategory(int64_t db, uint8_t from, uint8_t to, bool mark_dirty) {
  if (from >= kCategoryCount || to >= kCategoryCount) return kDeviceErrBadArgument;
  return InTransaction([&]() {
    return CStatement(db_,
                      "UPDATE records SET category = ?, attributes = attributes | ?"
                      " WHERE db = ? AND category = ?")
        .Bind(1, to)
        .Bind(2, mark_dirty ? kRecAttrDirty : 0)
        .Bind(3, db)
        .Bind(4, from)
        .Run();
  });
}

int32_t CDeviceImage::HardReset() {
  positions_.clear();
  return InTransaction([&]() -> int32_t {
    if (Exec("DELETE FROM records") != kDeviceOk || Exec("DELETE FROM databases") != kDeviceOk) {
      return kDeviceErrStorage;
    }
    return CStatement(db_, "UPDATE device SET value = '' WHERE name = 'last_desktop'").Run();
  });
}

int32_t CDeviceImage::GetAppInfo(int64_t db, std::vector<uint8_t>* block) {
  CStatement s(db_, "SELECT app_info FROM databases WHERE id = ?");
  int rc = s.Bind(1, db).Step();
  if (rc == SQLITE_DONE) return kDeviceErrNotFound;
  if (rc != SQLITE_ROW) return kDeviceErrStorage;
  *block = s.Blob(0);
  return kDeviceOk;
}

int32_t CDeviceImage::SetAppInfo(int64_t db, const std::vector<uint8_t>& block) {
  if (block.size() > kDeviceMaxRecordSize) return kDeviceErrTooLarge;
  return InTransaction([&]() -> int32_t {
    if (CStatement(db_, "UPDATE databases SET app_info = ? WHERE id = ?")
            .BindBlob(1, block)
            .Bind(2, db)
            .Run() != kDeviceOk) {
      return kDeviceErrStorage;
    }
    return sqlite3_changes(db_) == 0 ? kDeviceErrNotFound : kDeviceOk;
  });
}
