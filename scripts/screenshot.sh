#!/usr/bin/env bash
# Takes a screenshot of the real window under Xvfb, with a sample program loaded:
#   scripts/screenshot.sh [OUT.png]     (default docs/window.png)
# A small window manager (twm) draws the frame, so the caption shows too.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/window.png}")
mkdir -p "$(dirname "$out")"
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
