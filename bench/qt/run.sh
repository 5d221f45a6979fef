#!/usr/bin/env bash
# Window figures under Xvfb: start-up time to the first paint, then resident memory and CPU
# time after a real run polling the simulator every 100 ms (10 minutes unless told).
# Usage: bench/qt/run.sh [build-dir] [seconds]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/default}
seconds=${2:-600}
cmake --build "$build" --target tessvar_qt_bench tessvar-sim -j 2
bench=$(find "$build" -type f -name tessvar_qt_bench -perm -u+x | head -n 1)
sim=$(find "$build" -type f -name tessvar-sim -perm -u+x | head -n 1)
[ -n "$bench" ] && [ -n "$sim" ] || { echo "tessvar_qt_bench or tessvar-sim is not built" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb
for i in 1 2 3; do
  echo -n "start-up $i: "
  xvfb-run -a "$bench" startup 2>/dev/null
done
echo "long run (${seconds} s):"
xvfb-run -a "$bench" run "$seconds" 100 "$sim" samples/tcp-two-channel.dat 2>/dev/null
