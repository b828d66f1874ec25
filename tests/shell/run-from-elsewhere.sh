#!/usr/bin/env bash
# Starts the real player from another working directory under Xvfb, closes it
# with Esc as a user would, and checks the files a run leaves behind: the
# station list written back in CR LF without a mark, the settings keys in
# their first-run order, and the three windows' geometry.
# usage: run-from-elsewhere.sh <application folder> <bundled stations.txt>
set -euo pipefail
appsrc=$(realpath "$1")
bundled=$(realpath "$2")
command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || {
  echo "xvfb-run or xdotool missing"; exit 77; }

tmp=$(mktemp -d)
cleanup() { [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
mkdir -p "$tmp/app/Data" "$tmp/config"
cp "$appsrc/Quorane" "$tmp/app/"
cp -r "$appsrc/Plugins" "$tmp/app/" 2>/dev/null || true
cp "$bundled" "$tmp/app/Data/stations.txt"
export XDG_CONFIG_HOME="$tmp/config" APP="$tmp/app"
unset QT_QPA_PLATFORM

cd /
# The whole display with everything on it stops by itself within the test's
# 120 s, even if this script is killed before its clean-up.
timeout -k 5 110 xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  "$APP/Quorane" >"$APP/../out.log" 2>&1 &
  pid=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name "^Quorane$" | head -n1)
  [ -n "$wid" ] || { echo "the main window did not appear"; kill $pid; exit 1; }
  sleep 1
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  # Click a row (the list takes the focus), then Esc closes the player.
  xdotool mousemove --window "$wid" 200 80 click 1
  sleep 0.5
  xdotool key Escape
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "the player did not end on Esc"; kill $pid; exit 1; fi
  wait $pid
'

fail() { echo "FAIL: $*"; cat "$tmp/out.log" 2>/dev/null || true; exit 1; }
st="$tmp/app/Data/stations.txt"
[ -f "$st" ] || fail "no station file"
head -c3 "$st" | od -An -tx1 | grep -q "ef bb bf" && fail "the station file kept its mark"
lines=$(grep -c '' "$st")
crlf=$(grep -c $'\r$' "$st")
want=$(grep -c '' "$bundled")
[ "$lines" -eq "$want" ] || fail "station file has $lines lines, bundled $want"
[ "$crlf" -eq "$lines" ] || fail "only $crlf of $lines lines end in CR LF"

ini="$tmp/app/Quorane.ini"
[ -f "$ini" ] || fail "no settings file beside the executable"
keys=$(sed -n 's/^\([A-Za-z0-9]*\)=.*/\1/p' "$ini" | tr '\n' ' ')
expect="Proxy Volume SkinName $(for n in $(seq 1 14); do printf 'Fav%s ' "$n"; done)"
[ "$keys" = "$expect" ] || fail "settings keys in the order: $keys"
grep -q '^\[Main\]' "$ini" && grep -q '^\[Favorites\]' "$ini" || fail "settings sections"

geo="$tmp/config/Quorane.INI"
[ -f "$geo" ] || fail "no window-geometry file in XDG_CONFIG_HOME"
sections=$(grep '^\[' "$geo" | tr '\n' ' ')
[ "$sections" = "[Find stations] [Song history] [Add a new station] [Proxy settings] [Quorane] " ] || fail "geometry sections: $sections"
echo "PASS: player run from / wrote its station list, settings and geometry"
