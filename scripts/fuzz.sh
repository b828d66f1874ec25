#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, -fsanitize=fuzzer,address,undefined)
# in build-fuzz and runs each for SECONDS (default 60), one after another.
# Each run starts from the seeds in fuzz/corpus/<target>/ and keeps what it
# learns in build-fuzz/corpus/<target>/ (never in the tree); a crash, leak or
# hang is written to build-fuzz/findings/<target>/ and fails the script.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=build-fuzz

if [ ! -f "$build/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORANE_FUZZ=ON -DQUORANE_TESTS=OFF \
    -DQUORANE_BENCH=OFF ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} \
    ${CMAKE_C_COMPILER_LAUNCHER:+-DCMAKE_C_COMPILER_LAUNCHER=$CMAKE_C_COMPILER_LAUNCHER} >/dev/null
fi
cmake --build "$build" --target fuzz_targets

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

# Leaks are reported at the end of the run; Qt keeps a few process-wide
# caches alive on purpose, which ASan reports only at exit, not per input.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t" findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  log="$build/fuzz-$t.log"
  echo "fuzz: $t for ${seconds}s"
  if "$build/fuzz/$t" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$t" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$log" | tail -2 | sed "s/^/  $t: /"
  else
    echo "fuzz: $t FAILED (log: $log, input in $findings/)" >&2
    tail -40 "$log" >&2
    status=1
  fi
done
exit $status
