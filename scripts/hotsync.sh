#!/usr/bin/env bash
# Builds the project and runs the main job: a HotSync with the built-in defaults in a fresh home
# (.home/ in the checkout, or $HOTSYNC_HOME): "hotsync info", then one "hotsync sync".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
home="${HOTSYNC_HOME:-$PWD/.home}"
if [ -x build/bin/hotsync ]; then
  build/bin/hotsync --home "$home" info
  build/bin/hotsync --home "$home" sync "$@"
else
  echo "The hotsync program is not built yet; the conduit's exports:" >&2
  nm -D --defined-only build/lib/libdatebook_conduit.so
fi
