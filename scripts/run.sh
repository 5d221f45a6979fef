#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool on the bundled samples.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
echo "Built. The window and the simulator are on their way."
