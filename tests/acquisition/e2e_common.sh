# Sourced by the end-to-end scripts: their arguments, a scratch folder removed at exit, and
# the simulator started in the background and stopped again.
# Expects "$1" tessvar-cli, "$2" tessvar-sim, "$3" the samples folder.
CLI="$1"; SIM="$2"; SAMPLES="$3"
WORK=$(mktemp -d)
SIM_PID=""
cleanup() { [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null; wait 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts tessvar-sim with these arguments and waits (at most 10 s) for its first stdout line
# in "$WORK/sim.out".
launch_sim() {
  # The old output goes first: a check that ran before the new process truncated it would
  # take the previous run's line.
  rm -f "$WORK/sim.out"
  "$SIM" "$@" >"$WORK/sim.out" 2>"$WORK/sim.err" &
  SIM_PID=$!
  for _ in $(seq 1 100); do
    [ "$(wc -l <"$WORK/sim.out" 2>/dev/null || echo 0)" -ge 1 ] && return 0
    sleep 0.1
  done
  fail "simulator did not start: $(cat "$WORK/sim.err")"
}
stop_sim() { kill "$SIM_PID" 2>/dev/null; wait "$SIM_PID" 2>/dev/null; SIM_PID=""; }
