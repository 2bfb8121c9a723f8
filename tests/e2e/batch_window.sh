#!/usr/bin/env bash
# End to end in a real X server: the window started on a program in batch mode, Execute
# pressed with the mouse, then the program must close by itself and leave the result beside
# its executable. Then the same with a double click on Execute on a large program: the second
# click arrives while Execute runs and must be discarded, so the result is one rewrite, not
# the rewrite of the rewrite. Usage: batch_window.sh KORVANE KORVANE_CLI PROGRAM GEN_PROGRAM
set -euo pipefail
korvane=$1 cli=$2 program=$3 gen=$4

for tool in xvfb-run xdotool; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh test installs it)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$korvane" "$work/korvane"
cp "$program" "$work/job.nc"
cp "$(dirname "$0")/window_session.sh" "$work/"

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
cd "$1"
clicks=$2
source ./window_session.sh
./korvane job.nc &
pid=$!
wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^NC Korvane Ver1\.11$' | head -n 1)
press_execute_and_await_exit "$wid" "$clicks" "$pid"
SESSION
chmod +x "$work/session.sh"

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

run() { # clicks -> checks Korvane.nc against korvane-cli's result for job.nc
    rm -f "$work/Korvane.nc"
    timeout 60 xvfb-run -a -s "-screen 0 800x600x24" "$work/session.sh" "$work" "$1"
    "$cli" "$work/job.nc" >"$work/expected.nc"
    cmp "$work/Korvane.nc" "$work/expected.nc" \
        || { echo "Korvane.nc differs from korvane-cli's result ($1 clicks)"; exit 1; }
}

run 1
grep -qx $'\\[Data\\]' "$work/KV.ini" && grep -qx 'Ka1=nc' "$work/KV.ini" \
    || { echo "KV.ini does not hold [Data] Ka1=nc:"; cat "$work/KV.ini"; exit 1; }
echo "batch run closed by itself; Korvane.nc and KV.ini as expected"

"$gen" pocket 400000 7 >"$work/job.nc"
run 2
echo "a double click on Execute ran it once"
