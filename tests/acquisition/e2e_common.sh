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

# Copies the description SRC to DST with two more entries, the clock registers "Время (tms)"
# and "Время (thm)" at 0x100 and 0x101, so that the clock commands have a clock to set.
dat_with_clock() {
  python3 - "$1" "$2" <<'PY'
import sys
b = open(sys.argv[1], "rb").read()
at = 4 + 76                      # the leading word and the header block
count, p = b[at], at + 1
def skip_text(p): return p + 1 + b[p]
for _ in range(count):
    p = skip_text(skip_text(skip_text(p))) + 4   # name, address, size, flag
    p = skip_text(p)                             # divisor
def text(s):
    e = s.encode("cp1251")
    return bytes([len(e)]) + e
def record(name, address):
    return text(name) + text(address) + text("2") + b"\0\0\0\0" + text("1")
out = b[:at] + bytes([count + 2]) + b[at + 1:p] + record("Время (tms)", "0x000100") + \
      record("Время (thm)", "0x000101") + b[p:]
open(sys.argv[2], "wb").write(out)
PY
}

# The simulator's report of a clock set by the client (needs --verbose): checks that the
# clock came within LIMIT ms of the computer's.
check_clock_set() {  # LIMIT
  python3 - "$WORK/sim.err" "$1" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8", errors="replace").read()
skews = [int(s) for s in re.findall(r"clock set to \S+ \(computer's clock ([+-]\d+) ms\)", text)]
assert skews, "the simulator reported no clock setting"
assert all(abs(s) <= int(sys.argv[2]) for s in skews), skews
print("clock skew ms:", skews)
PY
}
