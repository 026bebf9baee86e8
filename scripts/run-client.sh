#!/usr/bin/env bash
# Runs ambrel from a working folder of its own (run/), on the given display or under Xvfb, with
# the stand-in service ambrel-service beside it for as long as ambrel runs. The service plays the
# shipped script config/ambrel-service.json and serves the pages the configuration names.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
mkdir -p run/config
# The shipped defaults, refreshed when they are newer than the copy (the client's own settings
# live in run/config/ambrel.local.json).
cp -u config/ambrel.json run/config/ambrel.json
# Shipped data tables; files already in run/res are kept.
mkdir -p run/res
cp -rn res/. run/res/
cd run

# The service takes its ports from run/config/ambrel.json; ambrel starts once it listens.
rm -f service.ports
ambrel-service --script "$root/config/ambrel-service.json" --log service.jsonl --ports-file service.ports \
  >service.out 2>&1 &
service=$!
trap 'kill "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s service.ports ] && break
  kill -0 "$service" 2>/dev/null || break
  sleep 0.05
done
[ -s service.ports ] || echo "ambrel-service did not start (see run/service.out)" >&2

status=0
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a ambrel shell "$@" || status=$?
else
  ambrel shell "$@" || status=$?
fi
exit "$status"
