#!/usr/bin/env bash
# Installs what is missing, builds Tunrax with its tests and runs every test.
# The test that listens to the player's sound runs under a private PulseAudio
# server with a null sink (scripts/pulse-test-server.sh) unless PULSE_SERVER
# names one already.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --test
default_dir=build
[ "${TUNRAX_SANITIZE:-0}" = "1" ] && default_dir=build-asan
build_dir="${BUILD_DIR:-$default_dir}"
BUILD_DIR="$build_dir" bash scripts/build.sh -DTUNRAX_BUILD_TESTS=ON

run_tests=(ctest --test-dir "$build_dir" --output-on-failure --timeout 300 -j "$(nproc)")
if [ -z "${PULSE_SERVER:-}" ]; then
    exec bash scripts/pulse-test-server.sh "${run_tests[@]}"
fi
exec "${run_tests[@]}"
