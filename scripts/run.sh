#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulator on 127.0.0.1 with the bundled TCP
# sample and opens the window with that description loaded: press "Старт". Without a
# display the command-line front end polls the simulator for a few data sets instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
sample="samples/tcp-two-channel.dat"
sim_port=1502   # the TCP port the sample names

bash scripts/install-deps.sh
cmake --preset default >/dev/null
build="$root/build/default"
targets=()
known=$(cmake --build "$build" --target help 2>/dev/null || true)
for t in tessvar tessvar-sim tessvar-cli; do
  if grep -q "^$t:" <<<"$known"; then targets+=("$t"); fi
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "Nothing to run yet: none of tessvar, tessvar-sim, tessvar-cli is part of the build." >&2
  exit 1
fi
cmake --build "$build" --target "${targets[@]}" -j "$(nproc)"

find_program() {  # prints the path of a built program, or nothing
  local p
  p=$(find "$build" -type f -name "$1" -perm -u+x 2>/dev/null | head -n 1)
  [ -n "$p" ] && echo "$p"
  return 0
}
sim=$(find_program tessvar-sim)
window=$(find_program tessvar)
cli=$(find_program tessvar-cli)

if [ ! -f "$sample" ]; then
  echo "The sample $sample is missing; nothing to show." >&2
  exit 1
fi
if [ -z "$sim" ]; then
  echo "tessvar-sim is not built yet, so there is no device to poll." >&2
  [ -n "$window" ] && { echo "Opening the window alone."; exec "$window" "$sample"; }
  exit 1
fi

# The simulator, stopped whatever way this script ends.
log=$(mktemp -t tessvar-sim.XXXXXX)
"$sim" --dat "$sample" --tcp "127.0.0.1:$sim_port" >"$log" 2>&1 &
sim_pid=$!
cleanup() {
  if kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$log"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
for _ in $(seq 1 50); do
  grep -q '^listening' "$log" && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "The simulator did not start:" >&2
    cat "$log" >&2
    [ "$(grep -c 'in use' "$log")" -gt 0 ] && echo "Port $sim_port on 127.0.0.1 is taken; stop what uses it." >&2
    exit 1
  fi
  sleep 0.1
done
echo "Simulator: $(grep '^listening' "$log" || echo "starting") ($sample)"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  if [ -z "$window" ]; then
    echo "The window (tessvar) is not built: Qt 6 was not found when configuring." >&2
    exit 1
  fi
  echo "Opening the window with $sample loaded: press \"Старт\"."
  "$window" "$sample"
else
  echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): polling the simulator with tessvar-cli instead."
  if [ -z "$cli" ]; then
    echo "tessvar-cli is not built yet." >&2
    exit 1
  fi
  "$cli" --dat "$sample" --ip 127.0.0.1 --data-sets 5
fi
