#!/bin/sh
# Builds the fuzz targets with clang in their own build folder and runs each
# for a bounded time from a freshly generated seed corpus.
#
#   FUZZ_SECONDS=20 fuzz/run.sh [TARGET...]
#
# FUZZ_SECONDS  seconds per target (default 20)
# FUZZ_BUILD    build folder (default build-fuzz in the repository)
#
# The corpora live in a temporary folder and are removed afterwards; inputs
# that crash are kept in $FUZZ_BUILD/artifacts/ and the logs in
# $FUZZ_BUILD/logs/. The exit status is non-zero when a target finds a crash
# (or the build fails).
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-"$repo/build-fuzz"}
seconds=${FUZZ_SECONDS:-20}
targets=${*:-"fuzz_settings fuzz_password fuzz_catalogue fuzz_id3v1 fuzz_id3v2 fuzz_listing fuzz_favorites fuzz_ftp_reply"}

cmake --no-warn-unused-cli -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTUNRAX_BUILD_FUZZ=ON -DTUNRAX_BUILD_APP=OFF -DTUNRAX_BUILD_TESTS=OFF \
    -DTUNRAX_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086 # one word per target
cmake --build "$build" -j2 --target fuzz_make_seeds $targets

work=$(mktemp -d "${TMPDIR:-/tmp}/tunrax-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/fuzz_settings" "$work/fuzz_password" "$work/fuzz_catalogue" \
    "$work/fuzz_id3v1" "$work/fuzz_id3v2" "$work/fuzz_listing" "$work/fuzz_favorites" \
    "$work/fuzz_ftp_reply" "$build/artifacts" "$build/logs"
"$build/fuzz/fuzz_make_seeds" "$work/fuzz_settings" "$work/fuzz_password" "$work/fuzz_catalogue" \
    "$work/fuzz_id3v1" "$work/fuzz_id3v2"
printf '\\A\\B\\01.mp3\r\n/a/b/02.MP3\n\r\\c.jpg\r' >"$work/fuzz_favorites/list"
printf '\003220-Willkommen\r\n220 fertig\r\n229 (|||6446|)\r\n227 (127,0,0,1,25,34)\r\n' \
    >"$work/fuzz_ftp_reply/replies"
printf '\001ok.mp3\r\ncr\rname\r\na\nb.mp3\r\nletzte.mp3' >"$work/fuzz_ftp_reply/listing"
printf '01-Eins.mp3<BR>02-Zwei.MP3\r\n\r\ndrei.mp3<br>\nvier.mp3' >"$work/fuzz_listing/listing"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=""
for target in $targets; do
    mkdir -p "$work/$target"
    log="$build/logs/$target.log"
    dict=""
    [ -f "$repo/fuzz/$target.dict" ] && dict="-dict=$repo/fuzz/$target.dict"
    echo "== $target: $seconds s, seeds: $(find "$work/$target" -type f | wc -l)"
    # shellcheck disable=SC2086 # no argument without a dictionary
    if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" $dict "$work/$target" >"$log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
        grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
    else
        tail -n 60 "$log"
        echo "!! $target found a crash; the input is in $build/artifacts/, the log in $log"
        failed="$failed $target"
    fi
    echo
done

if [ -n "$failed" ]; then
    echo "fuzzing failed:$failed"
    exit 1
fi
echo "fuzzing passed: $targets"
