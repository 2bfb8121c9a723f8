# Shell functions for the sessions that drive the real window under Xvfb; sourced by them.

# Presses Execute in the window `$1` ($2 clicks), then waits for the program `$3` to end
# (batch mode closes the window once an Execute completes); fails when it does not.
press_execute_and_await_exit() {
    local wid=$1 clicks=$2 pid=$3 menu
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    # The client area is 363 pixels high below the menu bar; Execute sits at (300, 266),
    # 97 x 33.
    menu=$((HEIGHT - 363))
    xdotool mousemove --window "$wid" $((300 + 48)) $((menu + 266 + 16)) \
        click --repeat "$clicks" --delay 60 1
    for _ in $(seq 1 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "the window did not close after Execute"
        kill "$pid"
        return 1
    fi
    wait "$pid"
}
