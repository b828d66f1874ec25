#!/usr/bin/env bash
# Sets everything up, builds Quorane and runs every check, each step on its
# own so one failure does not hide the others:
#   1. the formatting check (the files that differ are printed);
#   2. the plain build (warnings are errors) and the whole test suite;
#   3. the audio engine's tests again under AddressSanitizer.
# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
# (preset asan), the engine under ThreadSanitizer (preset tsan) and the
# fuzz targets (scripts/fuzz.sh) are built the same way and run by hand for
# now.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
status=0
step() { echo "== $*"; }

step "format"
bash scripts/check-format.sh || status=1

step "the whole suite"
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j2 || status=1

step "audio engine under AddressSanitizer"
cmake --preset asan-engine >/dev/null
cmake --build --preset asan-engine
ASAN_OPTIONS=detect_leaks=1 ctest --preset asan-engine -j2 || status=1
exit $status
