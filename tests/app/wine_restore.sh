#!/usr/bin/env bash
# The way back as a player takes it: an update in the real window under Wine, then a
# double-click on "Restore previous roster.cmd" beside the program in the game's folder,
# which runs tolvane-patch.com --restore and waits for a key. The folder must then be as it
# was before the update, byte for byte, with no backup left.
# Usage: wine_restore.sh PATH/TO/tolvane-patch.exe "PATH/TO/Restore previous roster.cmd"
#        LINUX/make-demo-folder
set -uo pipefail

exe=$1
restore_cmd=$2
make_folder=$3
source "$(dirname "$0")/../support/winetest.sh"
winetest_needs Xvfb xdotool wine
winetest_needs_built "$make_folder"
winetest_display_prefix

source "$(dirname "$0")/../../scripts/xsession.sh"
trap 'xsession_cleanup; wineserver -k 2>/dev/null; rm -rf "$work"' EXIT

# The patch unpacked into the game's folder, as players have it.
game="$work/game Ærø"
"$make_folder" --teams 3 --players 5 "$game" >/dev/null || fail "make-demo-folder failed"
cp "$exe" "${exe%.exe}.com" "$restore_cmd" "$game/" || fail "cannot unpack the patch"
cp -a "$game" "$work/before"

xsession_start_display
"$wine_run" cmd /c exit >/dev/null 2>&1 || fail "Wine does not start"
xsession_launcher=(env -u QT_QPA_PLATFORM "$wine_run")
xsession_window_wait=60
xsession_start_program "$game/$(basename "$exe")" ""
xsession_press_update "$window"
xsession_answer_until_complete 90
sleep 0.5
xsession_close_program "$window"
[[ -d $game/lists/default2009 && -d "$game/2009 Patch backup" ]] ||
    fail "the update under Wine left no slot or no backup"

# Explorer runs a .cmd with cmd /c in its own folder; a key ends its pause.
(cd "$game" && echo | "$wine_run" cmd /c "$(basename "$restore_cmd")" >"$work/restore.out" 2>&1)
grep -q "Restored the game's files as they were before the last update" "$work/restore.out" ||
    fail "the restore did not say it restored: $(cat "$work/restore.out")"
differences=$(diff -r "$work/before" "$game" 2>&1) ||
    fail "the folder is not as before the update:"$'\n'"$differences"
echo "PASS: \"$(basename "$restore_cmd")\" put the folder back as before the update under Wine"
