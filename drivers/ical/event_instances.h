// The events of a calendar as the exchange files see them: one instance per single event, per
// override of a recurring event, and per occurrence of a recurring event, each described as an
// exchange-file entry.
#ifndef DBC_DRIVERS_ICAL_EVENT_INSTANCES_H_
#define DBC_DRIVERS_ICAL_EVENT_INSTANCES_H_

#include <libical/ical.h>
#include <stdint.h>
#include <time.h>

#include <map>
#include <string>
#include <vector>

#include "drivers/ical/calendar_props.h"
#include "drivers/ical/exchange_file.h"

namespace ical_driver {

enum class InstanceKind {
  kSingle,      // a VEVENT without RRULE, RDATE or RECURRENCE-ID
  kOverride,    // a VEVENT with RECURRENCE-ID: one changed occurrence of a recurring event
  kOccurrence,  // an occurrence of a recurring VEVENT that has no override
};

struct CInstance {
  InstanceKind kind = InstanceKind::kSingle;
  // The VEVENT that holds the instance's content: the event itself, the override, or for an
  // occurrence the recurring event.
  icalcomponent* event = nullptr;
  std::string key;   // override, occurrence: the occurrence key
  CZonedTime start;  // the instance's start as the calendar writes it
  time_t start_seconds = 0;
  time_t end_seconds = 0;  // equal to the start when the event has no length
  // The driver's bookkeeping: from the event's own properties, or for an occurrence from its
  // entry on the recurring event.
  int entry_number = -1;
  bool has_record_id = false;
  uint32_t record_id = 0;
  bool repeat = false;
};

// The occurrence entries of a recurring event, by key.
std::map<std::string, COccurrenceEntry> ReadOccurrenceEntries(icalcomponent* event);
// Replaces the event's occurrence entries; answers whether the properties changed.
bool WriteOccurrenceEntries(icalcomponent* event,
                            const std::map<std::string, COccurrenceEntry>& entries);

bool IsRecurring(icalcomponent* event);
bool IsOverride(icalcomponent* event);

// Reads an event's start and the length of each of its instances (DTEND, DURATION, one day for a
// date without either, none otherwise). Answers false with *error for times it cannot place.
bool ReadEventTimes(icalcomponent* calendar, icalcomponent* event, CZonedTime* start,
                    time_t* length, std::string* error);

// Every instance whose start lies in [from, to] (both included), with its bookkeeping. Events
// without DTSTART are left out; a time zone that cannot be found is an error.
bool CollectInstances(icalcomponent* calendar, time_t from, time_t to,
                      std::vector<CInstance>* instances, std::string* error);

// A single event or an override as an instance (whatever its start).
bool EventInstance(icalcomponent* calendar, icalcomponent* event, CInstance* out,
                   std::string* error);

// The occurrence of a recurring event with this key, as an instance.
bool OccurrenceInstance(icalcomponent* calendar, icalcomponent* event, const std::string& key,
                        CInstance* out, std::string* error);

// The exchange-file entry of the instance: times in local time, alarm, description (with the
// private mark) and note in full, record ID, entry number and repeat flag. Status is unchanged.
void DescribeInstance(const CInstance& instance, CExchangeEntry* entry);

// Whether a description begins with a private mark ("PERS:" or "CONF:").
bool HasPrivateMark(const std::string& text);

// The event's SUMMARY (line breaks as CR LF) with the private mark that its CLASS gives it
// ("PERS: " for PRIVATE, "CONF: " for CONFIDENTIAL) unless it begins with one already.
std::string MarkedSummary(icalcomponent* event);

}  // namespace ical_driver

#endif  // DBC_DRIVERS_ICAL_EVENT_INSTANCES_H_
