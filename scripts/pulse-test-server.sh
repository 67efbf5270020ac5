#!/usr/bin/env bash
# A private PulseAudio server with a null sink, for the test that records
# what the player sends to the sound server. No sound card is needed.
#
#   scripts/pulse-test-server.sh CMD [ARGS...]  runs CMD with the server, then
#                                               stops it; exits with CMD's status
#   scripts/pulse-test-server.sh                starts it and prints the export
#                                               lines (eval them); stop it with
#   scripts/pulse-test-server.sh --stop DIR     DIR being its XDG_RUNTIME_DIR
#
# The sink is named by TUNRAX_TEST_SINK (default "testsink").
set -euo pipefail

stop_server() {
    local pidfile="$1/pulse/pid" pid=""
    if [ -f "$pidfile" ]; then
        pid="$(cat "$pidfile")"
        kill "$pid" 2>/dev/null || true
    fi
    # The server (and the session's other daemons) may still write into the
    # folder while they go down: wait for it, and try the removal again.
    if [ -n "$pid" ]; then
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    for _ in $(seq 10); do
        rm -rf "$1" 2>/dev/null && return 0
        sleep 0.2
    done
    echo "could not remove $1" >&2
}

if [ "${1:-}" = "--stop" ]; then
    stop_server "${2:?runtime folder}"
    exit 0
fi

sink="${TUNRAX_TEST_SINK:-testsink}"
runtime="$(mktemp -d)"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
export PULSE_SERVER="unix:$runtime/native"
export TUNRAX_TEST_SINK="$sink"
# norewinds=1: without it the first 1.6 s of a stream stall.
pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --disallow-exit \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$runtime/native" \
    --load="module-null-sink sink_name=$sink rate=44100 channels=2 norewinds=1" \
    >"$runtime/pulseaudio.log" 2>&1 || {
    cat "$runtime/pulseaudio.log" >&2
    rm -rf "$runtime"
    exit 1
}
for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
    echo "PulseAudio did not answer" >&2
    stop_server "$runtime"
    exit 1
fi

if [ $# -eq 0 ]; then
    echo "export XDG_RUNTIME_DIR=$runtime"
    echo "export PULSE_SERVER=$PULSE_SERVER"
    echo "export TUNRAX_TEST_SINK=$sink"
    echo "# stop: $0 --stop $runtime"
    exit 0
fi

trap 'stop_server "$runtime"' EXIT
status=0
"$@" || status=$?
exit "$status"
