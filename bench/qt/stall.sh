#!/usr/bin/env bash
# How long the window goes without processing events, and how long "Стоп" takes, while a
# TCP connect runs to its 10 s limit (a peer that never completes the handshake) and while
# a connected device never answers. "Стоп" is clicked inside the wait. Figures only, under
# Xvfb. Usage: bench/qt/stall.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/default}
bench=$(find "$build" -type f -name tessvar_qt_bench -perm -u+x | head -n 1)
[ -n "$bench" ] || { echo "tessvar_qt_bench is not built" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb
port_of() { sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$1" | head -n 1; }
wait_port() { for _ in $(seq 50); do [ -n "$(port_of "$1")" ] && return; sleep 0.1; done; }
out=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$out"' EXIT

python3 bench/qt/unaccepting_peer.py > "$out/unaccepting" &
wait_port "$out/unaccepting"
for at in 4 18; do
  echo "== connect runs to its limit (handshake never completes), Стоп at ${at} s"
  xvfb-run -a "$bench" stall "$at" 127.0.0.1 "$(port_of "$out/unaccepting")" samples/tcp-two-channel.dat 2>/dev/null
done

PEER_SILENT=1 python3 bench/qt/modbus_peer.py --tcp 127.0.0.1:0 > "$out/silent" &
wait_port "$out/silent"
echo "== connected, never answers, Стоп at 3 s (inside the reply wait)"
xvfb-run -a "$bench" stall 3 127.0.0.1 "$(port_of "$out/silent")" samples/tcp-two-channel.dat 2>/dev/null
