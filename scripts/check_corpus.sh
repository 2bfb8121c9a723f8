#!/usr/bin/env bash
# Runs korvane-cli on every NC program of a folder in all six settings, as a user would, and
# tabulates what became of each run: written (with how many warnings), refused by the check,
# refused by the parser (a line it does not support), or stopped by an error.
# Usage: scripts/check_corpus.sh FOLDER [KORVANE_CLI]   (reports go to $OUT, default /tmp)
set -uo pipefail
folder=${1:?usage: scripts/check_corpus.sh FOLDER [KORVANE_CLI]}
cli=${2:-$(dirname "$0")/../build/src/cli/korvane-cli}
out=${OUT:-/tmp/korvane-corpus}
mkdir -p "$out"

written=0 check=0 parser=0 errors=0
printf '%-42s %-7s %-5s %s\n' program mode mirror outcome
for program in "$folder"/*.nc "$folder"/*.gcode "$folder"/*.ngc "$folder"/*.tap; do
    [ -f "$program" ] || continue
    name=$(basename "$program")
    for mode in segment whole; do
        for mirror in x y none; do
            flags=(-m "$mirror" --report "$out/$name.$mode.$mirror.json" -o "$out/$name.$mode.$mirror.nc")
            [ "$mode" = whole ] && flags+=(-w)
            "$cli" "${flags[@]}" "$program" 2>"$out/$name.$mode.$mirror.err"
            status=$?
            first=$(head -n 1 "$out/$name.$mode.$mirror.err" | sed 's/^korvane-cli: [^:]*//')
            warnings=$(grep -o '"warningCount": [0-9]*' "$out/$name.$mode.$mirror.json" | grep -o '[0-9]*$')
            if [ $status = 0 ]; then
                outcome="written, ${warnings:-0} warnings"; written=$((written + 1))
            elif [ $status = 1 ] && grep -q '"stop"' "$out/$name.$mode.$mirror.json"; then
                outcome="parser$first"; parser=$((parser + 1))
            elif [ $status = 1 ]; then
                outcome="check$first"; check=$((check + 1))
            else
                outcome="error$first"; errors=$((errors + 1))
            fi
            printf '%-42s %-7s %-5s %s\n' "$name" "$mode" "$mirror" "${outcome:0:160}"
        done
    done
done
echo "written: $written  refused by the check: $check  refused by the parser: $parser  errors: $errors"
