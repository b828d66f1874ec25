#!/usr/bin/env bash
# File > Record as a listener meets it, over minutes: the real player under
# Xvfb records a real Icecast on 127.0.0.1 whose source plays songs of
# SONG_SECONDS each (a tone of the song's own pitch, then 300 ms of silence)
# and whose title is changed through the admin interface 2 s after each new
# tone begins, as stations announce late. Ctrl+R, then a double-click on the
# station; after the third title change and 20 s more, Ctrl+R again. Then
# every file the recording made is listed with ffprobe's duration, its tags,
# its pitches and where its cuts lie against the songs' schedule
# (recorded-files.py), which also judges them.
# Too long for the test suite (the songs must last over 45 s to be kept);
# run by hand:  record-under-xvfb.sh <application folder> [SONG_SECONDS]
# With QUORANE_SHOTS=<folder>, screenshots are kept there, and the recorded
# files in <folder>/recorded.
set -uo pipefail
appsrc=$(realpath "$1")
song=${2:-60}
gap=0.3
here=$(dirname "$(realpath "$0")")
. "$here/../common/own-display.sh"
script_workspace record Xvfb xdotool icecast2 ffmpeg ffprobe curl python3
plus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }
# Sleeps until the time $1.
until_time() {
  local left
  left=$(awk -v t="$1" -v n="$(now)" 'BEGIN { d = t - n; printf "%.3f", (d > 0 ? d : 0) }')
  sleep "$left"
}

# Song j (from 0): a tone of 440 + 110 * (j mod 5) Hz for SONG - 0.3 s, then silence.
graph="aevalsrc=exprs='if(lt(mod(t,$song),$song-$gap),0.5*sin(2*PI*(440+110*mod(floor(t/$song),5))*t),0)':s=44100:c=mono"
lifetime=$((song * 4 + 60))
bash "$here/../icecast/run-icecast.sh" --seconds "$lifetime" --mount /songs.mp3 \
  --name "Quorane Songs" --lavfi "$graph" >"$tmp/icecast.out" 2>&1 &
pids+=($!)
says() { sed -n "s/^$1=//p" "$tmp/icecast.out" | tail -n1; }
for _ in $(seq 1 300); do
  grep -q '^READY=1' "$tmp/icecast.out" && break
  grep -q '^ERROR=' "$tmp/icecast.out" && break
  sleep 0.1
done
grep -q 'ERROR=.*not installed' "$tmp/icecast.out" && exit 77
grep -q '^READY=1' "$tmp/icecast.out" || fail "Icecast did not start: $(cat "$tmp/icecast.out")"
url=$(says URL)
started=$(says SOURCE_STARTED_AT)
set_title() {
  curl -s -f -o /dev/null --max-time 3 -u "admin:$(says ADMIN_PASSWORD)" \
    "$(says ADMIN_METADATA_URL)${1// /%20}" || fail "the title \"$1\" was not set"
  echo "title \"$1\" set $(minus "$(now)" "$started") s into the source"
}
set_title "Artist 1 - Song 1"

own_display "$tmp" 1024x700x24 "$lifetime"
player_folder "$tmp" "$appsrc"
mkdir -p "$tmp/music"
printf 'XDG_MUSIC_DIR="%s"\n' "$tmp/music" >"$tmp/config/user-dirs.dirs"
printf 'Songs\tSongs, one file each\tTest\tHere\tEnglish\t%s\t\r\n' "$url" >"$tmp/app/Data/stations.txt"
export SDL_AUDIODRIVER=dummy
"$tmp/app/Quorane" >"$tmp/player.log" 2>&1 &
player=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quorane$' | head -n1)
[ -n "$wid" ] || fail "the main window did not appear: $(cat "$tmp/player.log")"
sleep 1
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" ctrl+r
# With no window manager the window sits at 0,0: the first row below the header.
xdotool mousemove --window "$wid" 150 58 click --repeat 2 --delay 60 1
echo "recording from $(minus "$(now)" "$started") s into the source"
sleep 3
shot "record-1-recording"

for k in 1 2 3; do
  until_time "$(plus "$started" "$((k * song + 2))")"
  set_title "Artist $((k + 1)) - Song $((k + 1))"
  kill -0 "$player" 2>/dev/null || fail "the player ended: $(cat "$tmp/player.log")"
  sleep 3
  shot "record-$((k + 1))-song-$((k + 1))"
done
until_time "$(plus "$started" "$((3 * song + 20))")"
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" ctrl+r
echo "recording ended $(minus "$(now)" "$started") s into the source"
last="$tmp/music/Quorane/Songs/Incomplete/Artist 4 - Song 4.mp3"
for _ in $(seq 1 150); do [ -f "$last" ] && break; sleep 0.1; done
shot "record-5-ended"
[ -f "$last" ] || fail "the song under way was not kept as partial"
kill "$player"
for _ in $(seq 1 100); do kill -0 "$player" 2>/dev/null || break; sleep 0.1; done
player=""

if [ -n "${QUORANE_SHOTS:-}" ]; then
  rm -rf "$QUORANE_SHOTS/recorded"
  cp -r "$tmp/music/Quorane" "$QUORANE_SHOTS/recorded"
fi
echo "files under <Music>/Quorane/Songs:"
python3 "$here/recorded-files.py" "$tmp/music/Quorane/Songs" "$song" "$gap" ||
  fail "the recording is not as it should be"
count=$(find "$tmp/music/Quorane" -type f | wc -l)
[ "$count" -eq 4 ] || fail "$count files, not 4 (two partial, two complete)"
echo "PASS: four files, each one song, cut in the silence between songs"
