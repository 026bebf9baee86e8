#!/usr/bin/env bash
# Installs what is missing, builds what it runs, and runs ambrel as the launcher does ("ambrel shell").
set -euo pipefail
cd "$(dirname "$0")"
# A second run in this clone stops here, before it builds beside the first one.
. scripts/run-lock.sh
take_run_lock
./scripts/install-deps.sh 9>&-
# A build says so, since it can take minutes; a start with nothing to build stays quiet.
if [ ! -f build/build.ninja ]; then
  echo "run.sh: building ambrel in build/ for the first time (about 4 to 10 minutes; later starts take seconds)..." >&2
  ./scripts/build.sh --target run-programs 9>&-
else
  ./scripts/build.sh --target run-programs --announce "run.sh: building what changed in build/..." 9>&-
fi
export PATH="$PWD/build/bin:$PATH"
exec ./scripts/run-client.sh "$@"
