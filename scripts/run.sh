#!/usr/bin/env bash
# Installs what is missing, builds Tunrax and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD_DIR="${BUILD_DIR:-build}" bash scripts/build.sh -DTUNRAX_BUILD_TESTS=OFF -DTUNRAX_BUILD_BENCH=OFF
exec "${BUILD_DIR:-build}/tunrax" "$@"
