#!/usr/bin/env bash
# Installs Quorane into a temporary prefix as `cmake --install` does for a
# user, checks the menu entry and the icons where the desktop looks for
# them, then starts <prefix>/bin/quorane as an ordinary user who cannot
# write the installed folder: it must come up with its settings, station
# file and skins in the configuration folder, and write nothing elsewhere.
# usage: install-and-run.sh <build folder>
set -euo pipefail
build=$(realpath "$1")
for tool in xvfb-run xdotool desktop-file-validate; do
  command -v $tool >/dev/null || { echo "$tool missing"; exit 77; }
done

tmp=$(mktemp -d)
cleanup() { rm -rf "$tmp"; }
trap cleanup EXIT
chmod 755 "$tmp"
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log"

fail() { echo "FAIL: $*"; exit 1; }
desktop-file-validate "$prefix/share/applications/quorane.desktop" || fail "the desktop file"
grep -qx 'Icon=quorane' "$prefix/share/applications/quorane.desktop" || fail "Icon="
grep -qx 'GenericName=Internet Radio' "$prefix/share/applications/quorane.desktop" || fail "GenericName="
for size in 16 32 48 128; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/quorane.png"
  [ -f "$png" ] || fail "no $png"
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/quorane.svg" ] || fail "no scalable icon"
[ "$(readlink "$prefix/bin/quorane")" = "../lib/quorane/Quorane" ] || fail "bin/quorane link"
for f in Quorane Plugins/libbass.so Data/stations.txt "Skins/Midnight.asz"; do
  [ -e "$prefix/lib/quorane/$f" ] || fail "lib/quorane/$f missing"
done

# An ordinary user: root may write anywhere, so root runs it as nobody.
home="$tmp/home"
mkdir -p "$home"
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$home"
  as_user=(runuser -u nobody --)
else
  chmod -R a-w "$prefix/lib/quorane"
  as_user=()
fi
before=$(find "$prefix" -type f | sort | md5sum)
export HOME_DIR="$home" PREFIX="$prefix" AS_USER="${as_user[*]}"
unset QT_QPA_PLATFORM
cd /
# The whole display with everything on it stops by itself within the test's
# 180 s, even if this script is killed before its clean-up.
timeout -k 5 170 xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 1024x768x24 -ac" bash -c '
  set -u
  $AS_USER env -i HOME="$HOME_DIR" DISPLAY="$DISPLAY" XDG_CONFIG_HOME="$HOME_DIR/.config" \
    SDL_AUDIODRIVER=dummy PATH=/usr/bin:/bin "$PREFIX/bin/quorane" >"$HOME_DIR/out.log" 2>&1 &
  pid=$!
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name "^Quorane$" | head -n1)
  [ -n "$wid" ] || { echo "the main window did not appear"; cat "$HOME_DIR/out.log"; kill $pid; exit 1; }
  sleep 1
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  xdotool mousemove --window "$wid" 200 80 click 1
  sleep 0.5
  xdotool key Escape
  for _ in $(seq 1 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "the player did not end on Esc"; kill $pid; exit 1; fi
'
config="$home/.config/quorane"
[ -f "$config/Quorane.ini" ] || fail "no settings file in $config"
grep -q '^SkinName=Winter2003 (internal)$' "$config/Quorane.ini" || fail "settings: $(cat "$config/Quorane.ini")"
[ -s "$config/Data/stations.txt" ] || fail "the station file was not copied"
[ -f "$config/Skins/Midnight.asz" ] || fail "the skins were not copied"
[ -f "$home/.config/Quorane.INI" ] || fail "no window-geometry file"
[ "$(find "$prefix" -type f | sort | md5sum)" = "$before" ] || fail "the installed folder changed"
[ -s "$home/out.log" ] && { echo "the player printed:"; cat "$home/out.log"; }
echo "installed, started from bin/quorane and ended with its files in $config"
