#!/usr/bin/env bash
# The real player started with too little address space to hold its station
# list (a limit on RLIMIT_AS for the player's process alone, set by prlimit):
# the read fails for lack of memory, the player says so, runs on and ends
# normally on SIGTERM, and neither the station file nor the settings file is
# written over: both stay byte for byte. A run with room enough is measured
# first, so the limit is the player's own need plus less than the list needs.
# usage: startup-out-of-memory.sh <application folder>
set -euo pipefail
source "$(dirname "$0")/../common/bounded.sh"
appsrc=$(realpath "$1")
command -v prlimit >/dev/null || { echo "prlimit missing"; exit 77; }
tmp=$(mktemp -d)
pid= bound=
trap '[ -n "$pid" ] && kill -KILL $pid 2>/dev/null; rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy MALLOC_ARENA_MAX=1
export XDG_CONFIG_HOME="$tmp/config"
mkdir -p "$tmp/app/Data" "$tmp/config"
cp "$appsrc/Quorane" "$tmp/app/"
cp -r "$appsrc/Plugins" "$tmp/app/"
settings="$tmp/app/Quorane.ini"
printf '[Main]\nProxy=\nVolume=73\nSkinName=Winter 2003 (internal)\n[Favorites]\nFav1=http://fav.example/\n' >"$settings"
cp "$settings" "$tmp/settings.before"

fail() { echo "FAIL: $*"; exit 1; }
# Starts the player (bounded to 60 s), waits until its start-up is over (its
# memory stops growing), prints its peak address space in KiB, then ends it
# with SIGTERM.
run() {
  start_bounded 60 "$tmp/pid" prlimit ${1:+--as=$1} -- "$tmp/app/Quorane" >"$tmp/out.log" 2>&1
  local last=-1 now=0 same=0
  for _ in $(seq 1 150); do
    sleep 0.2
    now=$(awk '/^VmPeak:/ {print $2}' /proc/$pid/status 2>/dev/null || echo gone)
    [ "$now" = gone ] && fail "the player ended by itself: $(cat "$tmp/out.log")"
    if [ "$now" = "$last" ]; then same=$((same + 1)); else same=0; fi
    last=$now
    [ $same -ge 10 ] && break
  done
  peak=$now
  kill -TERM $pid
  for _ in $(seq 1 60); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && fail "still running 6 s after SIGTERM"
  local rc=0
  wait $bound || rc=$?
  pid=
  [ $rc -eq 0 ] || fail "exit code $rc"
}

# Room enough: a list of ten lines.
printf 'Small %s\tdesc\tPop\tUSA\tEnglish\thttp://127.0.0.1:9/\t\r\n' $(seq 1 10) >"$tmp/app/Data/stations.txt"
run ""
base=$peak
cp "$settings" "$tmp/settings.before"
# About 90 MB in LF lines (a read that succeeded would write them back in
# CR LF); holding them takes about 200 MB more than the start-up above.
yes $'Station name here\tSome description of the station\tPop\tUSA\tEnglish\thttp://127.0.0.1:9/s\t' |
  head -n 1200000 >"$tmp/app/Data/stations.txt" || true # yes ends on SIGPIPE
sum_before=$(md5sum <"$tmp/app/Data/stations.txt")
limit=$(( (base + 60 * 1024) * 1024 ))
run "$limit"
[ "$(md5sum <"$tmp/app/Data/stations.txt")" = "$sum_before" ] || fail "the station file was written over"
cmp -s "$settings" "$tmp/settings.before" || fail "the settings changed: $(cat "$settings")"
echo "PASS: out of memory at start-up (limit $((limit >> 20)) MiB, start-up alone $((base >> 10)) MiB): both files kept"
