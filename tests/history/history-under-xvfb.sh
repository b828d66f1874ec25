#!/usr/bin/env bash
# The song history, the title notifications and the desktop's Next as a
# listener meets them: the real player under Xvfb with a session bus of its
# own, a real notification service (dunst) and two real Icecast servers on
# 127.0.0.1 whose titles change through their admin interface. It plays
# both stations from the list, changes their titles, opens the "Song
# history" window, moves to the next favourite slot with `playerctl next`,
# hides the window to the tray (trayer) and changes the titles twice more,
# counting the notifications on the bus with dbus-monitor; at the end the
# history file must hold every title once, in order.
# usage: history-under-xvfb.sh <application folder>
# With QUORANE_SHOTS=<folder>, screenshots of each step are kept there.
set -uo pipefail
appsrc=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
for tool in Xvfb xdotool icecast2 ffmpeg curl dbus-daemon dbus-monitor playerctl dunst trayer python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

tmp=$(mktemp -d /tmp/quorane-history.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  shot failure
  tail -5 "$tmp/player.log" >&2 2>/dev/null
  exit 1
}
shot() {
  [ -n "${QUORANE_SHOTS:-}" ] && command -v import >/dev/null &&
    import -window root "$QUORANE_SHOTS/$1.png" 2>/dev/null
  return 0
}
# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local n=$1; shift
  for _ in $(seq 1 "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# Two Icecast servers, each with one MP3 mount and a first title.
# usage: start_server KEY mount title frequency
start_server() {
  bash "$here/../icecast/run-icecast.sh" --seconds 200 --mount "$2" --name "Quorane $1" \
    --title "$3" --frequency "$4" >"$tmp/$1.out" 2>&1 &
  pids+=($!)
}
server_says() { # KEY NAME: the value of the line NAME=... once it is there
  wait_for 300 grep -q "^$2=" "$tmp/$1.out" || return 1
  sed -n "s/^$2=//p" "$tmp/$1.out" | head -n1
}
start_server a /a.mp3 "Alpha One" 440
start_server b /b.mp3 "Beta One" 660
url_a=$(server_says a URL) || { grep -q 'not installed' "$tmp/a.out" && exit 77; fail "Icecast A: $(cat "$tmp/a.out")"; }
url_b=$(server_says b URL) || fail "Icecast B: $(cat "$tmp/b.out")"
# The admin interface's title change, as a station's playout system does it.
set_title() { # KEY TITLE
  local port pass mount
  port=$(server_says "$1" PORT) pass=$(server_says "$1" ADMIN_PASSWORD) mount=$(server_says "$1" MOUNT)
  curl -s -f --max-time 5 -u "admin:$pass" -G --data-urlencode "song=$2" \
    "http://127.0.0.1:$port/admin/metadata?mount=$mount&mode=updinfo" >/dev/null ||
    fail "the title of $1 was not set"
}

# A display and a session bus of our own, each bounded in time.
timeout 200 Xvfb -displayfd 3 -screen 0 1024x700x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
pids+=($!)
wait_for 100 test -s "$tmp/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$tmp/display")"
timeout 200 dbus-daemon --session --nofork --print-address=1 >"$tmp/bus" 2>/dev/null &
pids+=($!)
wait_for 100 test -s "$tmp/bus" || fail "dbus-daemon did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$tmp/bus")
export DBUS_SESSION_BUS_ADDRESS
unset QT_QPA_PLATFORM
timeout 200 dunst >"$tmp/dunst.log" 2>&1 &
pids+=($!)
timeout 200 trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 \
  --transparent false >"$tmp/trayer.log" 2>&1 &
pids+=($!)
timeout 200 dbus-monitor "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$tmp/monitor.log" 2>&1 &
pids+=($!)
notifications() { grep -c 'member=Notify' "$tmp/monitor.log"; }

mkdir -p "$tmp/app/Data" "$tmp/config"
cp "$appsrc/Quorane" "$tmp/app/"
cp -r "$appsrc/Plugins" "$tmp/app/"
printf 'Alpha Radio\tFirst\tTest\tHere\tEnglish\t%s\t\r\nBeta Radio\tSecond\tTest\tHere\tEnglish\t%s\t\r\n' \
  "$url_a" "$url_b" >"$tmp/app/Data/stations.txt"
