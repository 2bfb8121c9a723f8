#!/usr/bin/env bash
# End to end in a real X server: the window started on a program in batch mode, the toolpath
# preview opened from the menu 表示 > ツールパス, a click on a move in it, the preview closed,
# and then Execute, which must still complete the batch run: the preview neither blocks the
# window nor keeps the program alive. Usage: preview_window.sh KORVANE KORVANE_CLI PROGRAM
set -euo pipefail
korvane=$1 cli=$2 program=$3

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
source ./window_session.sh
./korvane job.nc &
pid=$!
wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^NC Korvane Ver1\.11$' | head -n 1)
xdotool windowmove "$wid" 0 0
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$wid")"
menu=$((HEIGHT - 363))
# 表示 is the third menu; ツールパス its first item.
xdotool mousemove --window "$wid" 110 $((menu / 2)) click 1
sleep 0.5
xdotool mousemove --window "$wid" 150 $((menu + 12)) click 1
preview=$(timeout 20 xdotool search --sync --onlyvisible --name 'ツールパス' | head -n 1)
[ -n "$preview" ] || { echo "the preview did not open"; exit 1; }
xdotool windowmove "$preview" 450 0 windowsize "$preview" 500 400
sleep 1.5
# A click in the middle of the picture, where the pocket's path runs or not: it must not
# disturb anything; then the preview is closed.
xdotool mousemove --window "$preview" 250 200 click 1
sleep 0.3
xdotool windowclose "$preview"
sleep 0.5
if xdotool search --onlyvisible --name 'ツールパス' >/dev/null 2>&1; then
    echo "the preview did not close"
    exit 1
fi
kill -0 "$pid" || { echo "closing the preview ended the program"; exit 1; }
press_execute_and_await_exit "$wid" 1 "$pid"
SESSION
chmod +x "$work/session.sh"

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
timeout 90 xvfb-run -a -s "-screen 0 1000x600x24" "$work/session.sh" "$work"
"$cli" "$work/job.nc" >"$work/expected.nc"
cmp "$work/Korvane.nc" "$work/expected.nc" || { echo "Korvane.nc differs from korvane-cli's result"; exit 1; }
echo "the preview opened, took a click, closed, and the batch run completed"
