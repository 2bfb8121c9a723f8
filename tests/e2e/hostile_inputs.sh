#!/usr/bin/env bash
# korvane-cli on inputs that are not NC programs, or not sane ones: each must end with a result
# or a one-line message (exit 0, 1 or 2), never a crash, a hang or unbounded memory. The bound
# checked: four times the file size, plus 160 bytes per line, plus 64 MiB.
# Usage: hostile_inputs.sh KORVANE_CLI GEN_PROGRAM
set -uo pipefail
cli=$1 gen=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

make_input() {
    local name=$1
    case $name in
        empty) : ;;
        nul-bytes) head -c 1000000 /dev/zero ;;
        random-10MB) "$gen" random 10000000 7 ;;
        one-100MB-line-of-words) yes 'G01X1.Y2.' | head -c 100000000 | tr -d '\n' ;;
        one-100MB-number) printf 'G90G00X'; head -c 100000000 /dev/zero | tr '\0' '7' ;;
        10M-empty-lines) head -c 10000000 /dev/zero | tr '\0' '\n' ;;
        cr-only) printf 'G90G00X0Y0Z5.\rG01Z-1.F100\rX10.\rY10.\rG00Z5.\rM30\r' ;;
        bad-cp932) printf '(\x8a\x4f\x8c\x60 \x82\xff)\r\nG90G00X0Y0Z5.\r\nG01Z-1.F100\r\nX10.\r\nG00Z5.\r\nM30\r\n' ;;
    esac
}

for name in empty nul-bytes random-10MB one-100MB-line-of-words one-100MB-number \
            10M-empty-lines cr-only bad-cp932; do
    input="$work/$name.nc"
    make_input "$name" >"$input"
    size=$(stat -c %s "$input")
    lines=$(tr -dc '\n\r' <"$input" | wc -c)
    bound_kb=$(( (4 * size + 160 * (lines + 1)) / 1024 + 65536 ))
    for mode in "" "--whole"; do
        timeout 120 /usr/bin/time -f %M -o "$work/peak" "$cli" $mode -m x "$input" \
            >"$work/out" 2>"$work/err"
        status=$?
        peak=$(tail -n 1 "$work/peak" 2>/dev/null || echo 0)
        verdict=ok
        if ((status > 2)); then
            verdict="exit status $status"
        elif ((status != 0)) && { [ "$(wc -l <"$work/err")" -ne 1 ] || ! grep -q '^korvane-cli: ' "$work/err"; }; then
            verdict="message is not one line: $(head -c 200 "$work/err")"
        elif ((status != 0)) && [ -s "$work/out" ]; then
            verdict="output written although the rewrite failed"
        elif ((peak > bound_kb)); then
            verdict="peak ${peak} KB above the bound of ${bound_kb} KB"
        fi
        printf '%-26s %-8s exit %d  peak %7d KB  %s\n' "$name" "${mode:-segments}" "$status" \
            "$peak" "$(head -c 90 "$work/err" | tr '\n' ' ')"
        if [ "$verdict" != ok ]; then
            echo "  FAILED: $verdict"
            failures=$((failures + 1))
        fi
    done
done

# Line breaks of any kind give the same result; undecodable CP932 comes back byte for byte.
tr '\r' '\n' <"$work/cr-only.nc" >"$work/lf.nc"
cmp -s <("$cli" "$work/cr-only.nc") <("$cli" "$work/lf.nc") \
    || { echo "FAILED: CR-only and LF input differ"; failures=$((failures + 1)); }
"$cli" "$work/bad-cp932.nc" | head -n 1 | cmp -s - <(head -n 1 "$work/bad-cp932.nc") \
    || { echo "FAILED: the undecodable comment did not come back unchanged"; failures=$((failures + 1)); }

exit $((failures > 0))
