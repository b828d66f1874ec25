#!/usr/bin/env bash
# The real player under Xvfb, changed through its own menus and keys (a
# station set to favourite slot 1 from the list's popup menu, the volume set
# to 100% from the same menu, the station deleted with the Delete key), then
# ended by SIGTERM, SIGINT and SIGHUP in turn. Each must end the player with
# exit code 0 within 3 s and leave the three files as a normal exit writes
# them, holding the run's changes. A last run has its Data folder removed
# before SIGTERM: the station list cannot be saved, which is told on
# standard error (no box waits for an answer), and the player still ends
# within 3 s with exit code 0, the settings and window places written.
# usage: signal-under-xvfb.sh <application folder> [screenshot folder]
set -euo pipefail
appsrc=$(realpath "$1")
shots=${2:-}
command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || {
  echo "xvfb-run or xdotool missing"; exit 77; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export APPSRC="$appsrc" TMPROOT="$tmp" SHOTS="$shots"
unset QT_QPA_PLATFORM

# The whole display with everything on it stops by itself within the test's
# 180 s, even if this script is killed before its clean-up.
timeout -k 5 170 xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 1280x800x24" bash -c '
set -u
fail() { echo "FAIL ($case): $*"; cat "$run/out.log" 2>/dev/null; exit 1; }
for case in TERM INT HUP TERM-without-data; do
  sig=${case%%-*}
  run="$TMPROOT/$case"
  mkdir -p "$run/app/Data" "$run/config"
  cp "$APPSRC/Quorane" "$run/app/"
  cp -r "$APPSRC/Plugins" "$run/app/"
  for i in 1 2 3 4 5 6; do
    printf "Station %s\tdesc\tPop\tUSA\tEnglish\thttp://127.0.0.1:9/s%s\t\r\n" $i $i
  done >"$run/app/Data/stations.txt"
  cp "$run/app/Data/stations.txt" "$run/before.txt"
  export XDG_CONFIG_HOME="$run/config"
  "$run/app/Quorane" >"$run/out.log" 2>&1 &
  pid=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name "^Quorane$" | head -n1)
  [ -n "$wid" ] || fail "the main window did not appear"
  sleep 1
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  # A row: select it, then its popup menu: Set to favorite > Slot 1.
  xdotool mousemove --window "$wid" 200 80 click 1
  sleep 0.3
  xdotool click 3; sleep 0.5
  xdotool key Down Down Down Right; sleep 0.3; xdotool key Return; sleep 0.3
  # The popup menu again: Volume control > Volume 100%.
  xdotool mousemove --window "$wid" 200 80 click 3; sleep 0.5
  xdotool key Down Down Down Down Right; sleep 0.3; xdotool key Return; sleep 0.3
  # The Delete key in the list deletes the selected station.
  xdotool key Delete; sleep 0.5
  [ -n "$SHOTS" ] && import -window root "$SHOTS/before-$case.png" 2>/dev/null
  kill -0 $pid 2>/dev/null || fail "the player ended before the signal"
  [ "$case" = TERM-without-data ] && rm -rf "$run/app/Data"
  start=$(date +%s%N)
  kill -$sig $pid
  for _ in $(seq 1 60); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
  if kill -0 $pid 2>/dev/null; then
    kill -KILL $pid; fail "still running 3 s after SIG$sig"
  fi
  wait $pid; rc=$?
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  [ $rc -eq 0 ] || fail "exit code $rc after SIG$sig"

  ini="$run/app/Quorane.ini"
  st="$run/app/Data/stations.txt"
  geo="$run/config/Quorane.INI"
  grep -qx "Volume=100" "$ini" || fail "volume not written: $(cat "$ini")"
  fav=$(sed -n "s/^Fav1=//p" "$ini")
  [ -n "$fav" ] || fail "favourite 1 not written"
  grep -qF "$fav" "$run/before.txt" || fail "favourite 1 is not a station of the list"
  if [ "$case" = TERM-without-data ]; then
    grep -q "Cannot create file" "$run/out.log" || fail "the failed save was not told"
    [ -e "$run/app/Data" ] && fail "a Data folder came back"
  else
    [ $(grep -c "" "$st") -eq 5 ] || fail "the deleted station is still there"
    grep -qF "$fav" "$st" && fail "the station set to slot 1 was not the one deleted"
    [ $(grep -c $'"'"'\r$'"'"' "$st") -eq 5 ] || fail "station file not in CR LF"
  fi
  keys=$(sed -n "s/^\([A-Za-z0-9]*\)=.*/\1/p" "$ini" | tr "\n" " ")
  expect="Proxy Volume SkinName $(for n in $(seq 1 14); do printf "Fav%s " $n; done)"
  [ "$keys" = "$expect" ] || fail "settings keys: $keys"
  sections=$(grep "^\[" "$geo" | tr "\n" " ")
  [ "$sections" = "[Find stations] [Song history] [Add a new station] [Proxy settings] [Quorane] " ] || fail "geometry: $sections"
  echo "$case: exit 0 after $ms ms; Volume=100, Fav1=$fav, geometry of 5 windows;" \
    "$( [ "$case" = TERM-without-data ] && grep -m1 "Cannot create file" "$run/out.log" ||
      echo "5 of 6 stations")"
done
'
echo "PASS: SIGTERM, SIGINT and SIGHUP end the player as its Exit does, also when a save fails"
