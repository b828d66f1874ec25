#!/usr/bin/env bash
# No compile line names this checkout in a macro: ccache rewrites the paths of
# sources and include folders for a checkout elsewhere, but not the values of
# -D, so one such macro on a target's line makes every object of that target
# a cache miss in a fresh clone (CI). Paths go through quorane_build_path()
# and tests/common/BuildPaths.h instead.
#   compile-lines.sh COMPILE_COMMANDS_JSON SOURCE_DIR BUILD_DIR
set -euo pipefail
commands=$1 source=$2 build=$3
[ -f "$commands" ] || { echo "no $commands" >&2; exit 1; }
found=$(grep -oE -- "-D *[A-Za-z_][A-Za-z0-9_]*=[^ ]*" "$commands" |
  grep -F -e "$source" -e "$build" | sed -E 's/=.*//' | sort | uniq -c || true)
if [ -n "$found" ]; then
  echo "compile lines carry this checkout's folders in these macros (times):" >&2
  echo "$found" >&2
  echo "declare them with quorane_build_path() and look them up with BuildPath()" >&2
  exit 1
fi
echo "no compile line names $source or $build in a macro"
