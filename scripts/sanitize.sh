#!/usr/bin/env bash
# Builds everything (benchmarks aside) with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs the whole test suite there under an Xvfb of its own. A memory error,
# undefined behaviour or a leak of ours fails the test that caused it.
#   scripts/sanitize.sh [CTEST ARGS...]     e.g. scripts/sanitize.sh -R Zip
# Prints the failing tests' output and ctest's summaries; the full logs are build-asan/ctest*.log.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
# Set for the build too: the test lists are read from the sanitized binaries while building.
source scripts/sanitizer-env.sh

source scripts/compiler-cache.sh
if [ ! -f build-asan/build.ninja ]; then
  cmake -S . -B build-asan -G Ninja -Wno-dev -DAMBREL_ASAN=ON -DAMBREL_BUILD_BENCH=OFF \
    "${launcher[@]}" >/dev/null
fi
# Progress lines are left out; with pipefail the build's own exit status is the script's.
quiet_build() { grep -v -E '^\[[0-9]+/[0-9]+\] ' || true; }
cmake --build build-asan --parallel "$(nproc)" | quiet_build

cd build-asan
quiet() {
  # Passing tests are one line each; everything else (failures, their output, the summary) shows.
  grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed +[0-9.]+ sec$' "$1" | grep -v -E '^ *Start +[0-9]+: ' || true
}
status=0
../scripts/with-xvfb.sh ctest --output-on-failure -j"$(nproc)" --timeout 300 -LE 'display|webengine' "$@" >ctest.log 2>&1 || status=$?
quiet ctest.log

# The tests that load Qt WebEngine (label "webengine") add its library to the leak
# suppressions; scripts/lsan-webengine.supp says why.
cat ../scripts/lsan.supp ../scripts/lsan-webengine.supp >lsan-webengine.supp
LSAN_OPTIONS="$LSAN_OPTIONS:suppressions=$PWD/lsan-webengine.supp" ../scripts/with-xvfb.sh \
  ctest --output-on-failure -j"$(nproc)" --timeout 300 -L webengine "$@" >ctest-webengine.log 2>&1 || status=$?
quiet ctest-webengine.log

# The tests on the X display (label "display": OpenGL, drawn pages), and any test that skipped
# itself without GLX, run with GLX, checked for memory errors and undefined behaviour but not for
# leaks (the X and GL libraries' leaks cannot be told apart from ours once their plugins are
# unloaded). A skip there fails.
with_glx() {
  env -u QT_QPA_OFFSCREEN_NO_GLX ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" ../scripts/with-xvfb.sh \
    ctest --output-on-failure -j"$(nproc)" --timeout 300 "$@"
}
skipped=$(sed -n -E 's/^[[:space:]]*[0-9]+ - ([^ ]+) \(Skipped\)$/\1/p' ctest.log ctest-webengine.log | paste -sd'|' -)
: >ctest-gl.log
gl=0
with_glx -L display "$@" >>ctest-gl.log 2>&1 || gl=$?
if [ -n "$skipped" ]; then
  with_glx -R "^($skipped)\$" >>ctest-gl.log 2>&1 || gl=$?
fi
quiet ctest-gl.log
if [ "$gl" -ne 0 ] || grep -q '(Skipped)' ctest-gl.log; then
  status=1
fi
exit "$status"
