#!/usr/bin/env bash
# Installs the build into a new prefix and runs the installed hotsync there: it must find its
# libraries and the conduit in the prefix, not in the build tree.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/p" >/dev/null
for f in "$tmp/p/bin/hotsync" "$tmp/p/lib/libdatebook_conduit.so"; do
  if readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -q "$build"; then
    echo "$f still looks for libraries in the build tree" >&2
    exit 1
  fi
done
out=$("$tmp/p/bin/hotsync" --home "$tmp/h" info)
echo "$out"
grep -qx 'name: Date Book' <<<"$out"
grep -q "DriverPath=text:$tmp/p/bin/" "$tmp/h/settings.txt"
