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
source scripts/xvfb-common.sh
trap 'xvfb_cleanup; rm -rf "$tmp"' EXIT

start_sim() {
  "$sim" --dat "$src/samples/rtu-two-channel.dat" --pty --link "$tmp/pty" >/dev/null 2>&1 &
  simpid=$!
  pids+=($simpid)
}
start_sim

start_window_on_pty "$src/samples/rtu-two-channel.dat" "$tmp/pty"
shot() { shot_window "$win" "$out/$1.png"; }
sleep 3; shot 1-running
kill "$simpid"; wait "$simpid" 2>/dev/null || true
sleep 6; shot 2-waiting-for-the-device
start_sim
for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done
sleep 8; shot 3-recovered
echo "Screenshots in $out:"
ls -1 "$out"/*.png
