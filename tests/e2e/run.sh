#!/usr/bin/env bash
# The end-to-end scenario (scenario.py) with the installed program, in a
# session of its own (session.sh), on a collection made for it.
#
#   tests/e2e/run.sh [PROGRAM]
#
# PROGRAM defaults to the installed /usr/bin/tunrax, else build/tunrax.
# Screenshots of every step and the program's output go to E2E_ARTEFACTS
# (default: e2e-artefacts in the repository).
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
program="${1:-}"
if [ -z "$program" ]; then
    if [ -x /usr/bin/tunrax ]; then program=/usr/bin/tunrax; else program="$repo/build/tunrax"; fi
fi
artefacts="${E2E_ARTEFACTS:-$repo/e2e-artefacts}"
rm -rf "$artefacts"
mkdir -p "$artefacts"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
bash "$repo/tests/e2e/make_collection.sh" "$scratch/Musik"
echo "End-to-end scenario with $program (screenshots in $artefacts)"
bash "$repo/tests/e2e/session.sh" \
    /usr/bin/python3 "$repo/tests/e2e/scenario.py" "$program" "$scratch/Musik" "$artefacts"
