#!/usr/bin/env bash
# Installs Quorane's Debian package as a user would, and checks that what it
# installed plays:
#   1. builds the player, the engine and the list server and packs the .deb;
#   2. lintian and appstreamcli validate judge the package and its metadata;
#   3. a fresh minimal Debian 12 root (mmdebstrap), where apt-get installs the
#      .deb with nothing but what it depends on (--no-install-recommends);
#   4. there the installed engine opens one stream of every format of the
#      bundled list (MP3, AAC, Ogg Vorbis, Opus, FLAC, HLS), made with ffmpeg
#      and served from 127.0.0.1 on this machine, and must still be playing
#      a moment later; the installed list server answers;
#   5. the installed player runs under Xvfb for a few seconds: its window
#      shows (a screenshot is kept), and SIGTERM ends it as File > Exit does.
# It needs root (mmdebstrap, chroot) and the Debian mirror, so it is not part
# of the test command; when the machine cannot make the root it says so and
# stops. Every server it starts is bounded with `timeout`.
#   bash scripts/check-package.sh [WORKDIR]     (default build/check-package)
# KEEP_ROOT=1 keeps the Debian root in WORKDIR/root for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
work=$(realpath -m "${1:-build/check-package}")
root=$work/root
say() { echo "check-package: $*"; }
fail() { say "FAILED: $*"; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
  say "making and entering a Debian root needs root (mmdebstrap, chroot); stopping"
  exit 2
fi
bash scripts/setup.sh package

# Whatever happens, the servers stop, the mounts go and the root is removed.
pids=()
mounts=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[$i]}" 2>/dev/null || true; done
  if [ "${KEEP_ROOT:-0}" != 1 ] && [ -d "$root" ]; then rm -rf --one-file-system "$root"; fi
}
trap cleanup EXIT
rm -rf --one-file-system "$root"
mkdir -p "$work"

say "== 1. build and pack"
cmake --preset default >/dev/null
cmake --build --preset default --target Quorane bass quorane-listserver quorane_data \
  quorane_packaged check_stations >/dev/null
rm -rf "$work/deb"
cpack -G DEB --config build/CPackConfig.cmake -B "$work/deb" >/dev/null
deb=$(ls "$work"/deb/quorane_*.deb)
say "$deb: $(du -k "$deb" | cut -f1) KiB"
dpkg-deb -f "$deb" Version Depends

say "== 2. lintian and appstreamcli"
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v "running with root privileges" || true)
echo "lintian: ${lintian_out:-no tags}"
if grep -qE "^(E|W): " <<<"$lintian_out"; then fail "lintian has errors or warnings"; fi
appstreamcli validate --no-net data/org.quorane.Quorane.metainfo.xml || fail "appstreamcli validate"

say "== 3. a fresh Debian 12 root, and the package installed into it"
if ! mmdebstrap --variant=minbase --include=ca-certificates bookworm "$root" 2>"$work/mmdebstrap.log"; then
  tail -5 "$work/mmdebstrap.log"
  say "this machine cannot make a Debian 12 root (mmdebstrap failed, log in $work/mmdebstrap.log); stopping"
  exit 2
fi
mkdir -p "$root/proc" "$root/dev" "$root/tmp/.X11-unix"
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount --bind /dev "$root/dev" && mounts+=("$root/dev")
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix" && mounts+=("$root/tmp/.X11-unix")
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "./tmp/$(basename "$deb")" >"$work/apt-install.log" 2>&1 ||
  { tail -20 "$work/apt-install.log"; fail "apt-get install"; }
grep -E "newly installed|^Need to get" "$work/apt-install.log"
in_root dpkg-query -W -f='installed: ${Package} ${Version}\n' quorane

