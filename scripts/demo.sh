#!/usr/bin/env bash
# Builds the program, makes a demo game folder in demo/ and runs the patch on it.
# With a display the window is yours to use; without one the script starts a virtual X
# server, presses "Update" itself, answers the message boxes and keeps two screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build}
title='Tolvane Rally 2009 Patch'

scripts/setup.sh

rm -rf demo
"$build/tools/make-demo-folder" demo

show_results() {
    echo
    echo "What the run wrote:"
    (cd demo && find lists data/schedules \( -type d -printf '%p/\t      <dir>\n' \) -o \
        -printf '%p\t%11s\n' | LC_ALL=C sort | awk -F'\t' '{ printf "  %s  %s\n", $2, $1 }')
}

if [[ -n ${DISPLAY:-} ]]; then
    "$build/app/tolvane-patch" --program-folder demo
    show_results
    exit 0
fi

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

die() {
    echo "demo: $*" >&2
    [[ -s $work/app.log ]] && sed 's/^/  program: /' "$work/app.log" >&2
    exit 1
}

# No display: a virtual one, on whichever display number is free.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
done
[[ -s $work/display ]] || die "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(tr -d '\n' <"$work/display")"
export QT_QPA_PLATFORM=xcb
echo "Running the patch on the virtual display $DISPLAY"

"$build/app/tolvane-patch" --program-folder demo >"$work/app.log" 2>&1 &
app_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) || true
[[ -n $window ]] || die "the window did not appear"
sleep 0.5
import -window root -crop 420x360+0+0 demo/screenshot.png
echo "Screenshot of the window: demo/screenshot.png"

visible() {
    xdotool search --onlyvisible --name '.' 2>/dev/null || true
}

# Presses Return in a message box, as a user would, and waits until it has gone.
answer() {
    timeout 5 xdotool windowfocus --sync "$1" || true
    xdotool key Return
    for _ in $(seq 50); do
        visible | grep -qx "$1" || return 0
        sleep 0.1
    done
    die "message box $1 did not close"
}

echo 'Pressing "Update"'
# The middle of the button: frame at (8, 8), button at (152, 200), 105 x 37.
xdotool mousemove --window "$window" 212 226 click 1

complete=
for _ in $(seq 1200); do
    for box in $(visible); do
        [[ $box == "$window" ]] && continue
        name=$(xdotool getwindowname "$box" 2>/dev/null) || continue
        case $name in
        "$title")
            echo "Message: Import Complete!"
            import -window root -crop 420x360+0+0 demo/screenshot-complete.png
            complete=1
            ;;
        *) echo "Message box \"$name\": answered OK" ;;
        esac
        answer "$box"
    done
    [[ -n $complete ]] && break
    kill -0 "$app_pid" 2>/dev/null || die "the program ended during the run"
    sleep 0.1
done
[[ -n $complete ]] || die "the run did not complete within two minutes"

sleep 0.3
import -window root -crop 420x360+0+0 demo/screenshot-after.png
echo "Screenshots at the end of the run: demo/screenshot-complete.png, demo/screenshot-after.png"

timeout 5 xdotool windowfocus --sync "$window" || true
xdotool key ctrl+q
for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
status=0
wait "$app_pid" || status=$?
app_pid=
[[ $status -eq 0 ]] || die "the program ended with status $status"

show_results
