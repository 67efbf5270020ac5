#!/usr/bin/env bash
# Configures and builds Tunrax from a preset of CMakePresets.json: "dev"
# (folder "build"), or "asan" with TUNRAX_SANITIZE=1 (AddressSanitizer and
# UBSan, folder "build-asan"). BUILD_DIR names another build folder; further
# CMake arguments follow on the command line.
set -euo pipefail
cd "$(dirname "$0")/.."

preset=dev
default_dir=build
if [ "${TUNRAX_SANITIZE:-0}" = "1" ]; then
    preset=asan
    default_dir=build-asan
fi
build_dir="${BUILD_DIR:-$default_dir}"

cmake --preset "$preset" -B "$build_dir" "$@"
cmake --build "$build_dir" -j "$(nproc)"
