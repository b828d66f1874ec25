#!/usr/bin/env bash
# The real player under Xvfb, used as a user would: a station file made of
# UTF-8 lines and one line copied from a Windows list (windows-1252), a
# double-click on a station that cannot be opened (nothing listens on its
# port), then Esc. The UTF-8 lines come back byte for byte, the 8-bit line
# comes back as the same text in UTF-8. With a screenshot folder, the screen
# is taken once the open has failed ("Can't open ..." in the status bar;
# the window's own tests check that text).
# usage: mixed-list-under-xvfb.sh <application folder> [screenshot folder]
set -euo pipefail
appsrc=$(realpath "$1")
shots=${2:-}
for tool in xvfb-run xdotool; do
  command -v $tool >/dev/null || { echo "$tool missing"; exit 77; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/app/Data" "$tmp/config"
cp "$appsrc/Quorane" "$tmp/app/"
cp -r "$appsrc/Plugins" "$tmp/app/"
# Port 9 on 127.0.0.1: nothing listens there.
cafe=$'Caf\xC3\xA9 Jazz\tJazz all day\tJazz\tFrance\tFrench\thttp://127.0.0.1:9/cafe\t'
zurich_1252=$'Z\xFCrich Klassik \x80\tKlassik\tClassical\tSwitzerland\tGerman\thttp://127.0.0.1:9/zh\t'
zurich_utf8=$'Z\xC3\xBCrich Klassik \xE2\x82\xAC\tKlassik\tClassical\tSwitzerland\tGerman\thttp://127.0.0.1:9/zh\t'
radio=$'\xD0\xA0\xD0\xB0\xD0\xB4\xD0\xB8\xD0\xBE \xE2\x84\x96 1\tNews\tNews\tUkraine\tUkrainian\thttp://127.0.0.1:9/r\t'
printf '%s\r\n' "$cafe" "$zurich_1252" "$radio" "Last" >"$tmp/app/Data/stations.txt"
printf '%s\r\n' "$cafe" "$zurich_utf8" "$radio" "Last" >"$tmp/expected.txt"
export XDG_CONFIG_HOME="$tmp/config" APP="$tmp/app" SHOTS="$shots" LANG=C.UTF-8
unset QT_QPA_PLATFORM LC_ALL

# The whole display with everything on it stops by itself within the test's
# 120 s, even if this script is killed before its clean-up.
timeout -k 5 110 xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 1280x800x24" bash -c '
  set -u
  "$APP/Quorane" >"$APP/../out.log" 2>&1 &
  pid=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name "^Quorane$" | head -n1)
  [ -n "$wid" ] || { echo "the main window did not appear"; kill $pid; exit 1; }
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  # Row 1, "Cafe Jazz": a double-click plays it.
  xdotool mousemove --window "$wid" 150 58 click --repeat 2 --delay 80 1
  # Nothing listens on its port: the open fails within moments.
  [ -n "$SHOTS" ] && { sleep 2; import -window root "$SHOTS/cant-open.png" 2>/dev/null; }
  xdotool key Escape
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "the player did not end on Esc"; kill $pid; exit 1; fi
  wait $pid
'
cmp "$tmp/expected.txt" "$tmp/app/Data/stations.txt" || {
  echo "FAIL: the station file changed:"
  diff <(od -c "$tmp/expected.txt") <(od -c "$tmp/app/Data/stations.txt") | head -20
  exit 1
}
echo "PASS: the UTF-8 lines came back byte for byte, the 8-bit line as UTF-8"
