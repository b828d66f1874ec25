#!/usr/bin/env bash
# Sets everything up, builds Quorane and runs every check, each step on its
# own so one failure does not hide the others:
#   1. the formatting check (the files that differ are printed);
#   2. the plain build (warnings are errors) and the whole test suite;
#   3. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer
#      (preset asan; leaks count as failures, tests/lsan.supp names the
#      libraries whose leaks are not ours);
#   4. the audio engine's tests under ThreadSanitizer (preset tsan,
#      tests/tsan.supp likewise);
#   5. every fuzz target for a short run (scripts/fuzz.sh 10).
# The script ends non-zero when any step failed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
status=0
step() { echo "== $*"; }
# Configures, builds and tests one preset; any failure fails the step only.
preset() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" && ctest --preset "$1" -j2
}

step "format"
bash scripts/check-format.sh || status=1

step "the whole suite"
preset default || status=1

step "the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer"
preset asan || status=1

step "audio engine under ThreadSanitizer"
preset tsan || status=1

step "fuzz targets, 10 s each"
bash scripts/fuzz.sh 10 || status=1
exit $status
