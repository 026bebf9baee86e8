#!/usr/bin/env bash
# Configures build/ (once, with warnings as errors, as ./test.sh builds) and builds it.
#   scripts/build.sh [--target NAME]... [configure arguments...]
# Without a target everything is built. Only warnings, errors and failures are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
configure=()
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --target) targets+=(--target "$2"); shift 2 ;;
    *) configure+=("$1"); shift ;;
  esac
done
if [ ! -f build/build.ninja ] || [ ${#configure[@]} -gt 0 ]; then
  cmake -S . -B build -G Ninja -Wno-dev -DAMBREL_WERROR=ON "${configure[@]}" >/dev/null
fi
# Progress, ninja's "no work to do" and the status lines of a configure step it re-runs are left out;
# the build's own exit status is the script's.
quiet() { grep -v -E '^\[[0-9]+/[0-9]+\] |^ninja: no work to do\.$|^-- ' || true; }
cmake --build build --parallel "$(nproc)" "${targets[@]}" | quiet
