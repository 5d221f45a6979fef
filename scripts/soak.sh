#!/bin/sh
# The full-day soak: 24 virtual hours of every protocol against the in-process simulator,
# with faults, midnights, wall-clock jumps and recording; prints the table and exits 1 when
# anything was lost, duplicated or left unrecovered. Extra arguments go to tessvar-soak
# (e.g. --seed 7, --protocol tcp, --hours 6).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSVAR_BUILD:-$root/build/default}
cmake --build "$build" --target tessvar-soak >/dev/null
hours="--hours 24"
for arg in "$@"; do
  case $arg in --hours|--hours=*) hours= ;; esac
done
TESSVAR_SOURCE_DIR=$root exec "$build/tests/soak/tessvar-soak" $hours "$@"
