#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test under an X
# display of its own (so the OpenGL and drawn-page tests run everywhere, whatever the caller has).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh -DAMBREL_WERROR=ON
cd build
status=0
../scripts/with-xvfb.sh \
  ctest --output-on-failure -j"$(nproc)" --timeout 300 2>&1 | tee ctest.out || status=$?
# On a machine set up by this script every test runs: a skipped one means something is missing.
if grep -q '(Skipped)' ctest.out; then
  echo "test.sh: tests were skipped (see above); a skip here means a missing tool or display" >&2
  [ "$status" -ne 0 ] || status=1
fi
exit "$status"
