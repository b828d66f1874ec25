#!/usr/bin/env bash
# Sets everything up, builds Quorane and runs every check, each step on its
# own so one failure does not hide the others:
#   1. the formatting check (the files that differ are printed);
#   2. the whole test suite built with AddressSanitizer and
#      UndefinedBehaviorSanitizer;
#   3. the audio engine's tests under ThreadSanitizer;
#   4. the plain build, for what must run the player as shipped: the
#      scripts that start it under Xvfb;
#   5. each fuzz target for a short while (QUORANE_FUZZ_SECONDS, default 15).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
status=0
step() { echo "== $*"; }

step "format"
bash scripts/check-format.sh || status=1

step "whole suite under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan
# Leak reports at exit come from Qt's, fontconfig's and the GL stack's own
# process-wide caches, which are never freed by design; see tests/lsan.supp.
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j2 || status=1

step "audio engine under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp second_deadlock_stack=1" \
  ctest --preset tsan -j2 || status=1

step "the player as shipped, under Xvfb"
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j2 -R 'Xvfb|RunFromAnotherFolder' || status=1

step "fuzz targets, ${QUORANE_FUZZ_SECONDS:-15} s each"
bash scripts/fuzz.sh "${QUORANE_FUZZ_SECONDS:-15}" || status=1
exit $status
