#!/usr/bin/env bash
# Runs ambrel from a working folder of its own (run/), on the given display or under Xvfb, with
# the stand-in service ambrel-service beside it for as long as ambrel runs. The service plays the
# shipped script config/ambrel-service.json and serves the pages the configuration names.
set -euo pipefail
cd -P "$(dirname "$0")/.."
root=$PWD
mkdir -p run/config
. scripts/run-lock.sh
take_run_lock
# What an earlier run that never shut down left running goes first; this run's programs carry a
# mark of their own.
unset AMBREL_RUN
end_earlier_run
AMBREL_RUN="$root/run $$ $(date +%s%N)"
echo "$AMBREL_RUN" >run/run.mark
export AMBREL_RUN
# The shipped defaults, copied once: an edited copy (other ports, say) is kept. Delete it to take
# the shipped file again; the client's own settings live in run/config/ambrel.local.json.
cp -n config/ambrel.json run/config/ambrel.json
# Shipped data tables; files already in run/res are kept.
mkdir -p run/res
cp -rn res/. run/res/
cd run

# Qt warns on every start when there is no runtime folder; this run makes one of its own.
runtime=""
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  runtime=$(mktemp -d)
  export XDG_RUNTIME_DIR=$runtime
fi

# The service takes its ports from run/config/ambrel.json; ambrel starts once it listens, and
# never against a service this run did not start (another run's, holding those ports).
rm -f service.ports
ambrel-service --script "$root/config/ambrel-service.json" --log service.jsonl --ports-file service.ports \
  >service.out 2>&1 9>&- &
service=$!
cleanup() {
  kill "$service" 2>/dev/null || true
  wait "$service" 2>/dev/null || true
  [ -z "$runtime" ] || rm -rf "$runtime"
  rm -f run.mark
}
trap cleanup EXIT
for _ in $(seq 600); do
  [ -s service.ports ] && break
  kill -0 "$service" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s service.ports ]; then
  {
    if kill -0 "$service" 2>/dev/null; then
      echo "run.sh: ambrel-service did not listen within 30 s (see run/service.out); ambrel not started."
    else
      echo "run.sh: ambrel-service could not start, so ambrel was not started:"
      sed 's/^/  /' service.out
      echo "Another ./run.sh (or another program) may hold that port. To use other ports, change them in"
      echo "run/config/ambrel.json: the HTTP port in \"sdkinit\" and in both \"CefUrls\", the WebSocket"
      echo "port in \"PelorinServer\"."
    fi
  } >&2
  exit 1
fi

# A signal to the whole group (Ctrl-C, `timeout`) reaches ambrel itself; one sent to this script
# alone is passed on to it. Either way ambrel shuts down, this script waits for it and stops the
# service after.
. "$root/scripts/pass-signals.sh"
if [ -z "${DISPLAY:-}" ]; then
  run_passing_signals "$root/scripts/with-xvfb.sh" ambrel shell "$@" 9>&-
else
  run_passing_signals ambrel shell "$@" 9>&-
fi
exit "$status"
