#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test through CTest; checks the
# sources with clang-format and clang-tidy; then the same suite built with AddressSanitizer
# and UndefinedBehaviorSanitizer, and a short run of each fuzz target. SANITIZE=0 or FUZZ=0
# leave those two out.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build test package fuzz lint

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "test.sh: the sources' form (clang-format, clang-tidy)"
scripts/lint.sh build

if [ "${SANITIZE:-1}" = 1 ]; then
    echo "test.sh: the suite again under AddressSanitizer and UndefinedBehaviorSanitizer"
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_SANITIZE=ON \
        -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
    cmake --build build-asan -j"$jobs"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
    LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan --output-on-failure -j"$jobs"
fi

if [ "${FUZZ:-1}" = 1 ]; then
    echo "test.sh: a short run of each fuzz target"
    fuzz/run.sh --runs 20000
fi
