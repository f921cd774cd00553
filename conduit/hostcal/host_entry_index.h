// Comparing a handheld record with the host's version of it, and finding desktop entries by their
// content.
//
// The host calendar holds no categories: every entry read from an exchange file has category 0.
// A handheld record and the host's version of it therefore have the same content when they agree
// in every content field but the category.
#ifndef DBC_CONDUIT_HOSTCAL_HOST_ENTRY_INDEX_H_
#define DBC_CONDUIT_HOSTCAL_HOST_ENTRY_INDEX_H_

#include <stdint.h>

#include <string>
#include <unordered_map>
#include <vector>

class CBaseRecord;
class CBaseTable;
class CDateBkRecord;
struct CTableRow;

// Whether fields 3 to 13 (start to repeat kind) of both records, the category excepted, are
// equal; false when either record lacks one of them.
bool SameHostContent(const CBaseRecord& a, const CBaseRecord& b);

// The desktop entries that are still to be added to the handheld and carry no record ID (new host
// entries, changed occurrences, handheld versions of a conflict), by content. A run that failed
// after adding some of them to the handheld leaves those records marked changed there; the next
// run reads them as new handheld records and pairs each with its entry here instead of adding it
// to the handheld, and to the host, a second time.
class CHostEntryIndex {
 public:
  // Takes in the table's rows that are pending, or added with record ID 0.
  void Build(CBaseTable& desktop);
  // Takes in one more row (the record's), when it is such an entry.
  void Add(const CDateBkRecord& record);
  // The first row taken in whose content equals record's (category excepted), removed from the
  // index; null when there is none.
  CTableRow* Take(const CDateBkRecord& record);

 private:
  std::unordered_map<std::string, std::vector<CTableRow*>> rows_;
};

#endif  // DBC_CONDUIT_HOSTCAL_HOST_ENTRY_INDEX_H_
