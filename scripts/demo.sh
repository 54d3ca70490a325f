#!/usr/bin/env bash
# Builds the program, makes a demo game folder in demo/ and runs the patch on it.
# With a display the window is yours to use; without one the script starts a virtual X
# server, presses "Update" itself, answers the message boxes and keeps two screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build}

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

xsession_fail_prefix=demo
source scripts/xsession.sh
trap 'xsession_cleanup; rm -rf "$work"' EXIT

xsession_start_display
echo "Running the patch on the virtual display $DISPLAY"

xsession_start_program "$build/app/tolvane-patch" demo
sleep 0.5
import -window root -crop 420x360+0+0 demo/screenshot.png
echo "Screenshot of the window: demo/screenshot.png"

echo 'Pressing "Update"'
xsession_press_update "$window"

show_box() {
    if [[ $1 == "$title" ]]; then
        echo "Message: Import Complete!"
        import -window root -crop 420x360+0+0 demo/screenshot-complete.png
    else
        echo "Message box \"$1\": answered OK"
    fi
}
xsession_on_box=show_box
xsession_answer_until_complete 120

sleep 0.3
import -window root -crop 420x360+0+0 demo/screenshot-after.png
echo "Screenshots at the end of the run: demo/screenshot-complete.png, demo/screenshot-after.png"

xsession_close_program "$window"

show_results