say "== 4. the installed engine on one stream of every format, from 127.0.0.1"
streams=$work/streams
rm -rf "$streams" && mkdir -p "$streams/hls"
tone() { # FILE FREQUENCY RATE ENCODER-ARGS...
  local file=$1 hz=$2 rate=$3
  shift 3
  ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=$hz:duration=40" -ac 2 -ar "$rate" \
    "$@" "$streams/$file"
}
tone tone.mp3 440 44100 -c:a libmp3lame -b:a 128k -f mp3
tone tone.aac 550 44100 -c:a aac -b:a 96k -f adts
tone tone.ogg 660 44100 -c:a libvorbis -q:a 3 -f ogg
tone tone.opus 770 48000 -c:a libopus -b:a 64k -f ogg
tone tone.flac 880 44100 -c:a flac -f flac
tone hls/live.m3u8 990 44100 -c:a aac -b:a 96k -f hls -hls_time 2 -hls_list_size 0
# A web server with the types stations send, on a free port of 127.0.0.1.
rm -f "$work/port"
timeout 900 python3 - "$streams" "$work/port" >"$work/http.log" 2>&1 <<'PY' &
import functools, http.server, sys
class Files(http.server.SimpleHTTPRequestHandler):
    extensions_map = {".mp3": "audio/mpeg", ".aac": "audio/aac", ".ogg": "audio/ogg",
                      ".opus": "audio/ogg", ".flac": "audio/flac", ".ts": "video/mp2t",
                      ".m3u8": "application/vnd.apple.mpegurl", "": "application/octet-stream"}
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                         functools.partial(Files, directory=sys.argv[1]))
open(sys.argv[2], "w").write(str(server.server_address[1]))
server.serve_forever()
PY
pids+=($!)
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
base="http://127.0.0.1:$port"
printf '%s\t\t\t\t\t%s\t\r\n' "MP3" "$base/tone.mp3" "AAC" "$base/tone.aac" \
  "Ogg Vorbis" "$base/tone.ogg" "Opus" "$base/tone.opus" "FLAC" "$base/tone.flac" \
  "HLS" "$base/hls/live.m3u8" >"$root/tmp/streams.txt"
cp build/bench/stations/check_stations "$root/usr/local/bin/"
# The check program links the engine; here it gets the installed one.
in_root env LD_LIBRARY_PATH=/usr/lib/quorane/Plugins SDL_AUDIODRIVER=dummy \
  QUORANE_ENGINE_LOG=info /usr/local/bin/check_stations /tmp/streams.txt \
  2>"$work/engine.log" || { cat "$work/engine.log" | tail -20; fail "a stream did not play"; }
grep -m1 "loaded libavformat" "$work/engine.log" | sed 's/^/engine log: /'

# The installed list server answers from the root.
mkdir -p "$root/tmp/lists" && echo 1.02 >"$root/tmp/lists/ver.txt"
timeout 60 chroot "$root" /usr/bin/quorane-listserver --root /tmp/lists --listen 127.0.0.1:0 \
  2>"$work/listserver.log" &
pids+=($!)
for _ in $(seq 100); do grep -q "serving" "$work/listserver.log" && break; sleep 0.1; done
lsurl=$(grep -o "http://[^ ]*/quorane/" "$work/listserver.log" | head -1)
[ "$(curl -s --max-time 5 "${lsurl}ver.txt")" = "1.02" ] || fail "the installed list server"
say "list server: ${lsurl}ver.txt answered 1.02"

say "== 5. the installed player under Xvfb, as a user of the root"
# Not as root: root could write the program's own folder, where a user keeps
# nothing.
in_root useradd --create-home listener
mkdir -m 0700 "$root/tmp/runtime-listener"
in_root chown listener: /tmp/runtime-listener
display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
timeout 120 Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
start=$(date +%s%N)
timeout 60 chroot --userspec=listener:listener "$root" env -i PATH=/usr/bin:/bin \
  HOME=/home/listener LANG=C.UTF-8 DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
  SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR=/tmp/runtime-listener \
  /usr/bin/quorane >"$work/player.log" 2>&1 &
player=$!
pids+=($player)
shown=""
for _ in $(seq 150); do
  if DISPLAY=":$display" xdotool search --onlyvisible --name "^Quorane" >/dev/null 2>&1; then
    shown=$((($(date +%s%N) - start) / 1000000))
    break
  fi
  sleep 0.1
done
[ -n "$shown" ] || { cat "$work/player.log"; fail "the player's window did not show"; }
sleep 3 # a few seconds of the player running, as the check asks
kill -0 "$player" 2>/dev/null || { cat "$work/player.log"; fail "the player ended by itself"; }
import -display ":$display" -window root "$work/player.png"
# One SIGTERM to the player itself (timeout would pass its own on to the
# whole group as well, and a second one ends the player at once by design).
kill -TERM "$(pgrep -P "$player" | head -1)"
status=0
wait "$player" || status=$?
[ "$status" = 0 ] || { cat "$work/player.log"; fail "the player ended with status $status on SIGTERM"; }
config=$root/home/listener/.config/quorane
[ -s "$config/Quorane.ini" ] && [ -s "$config/Data/stations.txt" ] ||
  { cat "$work/player.log"; fail "the player wrote no settings or station list"; }
say "player: window shown after $shown ms, ran 3 s, ended with status 0 on SIGTERM," \
  "wrote ~/.config/quorane/Quorane.ini and Data/stations.txt; screenshot $work/player.png"
say "all checks passed"
