#!/usr/bin/env bash
# Checks the sources' form: clang-format (.clang-format) on src/, tests/, bench/ and fuzz/,
# and clang-tidy (.clang-tidy) on every one of those sources in the compile database of a
# configured build (default build/). Any finding fails the run.
#   scripts/lint.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh lint >&2
build=${1:-build}
root=$PWD

header_filter="^$root/(src|tests|bench|fuzz)/"

mapfile -t sources < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
status=0

echo "lint.sh: clang-format on ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}" || status=1

if [ ! -f "$build/compile_commands.json" ]; then
    echo "lint.sh: no $build/compile_commands.json; configure the build first" >&2
    exit 1
fi
mapfile -t units < <(grep -o '"file": "[^"]*"' "$build/compile_commands.json" |
                     sed 's/^"file": "\(.*\)"$/\1/' | sed "s|^$root/||" | sort -u |
                     grep -E '^(src|tests|bench|fuzz)/')
echo "lint.sh: clang-tidy on ${#units[@]} files"
printf '%s\n' "${units[@]}" |
    xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet --header-filter="$header_filter" \
        2> >(grep -Ev '^[0-9]+ warnings( and [0-9]+ errors?)? generated\.$' >&2) ||
    status=1

[ $status = 0 ] && echo "lint.sh: no findings"
exit $status
