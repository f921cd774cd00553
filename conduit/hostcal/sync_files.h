// The files that a synchronisation leaves for the next one, beside the desktop file in the data
// folder: the backup file (the host's state once the update is applied) and the category list that
// both sides agreed on. Both are named from the local file name with its last three characters
// replaced: "datebook.dat" gives "datebook.bak" and "datebook.cat".
#ifndef DBC_CONDUIT_HOSTCAL_SYNC_FILES_H_
#define DBC_CONDUIT_HOSTCAL_SYNC_FILES_H_

#include <stdint.h>

#include <string>

#include "sdk/records.h"

class CCategoryMgr;

// The update file: the desktop file of a finished synchronisation under the name that the host
// driver's update reads. While it exists the host has not yet taken the synchronisation's result.
constexpr char kUpdateFileName[] = "update.dat";
// Written (an empty exchange file) before the host driver's update starts and removed after the
// update file: while both exist, an update run was cut off and the host may hold the update, or
// part of it, already.
constexpr char kUpdateStartedFileName[] = "update.run";
constexpr char kBackupSuffix[] = "bak";
constexpr char kCategoryListSuffix[] = "cat";

// The local file name with its last three characters replaced by suffix (three characters). A
// name shorter than three characters keeps its own characters: its part before the last "."
// followed by "." and suffix, so the result never reaches back into the data folder.
std::string SideFileName(const std::string& local_file_name, const char* suffix);
// The backup file's name for a local file name ("bak").
std::string BackupFileName(const std::string& local_file_name);
// The saved category list's name for a local file name ("cat").
std::string CategoryListFileName(const std::string& local_file_name);
// The data folder of props followed by SideFileName of its local file name.
std::string SideFilePath(const HotSyncProps& props, const char* suffix);

// Saves list as a table file of the table library without rows (written to a temporary file,
// flushed and renamed over path, so that a failed save leaves the old file). 0 or the save's code.
int32_t SaveCategoryList(const std::string& path, const CCategoryMgr& list);
// Reads a list saved by SaveCategoryList into *list. 0; kTblErrFileNotFound when there is no
// file (*list untouched); the table library's code for a damaged or foreign file, or
// kTblErrBadFormat for a table file that holds rows (*list untouched in both cases).
int32_t LoadSavedCategories(const std::string& path, CCategoryMgr* list);

#endif  // DBC_CONDUIT_HOSTCAL_SYNC_FILES_H_
