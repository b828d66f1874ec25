#!/usr/bin/env bash
# Checks that every C++ file of ours is formatted with the checked-in
# .clang-format (clang-format-14); prints the files that differ and fails
# when there is any. `scripts/check-format.sh --fix` formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files -- 'src/*.cpp' 'src/*.h' 'audio/*.cpp' 'audio/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
if [ "${1:-}" = "--fix" ]; then
  echo "$files" | xargs clang-format-14 -i
  exit 0
fi
# Two at a time, as the machine has two cores; each prints the files that differ.
mapfile -t differ < <(echo "$files" | xargs -P 2 -n 25 sh -c \
  'for f; do clang-format-14 --dry-run -Werror "$f" >/dev/null 2>&1 || echo "$f"; done' sh)
if [ ${#differ[@]} -ne 0 ]; then
  echo "format: these files differ from .clang-format (scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "format: all files match .clang-format"
