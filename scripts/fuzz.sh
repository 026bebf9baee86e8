#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ (coverage, AddressSanitizer
# and UndefinedBehaviorSanitizer on our code) and runs each on a fresh copy of its seed corpus
# for SECONDS (default 60), all at once. Any crash, leak, time-out or sanitizer report fails.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      e.g. scripts/fuzz.sh 300 fuzz_zip_reader
# Prints libFuzzer's closing "Done N runs" line per target; a finding's report and the input
# that caused it are left in build-fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
all=(fuzz_cef_frames fuzz_page_dispatch fuzz_zip_reader fuzz_server_envelope fuzz_deflate fuzz_config_tables)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

./scripts/install-deps.sh
source scripts/sanitizer-env.sh

source scripts/compiler-cache.sh
if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -Wno-dev -DAMBREL_FUZZ=ON \
    -DAMBREL_BUILD_TESTS=OFF -DAMBREL_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
fi
# Progress lines are left out; with pipefail the build's own exit status is the script's.
quiet_build() { grep -v -E '^\[[0-9]+/[0-9]+\] ' || true; }
cmake --build build-fuzz --parallel "$(nproc)" --target "${targets[@]}" | quiet_build

# Per input: 15 s, 2 GiB resident, no single allocation over 1 GiB. Inputs stay small (the
# seeds are a few KiB), which also bounds what one archive or page command can ask for; the
# deflate target repeats its input to reach sizes beyond the cap.
run() {
  # Absolute paths: a target may change its working folder before libFuzzer reads them.
  local t=$1 work=$PWD/build-fuzz/runs/$1 found=$PWD/build-fuzz/findings/$1 extra=()
  # Each page command leaves a little behind by design (a closed window's handlers stay in the
  # table), and each broadcast a message held for the page, which would send every input
  # through a whole-heap leak scan; those targets' leaks are checked once, at the end, instead.
  case $t in fuzz_page_dispatch | fuzz_server_envelope) extra=(-detect_leaks=0) ;; esac
  rm -rf "$work" "$found"
  mkdir -p "$work/corpus" "$work/tmp" "$found"
  cp fuzz/corpus/"$t"/* "$work/corpus/"
  TMPDIR="$work/tmp" build-fuzz/fuzz/"$t" -max_total_time="$seconds" -timeout=15 \
    -rss_limit_mb=2048 -malloc_limit_mb=1024 -max_len=16384 -print_final_stats=1 \
    -artifact_prefix="$found/" "${extra[@]}" "$work/corpus" >"$work/log" 2>&1
}

pids=()
for t in "${targets[@]}"; do
  run "$t" &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  log=build-fuzz/runs/$t/log
  if wait "${pids[$i]}"; then
    echo "$t: $(grep -E '^Done [0-9]+ runs' "$log" | tail -1)"
    rmdir build-fuzz/findings/"$t" 2>/dev/null || true
  else
    status=1
    cp "$log" build-fuzz/findings/"$t"/report.txt
    echo "$t: FAILED (report and input in build-fuzz/findings/$t/)"
    # The start of the sanitizer's or libFuzzer's report, without the run's progress lines.
    grep -v -E '^#[0-9]+\s+(NEW|REDUCE|pulse|INITED|RELOAD)|^INFO: |^\s+NEW_FUNC' "$log" | head -40
  fi
done
exit "$status"
