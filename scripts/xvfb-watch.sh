#!/usr/bin/env bash
# Screenshots of the windows that watch a run, on Xvfb with openbox: the window polls the
# simulator over MODBUS TCP while the simulator answers some requests with exception 2, the
# "Обмен" and "Тренд" windows are opened from the window menu and two quantities ticked.
# Screenshots go to <build>/screenshots/watch; look at them.
# Usage: scripts/xvfb-watch.sh [build-dir]   (default: build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$(cd "${1:-build/default}" && pwd)
out="$build/screenshots/watch"
mkdir -p "$out"
source scripts/xvfb-common.sh

"$build/sim/main/tessvar-sim" --dat "$src/samples/tcp-two-channel.dat" --tcp 127.0.0.1:1502 \
  --fault "exception=2:25%" >/dev/null 2>&1 &
pids+=($!)
sleep 0.5
QT_QPA_PLATFORM=xcb "$build/qt/tessvar" "$src/samples/tcp-two-channel.dat" >/dev/null 2>&1 &
pids+=($!)

# A window by its exact title (xdotool's name search does not match Cyrillic titles).
named_window() {
  local w=""
  for _ in $(seq 50); do
    w=$(xwininfo -root -tree | grep -a " \"$1\": (" | head -n 1 | awk '{print $1}') && [ -n "$w" ] && break
    sleep 0.2
  done
  echo "$w"
}
menu_item() {  # window, n-th item of the window menu
  click_du "$1" 300 398 3
  for _ in $(seq "$2"); do xdotool key Down; done
  xdotool key Return
  sleep 1
}

main=$(find_window '^Tessvar')
[ -n "$main" ] || { echo "no main window" >&2; exit 1; }
xdotool windowmove "$main" 0 0
sleep 1
click_du "$main" 503 212   # "Старт"
menu_item "$main" 4        # "Обмен"
traffic=$(named_window "Обмен")
xdotool windowmove "$traffic" 900 600
menu_item "$main" 5        # "Тренд"
trend=$(named_window "Тренд")
xdotool windowsize "$traffic" 1590 330 windowmove "$traffic" 0 660
xdotool windowsize "$trend" 780 600 windowmove "$trend" 815 0
sleep 1
geometry "$trend"
xdotool mousemove $((X + 60)) $((Y + 60)) click 1
for row in 0 5; do         # two quantities of the list ticked with the space bar
  xdotool mousemove $((X + 40)) $((Y + 70 + row * 14)) click 1 key space
  sleep 0.3
done
sleep 25
import -window root "$out/watch-fault.png"
import -window "$traffic" "$out/traffic.png"
import -window "$trend" "$out/trend.png"
echo "Screenshots in $out:"
ls -1 "$out"/*.png
