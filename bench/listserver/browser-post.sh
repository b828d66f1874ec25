#!/usr/bin/env bash
# A station posted to quorane-listserver from another site's page, in a real
# browser (Debian's chromium, headless): a page served on one port of
# 127.0.0.1 sends the list server on another port a script's request (which
# a browser sends without asking anyone) and then submits an ordinary form,
# as any web page that someone on the network opens could. Both carry the
# page's Origin; the server must refuse both (403) and store nothing.
#   bash bench/listserver/browser-post.sh    (screenshot: build/browser-post.png)
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/setup.sh browser
cmake --build --preset default --target quorane-listserver >/dev/null
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/lists" "$work/page" "$work/profile"

timeout 120 build/Quorane/quorane-listserver --root "$work/lists" --listen 127.0.0.1:0 \
  2>"$work/server.log" &
pids+=($!)
for _ in $(seq 100); do grep -q serving "$work/server.log" && break; sleep 0.1; done
server=$(grep -o "http://127.0.0.1:[0-9]*" "$work/server.log" | head -1)

fields='radio=From+a+web+page&url=http%3A%2F%2Fevil.example%2F&genre=g&country=c&lang=l&desc=d'
cat >"$work/page/index.html" <<HTML
<!doctype html>
<title>Some web page</title>
<p>A page of some site, posting a station to the list server; its answer below:</p>
<form id="station" method="post" action="$server/quorane/add.php" target="answer">
  <input name="radio" value="From a web page's form"><input name="url" value="http://evil.example/">
  <input name="genre" value="g"><input name="country" value="c">
  <input name="lang" value="l"><input name="desc" value="d">
</form>
<iframe name="answer" width="800" height="80"></iframe>
<script>
  fetch("$server/quorane/add.php", {method: "POST", mode: "no-cors", body: "$fields",
    headers: {"Content-Type": "application/x-www-form-urlencoded"}})
    .finally(() => document.getElementById("station").submit());
</script>
HTML
timeout 120 python3 -m http.server --bind 127.0.0.1 --directory "$work/page" 0 \
  >"$work/page.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q "port" "$work/page.log" && break; sleep 0.1; done
page="http://127.0.0.1:$(grep -o "port [0-9]*" "$work/page.log" | head -1 | cut -d' ' -f2)"

# The flags that work for chromium as root on this kind of machine.
timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --disable-features=IsolateOrigins,site-per-process \
  --user-data-dir="$work/profile" --timeout=4000 --window-size=900,300 \
  --screenshot="$PWD/build/browser-post.png" "$page/index.html" >"$work/chromium.log" 2>&1 || true
grep -v -e dbus -e "unexpected operator" "$work/chromium.log" | tail -5

echo "the page: $page/index.html, the list server: $server"
echo "the list server's log:"
grep "add.php" "$work/server.log" | sed 's/^/  /'
posts=$(grep -c '"POST /quorane/add.php' "$work/server.log" || true)
refused=$(grep -c '"POST /quorane/add.php HTTP/1.1" 403 .*refused: Origin' "$work/server.log" || true)
if [ -e "$work/lists/pending.txt" ]; then stored=$(wc -l <"$work/lists/pending.txt"); else stored=0; fi
echo "posts from the page: $posts, refused for their Origin: $refused, stations stored: $stored"
echo "screenshot of what the browser showed: build/browser-post.png"
[ "$posts" -ge 2 ] && [ "$refused" = "$posts" ] && [ "$stored" = 0 ]
