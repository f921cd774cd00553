// CProfsMonitor: the conduit monitor for the host calendar, the specialisation of CSyncMonitor
// that OpenConduit creates for every synchronisation.
//
// The host calendar keeps no change flags: the monitor finds the host's changes by comparing the
// extract (the desktop file) with the backup file saved at the end of the previous
// synchronisation, and the handheld's changes from the handheld's record flags. Repeating handheld
// events reach the host as one entry per occurrence inside the date window, written anew at every
// synchronisation; occurrences the host deleted or changed come back as exceptions.
//
// The work is split by concern:
//   profs_monitor.cc       construction, RunSync: one turn, the saves at its end, the closing line
//   change_detection.cc    OpenRemoteDatabase, LoadLocalTables, CreateLocalTable, DetectHostChanges
//   occurrence_groups.cc   the groups of occurrence entries
//   repeating_events.cc    CompareOccurrenceGroups, ExpandRepeatingEvent
//   fast_slow_sync.cc      FastSync, SlowSync: the reading passes
//   record_match.cc        MatchHandheldRecord (the conflict rules), SendHostChanges
//   record_writes.cc       CopyRecordToTable, AddRemoteRecord, ChangeRemoteRecord, log texts
//   host_entry_index.cc    content comparison without the category; new entries by content
//   sync_files.cc          the backup path and the saved category list
#ifndef DBC_CONDUIT_HOSTCAL_PROFS_MONITOR_H_
#define DBC_CONDUIT_HOSTCAL_PROFS_MONITOR_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <unordered_set>

#include "conduit/engine/sync_monitor.h"
#include "conduit/hostcal/occurrence_groups.h"

class CProfsRecord;
class CProfsTable;
class CHostEntryIndex;
struct CSyncPass;

// Extension of the per-category archive files of the Date Book.
constexpr char kDateBookArchiveExtension[] = ".DBA";

class CProfsMonitor : public CSyncMonitor {
 public:
  // Sets the Date Book record converter (left null when it cannot be allocated; the run then
  // fails with kErrNoConverter) and the archive extension. os must outlive the monitor.
  CProfsMonitor(const HotSyncProps& props, ModuleInstance module, COsServices& os);
  ~CProfsMonitor() override;

  // The date window: its first and last instant, seconds since 1970. Set once, before Execute.
  void SetWindow(int32_t window_start, int32_t window_end);
  int32_t window_start() const { return window_start_; }
  int32_t window_end() const { return window_end_; }

  // --- Virtual operations of CSyncMonitor, in their order ---

  // Opens the handheld database (creating it from the sync properties when it does not exist)
  // and allocates the remote table. 0, the sync manager's code, or kErrNoTable (the database is
  // then closed again).
  int32_t OpenRemoteDatabase() override;
  // Loads the desktop file into the desktop table and, for sync types 0 and 1, the backup file,
  // and works out the host's changes (DetectHostChanges). The saved category list becomes the
  // desktop category list. 0; kErrLoadDesktop when the desktop file cannot be read (a broken
  // extract fails here) or a table cannot be made; kErrNoBackup when the backup file or the saved
  // category list cannot be read. A missing desktop, backup or category file is not an error.
  int32_t LoadLocalTables() override;
  // Appends a copy of record to table. 0 or kErrCopyRecord.
  int32_t CopyRecordToTable(CBaseRecord& record, CBaseTable& table) override;
  // Writes a desktop record to the handheld as a new record and gives the record the handheld's
  // new ID. A record that already carries an ID replaces the handheld record of that ID only when
  // that record is the same entry left unchanged on the handheld; otherwise (no such record, a
  // record changed, removed or repeating on the handheld, or another desktop record carrying the
  // same ID) it is written under a new ID, so that nothing on the handheld is overwritten.
  // 0, kErrNoAddBuffer, kErrConvertToRemote or the sync manager's code.
  int32_t AddRemoteRecord(CBaseRecord& record) override;
  // Writes a desktop record over the handheld record of its ID, keeping that record's category
  // (the host holds no categories). 0, kErrNoChangeBuffer, kErrConvertToRemote or the sync
  // manager's code.
  int32_t ChangeRemoteRecord(CBaseRecord& record) override;
  // Fast synchronisation: the handheld's changed records, then the repeating events whose
  // occurrences the host holds, then what lies in the window but the host does not hold yet
  // (repeating events not expanded in this run, records that entered the window), then the host's
  // changes. A handheld read that fails fails the run. 0 or the code that ended it.
  int32_t FastSync() override;
  // Slow synchronisation: every handheld record, then the host's changes.
  int32_t SlowSync() override;
  // A new, empty CDateBkTable in table. 0, or -1 (table null) when none could be allocated.
  int32_t CreateLocalTable(std::unique_ptr<CBaseTable>& table) override;
  // As CSyncMonitor's, except that without a saved category list no handheld category counts as
  // deleted on the desktop, and that desktop-overwrites-handheld without a saved list keeps the
  // handheld's categories (the host calendar has none to give).
  int32_t SynchronizeCategories() override;
  // The sync loop: register, one turn per database, closing log line, unregister.
  int32_t RunSync() override;
  // "       <description, at most 40>, <m/d/yyyy>, <h:mm><am|pm>" or "..., Untimed".
  void FormatRecordForLog(CBaseRecord& record, char* buffer) override;
  // The conduit's name (string IDS_CONDUIT_NAME), cut to fit size characters with the terminator.
  void GetConduitTitle(char* buffer, int32_t size) override;

