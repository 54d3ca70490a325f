#!/usr/bin/env bash
# Runs the Windows program under Wine on a virtual X server as a user would: waits for the
# window, presses "Update" on a new slot and again on the same slot, answers the question and
# the closing messages, and closes the window. The Linux program does the same on a copy of
# the game folder, and the two folders must then be equal byte for byte: slot, database copy,
# season database and fixtures. Once with an SQLite season database, once with a Jet one;
# the folders' path has letters outside ASCII. With the Jet one the program runs from the
# game folder, as players start it.
# Usage: wine_smoke.sh PATH/TO/tolvane-patch.exe LINUX/tolvane-patch LINUX/make-demo-folder JET.mdb
set -uo pipefail

exe=$1
linux_program=$2
make_folder=$3
jet_database=$4
source "$(dirname "$0")/../support/winetest.sh"
winetest_needs Xvfb xdotool wine
winetest_needs_built "$linux_program" "$make_folder"
winetest_display_prefix

source "$(dirname "$0")/../../scripts/xsession.sh"
trap 'xsession_cleanup; wineserver -k 2>/dev/null; rm -rf "$work"' EXIT

xsession_start_display
# The prefix and the session first, so that the wait for the window does not include them.
"$wine_run" cmd /c exit >/dev/null 2>&1 || fail "Wine does not start"

# Presses "Update" twice: the first run makes the slot, the second asks before replacing it.
update_twice() {
    xsession_start_program "$1" "$2"
    local round asked name
    for round in new existing; do
        xsession_press_update "$window"
        xsession_answer_until_complete 90
        asked=
        for name in "${xsession_boxes[@]}"; do
            case $name in
            "$title") ;;
            "Roster Slot Import") asked=1 ;;
            *) fail "unexpected message box '$name' ($round slot)" ;;
            esac
        done
        if [[ $round == new && -n $asked ]]; then
            fail "the program asked before making a new slot"
        elif [[ $round == existing && -z $asked ]]; then
            fail "the program replaced the slot without asking"
        fi
    done
    sleep 0.5
    xsession_close_program "$window"
}

games="$work/game Ærø Ωμέγα"
for database in sqlite jet; do
    linux="$games/$database-linux"
    windows="$games/$database-windows"
    mkdir -p "$games"
    "$make_folder" --teams 3 --players 5 "$linux" >/dev/null || fail "make-demo-folder failed"
    if [[ $database == jet ]]; then
        cp "$jet_database" "$linux/seasonStats.mdb" || fail "no Jet database $jet_database"
    fi
    cp -a "$linux" "$windows"

    xsession_launcher=()
    update_twice "$linux_program" "$linux"

    # Wine maps the Linux file system to the drive Z:. The Windows Qt has no xcb platform.
    xsession_launcher=(env -u QT_QPA_PLATFORM "$wine_run")
    xsession_window_wait=60
    if [[ $database == jet ]]; then
        cp "$exe" "$windows/"
        update_twice "$windows/$(basename "$exe")" ""
    else
        update_twice "$exe" "Z:$windows"
    fi
    xsession_window_wait=20

    lists=$(find "$windows/lists/default2009" -name '*_List.tvp' | wc -l)
    [[ $lists -gt 0 ]] || fail "$database: no team list files in the slot written under Wine"
    differences=$(diff -r -x "$(basename "$exe")" "$linux" "$windows" 2>&1) ||
        fail "$database: the game folders differ after the runs:"$'\n'"$differences"
    echo "$database: the Windows program wrote the same files as the Linux program ($lists teams)"
done
echo "PASS: window shown under Wine, both runs completed, same files as on Linux"
