#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each of them:
#   fuzz/run.sh                 30 minutes each, in parallel (one target per core)
#   fuzz/run.sh --seconds N     N seconds each
#   fuzz/run.sh --runs N        N executions each, one after the other (what ./test.sh does)
# Findings are written to fuzz/out/findings/; the growing corpora live in fuzz/out/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh fuzz >&2

limit=(-max_total_time=1800)
parallel=1
case "${1:-}" in
    --seconds) limit=(-max_total_time="$2") ;;
    --runs) limit=(-runs="$2"); parallel=0 ;;
    "") ;;
    *) echo "usage: fuzz/run.sh [--seconds N | --runs N]" >&2; exit 64 ;;
esac

# A build folder configured otherwise (from fuzz/ alone, or without the option) is made anew.
if [ -f build-fuzz/CMakeCache.txt ] && ! grep -q '^KORVANE_FUZZ:BOOL=ON$' build-fuzz/CMakeCache.txt; then
    rm -rf build-fuzz
fi
CXX=clang++ cmake -S . -B build-fuzz -DKORVANE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null

# Seeds: the sample programs whole, and each of their lines on its own.
out=fuzz/out
mkdir -p "$out/corpus/rewrite_fuzzer" "$out/corpus/parse_block_fuzzer" "$out/findings"
cp examples/*.nc tests/data/*.nc "$out/corpus/rewrite_fuzzer/"
for program in examples/*.nc; do
    split -l 1 -d -a 4 "$program" "$out/corpus/parse_block_fuzzer/$(basename "$program" .nc)-"
done

run() {
    local target=$1
    build-fuzz/fuzz/"$target" -dict=fuzz/nc.dict -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$out/findings/$target-" "${limit[@]}" "$out/corpus/$target" \
        >"$out/$target.log" 2>&1
    local status=$?
    grep -E '^(Done|#[0-9]+ +DONE)' "$out/$target.log" | tail -n 1 | sed "s/^/$target: /"
    if [ $status -ne 0 ]; then
        echo "$target: FAILED (exit $status), see $out/$target.log" >&2
        tail -n 30 "$out/$target.log" >&2
    fi
    return $status
}

status=0
if [ $parallel = 1 ]; then
    run parse_block_fuzzer & first=$!
    run rewrite_fuzzer || status=1
    wait $first || status=1
else
    run parse_block_fuzzer || status=1
    run rewrite_fuzzer || status=1
fi
exit $status
