#include <strings.h>
#include <sys/stat.h>

#include "drivers/ical/calendar_file.h"
#include "drivers/ical/calendar_props.h"
#include "drivers/ical/commands.h"

namespace ical_driver {
namespace {

const char* const kDriverProperties[] = {kEntryProp, kRecordIdProp, kRepeatProp, kOccurrenceProp};

std::string Text(const char* text) {
  return text != nullptr ? text : "";
}

// Identifies a component for the import: its kind, UID and RECURRENCE-ID, or for a VTIMEZONE
// its TZID.
std::string Identity(icalcomponent* c) {
  std::string id = icalcomponent_kind_to_string(icalcomponent_isa(c));
  if (icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT) {
    icalproperty* tzid = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY);
    return id + "|" + (tzid != nullptr ? Text(icalproperty_get_tzid(tzid)) : "");
  }
  const std::string uid = Text(icalcomponent_get_uid(c));
  if (uid.empty()) return "";
  id += "|" + uid;
  if (icalproperty* rid = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
    id += "|" + Text(icalproperty_get_value_as_string(rid));
  }
  return id;
}

icalcomponent* FindByIdentity(icalcomponent* calendar, const std::string& id) {
  if (id.empty()) return nullptr;
  for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
       c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
    if (Identity(c) == id) return c;
  }
  return nullptr;
}

// Merges the imported components into the calendar. A component with the identity of one the
// calendar holds replaces it and keeps the driver's properties, so that importing a file again
// neither doubles its events nor cuts them off from the handheld; a time zone the calendar has
// is kept.
void Merge(icalcomponent* calendar, icalcomponent* imported) {
  for (icalcomponent* c = icalcomponent_get_first_component(imported, ICAL_ANY_COMPONENT); c;
       c = icalcomponent_get_next_component(imported, ICAL_ANY_COMPONENT)) {
    const std::string id = Identity(c);
    icalcomponent* old = FindByIdentity(calendar, id);
    if (old != nullptr && icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT) continue;
    icalcomponent* copy = icalcomponent_new_clone(c);
    if (old != nullptr) {
      for (const char* name : kDriverProperties) {
        RemoveX(copy, name);
        for (icalproperty* p : AllX(old, name)) {
          icalcomponent_add_property(copy, icalproperty_new_clone(p));
        }
      }
      icalcomponent_remove_component(calendar, old);
      icalcomponent_free(old);
    }
    icalcomponent_add_component(calendar, copy);
  }
}

}  // namespace

bool RunInstall(const CDriverRequest& request, CDriverFailure* failure) {
  CCalendarFile calendar(request.calendar_path);
  std::string error;
  if (!calendar.Lock(&error)) return Fail(failure, kExitCalendar, error);
  bool changed = false;
  switch (calendar.Load(&error)) {
    case CCalendarFile::LoadResult::kLoaded:
      break;
    case CCalendarFile::LoadResult::kMissing:
      calendar.CreateEmpty();
      changed = true;
      break;
    case CCalendarFile::LoadResult::kFailed:
      return Fail(failure, kExitCalendar, error);
  }
  const std::string& source = request.file;
  struct stat info {};
  if (stat(source.c_str(), &info) == 0) {
    std::string text;
    bool missing = false;
    if (!S_ISREG(info.st_mode) || !ReadWholeFile(source, &text, &missing, &error)) {
      return Fail(failure, kExitCalendar,
                  "cannot import " + source + ": it is not a readable file");
    }
    ComponentPtr imported = ParseCalendarText(text, &error);
    if (imported == nullptr) {
      return Fail(failure, kExitCalendar, "cannot import " + source + ": " + error);
    }
    Merge(calendar.Calendar(), imported.get());
    changed = true;
  } else if (source.find('/') != std::string::npos ||
             (source.size() > 4 && strcasecmp(source.c_str() + source.size() - 4, ".ics") == 0)) {
    // A path that names nothing is a mistake in the setting, not a request for an empty calendar.
    return Fail(failure, kExitCalendar, "cannot import " + source + ": there is no such file");
  }
  if (changed && !calendar.Save({}, &error)) return Fail(failure, kExitWrite, error);
  return true;
}

}  // namespace ical_driver
