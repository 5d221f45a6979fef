#!/usr/bin/env bash
# Requests per second of tessvar-sim and of a minimal libmodbus server, each serving one
# libmodbus client that reads 21 input registers over one loopback TCP connection.
# Usage: bench/sim/run.sh [REQUESTS]   (ROUNDS=N, default 3; TESSVAR_SIM=path/to/tessvar-sim
# to skip the build)
set -euo pipefail
cd "$(dirname "$0")/../.."
REQUESTS=${1:-20000}
OUT=build/sim-bench
mkdir -p "$OUT"

SIM=${TESSVAR_SIM:-}
if [ -z "$SIM" ]; then
  if [ ! -f build/sim/build.ninja ]; then
    cmake -S . -B build/sim -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build build/sim --target tessvar-sim -j2 >/dev/null
  SIM=build/sim/sim/main/tessvar-sim
fi
cc -O2 -o "$OUT/client" bench/sim/client.c $(pkg-config --cflags --libs libmodbus)
cc -O2 -o "$OUT/server" bench/sim/server.c $(pkg-config --cflags --libs libmodbus)

PID=
cleanup() { [ -n "$PID" ] && kill "$PID" 2>/dev/null && wait "$PID" 2>/dev/null || true; }
trap cleanup EXIT

# Starts a server, reads its "listening HOST:PORT" line, runs the client against it.
measure() {
  local fifo="$OUT/stdout.$$"
  rm -f "$fifo"; mkfifo "$fifo"
  "$@" >"$fifo" 2>/dev/null &
  PID=$!
  local line
  read -r -t 10 line <"$fifo"
  rm -f "$fifo"
  local port=${line##*:}
  "$OUT/client" "$port" "$REQUESTS"
  kill "$PID"; wait "$PID" 2>/dev/null || true
  PID=
}

# Rounds alternate between the two servers so that a busy machine hurts both alike; the
# medians are compared.
ROUNDS=${ROUNDS:-3}
SIM_RATES=()
LIB_RATES=()
for ((i = 1; i <= ROUNDS; i++)); do
  SIM_LINE=$(measure "$SIM" --dat samples/tcp-two-channel.dat --tcp 127.0.0.1:0)
  LIB_LINE=$(measure "$OUT/server")
  echo "round $i  tessvar-sim:      $SIM_LINE"
  echo "round $i  libmodbus server: $LIB_LINE"
  SIM_RATES+=("${SIM_LINE%% *}")
  LIB_RATES+=("${LIB_LINE%% *}")
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
SIM_MED=$(median "${SIM_RATES[@]}")
LIB_MED=$(median "${LIB_RATES[@]}")
best() { printf '%s\n' "$@" | sort -n | tail -1; }
echo "median tessvar-sim: $SIM_MED requests/s, libmodbus server: $LIB_MED requests/s"
echo "best   tessvar-sim: $(best "${SIM_RATES[@]}") requests/s, libmodbus server: $(best "${LIB_RATES[@]}") requests/s"
awk -v a="$SIM_MED" -v b="$LIB_MED" 'BEGIN { printf "ratio tessvar-sim / libmodbus: %.2f\n", a / b }'
