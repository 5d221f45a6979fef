#!/usr/bin/env bash
# tessvar-cli against tessvar-sim --protocol iec101 on a pseudo-terminal, in every read mode
# and with the time-tagged monitor types: the printed data sets carry exactly the served
# values and the ASDU type, and a recording holds them.
set -u
. "$(dirname "$0")/e2e_common.sh"

start_sim() {
  launch_sim --dat "$SAMPLES/iec101.dat" --protocol iec101 --pty --values "$WORK/values.json" "$@"
}

# Udc1 1500, Idc1 2500, Pdc1 -1, Uac1 4, Iac1 5, f1 50000 (unsigned), Udc2 -15000, Idc2 8.
cat >"$WORK/values.json" <<'JSON'
{"1": 1500, "2": 2500, "3": 65535, "4": 4, "5": 5, "6": 50000, "7": 50536, "8": 8}
JSON

# mode, monitor type, extra simulator flags
run_case() {
  local mode="$1" type="$2"; shift 2
  start_sim --iec-type "$type" "$@"
  local pty; pty=$(head -1 "$WORK/sim.out")
  [ -e "$pty" ] || fail "no pty: $pty"
  timeout 60 "$CLI" --dat "$SAMPLES/iec101.dat" --protocol "МЭК-101" --port "$pty" --poll-ms 200 \
    --codes --data-sets 3 --json --iec-mode "$mode" --record "$WORK/rec-$mode-$type" \
    >"$WORK/out" 2>"$WORK/err"
  local rc=$?
  stop_sim
  [ "$rc" = 0 ] || fail "$mode/$type exit $rc: $(cat "$WORK/err")"
  python3 - "$WORK/out" "$type" "$WORK/rec-$mode-$type.txt" <<'PY' || fail "$mode/$type output: $(cat "$WORK/out")"
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 3, lines
want = {"Udc1": "1500", "Idc1": "2500", "Pdc1": "-1", "Uac1": "4", "Iac1": "5", "f1": "50000",
        "Udc2": "-15000", "Idc2": "8"}
for l in lines:
    d = json.loads(l)
    assert d["values"] == want, d["values"]
    assert d["asdu"] == sys.argv[2], d["asdu"]
    assert d["failures"] == 0, d
    timed = sys.argv[2] in ("10", "34", "143")
    assert (d["device_time"] != "00 : 00 : 00.00") == timed, d["device_time"]
rec = open(sys.argv[3], "rb").read().split(b"\r\n")
body = [r for r in rec[3:] if r]
assert len(body) >= 3, rec
for r in body:
    cells = [c.strip() for c in r.split(b"\t")]
    assert cells[1:9] == [b"1500", b"2500", b"-1", b"4", b"5", b"50000", b"-15000", b"8"], cells
PY
}

# The simulator as a standard station, read with the standard profile: the same values in
# every mode, scaled values (type 11), no failure; the transducer profile fails there.
run_standard() {
  local mode="$1"
  start_sim --profile standard --iec-type 11
  local pty; pty=$(head -1 "$WORK/sim.out")
  [ -e "$pty" ] || fail "no pty: $pty"
  timeout 90 "$CLI" --dat "$SAMPLES/iec101.dat" --protocol "МЭК-101" --port "$pty" --poll-ms 200 \
    --codes --data-sets 3 --json --iec-mode "$mode" --iec-profile standard \
    >"$WORK/out" 2>"$WORK/err"
  local rc=$?
  stop_sim
  [ "$rc" = 0 ] || fail "standard $mode exit $rc: $(cat "$WORK/err")"
  python3 - "$WORK/out" <<'PY' || fail "standard $mode output: $(cat "$WORK/out")"
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 3, lines
want = {"Udc1": "1500", "Idc1": "2500", "Pdc1": "-1", "Uac1": "4", "Iac1": "5", "f1": "50000",
        "Udc2": "-15000", "Idc2": "8"}
for l in lines:
    d = json.loads(l)
    assert d["values"] == want, d["values"]
    assert d["asdu"] == "11", d["asdu"]
    assert d["failures"] == 0, d
PY
}

run_standard group
run_standard read
run_standard cyclic

run_case group 9
run_case group 34 --iec-sq
run_case read 21 --iec-sq
run_case read 35
run_case cyclic 143
run_case cyclic 10
echo "ok"
