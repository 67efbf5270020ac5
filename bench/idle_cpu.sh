#!/usr/bin/env bash
# The idle program: the real program on a small collection, started and left
# alone with nothing playing, beside an empty Qt window in the same run.
# Wake-ups are the context switches of all the process's threads (each one a
# thread that woke up), CPU use the process's user and system time, both read
# from /proc over a quiet stretch. The programs run on a virtual X server
# where there is one (else Qt's offscreen platform) and on a session bus of
# their own, so that the desktop's remote control is registered as for a user.
#
#   bench/idle_cpu.sh [BUILD_FOLDER] [SECONDS] [OTHER_TUNRAX...]
#
# OTHER_TUNRAX: further builds of the program to measure in the same run
# (an older build, for a before and after).
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$repo/build-release"}
seconds=${2:-10}
shift $(( $# > 2 ? 2 : $# ))
program="$build/tunrax"
empty="$build/bench/empty_window"
for exe in "$program" "$empty" "$@"; do
    [ -x "$exe" ] || { echo "$exe is missing" >&2; exit 2; }
done
if [ -z "${TUNRAX_IDLE_INNER:-}" ]; then
    # One session bus and one display for all of them.
    if command -v dbus-run-session >/dev/null; then
        wrap=(dbus-run-session --)
    else
        wrap=()
    fi
    if command -v xvfb-run >/dev/null; then
        wrap+=(xvfb-run -a -s "-screen 0 1024x768x24")
    fi
    TUNRAX_IDLE_INNER=1 exec "${wrap[@]}" bash "$0" "$build" "$seconds" "$@"
fi
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen

scratch=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config/quintor" "$scratch/runtime" "$scratch/Musik/Band/Album"
chmod 700 "$scratch/runtime"
printf 'Band\r\n\tAlbum\r\n' > "$scratch/Musik/tunrax.dat"
printf '[Einstellungen]\r\nTyp=0\r\nVerzeichnis=%s/Musik\r\n' "$scratch" \
    > "$scratch/config/quintor/tunrax.ini"

# Context switches of every thread and CPU ticks of the process.
switches() {
    local total=0 n
    for status in /proc/"$1"/task/*/status; do
        n=$(awk '/ctxt_switches/ {s += $2} END {print s + 0}' "$status" 2>/dev/null || echo 0)
        total=$((total + n))
    done
    echo "$total"
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() {  # name pid
    local before_s before_t after_s after_t
    if [ ! -d "/proc/$2" ]; then
        echo "$1 ended before it was measured" >&2
        exit 1
    fi
    before_s=$(switches "$2"); before_t=$(ticks "$2")
    sleep "$seconds"
    after_s=$(switches "$2"); after_t=$(ticks "$2")
    if [ ! -d "/proc/$2" ]; then
        echo "$1 ended while it was measured" >&2
        exit 1
    fi
    awk -v name="$1" -v w=$((after_s - before_s)) -v t=$((after_t - before_t)) \
        -v hz="$(getconf CLK_TCK)" -v s="$seconds" 'BEGIN {
        printf "%s %.2f %.3f\n", name, w / s, 100 * t / hz / s
    }'
}

start() {  # home exe...
    local home=$1
    shift
    mkdir -p "$home"
    XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" HOME="$home" \
        "$@" >/dev/null 2>&1 &
    pids+=($!)
    echo $!
}

results=()
empty_pid=$(start "$scratch/home-empty" "$empty")
sleep 3  # start-up done
results+=("$(measure "empty-window" "$empty_pid")")
kill "$empty_pid"

n=0
for exe in "$program" "$@"; do
    n=$((n + 1))
    pid=$(start "$scratch/home-$n" "$exe")
    sleep 3
    results+=("$(measure "$exe" "$pid")")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done

printf '%s\n' "${results[@]}" | awk -v s="$seconds" '
    NR == 1 { base_w = $2; base_c = $3
              printf "  over %d s, idle, beside an empty Qt window (the baseline):\n", s }
    { printf "  %-48s %6.2f wake-ups/s  %6.3f %% CPU", $1, $2, $3
      if (NR > 1) printf "   %+6.2f wake-ups/s over the baseline   target <= 2/s: %s", $2 - base_w,
                         ($2 <= 2 ? "met" : "MISSED")
      printf "\n" }'
