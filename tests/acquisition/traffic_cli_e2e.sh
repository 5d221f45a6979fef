#!/usr/bin/env bash
# tessvar-cli --pcap and --trace against tessvar-sim over each protocol: tshark reads the
# capture without a malformed packet or an expert warning, dissects one packet of the
# protocol per traced frame, carries exactly the traced octets, and decodes the fields the
# trace shows (start and count of each MODBUS request, the type of each ASDU). A fault of
# the simulator shows as a "failed" line naming the frame.
set -u
. "$(dirname "$0")/e2e_common.sh"
command -v tshark >/dev/null || { echo "traffic end-to-end: tshark not installed, skipped"; exit 0; }

# run_case NAME PROTOCOL-TEXT TSHARK-FILTER "SIM ARGS" "TSHARK OPTIONS" [CLI ARGS...]
run_case() {
  local name="$1" protocol="$2" filter="$3" sim_args="$4" tshark_opts="$5"; shift 5
  # shellcheck disable=SC2086
  launch_sim $sim_args
  local port_args=()
  if grep -q '127\.0\.0\.1:' "$WORK/sim.out"; then
    PORT=$(grep -o '127\.0\.0\.1:[0-9]*' "$WORK/sim.out" | head -1 | cut -d: -f2)
    port_args=(--ip 127.0.0.1 --port "$PORT")
  else
    port_args=(--port "$(head -1 "$WORK/sim.out")")
  fi
  tshark_opts="${tshark_opts//@PORT@/${PORT:-0}}"
  timeout 60 "$CLI" --protocol "$protocol" "${port_args[@]}" --poll-ms 100 --codes --data-sets 4 \
    --pcap "$WORK/$name.pcap" --trace "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"
  local rc=$?
  stop_sim
  [ "$rc" = 0 ] || fail "$name: exit $rc: $(cat "$WORK/$name.err")"
  # shellcheck disable=SC2086
  tshark -r "$WORK/$name.pcap" $tshark_opts -Y "$filter" -T fields -e frame.number \
    -e tcp.payload -e udp.payload -e modbus.reference_num -e modbus.word_cnt -e iec60870_asdu.typeid \
    >"$WORK/$name.fields" 2>/dev/null || fail "$name: tshark could not read the capture"
  # shellcheck disable=SC2086
  tshark -r "$WORK/$name.pcap" $tshark_opts -Y "_ws.malformed || _ws.expert.severity >= warning" \
    -T fields -e frame.number -e _ws.expert.message >"$WORK/$name.trouble" 2>/dev/null
  python3 - "$name" "$WORK/$name.err" "$WORK/$name.fields" "$WORK/$name.trouble" <<'PY' || fail "$name"
import re, sys
name, err, fields, trouble = sys.argv[1:5]
rows = [l.split("\t") for l in open(err, encoding="utf-8").read().splitlines() if l.startswith("frame\t")]
failed = [l for l in open(err, encoding="utf-8").read().splitlines() if l.startswith("failed\t")]
packets = [l.split("\t") for l in open(fields).read().splitlines()]
bad = open(trouble).read().strip()
assert not bad, f"tshark marks: {bad}"
assert len(rows) >= 8, f"only {len(rows)} frames traced"
assert len(packets) == len(rows), f"{len(packets)} packets of the protocol for {len(rows)} frames"
ascii = name == "ascii"
for row, p in zip(rows, packets):
    hexed = row[5].replace(" ", "").lower()
    payload = (p[1] or p[2]).replace(":", "").lower()
    if ascii:  # the unit without its LRC behind the six octets of transaction, protocol, length
        unit = bytes.fromhex(bytes.fromhex(hexed)[1:-2].decode()).hex()[:-2]
        assert payload[12:] == unit, (payload, unit)
    else:
        assert payload == hexed, (payload, hexed)
    summary = row[6]
    m = re.search(r"start (\d+) count (\d+)", summary)
    if m and row[3] == "→":
        assert (p[3], p[4]) == m.groups(), (p[3:5], summary)
    t = re.search(r"type (\d+) ", summary)
    if t:
        assert p[5].split(",")[0] == t.group(1), (p[5], summary)
if "fault" in name:
    assert len(failed) == 1, failed
    seq = int(failed[0].split("\t")[1].split()[1])
    assert "Буфер обмена пуст" in failed[0], failed[0]
PY
}

run_case rtu "MODBUS RTU" modbus "--dat $SAMPLES/rtu-two-channel.dat --pty" \
  "-d udp.port==5020,mbrtu -o mbrtu.crc_verification:TRUE" --dat "$SAMPLES/rtu-two-channel.dat"
run_case rtu_fault "MODBUS RTU" modbus "--dat $SAMPLES/rtu-two-channel.dat --pty --fault no-reply:1@2" \
  "-d udp.port==5020,mbrtu -o mbrtu.crc_verification:TRUE" --dat "$SAMPLES/rtu-two-channel.dat" --timeout 30
run_case ascii "MODBUS ASCII" modbus "--dat $SAMPLES/ascii-dc.dat --pty --mode ascii" "" \
  --dat "$SAMPLES/ascii-dc.dat"
run_case tcp "MODBUS TCP" modbus "--dat $SAMPLES/tcp-two-channel.dat --tcp 127.0.0.1:0" \
  "-o mbtcp.tcp.port:@PORT@" --dat "$SAMPLES/tcp-two-channel.dat"
run_case iec104 "МЭК-104" iec60870_104 "--dat $SAMPLES/iec104.dat --protocol iec104 --tcp 127.0.0.1:0" \
  "-d tcp.port==@PORT@,iec60870_104" --dat "$SAMPLES/iec104.dat" --iec-mode group
run_case iec101 "МЭК-101" iec60870_101 "--dat $SAMPLES/iec101.dat --protocol iec101 --pty" \
  "-d tcp.port==2405,iec60870_101" --dat "$SAMPLES/iec101.dat"
echo "traffic end-to-end: ok"
