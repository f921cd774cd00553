// The HotSync log messages of the monitor: one operation per kind of conflict or failure, each a
// fixed sequence of lines from the string table, preceded once per run by the conduit heading.
//
// Every line is built in a buffer of kLogLineSize characters, the terminator included. Composed
// lines carry names that come from category lists; a name too long for the line is cut, so the
// line stays inside its buffer.
#include <string.h>

#include "conduit/engine/sync_monitor.h"
#include "conduit/resources/string_table.h"
#include "sdk/hotsync_log.h"

namespace {

// Message activity codes of the log.
enum : int32_t {
  kActModifiedBothArchived = 1,
  kActModifiedDeleted = 2,
  kActTooManyCategories = 3,
  kActCategoryDeleted = 4,
  kActMovedTo1970 = 5,
  kActMoveToUnfiledFailed = 7,
  kActReadRemoteFailed = 8,
  kActAddRemoteFailed = 9,
  kActPurgeRemoteFailed = 10,
  kActChangeRemoteFailed = 11,
  kActDeleteRemoteFailed = 12,
  kActCopyToLocalFailed = 13,
  kActArchiveFailed = 16,
  kActSaveLocalFailed = 17,
};

constexpr int32_t kLogFlag = 0;

const char kHeadingPrefix[] = "-- ";
const char kLinePrefix[] = "   - ";

// A log line under construction: appends are cut at the buffer's end, which always keeps its
// terminator.
class CLogLine {
 public:
  CLogLine() { memset(text_, 0, sizeof(text_)); }
  void Append(const char* part) {
    if (part == nullptr) return;
    size_t room = sizeof(text_) - 1 - length_;
    size_t n = strnlen(part, room);
    memcpy(text_ + length_, part, n);
    length_ += n;
    text_[length_] = '\0';
  }
  const char* text() const { return text_; }

 private:
  char text_[kLogLineSize];
  size_t length_ = 0;
};

void WriteLine(const char* text, int32_t activity) {
  HsLogAddEntry(text, activity, kLogFlag);
}

}  // namespace

void CSyncMonitor::LoadLogString(uint32_t id, char* buffer) {
  memset(buffer, 0, kLogLineSize);
  os_.LoadString(module_, id, buffer, kLogLineSize);
  buffer[kLogLineSize - 1] = '\0';
}

void CSyncMonitor::LogString(uint32_t id, int32_t activity) {
  char line[kLogLineSize];
  LoadLogString(id, line);
  WriteLine(line, activity);
}

void CSyncMonitor::LogRecordDescription(CBaseRecord& record) {
  char line[kLogLineSize];
  memset(line, 0, sizeof(line));
  FormatRecordForLog(record, line);
  line[kLogLineSize - 1] = '\0';
  WriteLine(line, kActivityText);
}

// The log answers 0 until the run's first message was added, so the heading stands once, before
// the first message of the run, and not at all in a run without messages.
void CSyncMonitor::LogConduitHeading() {
  if (HsLogState() != 0) return;
  char title[kLogLineSize];
  memset(title, 0, sizeof(title));
  GetConduitTitle(title, kLogLineSize);
  title[kLogLineSize - 1] = '\0';
  CLogLine line;
  line.Append(kHeadingPrefix);
  line.Append(title);
  WriteLine(line.text(), kActivityText);
}

void CSyncMonitor::LogModifiedBothArchived(CBaseRecord& record) {
  LogConduitHeading();
  LogString(IDS_MODIFIED_BOTH_ARCHIVED_1, kActModifiedBothArchived);
  LogRecordDescription(record);
  LogString(IDS_MODIFIED_BOTH_ARCHIVED_2, kActivityText);
  LogString(IDS_MODIFIED_BOTH_ARCHIVED_3, kActivityText);
}

void CSyncMonitor::LogModifiedDeleted(CBaseRecord& record) {
  LogConduitHeading();
  LogString(IDS_MODIFIED_DELETED_1, kActModifiedDeleted);
  LogString(IDS_MODIFIED_DELETED_2, kActivityText);
  LogRecordDescription(record);
}

void CSyncMonitor::LogTooManyCategories(const char* category_name) {
  LogConduitHeading();
  char part[kLogLineSize];
  CLogLine line;
  LoadLogString(IDS_TOO_MANY_CATEGORIES_1, part);
  line.Append(part);
  line.Append(" '");
  line.Append(category_name);
  line.Append("'");
  WriteLine(line.text(), kActTooManyCategories);
  LogString(IDS_TOO_MANY_CATEGORIES_2, kActivityText);
}

