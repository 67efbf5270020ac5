#!/usr/bin/env bash
# A desktop session as a user has one, without a screen or a sound card:
# an X server (Xvfb), a D-Bus session bus with the accessibility bus on call,
# a notification area (trayer) and a PulseAudio server with a null sink.
#
#   tests/e2e/session.sh CMD [ARGS...]
#
# runs CMD inside the session (DISPLAY, DBUS_SESSION_BUS_ADDRESS,
# XDG_RUNTIME_DIR, PULSE_SERVER and TUNRAX_TEST_SINK set) and stops
# everything afterwards; exits with CMD's status.
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"

pids=()
runtime=""
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    # An X server still going down removes the socket of the display number
    # that the next session's server may already have taken.
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    done
    [ -n "$runtime" ] && bash "$repo/scripts/pulse-test-server.sh" --stop "$runtime"
}
trap cleanup EXIT

# PulseAudio first: it makes the private runtime folder that the rest share.
eval "$(bash "$repo/scripts/pulse-test-server.sh")"
runtime="$XDG_RUNTIME_DIR"

# Xvfb picks a free display itself: sessions of parallel runs never collide.
# -noreset: without it the server resets whenever its last client leaves (the
# first xdpyinfo, say), and a program that connects meanwhile is refused.
exec 5>"$runtime/display"
Xvfb -displayfd 5 -screen 0 "${TUNRAX_E2E_SCREEN:-1024x768x24}" -nolisten tcp -noreset >"$runtime/xvfb.log" 2>&1 &
pids+=($!)
exec 5>&-
for _ in $(seq 100); do [ "$(wc -l <"$runtime/display")" -ge 1 ] && break; sleep 0.1; done
display=":$(head -n1 "$runtime/display")"
[ "$display" != ":" ] || { echo "Xvfb did not start" >&2; cat "$runtime/xvfb.log" >&2; exit 1; }
export DISPLAY="$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; cat "$runtime/xvfb.log" >&2; exit 1; }

dbus_info="$(dbus-daemon --session --fork --print-address=1 --print-pid=1)"
export DBUS_SESSION_BUS_ADDRESS="$(echo "$dbus_info" | sed -n 1p)"
pids+=("$(echo "$dbus_info" | sed -n 2p)")

trayer --edge top --align right --widthtype pixel --width 100 --height 24 \
    --transparent false --tint 0xdddddd >"$runtime/trayer.log" 2>&1 &
pids+=($!)
# Qt looks for the notification area once, when the program starts.
for _ in $(seq 100); do xdotool search --class trayer >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5

status=0
"$@" || status=$?
exit "$status"
