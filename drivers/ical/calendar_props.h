// The driver's own properties in the calendar, and the time values of events.
//
// The driver keeps its bookkeeping in non-standard properties, which other programs carry along:
//   X-DATEBOOK-ENTRY:17              the host entry number of a single event or of an override
//   X-DATEBOOK-RECORD-ID:0000001A    the handheld record ID of the event
//   X-DATEBOOK-REPEAT:1              the event is one occurrence of a repeating handheld event
//   X-DATEBOOK-OCCURRENCE:<key> 18 [0000001B]
//                                    on a recurring event: the host entry number (and handheld
//                                    record ID) of its occurrence <key>
//   X-DATEBOOK-NEXT-ENTRY:19         on the VCALENDAR: where the search for a free number starts
// An occurrence key is the occurrence's original start: YYYYMMDD for a date, YYYYMMDDTHHMMSSZ in
// UTC for a time with a zone, YYYYMMDDTHHMMSS for a floating time.
#ifndef DBC_DRIVERS_ICAL_CALENDAR_PROPS_H_
#define DBC_DRIVERS_ICAL_CALENDAR_PROPS_H_

#include <libical/ical.h>
#include <stdint.h>
#include <time.h>

#include <optional>
#include <string>
#include <vector>

namespace ical_driver {

constexpr char kEntryProp[] = "X-DATEBOOK-ENTRY";
constexpr char kRecordIdProp[] = "X-DATEBOOK-RECORD-ID";
constexpr char kRepeatProp[] = "X-DATEBOOK-REPEAT";
constexpr char kOccurrenceProp[] = "X-DATEBOOK-OCCURRENCE";
constexpr char kNextEntryProp[] = "X-DATEBOOK-NEXT-ENTRY";

// Non-standard properties by name. Get answers the first one's value; Set replaces all of that
// name with one (answers whether anything changed); Remove removes all (answers whether there
// were any).
std::optional<std::string> GetX(icalcomponent* c, const char* name);
std::vector<icalproperty*> AllX(icalcomponent* c, const char* name);
bool SetX(icalcomponent* c, const char* name, const std::string& value);
bool RemoveX(icalcomponent* c, const char* name);

std::string FormatRecordId(uint32_t id);
bool ParseRecordId(const std::string& text, uint32_t* id);
// The entry number property as a number, or -1 when it is missing or not in 0 to 9999.
int EntryNumberOf(icalcomponent* c);

// An occurrence's entry on its recurring event.
struct COccurrenceEntry {
  std::string key;
  int number = -1;
  bool has_record_id = false;
  uint32_t record_id = 0;
};
bool ParseOccurrenceEntry(const std::string& value, COccurrenceEntry* out);
std::string FormatOccurrenceEntry(const COccurrenceEntry& entry);

// A time of an event with the zone it is written in.
struct CZonedTime {
  icaltimetype time = icaltime_null_time();
  icaltimezone* zone = nullptr;  // null: a date or a floating time
  std::string tzid;              // the TZID parameter as written, empty when there is none
  bool IsDate() const { return time.is_date != 0; }
  bool IsFloating() const { return !time.is_date && zone == nullptr; }
};

// Reads a date or date-time property value with its zone: a TZID is looked up among the
// calendar's VTIMEZONEs and then in the system's zone database. Answers false, with *error set,
// for a TZID that neither knows.
bool ReadZonedTime(icalcomponent* calendar, icalproperty* prop, icaltimetype value, CZonedTime* out,
                   std::string* error);

// Seconds since 1970 of a zoned time; a date is 00:00 local time, a floating time is local time.
time_t ToSeconds(const CZonedTime& t);
// The same instant written in the style of `like`: in its zone and with its TZID, in UTC, or as a
// floating local time. A date `like` gives a UTC time.
CZonedTime InStyleOf(const CZonedTime& like, time_t seconds);
// An occurrence key (see above) of a zoned time, and back, in the style of `like`.
std::string OccurrenceKey(const CZonedTime& t);
bool TimeOfOccurrenceKey(const std::string& key, const CZonedTime& like, CZonedTime* out);

// A new DTSTART, DTEND, RECURRENCE-ID or EXDATE property holding t (with VALUE=DATE or TZID).
icalproperty* NewTimeProperty(icalproperty_kind kind, const CZonedTime& t);
// Replaces the properties of that kind with one holding t.
void WriteTimeProperty(icalcomponent* c, icalproperty_kind kind, const CZonedTime& t);
void RemoveProperties(icalcomponent* c, icalproperty_kind kind);

}  // namespace ical_driver

#endif  // DBC_DRIVERS_ICAL_CALENDAR_PROPS_H_
