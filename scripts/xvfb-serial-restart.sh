#!/usr/bin/env bash
# The window on a real X server (Xvfb + openbox) running over a pty from the simulator, the
# port typed into the "Порт" list as a path; the simulator is killed during the run and
# started again on the same link. Screenshots of the run, the waiting for the device and
# the recovered run go to <build>/screenshots/serial-restart; look at them.
# Usage: scripts/xvfb-serial-restart.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$(cd "${1:-build/default}" && pwd)
out="$build/screenshots/serial-restart"
mkdir -p "$out"
sim=$(find "$build" -type f -name tessvar-sim -perm -u+x | head -n 1)
tmp=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$tmp"; }
trap cleanup EXIT

exec 3< <(Xvfb -displayfd 1 -screen 0 1600x1000x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 10 num <&3
export DISPLAY=":$num"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

start_sim() {
  "$sim" --dat "$src/samples/rtu-two-channel.dat" --pty --link "$tmp/pty" >/dev/null 2>&1 &
  simpid=$!
  pids+=($simpid)
  for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
}
start_sim

QT_QPA_PLATFORM=xcb "$build/qt/tessvar" "$src/samples/rtu-two-channel.dat" >/dev/null 2>&1 &
pids+=($!)
win=""
for _ in $(seq 50); do
  win=$(xdotool search --onlyvisible --name '^Tessvar' 2>/dev/null | head -n 1) && [ -n "$win" ] && break
  sleep 0.2
done
[ -n "$win" ] || { echo "no window" >&2; exit 1; }
sleep 1
info=$(xwininfo -id "$win")
X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
W=$(sed -n 's/^ *Width: *//p' <<<"$info")
H=$(sed -n 's/^ *Height: *//p' <<<"$info")
at_du() { xdotool mousemove $((X + $1 * W / 540)) $((Y + $2 * H / 405)); }
shot() { import -window root -crop "${W}x${H}+${X}+${Y}" "$out/$1.png"; }

at_du 495 378; xdotool click 1; sleep 0.3       # the edit of the "Порт" list
xdotool key ctrl+a; xdotool type --delay 20 "$tmp/pty"; sleep 0.3
at_du 503 212; xdotool click 1                   # "Старт"
sleep 3; shot 1-running
kill "$simpid"; wait "$simpid" 2>/dev/null || true
sleep 6; shot 2-waiting-for-the-device
start_sim
sleep 8; shot 3-recovered
echo "Screenshots in $out:"
ls -1 "$out"/*.png
