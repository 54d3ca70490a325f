#!/usr/bin/env bash
# Runs the real program on a virtual X server: waits for the window, presses "Update",
# answers the message boxes as a user would, closes the window and checks what was written.
# Usage: xvfb_smoke.sh PATH/TO/tolvane-patch PATH/TO/make-demo-folder
set -uo pipefail

program=$1
make_folder=$2
title='Tolvane Rally 2009 Patch'

for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -s $work/app.log ]] && sed 's/^/  program: /' "$work/app.log" >&2
    exit 1
}

# -displayfd lets the server pick a free display, so parallel test runs never collide.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
done
[[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(tr -d '\n' <"$work/display")"
export QT_QPA_PLATFORM=xcb

"$make_folder" --teams 3 --players 5 "$work/game" >/dev/null || fail "make-demo-folder failed"

"$program" --program-folder "$work/game" >"$work/app.log" 2>&1 &
app_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
[[ -n $window ]] || fail "the window '$title' did not appear"

# The middle of "Update": frame at (8, 8), button at (152, 200), 105 x 37.
xdotool mousemove --window "$window" 212 226 click 1

visible() {
    xdotool search --onlyvisible --name '.' 2>/dev/null
}

# Presses Return in a message box, as a user would, and waits until it has gone.
answer() {
    timeout 5 xdotool windowfocus --sync "$1"
    xdotool key Return
    for _ in $(seq 50); do
        visible | grep -qx "$1" || return 0
        sleep 0.1
    done
    fail "message box $1 did not close"
}

# Every message box is a window of its own; the closing "Import Complete!" carries the
# program's title, the replace question "Roster Slot Import", anything else is a failure.
complete=
for _ in $(seq 600); do
    for box in $(visible); do
        [[ $box == "$window" ]] && continue
        name=$(xdotool getwindowname "$box" 2>/dev/null) || continue
        answer "$box"
        case $name in
        "$title") complete=1 ;;
        "Roster Slot Import") ;;
        *) fail "unexpected message box '$name'" ;;
        esac
    done
    [[ -n $complete ]] && break
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended during the run"
    sleep 0.1
done
[[ -n $complete ]] || fail "no 'Import Complete!' box within a minute"

slot=$work/game/lists/default2009
lists=$(find "$slot" -name '*_List.tvp' | wc -l)
[[ $lists -eq 3 ]] || fail "expected 3 team list files in $slot, found $lists"
[[ -f $work/game/data/schedules/schedule2008_actual.dat ]] || fail "the game's fixture was not kept"
cmp -s "$work/game/schedule2009.dat" "$work/game/data/schedules/schedule2008.dat" ||
    fail "the new fixture was not installed"

sleep 0.5
timeout 5 xdotool windowfocus --sync "$window"
xdotool key ctrl+q
for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after ctrl+q"
wait "$app_pid"
status=$?
app_pid=
[[ $status -eq 0 ]] || fail "the program ended with status $status"
echo "PASS: window shown, update run completed, program closed cleanly"
