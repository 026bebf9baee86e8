# Sourced by run.sh and run-client.sh, from the clone's root: one run per clone. take_run_lock
# holds run/run.lock on descriptor 9 for as long as the script runs (./run.sh takes it before
# building, passes it to the build and hands it on), or ends the script with code 1 and a message
# naming what holds it, before anything of that run is touched. The programs run-client.sh starts
# get `9>&-`, so that a program they leave behind never blocks the next run.
take_run_lock() {
  mkdir -p run
  local lock
  lock="$(pwd -P)/run/run.lock"
  [ "$(readlink "/proc/$$/fd/9" 2>/dev/null)" = "$lock" ] || exec 9>run/run.lock
  if ! flock -n 9; then
    echo "run.sh: another ./run.sh is running from this folder (it holds run/run.lock); end it first." >&2
    # What holds it (the processes of a run, or the build of one whose script was killed), by
    # the outermost of them. Any descriptor counts: while a command runs with `9>&-`, bash keeps
    # the lock on another one.
    exec 9>&-
    local holders
    holders=$({ find /proc/[0-9]*/fd -mindepth 1 -maxdepth 1 -printf '%l\t%p\n' 2>/dev/null || true; } |
      lock=$lock awk -F'\t' '$1 == ENVIRON["lock"] { split($2, p, "/"); print p[3] }' | sort -un)
    local ppid line
    for pid in $holders; do
      ppid=$(status_of "$pid" | cut -d' ' -f2)
      line=$(command_of "$pid")
      if [ -n "$ppid" ] && [ -n "$line" ] && ! grep -qxF "$ppid" <<<"$holders"; then
        echo "  $line (kill $pid ends it)" >&2
      fi
    done
    exit 1
  fi
}

# "PID COMMAND LINE" of a process, its command line cut to 120 characters; nothing once it has ended.
command_of() {
  local line
  line=$(tr '\0' ' ' 2>/dev/null <"/proc/$1/cmdline") || true
  line=${line% }
  [ -z "$line" ] || echo "$1 ${line:0:120}"
}

# Every program a run starts carries the run's mark in its environment (AMBREL_RUN: "<the
# folder's real path>/run <pid> <time>"), and run/run.mark holds it until the run has shut down.
# Called with the lock held, so no run of this folder is alive: a mark there that names this very
# folder is an earlier run of it that never shut down (its script was killed with SIGKILL), and
# what still runs with that mark was certainly started by it, and holds its ports. Those are
# ended (the outermost first, through their own shut-down, an Xvfb last), or, when they do not
# end within 30 s, named with how to end them, and the script ends with code 1. Any other mark
# (one a copied folder brought along, which names the original, whose run may be alive) is not
# this folder's, and is left to be replaced.
end_earlier_run() {
  local mark="" own
  [ ! -s run/run.mark ] || read -r mark <run/run.mark || true
  own="$(pwd -P)/run "
  [[ $mark == "$own"* && ${mark#"$own"} =~ ^[0-9]+\ [0-9]+$ ]] || return 0
  local left signalled=" " said="" deadline=$((SECONDS + 30))
  while :; do
    left=$(marked_by "$mark")
    [ -n "$left" ] && [ "$SECONDS" -lt "$deadline" ] || break
    # The outermost ones: those the others were started by.
    local outer others
    outer=$(awk '{ line[NR] = $0; pid[$1]; parent[NR] = $2 }
      END { for (i = 1; i <= NR; i++) if (!(parent[i] in pid)) print line[i] }' <<<"$left")
    if [ -z "$said" ]; then
      echo "run.sh: an earlier ./run.sh from this folder was killed before it could shut down; ending what it left running:" >&2
      while read -r pid _; do command_of "$pid"; done <<<"$outer" | sed 's/^/  /' >&2
      local more=$(($(wc -l <<<"$left") - $(wc -l <<<"$outer")))
      [ "$more" -eq 0 ] || echo "  and $more more process(es) they started" >&2
      said=1
    fi
    others=$(awk '$3 != "Xvfb"' <<<"$left")
    while read -r pid _ name; do
      if [[ $signalled != *" $pid "* ]] && { [ "$name" != Xvfb ] || [ -z "$others" ]; }; then
        kill -s TERM "$pid" 2>/dev/null || true
        signalled+="$pid "
      fi
    done <<<"$outer"
    sleep 0.25
  done
  if [ -n "$left" ]; then
    left=$(while read -r pid _; do command_of "$pid"; done <<<"$left")
    [ -n "$left" ] || return 0
    echo "run.sh: these did not end within 30 s; end them with \`kill -9 $(cut -d' ' -f1 <<<"$left" | paste -sd' ')\` and start again." >&2
    sed 's/^/  /' <<<"$left" >&2
    exit 1
  fi
}

# "PID PPID NAME" of a process (spaces in its name as _), or nothing when it has ended.
status_of() {
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 0
  local name=${stat#*\(}
  name=${name%)*}
  local rest=${stat##*) }
  rest=${rest#* }
  echo "$1 ${rest%% *} ${name// /_}"
}

# The status_of each process that has AMBREL_RUN=MARK in its environment.
marked_by() {
  local pid
  { grep -lzxF -e "AMBREL_RUN=$1" /proc/[0-9]*/environ 2>/dev/null || true; } | while IFS=/ read -r _ _ pid _; do
    status_of "$pid"
  done
}
