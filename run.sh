#!/usr/bin/env bash
# Installs what is missing, builds what it runs, and runs ambrel as the launcher does ("ambrel shell").
set -euo pipefail
cd "$(dirname "$0")"
# A second run in this clone stops here, before it builds beside the first one.
. scripts/run-lock.sh
take_run_lock
./scripts/install-deps.sh 9>&-
# A build says so, since it can take minutes; a start with nothing to build stays quiet. The build
# keeps the lock (descriptor 9) until its last process has ended, also when this script is
# killed, and a signal to this script alone ends the build as a Ctrl-C does.
. scripts/pass-signals.sh
if [ ! -f build/build.ninja ]; then
  echo "run.sh: building ambrel in build/ for the first time (about 4 to 10 minutes; later starts take seconds)..." >&2
  run_passing_signals ./scripts/build.sh --target run-programs
else
  run_passing_signals ./scripts/build.sh --target run-programs --announce "run.sh: building what changed in build/..."
fi
trap - INT TERM HUP
[ "$status" -eq 0 ] || exit "$status"
export PATH="$PWD/build/bin:$PATH"
exec ./scripts/run-client.sh "$@"
