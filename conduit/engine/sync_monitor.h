// CSyncMonitor: the generic conduit monitor, one object per synchronisation.
//
// It holds what a synchronisation of one handheld database with desktop tables needs and drives
// it through its virtual operations. The database- and table-specific operations and the sync
// loop belong to a specialisation; this class answers kErrNotProvided (-1) for them, or does
// nothing. The order of the virtual operations below is part of the design: keep it.
#ifndef DBC_CONDUIT_ENGINE_SYNC_MONITOR_H_
#define DBC_CONDUIT_ENGINE_SYNC_MONITOR_H_

#include <stdint.h>

#include <memory>
#include <string>

#include "conduit/format/record_converter.h"
#include "conduit/platform/os_services.h"
#include "sdk/records.h"

class CBaseRecord;
class CBaseTable;
class CCategoryMgr;

// Log lines are built in buffers of this many characters, the terminator included.
constexpr int32_t kLogLineSize = 128;
// Size of the handheld record buffers that the callers ask AllocRecordBuffer for.
constexpr uint16_t kRecordBufferSize = 4480;
// Size of the application-information buffer.
constexpr uint16_t kAppInfoBufferSize = 800;
// The handheld's platform word in log messages (the desktop's is string IDS_DESKTOP).
constexpr char kHandheldPlatformWord[] = "Rizez";
// Size of the system information buffer.
constexpr uint8_t kSystemInfoBufferSize = 255;

// Old desktop category index -> new index, built while categories are reconciled. At most one
// entry is added per desktop category, and a category list holds at most 16 categories.
struct CategoryIndexMap {
  static constexpr int32_t kCapacity = 16;
  int32_t count = 0;
  struct Entry {
    int32_t old_index;
    int32_t new_index;
  } entries[kCapacity];

  // Appends an entry; false (nothing added) when the map is full.
  bool Add(int32_t old_index, int32_t new_index) {
    if (count < 0 || count >= kCapacity) return false;
    entries[count].old_index = old_index;
    entries[count].new_index = new_index;
    ++count;
    return true;
  }
};

class CSyncMonitor {
 public:
  // Copies the first kSyncPropsCopySize bytes of props. os must outlive the monitor.
  CSyncMonitor(const HotSyncProps& props, ModuleInstance module, COsServices& os);
  CSyncMonitor(const CSyncMonitor&) = delete;
  CSyncMonitor& operator=(const CSyncMonitor&) = delete;

  // Reads the handheld's system information (its code is returned when that fails) and runs the
  // operation for the sync type: RunSync for 0 to 3, RunSyncTypes4And7 for 4 and 7, RunSyncType5
  // for 5; kErrSyncTypeUnsupported for 6 and above 7 (compared as unsigned).
  int32_t Execute();

  // --- Virtual operations, in their fixed order ---
  virtual int32_t OpenRemoteDatabase();
  virtual int32_t LoadLocalTables();
  virtual int32_t CopyRecordToTable(CBaseRecord& record, CBaseTable& table);
  virtual int32_t AddRemoteRecord(CBaseRecord& record);
  virtual int32_t ChangeRemoteRecord(CBaseRecord& record);
  virtual int32_t FastSync();
  virtual int32_t SlowSync();
  // Stores a new, empty desktop table in *table; -1 (table null) when none could be made.
  virtual int32_t CreateLocalTable(std::unique_ptr<CBaseTable>& table);
  // Reconciles the handheld and desktop category lists (after ReadRemoteCategories): both sides end
  // with the same categories at the same indexes, and records whose category disappeared move to
  // Unfiled with a log line. 0 or the code of the write to the handheld; kErrNoCategoryList without
  // a handheld list, kErrNoTable without a desktop list (where one is needed).
  virtual int32_t SynchronizeCategories();
  // Sets every desktop record ID to 0 on a first synchronisation of kind 2 with a handheld whose
  // ROM major number is below 2. Always 0.
  virtual int32_t ResetLocalRecordIds();
  // Appends the archive table's records to one archive file per category in the data folder
  // (the category's safe file name plus the archive extension). 0 or the code that ended it.
  virtual int32_t ArchiveRecords();
  virtual int32_t RunSync();
  virtual int32_t RunSyncTypes4And7();
  virtual int32_t RunSyncType5();
  // Writes a one-line description of the record into buffer (kLogLineSize characters, zero-filled
  // by the caller). The base class writes nothing.
  virtual void FormatRecordForLog(CBaseRecord& record, char* buffer);
  // Writes the conduit title into buffer (size characters). The base class writes nothing.
  virtual void GetConduitTitle(char* buffer, int32_t size);
  virtual ~CSyncMonitor();

