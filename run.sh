#!/usr/bin/env bash
# Installs what is missing, builds what it runs, and runs ambrel as the launcher does ("ambrel shell").
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# A build says so, since it can take minutes; a start with nothing to build stays quiet.
if [ ! -f build/build.ninja ]; then
  echo "run.sh: building ambrel in build/ for the first time (about 4 to 10 minutes; later starts take seconds)..." >&2
  ./scripts/build.sh --target run-programs
else
  ./scripts/build.sh --target run-programs --announce "run.sh: building what changed in build/..."
fi
export PATH="$PWD/build/bin:$PATH"
exec ./scripts/run-client.sh "$@"
