# Sourced by the scripts that drive the real player under a display of their
# own. They keep the processes they start in the array `pids` and stop them
# on exit, and have a `fail` function.

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
