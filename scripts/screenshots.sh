#!/usr/bin/env bash
# Takes the main window's screenshots in docs/ with the program given (default
# build/tunrax): the default look, scale factor 2 and a dark colour scheme
# (qt6ct's "darker", as a desktop without its own Qt theme would set it).
#
#   scripts/screenshots.sh [PROGRAM]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "${1:-$repo/build/tunrax}")"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
bash "$repo/tests/e2e/make_collection.sh" "$scratch/sammlungen"
shoot() {  # output, then environment assignments
    local output="$1"
    shift
    env "$@" bash "$repo/tests/e2e/session.sh" /usr/bin/python3 "$repo/tests/e2e/docs_shots.py" \
        "$program" "$scratch/sammlungen" "$repo/docs/$output"
    echo "docs/$output"
}
shoot hauptfenster.png
shoot hauptfenster-skala2.png QT_SCALE_FACTOR=2 TUNRAX_E2E_SCREEN=1600x1200x24
if [ -d /usr/share/qt6ct/colors ]; then
    mkdir -p "$scratch/qt6ct"
    printf '[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/darker.conf\ncustom_palette=true\nstyle=Fusion\n' \
        >"$scratch/qt6ct/qt6ct.conf"
    shoot hauptfenster-dunkel.png QT_QPA_PLATFORMTHEME=qt6ct QT6CT_CONFIG_DIR="$scratch/qt6ct" \
        XDG_CONFIG_DIRS="$scratch"
else
    echo "qt6ct is not installed: no dark screenshot" >&2
fi
