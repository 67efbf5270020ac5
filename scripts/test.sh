#!/usr/bin/env bash
# Installs what is missing, builds Tunrax with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --test
default_dir=build
[ "${TUNRAX_SANITIZE:-0}" = "1" ] && default_dir=build-asan
build_dir="${BUILD_DIR:-$default_dir}"
BUILD_DIR="$build_dir" bash scripts/build.sh -DTUNRAX_BUILD_TESTS=ON
cd "$build_dir"
ctest --output-on-failure --timeout 300 -j "$(nproc)"
