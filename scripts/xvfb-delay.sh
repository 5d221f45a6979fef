#!/usr/bin/env bash
# The window on a real X server (Xvfb + openbox) polling the simulator's МЭК-101 station over
# a pty, with a simulated line delay; "Определение запаздывания" is pressed during the run.
# Screenshots of the run and of the delay field afterwards go to
# <build>/screenshots/delay; look at them.
# Usage: scripts/xvfb-delay.sh [build-dir] [line-delay-ms]
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$(cd "${1:-build/default}" && pwd)
lineDelay=${2:-40}
out="$build/screenshots/delay"
mkdir -p "$out"
sim=$(find "$build" -type f -name tessvar-sim -perm -u+x | head -n 1)
tmp=$(mktemp -d)
source scripts/xvfb-common.sh
trap 'xvfb_cleanup; rm -rf "$tmp"' EXIT

"$sim" --dat "$src/samples/iec101.dat" --protocol iec101 --iec-line-delay "$lineDelay" \
  --pty --link "$tmp/pty" >/dev/null 2>&1 &
pids+=($!)

start_window_on_pty "$src/samples/iec101.dat" "$tmp/pty"
shot() { shot_window "$win" "$out/$1.png"; }
sleep 5; shot 1-running
click_du "$win" 204 370                   # "Определение запаздывания"
sleep 4; shot 2-delay-field
echo "Screenshots in $out:"
ls -1 "$out"/*.png
