# Sourced by scripts/demo.sh, the smoke tests and bench/window.sh: a virtual X display, the
# patch window on it, and a user's hand on its button and message boxes. The caller may
# provide $work (a temporary folder, which it removes) and a function `fail MESSAGE` that
# does not return; otherwise the session makes a folder, and its fail prints MESSAGE after
# $xsession_fail_prefix (FAIL by default) with what the program printed.
: "${work:=$(mktemp -d)}"
if ! declare -F fail >/dev/null; then
    fail() {
        echo "${xsession_fail_prefix:-FAIL}: $*" >&2
        [[ -s $work/app.log ]] && sed 's/^/  program: /' "$work/app.log" >&2
        exit 1
    }
fi

title='Tolvane Rally 2009 Patch'
xvfb_pid=
app_pid=
window=

xsession_cleanup() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null || true
}

# Starts Xvfb on whichever display number is free (-displayfd), so parallel runs never
# collide, and points DISPLAY and Qt at it.
xsession_start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s $work/display ]] && break
        sleep 0.1
    done
    [[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(tr -d '\n' <"$work/display")"
    export QT_QPA_PLATFORM=xcb
}

# Starts the program on a game folder (without one, the program's own folder is the game's),
# with any further arguments after it;
# sets app_pid, and window once the window shows. A command in the array xsession_launcher
# (such as Wine) runs the program, if set.
# xsession_window_wait is how many seconds the window may take.
xsession_launcher=()
xsession_window_wait=20
xsession_start_program() {
    "${xsession_launcher[@]}" "$1" ${2:+--program-folder "$2"} "${@:3}" >"$work/app.log" 2>&1 &
    app_pid=$!
    # A search stops at a window that goes while it looks (as Wine's first windows of a
    # session do), with an X error; it is tried again until the time is up.
    local deadline=$((SECONDS + xsession_window_wait))
    window=
    while [[ -z $window ]] && ((SECONDS < deadline)); do
        window=$(timeout "$((deadline - SECONDS))" xdotool search --sync --onlyvisible \
            --name "^$title\$" 2>/dev/null | head -n 1) || true
        [[ -n $window ]] || sleep 0.2
    done
    [[ -n $window ]] || fail "the window '$title' of $1 did not appear"
}

xsession_visible() {
    xdotool search --onlyvisible --name '.' 2>/dev/null || true
}

# Presses Return in a message box, as a user would, and waits until it has gone.
xsession_answer() {
    timeout 5 xdotool windowfocus --sync "$1" || true
    xdotool key Return
    for _ in $(seq 50); do
        xsession_visible | grep -qx "$1" || return 0
        sleep 0.1
    done
    fail "message box $1 did not close"
}

# Answers every message box of the program with Return, as a user would, until the closing
# "Import Complete!" (a box with the program's own title). Fails when the program ends first
# or no such box comes within the given seconds. Sets xsession_boxes to the boxes' titles in
# the order they came; calls the function named by xsession_on_box, if set, with each
# title before the box is answered.
xsession_boxes=()
xsession_on_box=
xsession_answer_until_complete() {
    local seconds=$1 box name
    xsession_boxes=()
    for _ in $(seq $((seconds * 10))); do
        for box in $(xsession_visible); do
            [[ $box == "$window" ]] && continue
            name=$(xdotool getwindowname "$box" 2>/dev/null) || continue
            xsession_boxes+=("$name")
            [[ -n $xsession_on_box ]] && "$xsession_on_box" "$name"
            xsession_answer "$box"
            [[ $name == "$title" ]] && return 0
        done
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended during the run"
        sleep 0.1
    done
    fail "no 'Import Complete!' box within $seconds seconds"
}

xsession_press_update() {
    # The middle of the button: frame at (8, 8), button at (152, 200), 105 x 37.
    xdotool mousemove --window "$1" 212 226 click 1
}

# Closes the window with Ctrl+Q (there is no window manager to close it) and fails unless
# the program ends cleanly.
xsession_close_program() {
    timeout 5 xdotool windowfocus --sync "$1" || true
    xdotool key ctrl+q
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after ctrl+q"
    local status=0
    wait "$app_pid" || status=$?
    app_pid=
    [[ $status -eq 0 ]] || fail "the program ended with status $status"
}
