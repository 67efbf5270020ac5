#!/usr/bin/env bash
# Installs the Debian 12 packages that Tunrax needs, skipping those already
# installed. "deps.sh" installs what building and running needs;
# "deps.sh --test" adds what the tests, fuzzers and benchmarks need.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-translations-l10n libgl-dev libicu-dev qt6-svg-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-pulseaudio
    libcurl4-openssl-dev libpoco-dev libssl-dev qtkeychain-qt6-dev libsecret-1-0
)
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format clang-tidy
    lame sox libtag1-dev pulseaudio pulseaudio-utils locales
    php-cli python3-pyftpdlib python3-openssl curl python3-cryptography
    nginx apache2 libapache2-mod-php php-fpm
    desktop-file-utils appstream debootstrap
    dbus-daemon xvfb x11-utils xdotool trayer imagemagick playerctl
    at-spi2-core python3-pyatspi python3-xlib
    gnome-keyring libsecret-tools
)
if [ "${1:-}" = "--test" ]; then
    packages+=("${test_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The tests start web servers of their own on loopback ports: the system's
# nginx, Apache and php-fpm services are not started on installation (two
# of them would also fight over port 80 and fail the installation).
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    own_policy=1
fi
status=0
$sudo apt-get update && $sudo apt-get install -y --no-install-recommends "${missing[@]}" || status=$?
if [ "$own_policy" = 1 ]; then $sudo rm -f "$policy"; fi
exit "$status"
