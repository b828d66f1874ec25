#!/usr/bin/env bash
# The real player under Xvfb, started a second time on the same files: the
# second start ends at once with exit code 0 and writes nothing, and the
# first run's window comes to the front, above the window of another copy
# (another folder, files of its own, running side by side) and with the
# keyboard focus. Both runs then end normally.
# usage: second-start-under-xvfb.sh <application folder> [screenshot folder]
set -euo pipefail
appsrc=$(realpath "$1")
shots=${2:-}
for tool in xvfb-run xdotool xwininfo; do
  command -v $tool >/dev/null || { echo "$tool missing"; exit 77; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for copy in A B; do
  mkdir -p "$tmp/$copy/Data" "$tmp/$copy-config"
  cp "$appsrc/Quorane" "$tmp/$copy/"
  cp -r "$appsrc/Plugins" "$tmp/$copy/"
  for i in 1 2 3; do
    printf "Copy %s station %s\tdesc\tPop\tUSA\tEnglish\thttp://127.0.0.1:9/s%s\t\r\n" $copy $i $i
  done >"$tmp/$copy/Data/stations.txt"
done
export TMPROOT="$tmp" SHOTS="$shots"
unset QT_QPA_PLATFORM

# The whole display with everything on it stops by itself within the test's
# 120 s, even if this script is killed before its clean-up.
timeout -k 5 110 xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 1280x800x24" bash -c '
set -u
a= b=
trap "[ -n \"\$a\" ] && kill -KILL \$a 2>/dev/null; [ -n \"\$b\" ] && kill -KILL \$b 2>/dev/null" EXIT
fail() { echo "FAIL: $*"; tail -n 5 "$TMPROOT"/*.log; exit 1; }
# start <copy> <log>: the copy runs in the background, its pid in $started;
# bounded, and only the player gets the signal of the bound (a second SIGTERM to
# the whole group would end it at once, as a second signal is meant to).
start() {
  XDG_CONFIG_HOME="$TMPROOT/$1-config" timeout --foreground 120 "$TMPROOT/$1/Quorane" >"$TMPROOT/$2.log" 2>&1 &
  started=$!
}
# The depth of window $1 among the top-level windows: xwininfo lists them
# from the top of the stack down, so a window above another comes first.
depth() { xwininfo -root -children | grep -n "^ *$(printf 0x%x "$1") " | cut -d: -f1; }
above() { [ "$(depth "$1")" -lt "$(depth "$2")" ]; }
windows() { xdotool search --onlyvisible --name "^Quorane$" 2>/dev/null || true; }

start A A; a=$started
wa=$(timeout 30 xdotool search --sync --onlyvisible --name "^Quorane$" | head -n1)
[ -n "$wa" ] || fail "the first window did not appear"
start B B; b=$started
wb=
for _ in $(seq 1 300); do
  wb=$(windows | grep -vx "$wa" | head -n1)
  [ -n "$wb" ] && break
  sleep 0.1
done
[ -n "$wb" ] || fail "the window of the copy in another folder did not appear"
for _ in $(seq 1 100); do
  above "$wb" "$wa" && [ "$(xdotool getwindowfocus)" = "$wb" ] && break
  sleep 0.1
done
above "$wb" "$wa" || fail "the other copy did not open above the first"
[ -n "$SHOTS" ] && import -window root "$SHOTS/second-start-before.png" 2>/dev/null

began=$(date +%s%N)
XDG_CONFIG_HOME="$TMPROOT/A-config" timeout 30 "$TMPROOT/A/Quorane" >"$TMPROOT/A-again.log" 2>&1
rc=$?
ms=$(( ($(date +%s%N) - began) / 1000000 ))
[ $rc -eq 0 ] || fail "the second start ended with $rc"
grep -q "already running" "$TMPROOT/A-again.log" || fail "the second start did not say why it ended"
[ -e "$TMPROOT/A/Quorane.ini" ] && fail "the second start wrote the settings file"
[ -e "$TMPROOT/A-config/Quorane.INI" ] && fail "the second start wrote the window places"
[ $(windows | wc -l) -eq 2 ] || fail "the second start opened a window"
for _ in $(seq 1 100); do
  above "$wa" "$wb" && [ "$(xdotool getwindowfocus)" = "$wa" ] && break
  sleep 0.05
done
above "$wa" "$wb" || fail "the first window was not brought to the front"
[ "$(xdotool getwindowfocus)" = "$wa" ] || fail "the first window did not get the focus"
[ -n "$SHOTS" ] && import -window root "$SHOTS/second-start-after.png" 2>/dev/null
echo "second start: ended with 0 after $ms ms, wrote nothing; the first window is in front with the focus"

for pid in $a $b; do
  kill -TERM $pid
  wait $pid || fail "a run ended with $? on SIGTERM"
done
a= b=
[ -s "$TMPROOT/A/Quorane.ini" ] && [ -s "$TMPROOT/B/Quorane.ini" ] || fail "a run did not write its settings"
echo "both runs ended with 0 and wrote their own files"
'
echo "PASS: a second start brings the running window to the front and ends writing nothing"
