#!/usr/bin/env bash
# Builds the tool and shows its main job: a sample program rewritten by korvane-cli, then the
# window with that program loaded when a display is available.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
echo "run.sh: built build/src/app/korvane (the window) and build/src/cli/korvane-cli"

sample=examples/pocket.nc
echo "run.sh: every cutting pass of $sample reversed in place, mirrored about X:"
echo "----"
build/src/cli/korvane-cli "$sample" | tr -d '\r'
echo "----"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: opening the window with $sample loaded (build/src/app/korvane)"
    exec build/src/app/korvane "$sample"
else
    echo "run.sh: no display (DISPLAY is not set), so the window is not opened."
    echo "run.sh: on a desktop, run: build/src/app/korvane $sample"
    echo "run.sh: without one, korvane-cli does the same rewrite: build/src/cli/korvane-cli --help"
fi
