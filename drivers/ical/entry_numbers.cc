#include "drivers/ical/entry_numbers.h"

#include <cstdlib>
#include <string>

#include "drivers/ical/calendar_props.h"
#include "drivers/ical/event_instances.h"
#include "drivers/ical/exchange_file.h"

namespace ical_driver {

CEntryNumbers::CEntryNumbers(icalcomponent* calendar)
    : calendar_(calendar), used_(kMaxEntryNumber + 1, false), free_count_(kMaxEntryNumber + 1) {
  auto claim = [this](int number) {
    if (number >= 0 && !used_[number]) {
      used_[number] = true;
      --free_count_;
    }
  };
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    claim(EntryNumberOf(e));
    for (const auto& kv : ReadOccurrenceEntries(e)) claim(kv.second.number);
  }
  // 0 is never handed out: it is what the conduit writes for a record that has no host entry
  // number, so a change naming 0 must not reach an event.
  claim(0);
  const std::optional<std::string> next = GetX(calendar, kNextEntryProp);
  if (next) {
    const int value = std::atoi(next->c_str());
    if (value >= 0 && value <= kMaxEntryNumber) next_ = value;
  }
}

int CEntryNumbers::Allocate() {
  if (free_count_ == 0) return -1;
  while (used_[next_]) next_ = (next_ + 1) % (kMaxEntryNumber + 1);
  const int number = next_;
  used_[number] = true;
  --free_count_;
  next_ = (next_ + 1) % (kMaxEntryNumber + 1);
  return number;
}

void CEntryNumbers::Release(int number) {
  if (number >= 0 && number <= kMaxEntryNumber && used_[number]) {
    used_[number] = false;
    ++free_count_;
  }
}

bool CEntryNumbers::Store() {
  return SetX(calendar_, kNextEntryProp, std::to_string(next_));
}

}  // namespace ical_driver
