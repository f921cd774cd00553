// Writing exchange-file entries into calendar events.
#ifndef DBC_DRIVERS_ICAL_EVENT_WRITER_H_
#define DBC_DRIVERS_ICAL_EVENT_WRITER_H_

#include <libical/ical.h>

#include <string>

#include "drivers/ical/event_instances.h"
#include "drivers/ical/exchange_file.h"

namespace ical_driver {

// Whether an entry read from an update file says what the instance described by `current`
// (DescribeInstance) says: the same times, alarm and text as the conduit reads them. The text may
// have been read and written back once more by the conduit, which adds an empty line after a
// description of exactly 60 bytes; that counts as the same.
bool ReadsAs(const CExchangeEntry& current, const CExchangeEntry& update);

// Makes the event say what `update` says. `current` is the instance the event holds and
// `current_entry` its description (DescribeInstance); only the fields that read differently
// are written, so that what the exchange file cannot carry (seconds, a TZID, an end on a later
// day, a long SUMMARY, an alarm that is not a whole number of minutes) stays as it is wherever the
// entry did not change it. The record ID (when the entry has one) and the repeat flag are written
// as the driver's properties. Answers whether the event changed; a changed event gets a new
// LAST-MODIFIED.
bool ApplyEntry(icalcomponent* event, const CInstance& current, const CExchangeEntry& current_entry,
                const CExchangeEntry& update);

// A new VEVENT (new UID, DTSTAMP now) holding the entry: times in UTC, or dates for an untimed
// entry.
icalcomponent* NewEvent(const CExchangeEntry& entry);

// A new override of the occurrence: a copy of its recurring event without the recurrence and the
// driver's occurrence entries, with RECURRENCE-ID and the occurrence's own start and end.
icalcomponent* NewOverride(const CInstance& occurrence);

// Adds an EXDATE for the occurrence with this key to the recurring event, in the style of its
// DTSTART. Answers false when the key cannot be read.
bool AddExdate(icalcomponent* calendar, icalcomponent* event, const std::string& key);

// Exchange-file text as UTF-8: valid UTF-8 is kept, anything else is read as Latin-1.
std::string ToUtf8(const std::string& text);

}  // namespace ical_driver

#endif  // DBC_DRIVERS_ICAL_EVENT_WRITER_H_
