#!/usr/bin/env bash
# Configures (once) and builds into build/. Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ] || [ $# -gt 0 ]; then
  cmake -S . -B build -G Ninja -Wno-dev "$@" >/dev/null
fi
cmake --build build --parallel "$(nproc)" | grep -v -E '^\[[0-9]+/[0-9]+\] ' || true
test "${PIPESTATUS[0]}" -eq 0
