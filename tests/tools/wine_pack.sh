#!/usr/bin/env bash
# A season as players get it: tolvane-season pack (the Windows program, under Wine) makes
# the zip of a new season with the real players' zip of the patch; the zip is unpacked into
# a demo game folder as a player unpacks it, and "Update" is pressed in the window of the
# tolvane-patch.exe it brought. Beside it, the same season and fixture are copied by hand
# into a copy of the game folder, and the build's tolvane-patch.exe runs there. Both folders
# must then be equal byte for byte (the roster slot above all), but for the zip's program
# files, which must be the players' zip's own.
# Usage: wine_pack.sh PLAYERS_ZIP tolvane-season.exe tolvane-patch.exe make-demo-folder.exe
set -uo pipefail

players_zip=$1
season_exe=$2
exe=$3
make_folder=$4
source "$(dirname "$0")/../support/winetest.sh"
winetest_needs Xvfb xdotool wine unzip
winetest_display_prefix

source "$(dirname "$0")/../../scripts/xsession.sh"
trap 'xsession_cleanup; wineserver -k 2>/dev/null; rm -rf "$work"' EXIT

xsession_start_display
"$wine_run" cmd /c exit >/dev/null 2>&1 || fail "Wine does not start"

games="$work/Spiele Ærø"
packed="$games/packed"
by_hand="$games/by hand"
mkdir -p "$games"
"$wine_run" "$make_folder" --teams 3 --players 5 "$(windows_path "$packed")" >/dev/null ||
    fail "make-demo-folder failed"
cp -a "$packed" "$by_hand"
# The new season: other teams and players than the game folder's.
"$wine_run" "$make_folder" --teams 4 --players 6 --seed 77 "$(windows_path "$work/new")" \
    >/dev/null || fail "make-demo-folder failed"
mv "$work/new/seasonStats.mdb" "$work/new/Saison Zoë.mdb"

"$wine_run" "$season_exe" pack "$(windows_path "$work/new/Saison Zoë.mdb")" \
    "$(windows_path "$work/new/schedule2009.dat")" "$(windows_path "$work/Saison Zoë.zip")" \
    --program "$(windows_path "$players_zip")" >"$work/pack.out" 2>"$work/pack.err" ||
    fail "pack failed: $(cat "$work/pack.err")"

# A player unpacks it into the game folder, over the files of the same names.
unzip -o -q "$work/Saison Zoë.zip" -d "$packed" || fail "the zip does not unpack"
mapfile -t program_files < <(unzip -Z1 "$players_zip")
for name in "${program_files[@]}"; do
    unzip -p "$players_zip" "$name" | cmp -s - "$packed/$name" ||
        fail "$name in the season's zip is not the players' zip's"
done
cmp -s "$work/new/Saison Zoë.mdb" "$packed/seasonStats.mdb" ||
    fail "the zip's seasonStats.mdb is not the season packed"
cp "$work/new/Saison Zoë.mdb" "$by_hand/seasonStats.mdb"
cp "$work/new/schedule2009.dat" "$by_hand/schedule2009.dat"

# Presses "Update" once, on a new slot, and closes the window.
update() {
    xsession_start_program "$1" "$2"
    xsession_press_update "$window"
    xsession_answer_until_complete 90
    sleep 0.5
    xsession_close_program "$window"
}
xsession_launcher=(env -u QT_QPA_PLATFORM "$wine_run")
xsession_window_wait=60
update "$packed/tolvane-patch.exe" ""
update "$exe" "$(windows_path "$by_hand")"

teams=$(find "$packed/lists/default2009" -name '*_List.tvp' | wc -l)
[[ $teams -eq 4 ]] || fail "the slot of the unpacked season has $teams team lists, not 4"
differences=$(diff -r "$packed/lists/default2009" "$by_hand/lists/default2009" 2>&1) ||
    fail "the slots differ:"$'\n'"$differences"
excluded=()
for name in "${program_files[@]}"; do excluded+=(-x "$name"); done
differences=$(diff -r "${excluded[@]}" "$packed" "$by_hand" 2>&1) ||
    fail "the game folders differ:"$'\n'"$differences"
echo "PASS: the unpacked season's update wrote the slot of the season put in by hand ($teams teams)"
