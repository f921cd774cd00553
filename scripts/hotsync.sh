#!/usr/bin/env bash
# Builds the project and runs the main job: a HotSync with the built-in defaults in a home folder
# (.home/ in the checkout, or $HOTSYNC_HOME; made with working settings on first use):
# "hotsync info", then one "hotsync sync" (extra arguments go to the sync).
#
# The script shows the sync's log and its exit status and ends with 0 once the build and both
# commands ran; run build/bin/hotsync yourself when a script needs the sync's own status.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
home="${HOTSYNC_HOME:-$PWD/.home}"
build/bin/hotsync --home "$home" info
status=0
build/bin/hotsync --home "$home" sync "$@" || status=$?
echo "hotsync sync exited with status $status (log: $home/log.jsonl)"
