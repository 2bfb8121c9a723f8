#!/usr/bin/env bash
# Times korvane-cli on large generated programs against cat and tac on the same files, in one
# run, and reports lines per second, the ratio to tac and the peak memory per input line.
#   bench/run.sh            REPS=7 bench/run.sh        WINDOW=0 bench/run.sh (no window benches)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build bench >&2
reps=${REPS:-5}

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_GUI=ON >/dev/null
cmake --build build-release -j"$(nproc)" --target korvane-cli gen_program window_bench \
    toolpath_bench preview_bench >/dev/null
cli=build-release/src/cli/korvane-cli
out=bench/out
mkdir -p "$out"

generate() { # kind lines -> path (cached)
    local path="$out/$1-$2.nc"
    [ -s "$path" ] || build-release/bench/gen_program "$1" "$2" 42 >"$path"
    echo "$path"
}

# Elapsed seconds of each of $reps runs, one per line.
times_of() {
    local i start
    for ((i = 0; i < reps; i++)); do
        start=$EPOCHREALTIME
        "$@" >/dev/null 2>&1 || true # a refusal is timed too
        echo "$EPOCHREALTIME - $start" | bc -l
    done
}
stats() { sort -g | awk '{a[NR]=$1} END {m=(NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2; printf "%.4f %.4f\n", a[1], m}'; }
peak_kb() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -n 1; }

worst_whole=0 worst_segments=0 worst_peak=0
printf '%-22s %-40s %9s %9s %12s %8s %10s\n' file command min_s median_s lines/s x_tac peak_B/line
for job in finish:1000000 pocket:500000; do
    file=$(generate "${job%%:*}" "${job##*:}")
    lines=$(wc -l <"$file")
    read -r _ tac_med < <(times_of tac "$file" | stats)
    for cmd in "cat" "tac" "cli --whole -m none --no-check" "cli --whole -m none" \
               "cli --whole -m x" "cli -m x --no-check" "cli -m x" "cli -m none"; do
        case $cmd in
            cat|tac) run=("$cmd" "$file") ;;
            cli*) read -ra args <<<"${cmd#cli }"; run=("$cli" "${args[@]}" "$file") ;;
        esac
        # A result the check refuses is timed all the same, and marked.
        note=""
        if [[ $cmd == cli* ]] && ! "${run[@]}" >/dev/null 2>&1; then note=" (refused)"; fi
        read -r min med < <(times_of "${run[@]}" | stats)
        ratio=$(echo "$med / $tac_med" | bc -l)
        peak=$(( $(peak_kb "${run[@]}") * 1024 / lines ))
        printf '%-22s %-40s %9.4f %9.4f %12.0f %7.1fx %10d\n' "$(basename "$file")" \
            "$cmd$note" "$min" "$med" "$(echo "$lines / $med" | bc -l)" "$ratio" "$peak"
        if [[ $cmd == cli* && -z $note ]]; then
            ((peak > worst_peak)) && worst_peak=$peak
            if [[ $cmd == *--whole* ]]; then
                (($(echo "$ratio > $worst_whole" | bc -l))) && worst_whole=$ratio
            else
                (($(echo "$ratio > $worst_segments" | bc -l))) && worst_segments=$ratio
            fi
        fi
    done
done

echo
echo "growth (median seconds; doubling the program should double the time):"
prev=""
for n in 250000 500000 1000000; do
    file=$(generate finish "$n")
    read -r _ whole < <(times_of "$cli" --whole -m none "$file" | stats)
    read -r _ seg < <(times_of "$cli" -m none "$(generate pocket "$n")" | stats)
    if [ -n "$prev" ]; then
        printf '  %8d lines: whole %.4f s (x%.2f)  segments %.4f s (x%.2f)\n' "$n" "$whole" \
            "$(echo "$whole / ${prev% *}" | bc -l)" "$seg" "$(echo "$seg / ${prev#* }" | bc -l)"
    else
        printf '  %8d lines: whole %.4f s          segments %.4f s\n' "$n" "$whole" "$seg"
    fi
    prev="$whole $seg"
done

echo
echo "the parts of a checked rewrite, in one process, $(generate finish 1000000):"
build-release/bench/toolpath_bench "$(generate finish 1000000)" "$reps" whole none | sed 's/^/  /'

if [ "${WINDOW:-1}" = 1 ]; then
    echo
    echo "toolpath preview, $(generate finish 1000000):"
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$(mktemp -d) \
        build-release/bench/preview_bench "$(generate finish 1000000)" "$reps" 2>/dev/null |
        sed 's/^/  /'
fi

if [ "${WINDOW:-1}" = 1 ]; then
    echo
    echo "window, $(generate finish 1000000):"
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$(mktemp -d) \
        build-release/bench/window_bench "$(generate finish 1000000)" "$reps" 2>/dev/null | sed 's/^/  /'
fi

echo
printf 'whole/tac %.1fx segments/tac %.1fx peak %d B/line\n' "$worst_whole" "$worst_segments" "$worst_peak"
