#!/usr/bin/env bash
# Tries the window on a real X server with a window manager, as a user would: Xvfb with
# openbox on a 1600x1000 screen, clicks by xdotool, screenshots of the whole screen.
#   1. the window tests on the xcb platform (window activation goes through openbox);
#   2. for each scale (QT_SCALE_FACTOR 1, 1.5, 2): the window with a description loaded,
#      idle, then with the "RS-485" page and the "МЭК-101" page clicked open.
# Screenshots go to <build>/screenshots/desktop; look at them.
# Usage: scripts/xvfb-desktop.sh [build-dir]   (default: build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$(cd "${1:-build/default}" && pwd)
out="$build/screenshots/desktop"
mkdir -p "$out"
source scripts/xvfb-common.sh
locale_env=()
if locale -a 2>/dev/null | grep -qi '^ru_RU.utf8$'; then locale_env=(LC_ALL=ru_RU.UTF-8); fi

status=0
tests=$(find "$build" -type f -name tessvar_qt_window_tests -perm -u+x | head -n 1)
if [ -n "$tests" ]; then
  echo "== window tests on xcb under openbox"
  env "${locale_env[@]}" QT_QPA_PLATFORM=xcb TESSVAR_SOURCE_DIR="$src" \
    TESSVAR_BINARY_DIR="$out" "$tests" -silent || status=1
fi

for scale in 1 1.5 2; do
  env "${locale_env[@]}" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
    "$build/qt/tessvar" "$src/samples/iec101.dat" >/dev/null 2>&1 &
  app=$!
  win=$(find_window '^Tessvar')
  if [ -z "$win" ]; then echo "no window at scale $scale" >&2; status=1; kill "$app"; continue; fi
  sleep 1
  geometry "$win"
  echo "== scale $scale: window ${WIDTH}x${HEIGHT} at $X,$Y on 1600x1000"
  if [ $((X + WIDTH)) -gt 1600 ] || [ $((Y + HEIGHT)) -gt 1000 ] || [ "$X" -lt 0 ] || [ "$Y" -lt 0 ]; then
    echo "   does not fit the screen" >&2
    status=1
  fi
  import -window root "$out/scale-$scale-idle.png"
  click_du "$win" 77 10   # "RS-485"
  import -window root "$out/scale-$scale-rs485.png"
  click_du "$win" 143 10  # "МЭК-101" (closes the serial page, opens the IEC page)
  import -window root "$out/scale-$scale-iec101.png"
  click_du "$win" 110 330 # the poll period box: the page closes
  import -window root "$out/scale-$scale-closed.png"
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
done
echo "Screenshots in $out:"
ls -1 "$out"/*.png
exit $status
