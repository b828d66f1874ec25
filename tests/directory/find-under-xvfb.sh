#!/usr/bin/env bash
# The real player under Xvfb with the directory fixture as its station
# directory (DirectoryServer in its settings) and a real Icecast serving the
# station the fixture lists: Ctrl+F opens "Find stations", part of the name
# typed and Enter play the first result, whose title reaches the main
# window's caption; the fixture hears of the click; Insert puts the station
# at the top of the list, and the station file holds it after the player
# has ended.
# usage: find-under-xvfb.sh <application folder> <directory_fixture program>
# With QUORANE_SHOTS=<folder>, screenshots of each step are kept there.
set -uo pipefail
appsrc=$(realpath "$1")
fixture=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
. "$here/../common/own-display.sh"
script_workspace find Xvfb xdotool icecast2 ffmpeg curl timeout
# Waits up to $3 s for a line $2=... in file $1; prints the value.
says() {
  local deadline=$((SECONDS + $3)) v
  while [ $SECONDS -lt $deadline ]; do
    grep -q '^ERROR=' "$1" && { grep '^ERROR=' "$1" >&2; return 2; }
    v=$(sed -n "s/^$2=//p" "$1" | tail -n1)
    [ -n "$v" ] && { echo "$v"; return 0; }
    sleep 0.1
  done
  return 1
}
# Waits up to $2 s for the window named exactly $1; prints its id.
window() {
  timeout "$2" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n1
}

title="Found In The Directory"
timeout 118 bash "$here/../icecast/run-icecast.sh" --seconds 110 --codec mp3 \
  --mount /wombat.mp3 --name "Wombat Icecast" --title "$title" >"$tmp/icecast.out" 2>&1 &
pids+=($!)
stream=$(says "$tmp/icecast.out" URL 30)
rc=$?
[ $rc -eq 2 ] && grep -q 'not installed' "$tmp/icecast.out" && exit 77
[ -n "$stream" ] || fail "Icecast did not start: $(cat "$tmp/icecast.out")"

timeout 118 "$fixture" --seconds 110 --stations 2000 \
  --station "Wombat Directory FM|$stream|test,tones|Australia" >"$tmp/fixture.out" 2>&1 &
pids+=($!)
directory=$(says "$tmp/fixture.out" URL 10) || fail "the fixture did not start: $(cat "$tmp/fixture.out")"

# Xvfb and the player, like the servers above, end by themselves within the
# test's 120 s, also when this script is killed before its clean-up.
own_display "$tmp" 1280x1024x24 118
player_folder "$tmp" "$appsrc"
printf 'Old Station\tkept\tTest\tHere\tEnglish\thttp://127.0.0.1:9/old\t\r\n' >"$tmp/app/Data/stations.txt"
printf '[Main]\r\nVolume=50\r\nDirectoryServer=%s\r\n' "$directory" >"$tmp/app/Quorane.ini"
export SDL_AUDIODRIVER=dummy

timeout --foreground -k 5 110 "$tmp/app/Quorane" >"$tmp/player.log" 2>&1 &
player=$!
main=$(window Quorane 30)
[ -n "$main" ] || fail "the main window did not appear: $(cat "$tmp/player.log")"
sleep 1
xdotool windowfocus --sync "$main" 2>/dev/null || true
grep -q '^REQUEST=' "$tmp/fixture.out" && fail "the directory was asked before the window opened"

xdotool key ctrl+f
find=$(window "Find stations" 15)
[ -n "$find" ] || fail "Ctrl+F opened no \"Find stations\" window"
# Without a window manager both windows open at 0,0: the find window moves
# below the main one, so the screenshots show both.
xdotool windowmove "$find" 0 470
xdotool windowfocus --sync "$find" 2>/dev/null || true
sleep 1
shot "1-find-opened"
xdotool type --delay 80 "wombat dir"
xdotool key Return
playing=""
for _ in $(seq 1 150); do
  [ "$(xdotool getwindowname "$main" 2>/dev/null)" = "$title" ] && { playing=1; break; }
  sleep 0.1
done
shot "2-playing"
[ -n "$playing" ] || fail "the caption shows \"$(xdotool getwindowname "$main")\", not \"$title\""
grep -q '^REQUEST=/json/url/9a5e1c00-0000-4000-8000-000000000001$' "$tmp/fixture.out" ||
  fail "the fixture saw no click: $(grep '^REQUEST=' "$tmp/fixture.out")"

xdotool key Insert
sleep 1
shot "3-added"
kill -TERM "$player"
for _ in $(seq 1 100); do kill -0 "$player" 2>/dev/null || break; sleep 0.1; done
kill -0 "$player" 2>/dev/null && fail "the player did not end on SIGTERM"
wait "$player"
rc=$?
player=""
[ $rc -eq 0 ] || fail "the player ended with $rc: $(cat "$tmp/player.log")"
first=$(head -n1 "$tmp/app/Data/stations.txt")
expected=$(printf 'Wombat Directory FM\ttest, tones\ttest\tAustralia\tenglish\t%s\thttps://quorane.invalid/0\t\r' "$stream")
[ "$first" = "$expected" ] || fail "the station file begins with \"$first\""
grep -q '^Old Station' "$tmp/app/Data/stations.txt" || fail "the old station is gone"
grep -q "^DirectoryServer=$directory" "$tmp/app/Quorane.ini" || fail "DirectoryServer was not kept"
echo "PASS: Ctrl+F, \"wombat dir\", Enter: \"$title\" in the caption, the click seen; Insert: in the station file after exit"
