#!/usr/bin/env bash
# Builds the project and runs the main job: a demonstration of the Date Book conduit keeping an
# emulated handheld in step with an iCalendar file, in a new home (.demo/ in the checkout,
# made anew at every run):
#   1. a host calendar (a meeting, an all-day event, a weekly series with one moved occurrence,
#      an event with a location and attendees) and a handheld with a weekly repeating event, a
#      private one and one with an alarm and a note;
#   2. a first HotSync with its log, then both sides listed;
#   3. an edit on each side, one of them a conflict (the same meeting changed on both), and a
#      second HotSync that shows the changes crossing over and the conflict in the log.
# Extra arguments go to both syncs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
bin="$PWD/build/bin"
home="$PWD/.demo"
rm -rf "$home"
hotsync() { "$bin/hotsync" --home "$home" "$@"; }
handheld() { "$bin/handheld" --home "$home" "$@"; }
day() { date -d "today + $1 days" +%Y%m%d; }
iso() { date -d "today + $1 days" +%Y-%m-%d; }
title() { printf '\n=== %s\n' "$*"; }

# The host calendar, one line per VEVENT: start, summary and what else it holds of note.
list_calendar() {
  tr -d '\r' <"$calendar" | awk '
    /^BEGIN:VEVENT/ { start = ""; summary = ""; extra = "" }
    /^DTSTART/ { start = substr($0, index($0, ":") + 1) }
    /^SUMMARY:/ { summary = substr($0, 9) }
    /^(RRULE|RECURRENCE-ID|EXDATE|LOCATION|CLASS|X-DATEBOOK-RECORD-ID)[;:]/ { extra = extra "  " $0 }
    /^END:VEVENT/ { printf "%-17s %-28s%s\n", start, summary, extra }'
}

title "A new home"
hotsync info
calendar="$home/hll/$(hotsync settings get HLLName)"

# The host calendar, imported by the driver's install command at the first HotSync.
sample="$home/sample.ics"
{
  printf 'BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Date Book conduit//demo//EN\n'
  printf 'X-WR-CALNAME:Work\n'
  printf 'BEGIN:VEVENT\nUID:meeting@demo\nDTSTAMP:20240101T000000Z\n'
  printf 'DTSTART:%sT090000\nDTEND:%sT100000\nSUMMARY:Project meeting\n' "$(day 1)" "$(day 1)"
  printf 'DESCRIPTION:Agenda: budget\\, plan\nEND:VEVENT\n'
  printf 'BEGIN:VEVENT\nUID:holiday@demo\nDTSTAMP:20240101T000000Z\n'
  printf 'DTSTART;VALUE=DATE:%s\nDTEND;VALUE=DATE:%s\nSUMMARY:Company holiday\n' "$(day 3)" "$(day 4)"
  printf 'END:VEVENT\n'
  printf 'BEGIN:VEVENT\nUID:standup@demo\nDTSTAMP:20240101T000000Z\n'
  printf 'DTSTART:%sT083000\nDTEND:%sT084500\nRRULE:FREQ=WEEKLY;COUNT=4\n' "$(day 2)" "$(day 2)"
  printf 'SUMMARY:Team stand-up\nEND:VEVENT\n'
  printf 'BEGIN:VEVENT\nUID:standup@demo\nDTSTAMP:20240101T000000Z\n'
  printf 'RECURRENCE-ID:%sT083000\nDTSTART:%sT110000\nDTEND:%sT111500\n' "$(day 9)" "$(day 9)" "$(day 9)"
  printf 'SUMMARY:Team stand-up (moved)\nEND:VEVENT\n'
  printf 'BEGIN:VEVENT\nUID:review@demo\nDTSTAMP:20240101T000000Z\n'
  printf 'DTSTART:%sT140000\nDTEND:%sT153000\nSUMMARY:Design review\n' "$(day 5)" "$(day 5)"
  printf 'LOCATION:Room 4\nATTENDEE;CN=Ann:mailto:ann@example.org\n'
  printf 'ATTENDEE;CN=Bob:mailto:bob@example.org\nEND:VEVENT\n'
  printf 'END:VCALENDAR\n'
} | sed 's/$/\r/' >"$sample"
hotsync settings set Install "$sample" >/dev/null

# The handheld's own events.
handheld add --date "$(iso 1)" --start 07:00 --end 07:45 --description "Swimming" \
  --repeat weekly >/dev/null
handheld add --date "$(iso 2)" --start 18:00 --end 19:00 --description "Dentist" --private \
  >/dev/null
handheld add --date "$(iso 4)" --start 12:30 --end 13:30 --description "Lunch with Sam" \
  --alarm 15m --note "Cafe on the corner" >/dev/null

title "The first HotSync (the driver imports the sample calendar first)"
hotsync sync "$@" || true
title "The handheld"
handheld list
title "The host calendar ($calendar)"
list_calendar

title "An edit on each side, and the same meeting changed on both"
meeting=$(handheld list | awk '/Project meeting/ { print $1; exit }')
lunch=$(handheld list | awk '/Lunch with Sam/ { print $1; exit }')
handheld edit "$lunch" --start 13:00 --end 14:00
if [ -n "$meeting" ]; then
  handheld edit "$meeting" --description "Project meeting (handheld)"
else
  echo "(the meeting did not reach the handheld: the first HotSync failed)"
fi
sed -i 's/^SUMMARY:Company holiday/SUMMARY:Company holiday (office closed)/;
        s/^SUMMARY:Project meeting/SUMMARY:Project meeting (host)/' "$calendar"
echo "On the handheld: Lunch with Sam moved to 13:00, Project meeting renamed"
echo "In the host calendar: Company holiday and Project meeting renamed"

title "The second HotSync"
hotsync sync "$@" || true
title "The handheld"
handheld list
title "The host calendar"
list_calendar
