#!/usr/bin/env bash
# Configures and builds Tunrax. BUILD_DIR (default "build") names the build
# folder; TUNRAX_SANITIZE=1 builds with AddressSanitizer and UBSan (default
# folder "build-asan"); further CMake arguments follow on the command line.
set -euo pipefail
cd "$(dirname "$0")/.."

args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
default_dir=build
if [ "${TUNRAX_SANITIZE:-0}" = "1" ]; then
    args+=(-DTUNRAX_SANITIZE=ON -DTUNRAX_WERROR=ON)
    default_dir=build-asan
fi
build_dir="${BUILD_DIR:-$default_dir}"

cmake -S . -B "$build_dir" "${args[@]}" "$@"
cmake --build "$build_dir" -j "$(nproc)"
