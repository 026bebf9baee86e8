#!/usr/bin/env bash
# Configures build/ (once, with warnings as errors, as ./test.sh builds) and builds it.
#   scripts/build.sh [--target NAME]... [--announce TEXT] [configure arguments...]
# Without a target everything is built. Only warnings, errors and failures are printed, and
# TEXT (on standard error) once something is really built.
set -euo pipefail
cd "$(dirname "$0")/.."
configure=()
targets=()
announce=""
while [ $# -gt 0 ]; do
  case $1 in
    --target) targets+=(--target "$2"); shift 2 ;;
    --announce) announce=$2; shift 2 ;;
    *) configure+=("$1"); shift ;;
  esac
done
if [ ! -f build/build.ninja ] || [ ${#configure[@]} -gt 0 ]; then
  cmake -S . -B build -G Ninja -Wno-dev -DAMBREL_WERROR=ON "${configure[@]}" >/dev/null
fi
# Progress, ninja's "no work to do" and the status lines of a configure step it re-runs are left out;
# the first step that builds something brings the announcement. The build's own exit status is
# the script's.
quiet() {
  awk -v note="$announce" '
    /^\[[0-9]+\/[0-9]+\] / {
      if (note != "" && !said && $0 !~ /Re-checking globbed directories|Re-running CMake/) {
        print note > "/dev/stderr"; fflush("/dev/stderr"); said = 1
      }
      next
    }
    /^ninja: no work to do\.$/ || /^-- / { next }
    { print; fflush() }'
}
cmake --build build --parallel "$(nproc)" "${targets[@]}" | quiet
