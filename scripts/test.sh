#!/usr/bin/env bash
# Sets everything up, builds Quorane and runs every test: the whole suite, then
# the audio engine's tests again under AddressSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
cmake --preset default >/dev/null
cmake --build --preset default
cmake --preset asan >/dev/null
cmake --build --preset asan
status=0
ASAN_OPTIONS=detect_leaks=1 ctest --preset asan -j2 || status=1
ctest --preset default -j2 || status=1
exit $status
