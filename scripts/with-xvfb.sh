#!/usr/bin/env bash
# Runs a command under an Xvfb of its own: the server picks a free display itself (so parallel
# runs never share or race for one), the command sees it as DISPLAY, and the server ends with it.
#   scripts/with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }

dir=$(mktemp -d)
# The server runs in a session of its own: a Ctrl-C, or a signal to the caller's process group
# (as `timeout` sends), reaches the command but must not take the display away from under its
# shut-down.
setsid Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
xvfb=$!
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
for _ in $(seq 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$dir/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$dir/display")"
unset XAUTHORITY
# The command gets its signals, also those sent to this script alone; the server goes after it.
. "$(dirname "$0")/pass-signals.sh"
run_passing_signals "$@"
exit "$status"
