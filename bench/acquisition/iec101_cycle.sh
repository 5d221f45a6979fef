#!/usr/bin/env bash
# A full МЭК-101 poll cycle of tessvar-cli against tessvar-sim --protocol iec101 on a pty, in
# the cyclic (link-level) read mode: data sets per second beside the wire-time limit of the
# same frames (octets x 11 bits / baud). A pty does not pace bytes at the baud rate, so the
# measured rate is the software's own limit (poll period, the reply's quiet gap).
# Usage: bench/acquisition/iec101_cycle.sh BUILD_DIR [POLL_MS] [DATA_SETS]
set -u
BUILD="${1:-build/default}"; POLL="${2:-10}"; N="${3:-40}"
SAMPLES="$(dirname "$0")/../../samples"
WORK=$(mktemp -d)
trap 'kill $SIM 2>/dev/null; wait 2>/dev/null; rm -rf "$WORK"' EXIT
"$BUILD/sim/main/tessvar-sim" --dat "$SAMPLES/iec101.dat" --protocol iec101 --pty >"$WORK/sim" 2>/dev/null &
SIM=$!
for _ in $(seq 1 50); do [ -s "$WORK/sim" ] && break; sleep 0.1; done
PTY=$(head -1 "$WORK/sim")
START=$(date +%s.%N)
"$BUILD/tools/cli/tessvar-cli" --dat "$SAMPLES/iec101.dat" --protocol "МЭК-101" --port "$PTY" \
  --iec-mode cyclic --poll-ms "$POLL" --data-sets "$N" >/dev/null 2>&1
END=$(date +%s.%N)
# One cycle: the class 2 request (5 octets) and the reply of 8 values of type 9, SQ = 0
# (4 + 8 x 5 octets of ASDU in a variable frame of 8 more) = 57 octets.
python3 - "$START" "$END" "$N" "$POLL" <<'PY'
import sys
start, end, n, poll = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
octets = 5 + (4 + 8 * 5) + 8
rate = n / (end - start)
print(f"measured: {rate:.1f} data sets/s over {n} sets (poll period {poll} ms, includes start-up)")
for baud in (9600, 115200):
    limit = baud / (octets * 11)
    print(f"wire-time limit at {baud} baud: {limit:.1f} data sets/s ({octets} octets x 11 bits)")
PY
