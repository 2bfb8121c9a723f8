#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build test

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
