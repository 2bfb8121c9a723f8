#!/usr/bin/env bash
# Builds the tool and shows its main job: a sample program rewritten by korvane-cli, then the
# window with that program loaded when a display is available.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
echo "run.sh: built build/src/cli/korvane-cli"

sample=examples/pocket.nc
echo "run.sh: every cutting pass of $sample reversed in place, mirrored about X:"
echo "----"
build/src/cli/korvane-cli "$sample" | tr -d '\r'
echo "----"