  // --- Change detection ---
  // Marks the extract's entries by what the host did since the backup was saved (pending,
  // unchanged, or a status-2/4 copy in the remote table), groups the repeating entries of both
  // tables and compares the groups. 0, a sort error, or kErrCopyRecord.
  int32_t DetectHostChanges();

  // --- Occurrence groups and repeating events ---
  int32_t FindExtractGroup(uint32_t record_id) const { return extract_groups_.Find(record_id); }
  int32_t FindBackupGroup(uint32_t record_id) const { return backup_groups_.Find(record_id); }
  // Append a copy of record to the group of its record ID (a new group when there is none); out
  // is left on the copy. 0 or the append's code (out then null).
  int32_t AddToExtractGroup(CBaseRecord& record, std::unique_ptr<CProfsRecord>& out);
  int32_t AddToBackupGroup(CBaseRecord& record, std::unique_ptr<CProfsRecord>& out);
  // Turns the backup occurrences inside the current window that the extract no longer holds, or
  // holds changed, into exception days of the extract group (a changed one also into a new single
  // event in the desktop table), and extract occurrences that no backup occurrence accounts for
  // into new single events. Always 0.
  int32_t CompareOccurrenceGroups();
  // Adds the exceptions of the event's group to the event (writing it back to the handheld
  // through the remote table when there are any), removes the group and, unless the event is
  // deleted or archived, appends one desktop entry per occurrence whose day lies in the window.
  // 0, or kErrCopyRecord when an occurrence could not be appended.
  int32_t ExpandRepeatingEvent(CProfsRecord& event, CProfsRecord& desktop, CProfsRecord& remote);

  // --- Matching and sending ---
  // Applies the conflict rules to one non-repeating handheld record. 0, a sort error,
  // kErrCopyRecord, the answer of Assign or of CopyToArchiveTable.
  int32_t MatchHandheldRecord(CProfsRecord& handheld, CProfsRecord& desktop, CProfsRecord& remote);
  // Writes the remote table's changes and the desktop table's new entries to the handheld. 0,
  // kErrSortStatus, or the code that ended a pass.
  int32_t SendHostChanges(CProfsRecord& remote, CProfsRecord& desktop);

  // Whether a start time lies in the date window (both ends included).
  bool InWindow(int32_t time) const { return window_start_ <= time && time <= window_end_; }

 protected:
  // Read access for tests.
  CBaseTable* remote_table() const { return remote_table_.get(); }
  const COccurrenceGroups& extract_groups() const { return extract_groups_; }
  const COccurrenceGroups& backup_groups() const { return backup_groups_; }

 private:
  // One turn of the sync loop for the database at the database index; end_code may become 21.
  int32_t RunTurn(int32_t* end_code);
  // Archives, saves the desktop file, the category list and the backup file, then clears the
  // handheld's sync flags and, when the archiving succeeded, purges its removed records.
  int32_t SaveTurn(int32_t* end_code);
  // The reading passes share these steps.
  int32_t StartPass(CSyncPass* pass);
  int32_t ConvertHandheld(CSyncPass* pass, bool log_1970);
  int32_t HandleHandheldRecord(CSyncPass* pass);
  int32_t HandleRepeatingEvent(CSyncPass* pass);
  int32_t FinishPass(CSyncPass* pass, int32_t result);
  int32_t ExpandGroupEvents(CSyncPass* pass);
  int32_t CatchUpHandheldRecords(CSyncPass* pass);
  // Whether the desktop or the remote table holds a record of this ID (the host holds it).
  bool HostHoldsRecord(uint32_t id);
  // Pairs a new handheld record with a desktop entry of the same content that is still to be
  // added to the handheld (one that a failed run added already); true when paired.
  bool PairWithNewHostEntry(CProfsRecord& handheld);
  // Reads the handheld record of id into request (buffer allocated); the sync manager's code.
  int32_t ReadHandheldRecord(uint32_t id, RecordRequest* request);
  // Whether the record's ID may be written over on the handheld (AddRemoteRecord).
  int32_t ResolveAddTarget(CBaseRecord& record, RecordRequest* request);
  bool AnotherDesktopRecordHasId(CBaseRecord& record, uint32_t id);
  int32_t CompareGroupPair(COccurrenceGroup* extract, const COccurrenceGroup& backup);
  int32_t AppendSingleFromOccurrence(CProfsRecord& occurrence);
  int32_t LoadCategoryList();
  std::string DesktopPath() const;
  std::string BackupPath() const;
  std::string UpdatePath() const;
  std::string CategoryListPath() const;

  int32_t window_start_ = 0;
  int32_t window_end_ = 0;
  COccurrenceGroups extract_groups_;
  COccurrenceGroups backup_groups_;
  // Record IDs of the repeating events expanded in this run.
  std::unordered_set<uint32_t> expanded_events_;
  // Desktop entries still to be added to the handheld, by content (built when first needed).
  std::unique_ptr<CHostEntryIndex> new_host_entries_;
  // Whether a saved category list was loaded as the desktop category list.
  bool category_list_loaded_ = false;
  // Whether a backup was read, so that a pending desktop entry is one the host made or moved into
  // the window since the last run (without a backup every entry is pending).
  bool host_changes_known_ = false;
};

#endif  // DBC_CONDUIT_HOSTCAL_PROFS_MONITOR_H_
