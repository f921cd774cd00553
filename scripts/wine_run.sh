#!/usr/bin/env bash
# Runs a Windows program under Wine for the Windows build's tests:
#   scripts/wine_run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the Wine prefix (a folder of the build, made on first use). Nothing needs a display:
# Wine's messages are off, and no window is shown. Each run is bounded (DBC_WINE_TIMEOUT seconds,
# default 300), so a program that hangs cannot hold up the tests.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
exec timeout --kill-after=10 "${DBC_WINE_TIMEOUT:-300}" wine "$@"
