#!/usr/bin/env bash
# Fails when a C++ file of the program or its tests is named outside the
# house convention: PascalCase after the class or the purpose it holds
# (tests: the tested file's name and "_test"). The program's entry point is
# main.cpp; tools, benchmarks and fuzz targets are named after the command
# or target they build and are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."

bad=0
while IFS= read -r path; do
    name=${path##*/}
    case "$path" in
        tests/*) pattern='^[A-Z][A-Za-z0-9]*(_test)?\.(h|cpp)$' ;;
        *) pattern='^[A-Z][A-Za-z0-9]*\.(h|cpp)$' ;;
    esac
    [ "$name" = main.cpp ] && continue
    if ! [[ "$name" =~ $pattern ]]; then
        echo "$path: not named in PascalCase after what it holds (see CONTRIBUTING.md)"
        bad=1
    fi
done < <(git ls-files -- 'core/*.h' 'core/*.cpp' 'gst/*.h' 'gst/*.cpp' 'ui/*.h' 'ui/*.cpp' \
    'tests/*.h' 'tests/*.cpp')
if [ "$bad" -ne 0 ]; then
    exit 1
fi
echo "Names: every C++ file of the program and its tests follows the convention."