# Slot 1 plays Alpha, slot 2 Beta.
{
  printf '[Main]\nProxy=\nVolume=50\nSkinName=Winter2003 (internal)\n[Favorites]\n'
  printf 'Fav1=%s\nFav2=%s\n' "$url_a" "$url_b"
  for n in $(seq 3 14); do printf 'Fav%s=\n' "$n"; done
} >"$tmp/app/Quorane.ini"
export XDG_CONFIG_HOME="$tmp/config" SDL_AUDIODRIVER=dummy
timeout 150 "$tmp/app/Quorane" >"$tmp/player.log" 2>&1 &
player=$!
pids+=($player)
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quorane$' | head -n1)
[ -n "$wid" ] || fail "the main window did not appear"
sleep 1
caption() { [ "$(xdotool getwindowname "$wid" 2>/dev/null)" = "$1" ]; }
# With no window manager the window sits at 0,0: the rows are 17 px high
# below the list header.
play_row() { # ROW EXPECTED-CAPTION
  xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool mousemove --window "$wid" 150 $((58 + 17 * $1)) click --repeat 2 --delay 60 1
  wait_for 200 caption "$2" || fail "row $1: the caption shows \"$(xdotool getwindowname "$wid")\", not \"$2\""
}
retitle() { # KEY TITLE: the new title must reach the caption
  set_title "$1" "$2"
  wait_for 200 caption "$2" || fail "the new title \"$2\" did not come; the caption is \"$(xdotool getwindowname "$wid")\""
}

play_row 0 "Alpha One"
retitle a "Alpha Two"
play_row 1 "Beta One"
retitle b "Beta Two"
[ "$(notifications)" -eq 0 ] || fail "notified while the window was active: $(notifications)"

# The history window, newest first.
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key ctrl+h
hid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Song history$' | head -n1)
[ -n "$hid" ] || fail "Ctrl+H did not show the song history"
xdotool windowmove "$hid" 200 120
sleep 1
shot 1-song-history
xdotool windowfocus --sync "$hid" 2>/dev/null
xdotool key Escape
wait_for 50 eval '! xdotool search --onlyvisible --name "^Song history$" >/dev/null' ||
  fail "Esc did not close the song history"

# The desktop's Next: from Beta (slot 2) round to slot 1, Alpha; then back.
playerctl -p quorane next || fail "playerctl next: $?"
wait_for 200 caption "Alpha Two" || fail "after playerctl next the caption is \"$(xdotool getwindowname "$wid")\""
[ "$(playerctl -p quorane metadata xesam:url)" = "$url_a" ] || fail "Next did not play slot 1"
echo "playerctl next: $(playerctl -p quorane status) $(playerctl -p quorane metadata xesam:url)"
shot 2-after-next
playerctl -p quorane next
wait_for 200 caption "Beta Two" || fail "the second next did not play slot 2"

# Minimised (the window manager's part done by hand: Xvfb has none), the
# window goes to the tray; then every new title is a notification.
python3 "$here/../common/wm-state.py" "$wid" 3 || fail "WM_STATE not set"
# (By class: the caption is the stream title by now.)
wait_for 50 eval '! xdotool search --onlyvisible --class "^Quorane$" | grep -qx "$wid"' ||
  fail "minimising did not hide the main window"
before=$(notifications)
for title in "Beta Three" "Beta Four"; do
  set_title b "$title"
  wait_for 200 grep -q "string \"$title\"" "$tmp/monitor.log" || fail "no notification for \"$title\""
done
sleep 1
shot 3-notification
after=$(notifications)
[ $((after - before)) -eq 2 ] || fail "$((after - before)) notifications for 2 title changes"
grep -A12 'member=Notify' "$tmp/monitor.log" | grep -E '^ +(string|uint32)' | head -24

# The full shutdown writes the history.
kill "$player"
wait_for 100 eval '! kill -0 '"$player"' 2>/dev/null' || fail "the player did not end"
titles=$(cut -f2,3 "$tmp/app/History.txt" | tr '\t' '|' | paste -sd ';')
expect="Alpha Radio|Alpha One;Alpha Radio|Alpha Two;Beta Radio|Beta One;Beta Radio|Beta Two"
expect+=";Quorane a|Alpha Two;Quorane b|Beta Two;Quorane b|Beta Three;Quorane b|Beta Four"
[ "$titles" = "$expect" ] || fail "History.txt: $titles"
echo "PASS: 8 titles in History.txt in order; playerctl next played slot 1; $((after - before)) notifications for 2 title changes while hidden"
