#!/usr/bin/env bash
# The real player with a real notification area: under Xvfb, with trayer as
# the panel (an XEmbed system tray) started after the player, it checks that
# the tray icon is docked, that minimising the player hides its main window,
# that a click on the icon brings it back, that the icon is docked again when
# the panel restarts, and that the tray menu's Exit ends the player through
# the full shutdown while the window is hidden. Exits 77 (skipped) when a
# tool is missing.
# usage: tray-under-xvfb.sh <application folder> <bundled stations.txt>
# With QUORANE_TRAY_SHOTS set to a folder, screenshots are left there.
set -euo pipefail

if [ -z "${TRAY_TEST_INNER:-}" ]; then
  for tool in xvfb-run xdotool trayer python3; do
    command -v "$tool" >/dev/null || { echo "$tool missing"; exit 77; }
  done
  appsrc=$(realpath "$1")
  bundled=$(realpath "$2")
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/app/Data" "$tmp/config"
  cp "$appsrc/Quorane" "$tmp/app/"
  cp -r "$appsrc/Plugins" "$tmp/app/" 2>/dev/null || true
  cp "$bundled" "$tmp/app/Data/stations.txt"
  unset QT_QPA_PLATFORM
  # The XEmbed tray is what trayer offers; a session bus with another kind
  # of tray host must not take the icon away from it.
  unset DBUS_SESSION_BUS_ADDRESS
  status=0
  # xvfb-run -a starts its search for a free display at 99 unless told
  # otherwise, and two runs that start together may both take the same one;
  # a random start keeps this test off the other Xvfb tests' display.
  # The whole display with the panel and the player stops by itself within
  # the test's 120 s, even if this script is killed before its clean-up.
  TRAY_TEST_INNER=1 XDG_CONFIG_HOME="$tmp/config" TMPDIR_APP="$tmp" \
    timeout -k 5 110 xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 1024x700x24" bash "$0" || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$tmp/out.log" 2>/dev/null || true
    exit "$status"
  fi
  fail() { echo "FAIL: $*"; exit 1; }
  geo="$tmp/config/Quorane.INI"
  [ -f "$geo" ] || fail "no window-geometry file: the shutdown did not run"
  grep -q '^\[Quorane\]' "$geo" || fail "no main-window section in $(cat "$geo")"
  # Exit came while the window was hidden in the tray: minimised underneath,
  # it is saved in the state it had before (normal), so the next start shows it.
  sed -n '/^\[Quorane\]/,/^\[/p' "$geo" | grep -q '^WindowState=0' ||
    fail "main window not saved as normal: $(cat "$geo")"
  [ -f "$tmp/app/Quorane.ini" ] || fail "no settings file"
  [ "$(grep -c '' "$tmp/app/Data/stations.txt")" -eq "$(grep -c '' "$bundled")" ] ||
    fail "station file not written back whole"
  echo "PASS: tray icon docked, hid and brought back the window, came back with the panel, Exit ended the player"
  exit 0
fi

# ---- inside Xvfb ----
app="$TMPDIR_APP/app"
pids=()
cleanup() { for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; shot failure; cat "$TMPDIR_APP/trayer.log" 2>/dev/null | tail -5; exit 1; }
shot() {
  [ -n "${QUORANE_TRAY_SHOTS:-}" ] && command -v import >/dev/null &&
    import -window root "$QUORANE_TRAY_SHOTS/$1.png" 2>/dev/null || true
}
# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local n=$1; shift
  for _ in $(seq 1 "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
start_trayer() {
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 \
    --transparent false >>"$TMPDIR_APP/trayer.log" 2>&1 &
  trayer_pid=$!
  pids+=("$trayer_pid")
}
# The player's windows are all named "Quorane"; they differ in size.
width_of() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p'; }
viewable() { xdotool search --onlyvisible --class '^Quorane$' 2>/dev/null | grep -qx "$1"; }
find_window() { # smallest width, largest width -> prints the first viewable one in range
  local lo=$1 hi=$2 w x
  for w in $(xdotool search --onlyvisible --class '^Quorane$' 2>/dev/null); do
    x=$(width_of "$w"); [ -n "$x" ] && [ "$x" -ge "$lo" ] && [ "$x" -le "$hi" ] && { echo "$w"; return 0; }
  done
  return 1
}
# The window manager's part, which Xvfb lacks: a WM minimises a window by
# setting its WM_STATE to Iconic (3), and sets it to Normal (1) when the
# window is mapped again. xdotool windowminimize only asks a WM to do so.
wm_state() {
  python3 "$(dirname "$(realpath "$0")")/../common/wm-state.py" "$1" "$2"
}
minimise() {
  xdotool windowminimize "$1" 2>/dev/null || true
  wm_state "$1" 3
}

# The panel starts after the player, as it may at login: the icon is made
# and docked once the panel is there.
"$app/Quorane" >"$TMPDIR_APP/out.log" 2>&1 &
player=$!
pids+=("$player")
main=""; icon=""
wait_for 300 eval 'main=$(find_window 300 5000)' || fail "the main window did not appear"
start_trayer
wait_for 100 xdotool search --name '^panel$' >/dev/null || fail "trayer did not start"
wait_for 300 eval 'icon=$(find_window 8 64)' || fail "no tray icon docked in the panel"
sleep 0.5
shot 1-started

minimise "$main"
wait_for 50 eval '! viewable "$main"' || fail "minimising did not hide the main window"
kill -0 "$player" || fail "the player ended on minimise"
viewable "$icon" || fail "the tray icon went away with the window"
shot 2-in-tray

xdotool mousemove --window "$icon" 8 8 click 1
wait_for 50 viewable "$main" || fail "a click on the tray icon did not bring the window back"
wm_state "$main" 1
shot 3-back

# The panel restarts: the icon is docked again.
kill "$trayer_pid"
wait_for 50 eval '! find_window 8 64 >/dev/null' || fail "the icon stayed without the panel"
start_trayer
wait_for 100 eval 'icon=$(find_window 8 64)' || fail "the icon was not docked again in the restarted panel"
sleep 0.5
shot 4-panel-restarted

# Exit from the tray menu while the window is hidden.
minimise "$main"
wait_for 50 eval '! viewable "$main"' || fail "the second minimise did not hide the main window"
xdotool mousemove --window "$icon" 8 8 click 3
menu=""
wait_for 50 eval 'menu=$(find_window 65 299)' || fail "the right button opened no menu"
sleep 0.3
shot 5-menu
height=$(xdotool getwindowgeometry "$menu" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
# "Exit" is the menu's last item.
xdotool mousemove --window "$menu" 30 $((height - 10)) click 1
wait_for 150 eval '! kill -0 "$player" 2>/dev/null' || fail "the player did not end on the tray menu's Exit"
wait "$player" || fail "the player ended with status $?"
exit 0
