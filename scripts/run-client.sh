#!/usr/bin/env bash
# Runs ambrel from a working folder of its own (run/), on the given display or under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p run/config
[ -f run/config/ambrel.json ] || cp config/ambrel.json run/config/ambrel.json
# Shipped data tables; files already in run/res are kept.
mkdir -p run/res
cp -rn res/. run/res/
cd run
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a ambrel shell "$@"
fi
exec ambrel shell "$@"
