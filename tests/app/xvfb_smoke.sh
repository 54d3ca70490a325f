#!/usr/bin/env bash
# Runs the real program on a virtual X server: waits for the window, presses "Update",
# answers the message boxes as a user would, closes the window and checks what was written.
# Usage: xvfb_smoke.sh PATH/TO/tolvane-patch PATH/TO/make-demo-folder
set -uo pipefail

program=$1
make_folder=$2

for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

source "$(dirname "$0")/../../scripts/xsession.sh"
trap 'xsession_cleanup; rm -rf "$work"' EXIT

xsession_start_display

"$make_folder" --teams 3 --players 5 "$work/game" >/dev/null || fail "make-demo-folder failed"

# A launcher's option and a file dropped on the program are ignored, each with a note.
xsession_start_program "$program" "$work/game" --launched-by=shell "$work/dropped file.mdb"
for note in 'Ignoring the unknown option "launched-by".' \
            "Ignoring the argument \"$work/dropped file.mdb\"."; do
    grep -qxF "$note" "$work/app.log" || fail "no note '$note' on standard error"
done
xsession_press_update "$window"

# Every message box is a window of its own; the closing "Import Complete!" carries the
# program's title, the replace question "Roster Slot Import", anything else is a failure.
xsession_answer_until_complete 60
for name in "${xsession_boxes[@]}"; do
    [[ $name == "$title" || $name == "Roster Slot Import" ]] || fail "unexpected message box '$name'"
done

slot=$work/game/lists/default2009
lists=$(find "$slot" -name '*_List.tvp' | wc -l)
[[ $lists -eq 3 ]] || fail "expected 3 team list files in $slot, found $lists"
[[ -f $work/game/data/schedules/schedule2008_actual.dat ]] || fail "the game's fixture was not kept"
cmp -s "$work/game/schedule2009.dat" "$work/game/data/schedules/schedule2008.dat" ||
    fail "the new fixture was not installed"

sleep 0.5
xsession_close_program "$window"
echo "PASS: window shown, update run completed, program closed cleanly"
