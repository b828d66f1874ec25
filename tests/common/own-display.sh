# Sourced by the scripts that drive the real player under a display of their
# own. They keep the processes they start in the array `pids` (the player's
# in `player`), which script_workspace stops on exit.

# script_workspace NAME TOOL...: skips the script (status 77) when a TOOL is
# not installed; else makes the temporary folder $tmp (/tmp/quorane-NAME.*)
# and, when the script exits however it ends, stops the player and every
# process in pids and removes $tmp.
script_workspace() {
  local name=$1 tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  tmp=$(mktemp -d "/tmp/quorane-$name.XXXXXX")
  pids=()
  player=""
  trap script_cleanup EXIT
}
script_cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$tmp"
}
fail() { echo "FAIL: $*" >&2; exit 1; }
# The time now, in seconds with microseconds.
now() { echo "$EPOCHREALTIME"; }
# minus A B: A - B, two decimals.
minus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a - b }'; }
# shot NAME: with QUORANE_SHOTS set, a screenshot of the display there.
shot() {
  [ -n "${QUORANE_SHOTS:-}" ] && command -v import >/dev/null &&
    import -window root "$QUORANE_SHOTS/$1.png" 2>/dev/null
  return 0
}

# own_display FOLDER SCREEN SECONDS: starts Xvfb with one screen of SCREEN
# (e.g. 1280x800x24) on a display number it picks itself, adds it to pids
# and exports DISPLAY; Qt then takes the X11 platform. Xvfb runs under
# timeout and ends by itself after SECONDS, also when the calling script is
# killed before its clean-up.
own_display() {
  timeout --foreground -k 5 "$3" Xvfb -displayfd 3 -screen 0 "$2" -nolisten tcp 3>"$1/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 1 100); do [ -s "$1/display" ] && break; sleep 0.1; done
  [ -s "$1/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$1/display")"
  unset QT_QPA_PLATFORM
}

# player_folder FOLDER APPSRC: a throw-away application folder FOLDER/app
# with the player and its engine from the built APPSRC, an empty Data/, and
# FOLDER/config as the window-geometry folder.
player_folder() {
  mkdir -p "$1/app/Data" "$1/config"
  cp "$2/Quorane" "$1/app/"
  cp -r "$2/Plugins" "$1/app/"
  export XDG_CONFIG_HOME="$1/config"
}
