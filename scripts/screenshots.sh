#!/usr/bin/env bash
# Saves PNGs of the main window (idle, with an IEC protocol chosen, during a run against the
# simulator) and of each page, rendered by a real X server (Xvfb), into <build>/screenshots.
# Usage: scripts/screenshots.sh [build-dir]   (default: build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset default >/dev/null
  build=build/default
fi
cmake --build "$build" --target tessvar_qt_window_tests -j 2
test_bin=$(find "$build" -type f -name tessvar_qt_window_tests -perm -u+x | head -n 1)
if [ -z "$test_bin" ]; then
  echo "The window tests are not built (no Qt 6, or the main window is not there yet)." >&2
  exit 1
fi
out=$(cd "$build" && pwd)
mkdir -p "$out/screenshots"
# Cyrillic must render with the desktop's font under a Russian locale as well.
locale_env=()
if locale -a 2>/dev/null | grep -qi '^ru_RU.utf8$'; then locale_env=(LC_ALL=ru_RU.UTF-8); fi
env "${locale_env[@]}" QT_QPA_PLATFORM=xcb TESSVAR_SOURCE_DIR="$(pwd)" TESSVAR_BINARY_DIR="$out" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$test_bin"
echo "Screenshots in $out/screenshots:"
ls -1 "$out/screenshots"
