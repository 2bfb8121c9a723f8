#!/usr/bin/env bash
# Takes screenshots of the real windows under Xvfb:
#   scripts/screenshot.sh [WINDOW.png [PREVIEW.png]]   (default docs/window.png docs/preview.png)
# The first shows the main window with a sample program loaded; a small window manager (twm)
# draws the frame, so the caption shows too. The second shows the main window after the
# program was opened, reversed whole and checked, beside the toolpath preview, with the
# caret on a cut; twm cannot draw Japanese captions, so this one is taken without frames.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/window.png}")
preview=$(realpath -m "${2:-docs/preview.png}")
mkdir -p "$(dirname "$out")" "$(dirname "$preview")"
scripts/setup.sh build test shot
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target korvane screen_grab >/dev/null

session=$(mktemp)
trap 'rm -f "$session"' EXIT
cat >"$session" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
twm >/dev/null 2>&1 &
sleep 0.5
build/src/app/korvane examples/pocket.nc &
pid=$!
xdotool search --sync --onlyvisible --name '^NC Korvane Ver1\.11$' >/dev/null
sleep 1
build/tests/screen_grab "$1"
kill "$pid"
SESSION
chmod +x "$session"
XDG_RUNTIME_DIR=$(mktemp -d) timeout 60 xvfb-run -a -s "-screen 0 640x480x24" "$session" "$out"
echo "screenshot.sh: wrote $out"

# Positions in the window, from its top left corner: the menus 表示 and ファイル, their first
# items, and the client area's controls 363 pixels from the bottom.
cat >"$session" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
build/src/app/korvane &
pid=$!
wid=$(xdotool search --sync --onlyvisible --name '^NC Korvane Ver1\.11$' | head -n 1)
sleep 0.8
xdotool windowmove "$wid" 10 10
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$wid")"
menu=$((HEIGHT - 363))
xdotool mousemove --window "$wid" 25 8 click 1 sleep 0.5 mousemove --window "$wid" 50 30 click 1
sleep 1
xdotool type --delay 10 "$PWD/examples/pocket.nc"
xdotool key Return
sleep 1
xdotool mousemove --window "$wid" 296 $((menu + 111 + 8)) click 1
sleep 0.3
xdotool mousemove --window "$wid" 348 $((menu + 266 + 16)) click 1
sleep 1.5
xdotool key Return # the warnings of the check
sleep 0.5
xdotool mousemove --window "$wid" 110 10 click 1 sleep 0.5 mousemove --window "$wid" 150 30 click 1
pw=$(xdotool search --sync --onlyvisible --name 'ツールパス' | head -n 1)
xdotool windowmove "$pw" 460 10 windowsize "$pw" 800 560
sleep 1
# The caret on the arc of line 11, highlighted on the path; the pointer over the preview.
xdotool mousemove --window "$wid" 120 $((menu + 11 + 10 * 14)) click 1
sleep 0.5
xdotool mousemove --window "$pw" 300 200
sleep 1.5
build/tests/screen_grab "$1"
kill "$pid"
SESSION
XDG_RUNTIME_DIR=$(mktemp -d) timeout 90 xvfb-run -a -s "-screen 0 1270x590x24" "$session" "$preview"
echo "screenshot.sh: wrote $preview"
