#!/bin/sh
# CPU use of the idle program: the real program on a small collection,
# nothing playing, measured from /proc over a quiet stretch. The baseline is
# the budget of 1 % of one core.
#
#   bench/idle_cpu.sh [BUILD_FOLDER] [SECONDS]
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$repo/build-release"}
seconds=${2:-10}
program="$build/tunrax"
[ -x "$program" ] || { echo "$program is missing" >&2; exit 2; }

scratch=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config/quintor" "$scratch/runtime" "$scratch/Musik/Band/Album"
chmod 700 "$scratch/runtime"
printf '[Einstellungen]\r\nTyp=0\r\nVerzeichnis=%s/Musik\r\n' "$scratch" \
    > "$scratch/config/quintor/tunrax.ini"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" \
    HOME="$scratch" "$program" >/dev/null 2>&1 &
pid=$!
sleep 3  # start-up done

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" 'BEGIN {
    pct = 100 * t / hz / s
    printf "  idle program over %d s: %.2f %% of a core   ratio to the 1 %% budget %.2f   target < 1 %%: %s\n",
           s, pct, pct / 1.0, (pct < 1.0 ? "met" : "MISSED")
}'
