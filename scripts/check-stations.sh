#!/usr/bin/env bash
# Opens every station of the bundled list (or of the station file given) with
# Quorane's engine and prints one line each: format, bitrate, first title and
# time to first audio. For a machine that is online; not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
list=${1:-data/stations.txt}
bash scripts/setup.sh build
[ -f build/build.ninja ] || cmake --preset default >/dev/null
cmake --build build --target check_stations >/dev/null
exec build/bench/stations/check_stations "$list"
