#!/usr/bin/env bash
# The real player under Xvfb against a real Icecast on 127.0.0.1, as a
# listener meets it: an MP3 mount whose title was set before anyone listened
# and an Ogg Vorbis mount whose title is in the stream's comment. A station
# double-clicked in the list must show its title in the window caption within
# 2 s of its first sound at the output (SDL's disk driver). Then the MP3
# mount's source goes away and comes back 3 s later with a new title: the
# player must sound again and show the new title with no input at all.
# usage: titles-under-xvfb.sh <application folder>
# With QUORANE_SHOTS=<folder>, screenshots of each step are kept there.
set -uo pipefail
appsrc=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
. "$here/../common/own-display.sh"
script_workspace titles Xvfb xdotool icecast2 ffmpeg curl cmp
wid=""
gap=""
# True while fewer than $2 seconds have passed since the time $1.
before() { awk -v a="$(now)" -v b="$1" -v l="$2" 'BEGIN { exit !(a - b < l) }'; }

# One Icecast per mount, each with its control line held open on a FIFO.
# usage: start_server KEY codec mount title frequency
start_server() {
  mkfifo "$tmp/$1.in"
  bash "$here/run-icecast.sh" --seconds 170 --control-stdin --codec "$2" --mount "$3" \
    --name "Quorane $1" --title "$4" --frequency "$5" <"$tmp/$1.in" >"$tmp/$1.out" 2>&1 &
  pids+=($!)
  exec {fd}>"$tmp/$1.in"
  eval "control_$1=$fd"
}
# Waits up to $2 s for a line KEY=... from server $1; prints the value.
server_says() {
  local deadline=$((SECONDS + $3))
  while [ $SECONDS -lt $deadline ]; do
    grep -q '^ERROR=' "$tmp/$1.out" && { grep '^ERROR=' "$tmp/$1.out" >&2; return 2; }
    local v
    v=$(sed -n "s/^$2=//p" "$tmp/$1.out" | tail -n1)
    [ -n "$v" ] && { echo "$v"; return 0; }
    sleep 0.1
  done
  return 1
}

start_server mp3 mp3 /listen.mp3 "Before You Came" 440
start_server ogg ogg /listen.ogg "Ogg Comment Title" 660
mp3_url=$(server_says mp3 URL 30)
rc=$?
[ $rc -eq 2 ] && grep -q 'not installed' "$tmp/mp3.out" && exit 77
[ -n "$mp3_url" ] || fail "the MP3 Icecast did not start: $(cat "$tmp/mp3.out")"
ogg_url=$(server_says ogg URL 30) || fail "the Ogg Icecast did not start: $(cat "$tmp/ogg.out")"
server_says mp3 READY 30 >/dev/null || fail "MP3 mount not live"
server_says ogg READY 30 >/dev/null || fail "Ogg mount not live"
# A full burst, as a station that has been on air a while.
sleep 4

# A display of our own: Xvfb picks a free number and tells it. Like every
# process here it runs under timeout, within the test's 180 s, so it stops
# by itself even if this script is killed before its clean-up.
own_display "$tmp" 1024x700x24 170
player_folder "$tmp" "$appsrc"
printf 'MP3 Station\tTitle set before\tTest\tHere\tEnglish\t%s\t\r\nOgg Station\tComment title\tTest\tHere\tEnglish\t%s\t\r\n' \
  "$mp3_url" "$ogg_url" >"$tmp/app/Data/stations.txt"
export SDL_AUDIODRIVER=disk

# Starts the player, double-clicks list row $1 (0-based) and waits for the
# caption $2; sets gap to the seconds from the first sound to the caption.
play_row() {
  local clicked sound="" caption="" name y
  rm -f "$tmp/out.raw"
  SDL_DISKAUDIOFILE="$tmp/out.raw" timeout --foreground -k 5 120 "$tmp/app/Quorane" \
    >"$tmp/player.log" 2>&1 &
  player=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quorane$' | head -n1)
  [ -n "$wid" ] || fail "the main window did not appear: $(cat "$tmp/player.log")"
  sleep 1
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  # With no window manager the window sits at 0,0: the rows are 17 px high
  # below the list header.
  y=$((58 + 17 * $1))
  xdotool mousemove --window "$wid" 150 "$y" click --repeat 2 --delay 60 1
  clicked=$(now)
  while { [ -z "$caption" ] || [ -z "$sound" ]; } && before "$clicked" 15; do
    if [ -z "$sound" ] && [ -s "$tmp/out.raw" ] &&
      ! cmp -s -n "$(stat -c %s "$tmp/out.raw")" "$tmp/out.raw" /dev/zero; then
      sound=$(now)
    fi
    name=$(xdotool getwindowname "$wid" 2>/dev/null)
    [ -z "$caption" ] && [ "$name" = "$2" ] && caption=$(now)
    sleep 0.05
  done
  shot "row$1-playing"
  [ -n "$sound" ] || fail "row $1: no sound reached the output"
  [ -n "$caption" ] || fail "row $1: the caption shows \"$(xdotool getwindowname "$wid")\", not \"$2\""
  gap=$(minus "$caption" "$sound")
  echo "row $1: sound $(minus "$sound" "$clicked") s after the double-click, caption \"$2\" $gap s after the sound"
}
within_two() { awk -v d="$1" 'BEGIN { exit !(d <= 2.0) }'; }
quit_player() {
  kill "$player" 2>/dev/null
  for _ in $(seq 1 50); do kill -0 "$player" 2>/dev/null || break; sleep 0.1; done
  wait "$player" 2>/dev/null
  player=""
}
# True when the last half second written to the output holds sound.
sounding_now() {
  local n=176400 size
  size=$(stat -c %s "$tmp/out.raw")
  [ "$size" -gt $n ] && ! tail -c $n "$tmp/out.raw" | cmp -s -n $n - /dev/zero
}

play_row 1 "Ogg Comment Title"
ogg_gap=$gap
within_two "$ogg_gap" || fail "Ogg: the title showed $ogg_gap s after the sound"
quit_player

play_row 0 "Before You Came"
mp3_gap=$gap
within_two "$mp3_gap" || fail "MP3: the title showed $mp3_gap s after the sound"
sleep 2
sounding_now || fail "the MP3 station does not play on"

# The source goes away and comes back 3 s later with a new title.
eval "echo 'restart-source 3 After The Break' >&\$control_mp3"
server_says mp3 SOURCE_GONE 10 >/dev/null || fail "the source did not stop"
gone=$(now)
sleep 1
shot "source-gone"
server_says mp3 SOURCE_BACK 20 >/dev/null || fail "the source did not come back"
back=""
while [ -z "$back" ] && before "$gone" 40; do
  [ "$(xdotool getwindowname "$wid" 2>/dev/null)" = "After The Break" ] && back=$(now)
  sleep 0.1
done
shot "source-back"
[ -n "$back" ] || fail "after the source came back the caption shows \"$(xdotool getwindowname "$wid")\""
sleep 1
sounding_now || fail "no sound after the source came back"
kill -0 "$player" 2>/dev/null || fail "the player ended"
echo "PASS: Ogg title ${ogg_gap} s and MP3 title ${mp3_gap} s after the first sound; the new title $(minus "$back" "$gone") s after the source went away, sound again"