void CSyncMonitor::LogCategoryDeleted(const char* category_name, const char* platform_word) {
  LogConduitHeading();
  char part[kLogLineSize];
  CLogLine line;
  line.Append(kLinePrefix);
  line.Append(platform_word);
  line.Append(" ");
  LoadLogString(IDS_CATEGORY, part);
  line.Append(part);
  line.Append(" '");
  line.Append(category_name);
  line.Append("' ");
  LoadLogString(IDS_CATEGORY_DELETED_1, part);
  line.Append(part);
  WriteLine(line.text(), kActCategoryDeleted);
  LogString(IDS_CATEGORY_DELETED_2, kActivityText);
}

void CSyncMonitor::LogMovedTo1970(CBaseRecord& record) {
  LogConduitHeading();
  LogString(IDS_BEFORE_1970_1, kActMovedTo1970);
  LogString(IDS_BEFORE_1970_2, kActivityText);
  LogRecordDescription(record);
}

void CSyncMonitor::LogMoveToUnfiledFailed(const char* category_name) {
  LogConduitHeading();
  char part[kLogLineSize];
  CLogLine line;
  LoadLogString(IDS_MOVE_TO_UNFILED_FAILED_1, part);
  line.Append(part);
  line.Append(category_name);
  LoadLogString(IDS_MOVE_TO_UNFILED_FAILED_2, part);
  line.Append(part);
  WriteLine(line.text(), kActMoveToUnfiledFailed);
  LogString(IDS_CHECK_CONNECTIONS, kActivityText);
}

void CSyncMonitor::LogReadRemoteFailed(int32_t) {
  LogConduitHeading();
  LogString(IDS_READ_NEXT_FAILED, kActReadRemoteFailed);
  LogString(IDS_CHECK_CONNECTIONS, kActivityText);
}

void CSyncMonitor::LogAddRemoteFailed(CBaseRecord& record, int32_t) {
  LogConduitHeading();
  LogString(IDS_COPY_TO_HANDHELD_FAILED, kActAddRemoteFailed);
  LogRecordDescription(record);
  LogString(IDS_HANDHELD_FULL, kActivityText);
}

void CSyncMonitor::LogPurgeRemoteFailed(int32_t) {
  LogConduitHeading();
  LogString(IDS_PURGE_FAILED, kActPurgeRemoteFailed);
  LogString(IDS_CHECK_CONNECTIONS, kActivityText);
}

void CSyncMonitor::LogChangeRemoteFailed(CBaseRecord& record, int32_t) {
  LogConduitHeading();
  LogString(IDS_MODIFY_FAILED, kActChangeRemoteFailed);
  LogRecordDescription(record);
  LogString(IDS_CHECK_CONNECTIONS, kActivityText);
}

void CSyncMonitor::LogDeleteRemoteFailed(CBaseRecord& record, int32_t) {
  LogConduitHeading();
  LogString(IDS_DELETE_FAILED, kActDeleteRemoteFailed);
  LogRecordDescription(record);
  LogString(IDS_CHECK_CONNECTIONS, kActivityText);
}

void CSyncMonitor::LogCopyToLocalFailed(CBaseRecord& record) {
  LogConduitHeading();
  LogString(IDS_COPY_TO_DESKTOP_FAILED, kActCopyToLocalFailed);
  LogRecordDescription(record);
}

void CSyncMonitor::LogArchiveFailed() {
  LogConduitHeading();
  LogString(IDS_ARCHIVE_FAILED, kActArchiveFailed);
  LogString(IDS_DESKTOP_DISK_FULL, kActivityText);
}

void CSyncMonitor::LogSaveLocalFailed() {
  LogConduitHeading();
  LogString(IDS_SAVE_FAILED, kActSaveLocalFailed);
  LogString(IDS_DESKTOP_DISK_FULL, kActivityText);
}

// This message has no activity code of its own: its lines are plain text, so that a run that
// failed here says why without a code that a reader of the log would take for another message.
void CSyncMonitor::LogClearFlagsFailed() {
  LogConduitHeading();
  LogString(IDS_CLEAR_FLAGS_FAILED, kActivityText);
  LogString(IDS_CHECK_CONNECTIONS, kActivityText);
}
