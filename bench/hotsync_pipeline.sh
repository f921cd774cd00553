#!/usr/bin/env bash
# Whole-pipeline benchmark: hotsync, the conduit, the emulated handheld and the iCalendar host
# driver, timed end to end.
#
# For each N (default 1000 and 9999) a new home gets N events in its host calendar and N on the
# handheld, a tenth of each weekly repeating (beginning in the first week), the rest single events
# spread over a year from today. Then it times a first HotSync (slow: every handheld record is read, every host entry is
# new to the handheld) and a second one with no change (fast), and prints a table.
#
# The window is 14 days (NumDays 14): an exchange file carries at most 9999 entries, and a
# weekly event is one entry per occurrence in the window, so with 999 weekly events on each side
# a 30-day window would not fit.
#
# usage: bench/hotsync_pipeline.sh [N...]     (BUILD_DIR, default build, names the build)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${BUILD_DIR:-build}/bin"
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1000 9999)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# The dates of the next 365 days, computed once.
mapfile -t days < <(for d in $(seq 0 364); do date -d "today + $d days" +%Y%m%d; done)

host_calendar() {  # N FILE
  local n=$1 i day hour
  {
    printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\n'
    for ((i = 0; i < n; i++)); do
      # A weekly series begins in the first week, a single event anywhere in the year.
      if ((i % 10 == 0)); then day=${days[$((i % 7))]}; else day=${days[$((i % 365))]}; fi
      hour=$(printf '%02d' $((7 + i % 12)))
      printf 'BEGIN:VEVENT\r\nUID:host-%d\r\nDTSTAMP:20240101T000000Z\r\n' "$i"
      printf 'DTSTART:%sT%s0000Z\r\nDTEND:%sT%s3000Z\r\n' "$day" "$hour" "$day" "$hour"
      printf 'SUMMARY:Host event %d\r\nLOCATION:Room %d\r\n' "$i" $((i % 40))
      if ((i % 10 == 0)); then printf 'RRULE:FREQ=WEEKLY\r\n'; fi
      printf 'END:VEVENT\r\n'
    done
    printf 'END:VCALENDAR\r\n'
  } >"$2"
}

handheld_events() {  # N HOME
  local n=$1 i day repeat
  for ((i = 0; i < n; i++)); do
    day=${days[$(((i * 7) % 365))]}
    repeat=()
    if ((i % 10 == 0)); then
      day=${days[$((i % 7))]}
      repeat=(--repeat weekly)
    fi
    "$bin/handheld" --home "$2" add --date "${day:0:4}-${day:4:2}-${day:6:2}" \
      --start "$(printf '%02d' $((8 + i % 10))):15" --end "$(printf '%02d' $((8 + i % 10))):45" \
      --description "Handheld event $i" "${repeat[@]}" >/dev/null
  done
}

sync_timed() {  # HOME LOG -> prints seconds, or "failed"
  local start end
  start=$(now)
  if "$bin/hotsync" --home "$1" sync >"$2" 2>&1; then
    end=$(now)
    elapsed "$start" "$end"
  else
    echo "failed"
  fi
}

rows=()
for n in "${sizes[@]}"; do
  home="$work/home-$n"
  "$bin/hotsync" --home "$home" info >/dev/null
  "$bin/hotsync" --home "$home" settings set NumDays 14 --number >/dev/null
  "$bin/hotsync" --home "$home" settings set DriverPath "$(cd "$bin" && pwd)/ical_driver" >/dev/null
  "$bin/hotsync" --home "$home" settings set HLLName calendar.ics >/dev/null
  host_calendar "$n" "$work/host-$n.ics"
  "$bin/ical_driver" install "$work/" "$work/host-$n.ics" dummy 0 XXX "$home/hll/calendar.ics"
  handheld_events "$n" "$home"
  first=$(sync_timed "$home" "$work/first-$n.log")
  second=$(sync_timed "$home" "$work/second-$n.log")
  records=$("$bin/handheld" --home "$home" list | wc -l)
  rows+=("$(printf '%6d  %16s  %20s  %17d' "$n" "$first" "$second" "$records")")
  for run in first second; do
    if ! tail -n 3 "$work/$run-$n.log" | grep -q "Date Book"; then
      echo "N=$n, $run HotSync:" >&2
      tail -n 20 "$work/$run-$n.log" >&2
    fi
  done
done

printf '%6s  %16s  %20s  %17s\n' "N" "first HotSync (s)" "no-change HotSync (s)" "handheld records"
for row in "${rows[@]}"; do echo "$row"; done
