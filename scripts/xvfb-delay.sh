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

"$sim" --dat "$src/samples/iec101.dat" --protocol iec101 --iec-line-delay "$lineDelay" \
  --pty --link "$tmp/pty" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$tmp/pty" ] && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$build/qt/tessvar" "$src/samples/iec101.dat" >/dev/null 2>&1 &
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
sleep 5; shot 1-running
at_du 204 370; xdotool click 1                   # "Определение запаздывания"
sleep 4; shot 2-delay-field
echo "Screenshots in $out:"
ls -1 "$out"/*.png
