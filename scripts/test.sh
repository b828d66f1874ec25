#!/usr/bin/env bash
# Sets everything up, builds Quorane and runs every check, each step on its
# own so one failure does not hide the others:
#   1. the formatting check (the files that differ are printed);
#   2. the plain build (warnings are errors) and the whole test suite;
#   3. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer
#      (preset asan; leaks count as failures, tests/lsan.supp names the
#      libraries whose leaks are not ours), but for the few tests in which
#      nothing of ours would run differently (each says why where it is
#      declared: DISABLED under QUORANE_SANITIZE);
#   4. the audio engine's tests under ThreadSanitizer (preset tsan,
#      tests/tsan.supp likewise);
#   5. every fuzz target for a short run (scripts/fuzz.sh 10).
# Each configuration is built once, in its own folder, through ccache when it
# is installed: CCACHE_BASEDIR and CCACHE_NOHASHDIR make the compile lines of
# any checkout of this repository the same to the cache, so a fresh clone is
# served from what an earlier build compiled. The script prints what each
# step took and ends non-zero when any step failed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  # This run's own hits and misses, apart from whatever else uses the cache.
  mkdir -p build
  export CCACHE_STATSLOG="$PWD/build/ccache-stats.log"
  rm -f "$CCACHE_STATSLOG"
fi
status=0
report=()
started=$SECONDS
# step NAME COMMAND...: runs one step, notes its time and outcome.
step() {
  local name=$1 begin=$SECONDS outcome=passed
  shift
  echo "== $name"
  "$@" || { outcome=FAILED; status=1; }
  report+=("$(printf '%5d s  %-6s  %s' $((SECONDS - begin)) "$outcome" "$name")")
  if [ -n "${CCACHE_STATSLOG:-}" ] && [ -f "$CCACHE_STATSLOG" ]; then
    ccache --show-log-stats 2>/dev/null | grep -E '^ *(Hits|Misses):' | tr -s ' ' |
      sed "s/^/   ccache so far: /"
  fi
}
# Configures, builds and tests one preset, with ctest's extra arguments.
preset() {
  local name=$1
  shift
  cmake --preset "$name" >/dev/null && cmake --build --preset "$name" &&
    ctest --preset "$name" -j2 "$@"
}

step "format" bash scripts/check-format.sh
step "plain build and the whole suite" preset default
step "ASan+UBSan build and the whole suite" preset asan
step "TSan build and the audio engine's tests" preset tsan
step "fuzz targets, 10 s each" bash scripts/fuzz.sh 10

echo "== time per step (total $((SECONDS - started)) s)"
printf '%s\n' "${report[@]}"
exit $status
