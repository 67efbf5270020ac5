#!/usr/bin/env bash
# The benchmarks that listen at a null sink, each in a desktop session of its
# own (tests/e2e/session.sh): the silence between the songs of an album
# (gap_remote.py), remote Play and Next to the first sound beside audacious
# (remote_start.py --peer), a remote seek (seek_remote.py) and the wake-ups
# of the idle program after it has played (idle_remote.py).
#
#   bench/remote.sh PROGRAM [BASELINE] [OPTIONS...]
#
# PROGRAM and BASELINE are Tunrax binaries (e.g. build-release/tunrax and a
# Release build of an older commit); OPTIONS (e.g. --rounds=9) go to the
# scripts that take them. Installs what is missing from Debian when run as
# root: the session's tools and audacious, the player measured beside ours.
# Reports figures; a missed target is never an error.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:?program}"
shift
programs=("$program")
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
    programs+=("$1")
    shift
fi

needed=(xvfb x11-utils xdotool trayer dbus pulseaudio pulseaudio-utils playerctl sox lame
    python3-pyftpdlib audacious audacious-plugins)
missing=()
for package in "${needed[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" = 0 ]; then
        apt-get update -qq
        apt-get install -y --no-install-recommends "${missing[@]}"
    else
        echo "missing packages (install them as root): ${missing[*]}" >&2
    fi
fi

session="$repo/tests/e2e/session.sh"
echo "== gap_remote"
bash "$session" /usr/bin/python3 "$repo/bench/gap_remote.py" "${programs[@]}"
echo "== remote_start"
bash "$session" /usr/bin/python3 "$repo/bench/remote_start.py" "${programs[@]}" --peer "$@"
echo "== seek_remote"
bash "$session" /usr/bin/python3 "$repo/bench/seek_remote.py" "${programs[@]}" "$@"
echo "== idle_remote"
bash "$session" /usr/bin/python3 "$repo/bench/idle_remote.py" "${programs[@]}"
