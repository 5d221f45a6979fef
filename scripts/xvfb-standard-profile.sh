#!/usr/bin/env bash
# The window on a real X server (Xvfb + openbox) with the standard IEC station profile kept
# in a settings file of its own, polling the simulator's standard МЭК-101 station over a pty
# for a while. Screenshots of the start and of the run afterwards go to
# <build>/screenshots/standard-profile; look at them (failure counter, values, status).
# Usage: scripts/xvfb-standard-profile.sh [build-dir] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$(cd "${1:-build/default}" && pwd)
seconds=${2:-120}
out="$build/screenshots/standard-profile"
mkdir -p "$out"
sim=$(find "$build" -type f -name tessvar-sim -perm -u+x | head -n 1)
tmp=$(mktemp -d)
source scripts/xvfb-common.sh
trap 'xvfb_cleanup; rm -rf "$tmp"' EXIT

# "IEC profile"="standard" in a settings file that is not the user's.
export XDG_CONFIG_HOME="$tmp/config"
mkdir -p "$XDG_CONFIG_HOME/tessvar"
printf '; Tessvar per-user settings\n\n[Software\\Dorvaint]\n"IEC profile"=hex(1):73,74,61,6e,64,61,72,64,00\n' \
  >"$XDG_CONFIG_HOME/tessvar/settings.reg"

"$sim" --dat "$src/samples/iec101.dat" --protocol iec101 --profile standard \
  --pty --link "$tmp/pty" >/dev/null 2>&1 &
pids+=($!)

start_window_on_pty "$src/samples/iec101.dat" "$tmp/pty"
shot() { shot_window "$win" "$out/$1.png"; }
shot 1-started
sleep "$seconds"; shot 2-after-run
echo "Screenshots in $out:"
ls -1 "$out"/*.png
