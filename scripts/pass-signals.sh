# Sourced by the scripts that run one program and clean up after it (run-client.sh, with-xvfb.sh).
#   run_passing_signals COMMAND [ARGS...]
# Runs the command and sets `status` to its exit status. A signal to the whole process group
# (Ctrl-C, `timeout`) reaches the command itself; INT, TERM or HUP sent to the script alone is
# passed on to it. Either way the script goes on once the command has ended. The command runs in
# the background so that the traps run at once, and takes Ctrl-C as a foreground one would.
run_passing_signals() {
  passing_child=""
  trap '[ -z "$passing_child" ] || kill -s INT "$passing_child" 2>/dev/null || true' INT
  trap '[ -z "$passing_child" ] || kill -s TERM "$passing_child" 2>/dev/null || true' TERM
  trap '[ -z "$passing_child" ] || kill -s HUP "$passing_child" 2>/dev/null || true' HUP
  ( trap - INT QUIT; exec "$@" ) <&0 &
  passing_child=$!
  # A trapped signal ends a wait early; wait on until the command has ended, then take its status.
  while kill -0 "$passing_child" 2>/dev/null; do
    wait "$passing_child" || true
  done
  status=0
  wait "$passing_child" || status=$?
}
