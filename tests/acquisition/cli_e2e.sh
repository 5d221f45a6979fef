#!/usr/bin/env bash
# tessvar-cli against a running tessvar-sim on loopback TCP and on a pseudo-terminal (RTU),
# with pinned registers: the printed data sets carry exactly the served values.
set -u
. "$(dirname "$0")/e2e_common.sh"


# --- MODBUS TCP: five data sets in codes, channel 1 voltage and channel 2 voltage pinned.
cat >"$WORK/values.json" <<'JSON'
{"0x00": 1500, "0x15": 50536, "0x2A": 7250, "0x2B": 3589}
JSON
launch_sim --dat "$SAMPLES/tcp-two-channel.dat" --tcp 127.0.0.1:0 --values "$WORK/values.json"
PORT=$(grep -o '127\.0\.0\.1:[0-9]*' "$WORK/sim.out" | head -1 | cut -d: -f2)
[ -n "$PORT" ] || fail "no port in: $(cat "$WORK/sim.out")"
timeout 30 "$CLI" --dat "$SAMPLES/tcp-two-channel.dat" --ip 127.0.0.1 --port "$PORT" \
  --poll-ms 50 --codes --data-sets 5 --json --record "$WORK/rec" >"$WORK/tcp.out" 2>"$WORK/tcp.err"
RC=$?
stop_sim
[ "$RC" = 0 ] || fail "tcp run exit $RC: $(cat "$WORK/tcp.err")"
python3 - "$WORK/tcp.out" <<'PY' || fail "tcp output"
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 5, lines
for l in lines:
    d = json.loads(l)
    assert d["values"]["Udc1"] == "1500", d["values"]["Udc1"]
    assert d["values"]["Udc2"] == "-15000", d["values"]["Udc2"]
    assert d["device_time"] == "14 : 05 : 07.25", d["device_time"]
    assert d["status"] == "Запрос данных", d["status"]
    assert d["failures"] == 0
    assert len(d["values"]) == 34, len(d["values"])
PY
# The recording holds a header and one line per data set, in Windows-1251 with CR LF.
python3 - "$WORK/rec.txt" <<'PY' || fail "recording"
import sys
data = open(sys.argv[1], "rb").read()
lines = data.split(b"\r\n")
assert lines[-1] == b"", "last line not ended"
body = lines[3:-1]
assert len(body) >= 5, len(body)
assert lines[2].startswith("Время".encode("cp1251") + b"      \t"), lines[2][:20]
for l in body:
    cells = l.split(b"\t")
    assert cells[0] == b"14:05:7,25", cells[0]
    assert cells[1] == b"1500" + b" " * 16, cells[1]
PY

# --- MODBUS RTU over a pseudo-terminal.
launch_sim --dat "$SAMPLES/rtu-two-channel.dat" --pty --values "$WORK/values.json"
PTY=$(head -1 "$WORK/sim.out")
[ -e "$PTY" ] || fail "no pty: $PTY"
timeout 40 "$CLI" --dat "$SAMPLES/rtu-two-channel.dat" --protocol "MODBUS RTU" --port "$PTY" \
  --poll-ms 150 --codes --data-sets 2 --json >"$WORK/rtu.out" 2>"$WORK/rtu.err"
RC=$?
stop_sim
[ "$RC" = 0 ] || fail "rtu run exit $RC: $(cat "$WORK/rtu.err")"
python3 - "$WORK/rtu.out" <<'PY' || fail "rtu output"
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 2, lines
for l in lines:
    d = json.loads(l)
    assert d["values"]["Udc1"] == "1500", d["values"]
    assert len(d["values"]) == 35
PY

# --- MODBUS ASCII over a pseudo-terminal (7 data bits, device address 2).
cat >"$WORK/ascii.json" <<'JSON'
{"0x10": 1234, "0x17": 4321}
JSON
launch_sim --dat "$SAMPLES/ascii-dc.dat" --pty --mode ascii --values "$WORK/ascii.json"
PTY=$(head -1 "$WORK/sim.out")
timeout 40 "$CLI" --dat "$SAMPLES/ascii-dc.dat" --port "$PTY" --poll-ms 200 --codes --data-sets 2 \
  --json >"$WORK/ascii.out" 2>"$WORK/ascii.err"
RC=$?
stop_sim
[ "$RC" = 0 ] || fail "ascii run exit $RC: $(cat "$WORK/ascii.err")"
python3 - "$WORK/ascii.out" <<'PY' || fail "ascii output"
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 2, lines
for l in lines:
    d = json.loads(l)
    assert d["values"]["Udc1"] == "1234" and d["values"]["Udc2"] == "4321", d["values"]
PY

# --- The RTC check over a pseudo-terminal: the simulator judges each wake-up burst by the
# rate the line was set to, and answers function 118 for its own code only.
rtc_check() {  # expected-exit expected-line sim-args... -- cli-args...
  local want_rc="$1" want="$2"; shift 2
  local sim_args=() cli_args=()
  while [ "$1" != "--" ]; do sim_args+=("$1"); shift; done; shift
  cli_args=("$@")
  launch_sim --dat "$SAMPLES/rtu-two-channel.dat" --pty -v "${sim_args[@]}"
  PTY=$(head -1 "$WORK/sim.out")
  timeout 20 "$CLI" --dat "$SAMPLES/rtu-two-channel.dat" --protocol "MODBUS RTU" --port "$PTY" \
    --rtc-check --json "${cli_args[@]}" >"$WORK/rtc.out" 2>"$WORK/rtc.err"
  RC=$?
  stop_sim
  [ "$RC" = "$want_rc" ] || fail "rtc check exit $RC (want $want_rc): $(cat "$WORK/rtc.err")"
  [ "$(cat "$WORK/rtc.out")" = "$want" ] || fail "rtc check printed: $(cat "$WORK/rtc.out")"
}
rtc_check 0 '{"rtc_check":"ok"}' --
grep -q "wake-up burst at 76800 baud -> answered 12 34" "$WORK/sim.err" || fail "burst: $(cat "$WORK/sim.err")"
grep -q "RTC test: Запущен режим проверки RTC" "$WORK/rtc.err" || fail "box: $(cat "$WORK/rtc.err")"
rtc_check 0 '{"rtc_check":"ok"}' --rtc-code QZ --probe-silent-at 76800 -- --rtc-code QZ
grep -q "wake-up burst at 76800 baud -> no answer" "$WORK/sim.err" || fail "silent: $(cat "$WORK/sim.err")"
grep -q "wake-up burst at 4800 baud -> answered 12 34" "$WORK/sim.err" || fail "second: $(cat "$WORK/sim.err")"
rtc_check 1 '{"rtc_check":"Ошибка при запуске режима проверки RTC"}' --rtc-code QZ --
rtc_check 1 '{"rtc_check":"Не могу подключиться к преобразователю"}' \
  --probe-silent-at 76800 --probe-silent-at 4800 --
grep -q "Ошибка: Не могу подключиться к преобразователю" "$WORK/rtc.err" || fail "box: $(cat "$WORK/rtc.err")"

# --- A start that is refused exits 1.
timeout 10 "$CLI" --dat "$SAMPLES/rtu-two-channel.dat" --protocol "MODBUS RTU" --port /nonexistent/tty \
  --data-sets 1 >/dev/null 2>"$WORK/refused.err"
RC=$?
[ "$RC" = 1 ] || fail "refused start exit $RC"
grep -q "Ошибка: Нет такого порта: /nonexistent/tty" "$WORK/refused.err" || fail "refusal text: $(cat "$WORK/refused.err")"
echo "cli end-to-end: ok"
