#!/usr/bin/env bash
# Installs the Debian packages Quorane needs to build, test and benchmark,
# when any is missing. Safe to run again: it does nothing when all are there.
set -euo pipefail

BUILD_PKGS=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libavformat-dev libavcodec-dev
  libswresample-dev libavutil-dev libcurl4-openssl-dev libsdl2-dev libmicrohttpd-dev
  ca-certificates openssl libssl-dev libxcb1-dev)
TEST_PKGS=(xvfb xauth xdotool imagemagick ffmpeg curl icecast2 trayer tinyproxy
  dbus dbus-x11 fonts-dejavu-core desktop-file-utils libglib2.0-bin dpkg-dev playerctl dunst
  x11-utils lintian appstream)
BENCH_PKGS=(mpv)
# scripts/check-package.sh: a fresh Debian root, a web server for its streams.
PACKAGE_PKGS=(mmdebstrap python3)
# bench/listserver/browser-post.sh: a real browser posting from a web page.
BROWSER_PKGS=(chromium python3)
# The checks of the test command: fuzzing, sanitizer runtimes, formatting,
# and ccache, which serves the test command's four builds from its cache.
CHECK_PKGS=(clang-14 libfuzzer-14-dev libclang-rt-14-dev clang-format-14 ccache)

want=("${BUILD_PKGS[@]}")
case "${1:-build}" in
  test) want+=("${TEST_PKGS[@]}" "${BENCH_PKGS[@]}" "${CHECK_PKGS[@]}") ;;
  package) want+=("${TEST_PKGS[@]}" "${PACKAGE_PKGS[@]}") ;;
  browser) want+=("${BROWSER_PKGS[@]}") ;;
  build) ;;
  *) echo "usage: $0 [build|test|package|browser]" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
# icecast2's post-install prints an update-rc.d error in containers and starts
# no service; that is harmless, so check the packages rather than the status.
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" || true
for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    { echo "setup: package $p could not be installed" >&2; exit 1; }
done
