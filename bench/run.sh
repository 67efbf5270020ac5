#!/bin/sh
# Runs the benchmarks of an existing build and prints their reports.
#
#   bench/run.sh [BUILD_FOLDER] [OPTIONS...]
#
# BUILD_FOLDER defaults to build-release in the repository; it must have been
# configured with -DTUNRAX_BUILD_BENCH=ON (the default), ideally as a Release
# build. OPTIONS (e.g. --rounds=9) go to every program. The scratch files go
# below $TMPDIR (else /tmp) and are removed afterwards. A missed target is
# reported, never an error: the exit status is non-zero only when a program
# is missing or crashes.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$repo/build-release"}
[ $# -gt 0 ] && shift

status=0
for program in fs_bench settings_bench catalogue_bench tags_bench tree_bench search_bench playstart_bench gap_bench http_bench https_bench ftp_bench favorites_bench copy_bench start_bench; do
    exe="$build/bench/$program"
    if [ ! -x "$exe" ]; then
        echo "$exe is missing; build first, e.g.:" >&2
        echo "  cmake -S $repo -B $build -DCMAKE_BUILD_TYPE=Release -DTUNRAX_BUILD_APP=OFF" \
             "-DTUNRAX_BUILD_TESTS=OFF && cmake --build $build -j2" >&2
        exit 2
    fi
    echo "== $program"
    if [ "$program" = gap_bench ] && [ -z "${PULSE_SERVER:-}" ]; then
        # It listens at a null sink: a private sound server of its own.
        bash "$repo/scripts/pulse-test-server.sh" "$exe" "$@" || status=$?
    else
        "$exe" "$@" || status=$?
    fi
    echo
done
echo "== idle_cpu"
bash "$repo/bench/idle_cpu.sh" "$build" || status=$?
exit $status
