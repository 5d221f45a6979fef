#!/usr/bin/env bash
# Installs what is missing, builds the default preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths inside the tree are cached relative to it, so another checkout reuses the cache.
export CCACHE_BASEDIR="$PWD"
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"
ctest --preset default
# The Windows programs cross-built and their core tests under wine (about 2 minutes with a
# warm ccache); skipped with a line saying why when mingw-w64 or wine is missing or wine
# cannot start, or when TESSVAR_SKIP_WINDOWS=1.
if [ "${TESSVAR_SKIP_WINDOWS:-0}" != 1 ]; then
  bash scripts/test-windows.sh
else
  echo "windows: SKIPPED (TESSVAR_SKIP_WINDOWS=1)"
fi