  // --- Record transfer helpers ---
  // True when code is not -1 and has bit 0x2000 set.
  static bool IsCommsError(int32_t code);
  // True for the failures that concern one record only (kSyncErrRecordRefused, kSyncErrRecordGone).
  static bool IsNonFatalError(int32_t code);
  // Sets the record's status to 0 and clears its archive flag, then copies it into table with
  // CopyRecordToTable; 0, or kErrCopyRecord after logging LogCopyToLocalFailed.
  int32_t CopyToArchiveTable(CBaseRecord& record, CBaseTable* table);
  // Gives the request a zero-filled buffer of size bytes: 0, or kErrNoRecordBuffer with the
  // buffer size 0. The caller releases it with FreeRecordBuffer.
  static int32_t AllocRecordBuffer(RecordRequest* request, uint16_t size);
  static void FreeRecordBuffer(RecordRequest* request);

  // --- Categories ---
  // Rebuilds the handheld category list from the open handheld database's application-information
  // block (read into an 800-byte buffer that the monitor keeps for WriteRemoteCategories). 0;
  // kErrNoCategoryList when the list or the buffer could not be made or there is no converter;
  // otherwise the code of the read or of the converter.
  int32_t ReadRemoteCategories();
  // Converts list into the buffer of the last ReadRemoteCategories and writes the block to the
  // handheld. The code of the write; the converter's code when the block could not be built (no
  // preceding read, no list, no converter), in which case nothing is written.
  int32_t WriteRemoteCategories(CCategoryMgr* list);
  // Makes the desktop category list a copy of list (IDs, indexes, names; name-dirty flags clear).
  // Answers 0; does nothing without a desktop category list.
  int32_t CopyCategoriesToLocal(CCategoryMgr* list);
  // Sets the name-dirty flag of every category of list (null: nothing).
  void MarkCategoriesDirty(CCategoryMgr* list);
  // Moves every desktop record whose category is the old index of an entry to that entry's new
  // index; the first matching entry wins and each record moves at most once.
  void RemapRecordCategories(const CategoryIndexMap& map);

  // --- The HotSync log ---
  void LogConduitHeading();
  void LogModifiedBothArchived(CBaseRecord& record);
  void LogModifiedDeleted(CBaseRecord& record);
  void LogTooManyCategories(const char* category_name);
  void LogCategoryDeleted(const char* category_name, const char* platform_word);
  void LogMovedTo1970(CBaseRecord& record);
  void LogMoveToUnfiledFailed(const char* category_name);
  void LogReadRemoteFailed(int32_t code);
  void LogAddRemoteFailed(CBaseRecord& record, int32_t code);
  void LogPurgeRemoteFailed(int32_t code);
  void LogChangeRemoteFailed(CBaseRecord& record, int32_t code);
  void LogDeleteRemoteFailed(CBaseRecord& record, int32_t code);
  void LogCopyToLocalFailed(CBaseRecord& record);
  void LogArchiveFailed();
  void LogSaveLocalFailed();
  // The handheld's sync flags could not be cleared: its changes are read again at the next run.
  void LogClearFlagsFailed();

  // Read access for callers and tests.
  const HotSyncProps& props() const { return props_; }
  CBaseTable* desktop_table() const { return desktop_table_.get(); }
  CBaseTable* archive_table() const { return archive_table_.get(); }
  CCategoryMgr* handheld_categories() const { return handheld_categories_.get(); }
  const SystemInfoRequest& system_info() const { return system_info_request_; }

 protected:
  // The archive file of a category index: the data folder, the desktop category's safe file name
  // ("Unfiled" when the desktop list has no category at the index) and the archive extension.
  std::string ArchiveFileName(int32_t category_index) const;

  // The name of the handheld database being synchronised (remote name at the database index),
  // or "" when there is none.
  const char* RemoteDatabaseName() const;

  std::unique_ptr<CRecordConverter> converter_;
  std::unique_ptr<CBaseTable> desktop_table_;
  std::unique_ptr<CBaseTable> archive_table_;
  std::unique_ptr<CBaseTable> backup_table_;
  std::unique_ptr<CBaseTable> remote_table_;
  HotSyncProps props_;  // only the first kSyncPropsCopySize bytes are copied; the rest is zero
  CCategoryMgr* desktop_categories_ = nullptr;  // borrowed from the desktop table
  std::unique_ptr<CCategoryMgr> handheld_categories_;
  uint8_t db_handle_ = 0;
  char archive_extension_[7] = {};  // at most 6 characters; the specialisation sets it
  int32_t db_count_ = 1;
  int32_t db_index_ = 0;
  AppInfoRequest app_info_request_;
  std::unique_ptr<uint8_t[]> app_info_buffer_;
  ModuleInstance module_;
  SystemInfoRequest system_info_request_;
  std::unique_ptr<uint8_t[]> system_info_buffer_;
  COsServices& os_;

 private:
  // Loads string id (at most kLogLineSize characters with the terminator) and logs it with the
  // activity code.
  void LogString(uint32_t id, int32_t activity);
  // Logs the record's description line (activity -1), empty when FormatRecordForLog writes nothing.
  void LogRecordDescription(CBaseRecord& record);
  // Loads string id into buffer (kLogLineSize characters); "" when the table has no such string.
  void LoadLogString(uint32_t id, char* buffer);
};

#endif  // DBC_CONDUIT_ENGINE_SYNC_MONITOR_H_
