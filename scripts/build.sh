#!/usr/bin/env bash
# Configures build/ (once, with warnings as errors, as ./test.sh builds) and builds it.
#   scripts/build.sh [--target NAME]... [--announce TEXT] [configure arguments...]
# Without a target everything is built. Only warnings, errors and failures are printed, and
# TEXT (on standard error) once something is really built. When standard error is a terminal,
# the build's progress is shown there on one line, rewritten in place and cleared at the end.
# The job count is CMake's own CMAKE_BUILD_PARALLEL_LEVEL when it is set, else one per core.
# INT, TERM or HUP sent to this script ends the whole build, and the script ends only once the
# last process of the build has.
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
jobs=()
[ -n "${CMAKE_BUILD_PARALLEL_LEVEL:-}" ] || jobs=(--parallel "$(nproc)")
# The filter below reads ninja's status lines in this form.
export NINJA_STATUS="[%f/%t] "

# cmake passes no signal on to the ninja it runs, which would build on as an orphan beside the
# next build. So configure and build run in a session of their own, a signal for this script
# goes to every process of it, and the script waits until none is left (ninja ends the
# compilers it started before it ends itself).
signalled=""
group=""
for s in INT TERM HUP; do
  trap "signalled=$s; [ -z \"\$group\" ] || kill -s $s -- \"-\$group\" 2>/dev/null || true" "$s"
done
in_session() {
  ( trap - INT QUIT; exec setsid "$@" ) &
  group=$!
  while kill -0 "$group" 2>/dev/null; do
    wait "$group" || true
  done
  local status=0
  wait "$group" || status=$?
  while kill -0 -- "-$group" 2>/dev/null; do
    sleep 0.1
  done
  group=""
  return "$status"
}
# After a signal the script ends as that signal ends a program.
end_if_signalled() {
  [ -z "$signalled" ] || { trap - "$signalled"; kill -s "$signalled" $$; }
}

# A build/ copied along with its folder (cp -a, rsync) is the original's: its files name the
# original's sources, so building there would build the original. This folder starts afresh.
if [ -f build/CMakeCache.txt ]; then
  home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' build/CMakeCache.txt)
  if [ "$(cd "$home" 2>/dev/null && pwd -P)" != "$(pwd -P)" ]; then
    echo "build.sh: build/ was made for ${home:-another folder}; building afresh for this one (about 4 to 10 minutes)" >&2
    rm -rf build
  fi
fi
status=0
if [ ! -f build/build.ninja ] || [ ${#configure[@]} -gt 0 ]; then
  in_session cmake -S . -B build -G Ninja -Wno-dev -DAMBREL_WERROR=ON "${configure[@]}" >/dev/null || status=$?
  end_if_signalled
  [ "$status" -eq 0 ] || exit "$status"
fi
# Progress, ninja's "no work to do" and the status lines of a configure step it re-runs are left out;
# the first step that builds something brings the announcement, and from then on (from the start
# when there is none) the progress line on a terminal. The filter outlives a Ctrl-C, so that the
# build's last words are still shown.
progress=0
columns=80
if [ -t 2 ] && [ "${TERM:-dumb}" != dumb ]; then
  progress=1
  size=$(stty size <&2 2>/dev/null || true)
  if [ "${size#* }" -ge 20 ] 2>/dev/null; then columns=${size#* }; fi
fi
# mawk (Debian's awk) reads a pipe in blocks, which would hold the note and the progress back
# until the build has ended; told so, it reads line by line. gawk reads what has arrived.
line_by_line=()
case $(awk -W version 2>&1 </dev/null || true) in mawk*) line_by_line=(-W interactive) ;; esac
quiet() {
  trap '' INT TERM HUP
  exec awk "${line_by_line[@]}" -v note="$announce" -v progress="$progress" -v width="$((columns - 1))" '
    function clear() { if (shown) { printf "\r\033[K" > "/dev/stderr"; fflush("/dev/stderr"); shown = 0 } }
    /^\[[0-9]+\/[0-9]+\] / {
      if (note != "" && !said && $0 !~ /Re-checking globbed directories|Re-running CMake/) {
        print note > "/dev/stderr"; fflush("/dev/stderr"); said = 1
      }
      if (progress && (note == "" || said)) {
        printf "\r%s\033[K", substr($0, 1, width) > "/dev/stderr"; fflush("/dev/stderr"); shown = 1
      }
      next
    }
    /^ninja: no work to do\.$/ || /^-- / { next }
    { clear(); print; fflush() }
    END { clear() }'
}
exec 3> >(quiet)
filter=$!
in_session cmake --build build "${jobs[@]}" "${targets[@]}" >&3 3>&- || status=$?
exec 3>&-
# The build's own exit status is the script's, once everything it printed has been shown.
wait "$filter" || true
end_if_signalled
exit "$status"
