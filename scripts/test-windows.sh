#!/usr/bin/env bash
# Cross-builds the Windows programs and the core tests (preset windows-tests, mingw-w64) and
# runs the tests under wine, then polls the simulator with tessvar-cli.exe over loopback TCP.
# Without wine, or with a wine that cannot start, it builds only and says so (exit 0); a
# failing build or test fails. Usage: bash scripts/test-windows.sh [--build-only]
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd .. && pwd)}
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-tessvar}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}  # no Mono/Gecko install prompts
unset DISPLAY  # the console programs need no screen; nothing may pop up

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "windows: SKIPPED - mingw-w64 is not installed (apt-get install g++-mingw-w64-x86-64)"
  exit 0
fi
cmake --preset windows-tests >/dev/null
cmake --build --preset windows-tests -j "$(nproc)"

if [ "${1:-}" = "--build-only" ]; then exit 0; fi
if ! command -v wine >/dev/null; then
  echo "windows: tests SKIPPED - wine is not installed (apt-get install wine64 wine)"
  exit 0
fi
# The first start creates the prefix (takes a while); a wine that cannot start is a skip.
dat=build/windows-tests/tools/dat/tessvar-dat.exe
if ! timeout 300 wine "$dat" --help >/dev/null 2>&1; then
  echo "windows: tests SKIPPED - wine cannot start programs here (wine $(wine --version 2>&1))"
  exit 0
fi

# The native window's tests need a display: a private Xvfb when there is one.
if command -v xvfb-run >/dev/null; then
  # The wine server started above has no display and would serve the window tests too:
  # let it end, so the next one starts on the private display.
  wineserver -w 2>/dev/null || true
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows-tests
else
  echo "windows: window tests SKIPPED - no xvfb-run for a display"
  ctest --preset windows-tests -E 'DialogWindowTest|Win32WindowHost'
fi

# tessvar-cli.exe polls a simulator over loopback TCP: the Linux one when it is built,
# otherwise tessvar-sim.exe under wine.
sim=(build/default/sim/main/tessvar-sim)
[ -x "${sim[0]}" ] || sim=(wine build/windows-tests/sim/main/tessvar-sim.exe)
log=$(mktemp)
trap 'kill "$simpid" 2>/dev/null || true; rm -f "$log"' EXIT
"${sim[@]}" --dat samples/tcp-two-channel.dat --tcp 127.0.0.1:0 >"$log" 2>&1 &
simpid=$!
port=""
for _ in $(seq 1 300); do
  port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" | tr -d '\r')
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "windows: simulator did not start"; cat "$log"; exit 1; }
lines=$(timeout 120 wine build/windows-tests/tools/cli/tessvar-cli.exe --dat samples/tcp-two-channel.dat \
  --ip 127.0.0.1 --port "$port" --data-sets 3 --json | grep -c '"values"' || true)
if [ "$lines" != 3 ]; then
  echo "windows: tessvar-cli.exe presented $lines of 3 data sets from the simulator"
  exit 1
fi
echo "windows: tessvar-cli.exe presented 3 data sets from ${sim[*]} on port $port"
