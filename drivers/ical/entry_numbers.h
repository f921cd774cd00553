// Host entry numbers: each extracted entry gets a number from 1 to 9999 that stays with its event
// (or occurrence) from one synchronisation to the next. 0 is not handed out: the conduit writes it
// for records that have no host entry number.
//
// Numbers are handed out in turn from the calendar's X-DATEBOOK-NEXT-ENTRY, skipping those in
// use, so that a number freed by a deletion is not given to another event until the others have
// been used: an update file applied a second time (a run cut off before the conduit removed it)
// must not reach an event that took a deleted entry's number.
#ifndef DBC_DRIVERS_ICAL_ENTRY_NUMBERS_H_
#define DBC_DRIVERS_ICAL_ENTRY_NUMBERS_H_

#include <libical/ical.h>

#include <vector>

namespace ical_driver {

class CEntryNumbers {
 public:
  // Notes the numbers in use in the calendar: the entry numbers of its events and the occurrence
  // entries of its recurring events.
  explicit CEntryNumbers(icalcomponent* calendar);

  int FreeCount() const { return free_count_; }
  // The next free number, now in use; -1 when all are taken.
  int Allocate();
  void Release(int number);
  // Writes where the next search starts into the calendar; answers whether it changed.
  bool Store();

 private:
  icalcomponent* calendar_;
  std::vector<bool> used_;
  int free_count_ = 0;
  int next_ = 0;
};

}  // namespace ical_driver

#endif  // DBC_DRIVERS_ICAL_ENTRY_NUMBERS_H_
