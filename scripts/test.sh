#!/usr/bin/env bash
# Builds the project and runs every test through CTest.
#   scripts/test.sh              normal build (warnings as errors) in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=build
flags=(-DDBC_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags+=(-DDBC_SANITIZE=ON -DDBC_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" --output-on-failure -j2
