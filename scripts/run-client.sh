#!/usr/bin/env bash
# Runs ambrel from a working folder of its own (run/), on the given display or under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p run/config
[ -f run/config/ambrel.json ] || cp config/ambrel.json run/config/ambrel.json
cd run
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a ambrel shell "$@"
fi
exec ambrel shell "$@"
