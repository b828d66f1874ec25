#!/usr/bin/env bash
# SIGKILL at random moments of the shutdown's writes, over many runs: each of
# the three files (Data/stations.txt, Quorane.ini, Quorane.INI) must then be
# either the file from before the run or the one a whole shutdown writes,
# never a mix or a broken one. The files before differ from the ones written
# in their form only (LF for CR LF, blanks around "="), so every write
# changes its file.
# usage: kill-during-save.sh <application folder> [seconds, default 60]
set -euo pipefail
source "$(dirname "$0")/../common/bounded.sh"
appsrc=$(realpath "$1")
seconds=${2:-60}
tmp=$(mktemp -d)
pid= bound=
trap '[ -n "$pid" ] && kill -KILL $pid 2>/dev/null; rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$tmp/config"
mkdir -p "$tmp/app/Data" "$tmp/config"
cp "$appsrc/Quorane" "$tmp/app/"
cp -r "$appsrc/Plugins" "$tmp/app/"
st="$tmp/app/Data/stations.txt" ini="$tmp/app/Quorane.ini" geo="$tmp/config/Quorane.INI"
fail() { echo "FAIL: $*"; exit 1; }

# Start, wait until the start-up is done, end with SIGTERM and, when given,
# SIGKILL after that many microseconds. Each run is bounded to 30 s.
run() {
  start_bounded 30 "$tmp/pid" "$tmp/app/Quorane" >/dev/null 2>&1
  sleep 0.8
  kill -TERM $pid
  if [ -n "${1:-}" ]; then
    usleep_s=$(printf '0.%06d' "$1")
    sleep "$usleep_s"
    kill -KILL $pid 2>/dev/null || true
  fi
  wait $bound 2>/dev/null || true
  pid=
}

# A list long enough that writing it takes a while.
for i in $(seq 1 20000); do
  printf 'Station %s\tdesc\tPop\tUSA\tEnglish\thttp://127.0.0.1:9/s%s\t\r\n' $i $i
done >"$st"
run
for f in "$st" "$ini" "$geo"; do [ -s "$f" ] || fail "a whole run did not write $f"; done
# What a whole shutdown writes, twice the same...
run
cp "$st" "$tmp/st.new"; cp "$ini" "$tmp/ini.new"; cp "$geo" "$tmp/geo.new"
# ...and the same content in another form, as the files before each run.
tr -d '\r' <"$tmp/st.new" >"$tmp/st.old"
# The proxy dialog writes its key on its own before the main window writes
# the rest: its line stays as written, so that write changes nothing.
sed '/^Proxy=/!s/^\([A-Za-z0-9]*\)=/\1 = /' "$tmp/ini.new" >"$tmp/ini.old"
# The dialogs' sections stay as written; only the main window's changes.
awk '/^\[/ {main = ($0 == "[Quorane]")} { if (main) sub(/=/, " = "); print }' "$tmp/geo.new" >"$tmp/geo.old"

runs=0 killed=0 olds=0 news=0
end=$(( $(date +%s) + seconds ))
while [ "$(date +%s)" -lt "$end" ]; do
  cp "$tmp/st.old" "$st"; cp "$tmp/ini.old" "$ini"; cp "$tmp/geo.old" "$geo"
  run $(( RANDOM * 12 ))
  runs=$((runs + 1))
  for pair in "$st:st" "$ini:ini" "$geo:geo"; do
    f=${pair%%:*} name=${pair##*:}
    if cmp -s "$f" "$tmp/$name.old"; then olds=$((olds + 1))
    elif cmp -s "$f" "$tmp/$name.new"; then news=$((news + 1))
    else
      cp "$f" "$tmp/broken"
      fail "after run $runs, $name is neither the old nor the new file: $(diff "$tmp/$name.new" "$f" | head -5)"
    fi
  done
done
echo "PASS: $runs runs killed at random moments of the shutdown: files old $olds times, new $news times, never broken"
