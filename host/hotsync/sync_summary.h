// The one-line summary that ends a "hotsync sync": how many entries the HotSync added, changed
// and deleted on the handheld and on the host.
//
// The handheld side compares the Date Book's records before and after the sync. The host side
// compares the exchange files that the sync leaves in the data folder: the extract file (the host
// calendar as the driver extracted it) with the backup file (what the host holds once the update
// was applied). Entries are matched by host entry number, except those the update added. The
// occurrences of a repeating handheld event, which the conduit deletes and adds anew at every
// sync, are matched by record ID and day, so that one written again unchanged is not counted.
#ifndef DBC_HOST_HOTSYNC_SYNC_SUMMARY_H_
#define DBC_HOST_HOTSYNC_SYNC_SUMMARY_H_

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

struct CChangeCounts {
  int added = 0;
  int changed = 0;
  int deleted = 0;
};

// The data of the records of a handheld database that are not marked deleted, by record ID.
// False when the records cannot be read (a device image that a full disk left unreadable for now).
using CRecordSnapshot = std::map<uint32_t, std::vector<uint8_t>>;
bool SnapshotRecords(const std::string& database, CRecordSnapshot* snapshot);
CChangeCounts CompareSnapshots(const CRecordSnapshot& before, const CRecordSnapshot& after);

// Compares an extract file with a backup file. Answers false when either cannot be read as an
// exchange file.
bool CountHostChanges(const std::string& extract, const std::string& backup, CChangeCounts* counts);

// "handheld: 1 added, 0 changed, 2 deleted; host: ..."; a side that is null is "not known".
std::string SummaryLine(const CChangeCounts* handheld, const CChangeCounts* host);

#endif  // DBC_HOST_HOTSYNC_SYNC_SUMMARY_H_
