#!/usr/bin/env bash
# The end-to-end scenarios (scenario_*.py) with the installed program, each
# in a session of its own (session.sh), on collections made for them.
#
#   tests/e2e/run.sh [PROGRAM [SCENARIO...]]
#
# PROGRAM defaults to the installed /usr/bin/tunrax, else build/tunrax; a
# name without "/" is looked up in PATH. SCENARIO names scenarios to run
# (e.g. "favourites"); default: all. Screenshots of the steps and the
# program's output go to E2E_ARTEFACTS (default: e2e-artefacts in the
# repository), one folder per scenario. Prints one line per scenario and
# fails if any scenario failed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
program="${1:-}"
[ $# -gt 0 ] && shift
if [ -z "$program" ]; then
    if [ -x /usr/bin/tunrax ]; then program=/usr/bin/tunrax; else program="$repo/build/tunrax"; fi
fi
case "$program" in
    */*) ;;
    *) program="$(command -v "$program" || echo "$program")" ;;
esac
[ -f "$program" ] && [ -x "$program" ] || { echo "no program to test: $program" >&2; exit 2; }
program="$(realpath "$program")"

scenarios=()
if [ $# -gt 0 ]; then
    for name in "$@"; do scenarios+=("$here/scenario_$name.py"); done
else
    scenarios=("$here"/scenario_*.py)
fi
for file in "${scenarios[@]}"; do
    [ -f "$file" ] || { echo "no scenario $file" >&2; exit 2; }
done

artefacts="${E2E_ARTEFACTS:-$repo/e2e-artefacts}"
rm -rf "$artefacts"
mkdir -p "$artefacts"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
bash "$here/make_collection.sh" "$scratch"
echo "End-to-end scenarios with $program (screenshots in $artefacts)"

summary=()
failed=0
for file in "${scenarios[@]}"; do
    name="$(basename "$file" .py)"
    name="${name#scenario_}"
    echo "=== $name"
    started=$SECONDS
    status=0
    bash "$here/session.sh" /usr/bin/python3 "$file" "$program" "$scratch" "$artefacts/$name" \
        2>&1 | tee "$artefacts/$name.log" || status=$?
    if [ "$status" -eq 75 ]; then
        # The session's X server could not be reached: once more, in a new one.
        echo "=== $name (again: the X server of the session could not be reached)"
        status=0
        bash "$here/session.sh" /usr/bin/python3 "$file" "$program" "$scratch" \
            "$artefacts/$name" 2>&1 | tee "$artefacts/$name.log" || status=$?
    fi
    result="$(grep '^e2e: ' "$artefacts/$name.log" | tail -n1 || true)"
    result="${result#e2e: }"
    if [ "$status" -eq 0 ]; then word=PASS; else word=FAIL; failed=$((failed + 1)); fi
    summary+=("$(printf '%s  %-22s %3ds  %s' "$word" "$name" $((SECONDS - started)) \
        "${result:-no report}")")
done
echo "=== summary"
printf '%s\n' "${summary[@]}"
[ "$failed" -eq 0 ]
