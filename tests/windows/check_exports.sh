#!/usr/bin/env bash
# Passes when the export table of the conduit DLL ($2, read with the objdump $1) names exactly the
# four conduit functions, under their plain names.
set -euo pipefail
objdump=$1
dll=$2
exports=$("$objdump" -p "$dll" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
expected=$(printf '%s\n' ConfigureConduit GetConduitName GetConduitVersion OpenConduit)
echo "exports of $dll:"
echo "$exports"
if [ "$exports" != "$expected" ]; then
  echo "expected exactly:" >&2
  echo "$expected" >&2
  exit 1
fi
