# Sourced by test scripts that start a program and signal it themselves.
# start_bounded SECONDS PIDFILE COMMAND...
#   Starts COMMAND in the background under timeout, so that it ends by itself
#   after SECONDS whatever happens to the script (a SIGKILL leaves no clean-up
#   behind). Sets `pid` to the command's own process, which a signal or
#   /proc reaches directly (a SIGKILL to timeout would leave it running), and
#   `bound` to the timeout process, whose wait gives the command's status.
start_bounded() {
  local seconds=$1 pidfile=$2
  shift 2
  rm -f "$pidfile"
  # The shell writes its own pid and becomes the command with exec.
  timeout --foreground -k 5 "$seconds" bash -c 'echo $$ >"$0"; exec "$@"' "$pidfile" "$@" &
  bound=$!
  pid=""
  for _ in $(seq 1 500); do
    [ -s "$pidfile" ] && { pid=$(cat "$pidfile"); return 0; }
    kill -0 "$bound" 2>/dev/null || break
    sleep 0.01
  done
  echo "start_bounded: $1 did not start" >&2
  return 1
}
