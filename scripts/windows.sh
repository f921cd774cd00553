#!/usr/bin/env bash
# The Windows build: the conduit DLL and the host programs cross-built with MinGW-w64, and run
# under Wine.
#   scripts/windows.sh   installs what is missing (scripts/deps.sh --windows), builds
#                        build-mingw32/ (i686, the conduit's own target) and build-mingw64/
#                        (x86_64) with warnings as errors, runs the 32-bit build's checks (the
#                        DLL's exports, the record layout compiled for the target), then under
#                        Wine (64-bit: 32-bit Wine is not available here) the 64-bit build's tests
#                        and one HotSync (hotsync info, the conduit's registry values, and
#                        hotsync sync with script_driver.exe) in build-mingw64/home, and stops
#                        Wine again.
# Wine runs without a display, with its messages off, in the prefix build-mingw64/wine-prefix;
# every Wine step is bounded by timeout.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --windows

build() {
  cmake -S . -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$2.cmake" -DDBC_WERROR=ON \
    -DDBC_BENCHMARKS=OFF >/dev/null
  cmake --build "$1" -j2
}
build build-mingw32 i686
ctest --test-dir build-mingw32 --output-on-failure
build build-mingw64 x86_64

export WINEPREFIX="$PWD/build-mingw64/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
# Stops this prefix's Wine server, and with it every Windows program left running in it.
stop_wine() { timeout 60 wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
# A new prefix is set up once (about 10 s); the tests then start at once. Its messages (among them
# that the 32-bit parts are missing) are shown only when it fails.
if ! timeout 300 wine wineboot -i >build-mingw64/wineboot.log 2>&1; then
  cat build-mingw64/wineboot.log >&2
  exit 1
fi
ctest --test-dir build-mingw64 --output-on-failure -j2

home="$PWD/build-mingw64/home"
run() { timeout 120 wine build-mingw64/bin/hotsync.exe --home "$home" "$@"; }
run info
# The conduit's settings as the registry holds them.
timeout 60 wine reg query \
  "HKCU\\Software\\DateBookHotSync\\Stores\\Z:$home/settings.txt\\Conduits\\DateBook"
status=0
run sync || status=$?
echo "hotsync.exe sync exited with status $status under Wine (log: $home/log.jsonl)"
