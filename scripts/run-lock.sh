# Sourced by run.sh and run-client.sh, from the clone's root: one run per clone. take_run_lock
# holds run/run.lock on descriptor 9 for as long as the script runs (./run.sh takes it before
# building and hands it on), or ends the script with code 1 and a message when another run
# holds it, before anything of that run is touched. The programs started must get `9>&-`.
take_run_lock() {
  mkdir -p run
  [ "$(readlink "/proc/$$/fd/9" 2>/dev/null)" = "$PWD/run/run.lock" ] || exec 9>run/run.lock
  if ! flock -n 9; then
    echo "run.sh: another ./run.sh is running from this folder (it holds run/run.lock); end it first." >&2
    exit 1
  fi
}
