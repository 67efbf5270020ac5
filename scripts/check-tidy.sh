#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy: bug-prone patterns and the naming convention)
# over the program's sources: core/, gst/, keyring/, ui/ and tools/. BUILD_DIR names a
# configured build folder with compile_commands.json (default "build").
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
if [ ! -f "$build_dir/compile_commands.json" ]; then
    echo "No $build_dir/compile_commands.json: configure a build first (cmake --preset dev)." >&2
    exit 2
fi
# Files made by the build (moc, resources) are not ours to check.
run-clang-tidy -p "$build_dir" -j "$(nproc)" -quiet "$PWD/(core|gst|keyring|ui|tools)/" >"$build_dir/tidy.log" 2>&1 || true
if grep -E "(warning|error): " "$build_dir/tidy.log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u | grep .; then
    echo "clang-tidy found the above (full output: $build_dir/tidy.log)." >&2
    exit 1
fi
echo "clang-tidy: nothing found in core/, gst/, keyring/, ui/ and tools/."
